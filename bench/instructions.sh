#!/usr/bin/env bash
# Instructions the search executes per node, counted by callgrind. Unlike
# nodes per second, the figure does not depend on the machine's load, so it
# can tell a 1% change apart on a busy or shared host. The search being
# the same, fewer instructions per node means less work per node.
#   bench/instructions.sh engine [engine ...]
# Each engine runs "bench 7" and "bench 1": the difference of the two counts
# over the difference of their node counts leaves out the start-up and the
# clearing of the tables between the benchmark's positions.
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: $0 engine [engine ...]" >&2; exit 2; }
command -v valgrind >/dev/null || { echo "valgrind is missing: apt-get install valgrind" >&2; exit 1; }

count() { valgrind --tool=callgrind --callgrind-out-file=/dev/null "$1" bench "$2" 2>&1 | awk '/refs:/ { gsub(",", "", $NF); print $NF }'; }
nodes() { "$1" bench "$2" 2>/dev/null | tail -n 1 | awk '{ print $1 }'; }

printf '%-32s %14s %10s %16s\n' engine nodes per-node instructions
for engine in "$@"; do
  [ -x "$engine" ] || { echo "no engine at $engine" >&2; exit 1; }
  deep=$(count "$engine" 7) shallow=$(count "$engine" 1)
  n=$(($(nodes "$engine" 7) - $(nodes "$engine" 1)))
  printf '%-32s %14s %10.0f %16s\n' "$engine" "$n" "$(awk "BEGIN { print ($deep - $shallow) / $n }")" "$((deep - shallow))"
done
