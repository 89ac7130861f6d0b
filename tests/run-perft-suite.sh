#!/usr/bin/env bash
# ctest entry: runs the shared perft files through one engine build up to a
# leaf budget per count, the Chess960 files with UCI_Chess960 on and to
# depth 4 at most (every start has some 200,000 leaves there, but 3 to 6
# million at depth 5). Exits 77 (reported as skipped) when this checkout has
# no shared data beside it.
#   tests/run-perft-suite.sh engine max-leaves perft-dir
set -euo pipefail
engine=$1 budget=$2 dir=$3
if [ ! -f "$dir/standard.epd" ] || [ ! -f "$dir/extra.epd" ]; then
  echo "no perft data in $dir: skipped"
  exit 77
fi
suite="$(dirname "$0")/../tools/perft-suite.sh"
status=0
"$suite" -e "$engine" -m "$budget" "$dir/standard.epd" "$dir/extra.epd" || status=1
if [ -f "$dir/frc.epd" ] && [ -f "$dir/frc-random.epd" ]; then
  "$suite" -e "$engine" -m "$budget" -d 4 -c "$dir/frc.epd" "$dir/frc-random.epd" || status=1
else
  echo "no Chess960 perft data in $dir: those files skipped"
fi
exit $status
