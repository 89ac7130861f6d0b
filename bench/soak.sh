#!/usr/bin/env bash
# A long run of games as a pondering interface plays them
# (tests/gui_games.py): quillon against quillon-n with pondering on, at
# 10+0.1, 2+0.02 and 1+0.01, each with 1 and with 2 threads. The games
# are shared 1 : 3 : 6 among the time controls (a tenth at 10+0.1, three
# tenths at 2+0.02, six at 1+0.01), and evenly between the thread counts:
# the fast games end sooner and press the clock handling harder, so the
# run spends its hours where the faults show. Every bad end (time loss,
# hang, crash, illegal move, duplicate bestmove, ...) is printed with the
# conversation before it; the output of each part is kept in $SOAK_OUT (default
# build/soak). The last line reads
#   soak: G games, B bad ends, slowest stop S ms, slowest isready R ms
# and the exit status is 1 when B > 0. Run it on a quiet machine: under
# load the engines may lose on time through no fault of their own.
#   bench/soak.sh [games]        (default 1000; engines from $BUILD, default build)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
games=${1:-1000}
build=${BUILD:-$root/build}
out=${SOAK_OUT:-$build/soak}
for engine in quillon quillon-n; do
  [ -x "$build/$engine" ] || { echo "no $build/$engine: build it first (make test, or cmake --build $build)" >&2; exit 2; }
done
mkdir -p "$out"

parts=("10+0.1 1 1" "10+0.1 2 1" "2+0.02 1 3" "2+0.02 2 3" "1+0.01 1 6" "1+0.01 2 6")
weights=20
total=0 bad=0 stop=0 ready=0 given=0 share=0
for i in "${!parts[@]}"; do
  read -r tc threads weight <<<"${parts[$i]}"
  # Rounded running shares, so that the parts add up to the games asked.
  share=$((share + weight))
  n=$(( (games * share + weights / 2) / weights - given ))
  given=$((given + n))
  [ "$n" -gt 0 ] || continue
  log=$out/part$((i + 1))-$tc-t$threads.txt
  echo "$n games at $tc with $threads thread(s); output in $log"
  python3 "$root/tests/gui_games.py" --games "$n" --tc "$tc" --threads "$threads" --seed $((1000 + i)) \
    "$build/quillon" "$build/quillon-n" >"$log" 2>&1
  grep -A3 'BAD END' "$log" | sed 's/^/  /'
  summary=$(tail -n 1 "$log")
  echo "  $summary"
  if [[ $summary =~ ^gui_games:\ ([0-9]+)\ games,\ ([0-9]+)\ bad\ ends,\ slowest\ stop\ ([0-9]+)\ ms,\ slowest\ isready\ ([0-9]+)\ ms$ ]]; then
    total=$((total + BASH_REMATCH[1])) bad=$((bad + BASH_REMATCH[2]))
    stop=$((BASH_REMATCH[3] > stop ? BASH_REMATCH[3] : stop))
    ready=$((BASH_REMATCH[4] > ready ? BASH_REMATCH[4] : ready))
  else
    echo "  the driver did not finish" && total=$((total + n)) bad=$((bad + 1))
  fi
done
echo "soak: $total games, $bad bad ends, slowest stop $stop ms, slowest isready $ready ms"
[ "$bad" -eq 0 ]
