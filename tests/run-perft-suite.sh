#!/usr/bin/env bash
# ctest entry: runs the shared perft files through one engine build up to a
# leaf budget per count. Exits 77 (reported as skipped) when this checkout
# has no shared data beside it.
#   tests/run-perft-suite.sh engine max-leaves perft-dir
set -euo pipefail
engine=$1 budget=$2 dir=$3
if [ ! -f "$dir/standard.epd" ] || [ ! -f "$dir/extra.epd" ]; then
  echo "no perft data in $dir: skipped"
  exit 77
fi
exec "$(dirname "$0")/../tools/perft-suite.sh" -e "$engine" -m "$budget" "$dir/standard.epd" "$dir/extra.epd"
