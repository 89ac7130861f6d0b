#!/usr/bin/env bash
# Starts an engine build, through qemu when the kernel cannot run it (the
# 32-bit build on a kernel without 32-bit support).
#   tools/run-engine.sh engine [args...]
engine=$1
shift
# Only a 32-bit executable (ELF class 1) may need the emulator.
class=$(od -An -tu1 -j4 -N1 "$engine" 2>/dev/null | tr -d ' ')
if [ "$class" = 1 ] && command -v qemu-i386 >/dev/null && ! "$engine" </dev/null >/dev/null 2>&1; then
  exec qemu-i386 "$engine" "$@"
fi
exec "$engine" "$@"
