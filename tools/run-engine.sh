#!/usr/bin/env bash
# Starts an engine build, through qemu when the kernel cannot run it (the
# 32-bit build on a kernel without 32-bit support).
#   tools/run-engine.sh engine [args...]
engine=$1
shift
if ! "$engine" </dev/null >/dev/null 2>&1 && command -v qemu-i386 >/dev/null; then
  exec qemu-i386 "$engine" "$@"
fi
exec "$engine" "$@"
