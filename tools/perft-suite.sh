#!/usr/bin/env bash
# Runs perft files (FEN ;D1 n ;D2 n ...) through an engine's "perft" command
# and prints every count that differs from the file.
#   tools/perft-suite.sh [-e engine] [-m max-leaves] [-d max-depth] [-c] file...
# Depths whose expected count exceeds max-leaves or that lie deeper than
# max-depth (default: no limit) are skipped. -c switches UCI_Chess960 on,
# for files of Chess960 positions.
set -euo pipefail

usage="usage: $0 [-e engine] [-m max-leaves] [-d max-depth] [-c] file..."
engine=build/quillon
max_leaves=0
max_depth=0
chess960=false
while getopts "e:m:d:c" opt; do
  case $opt in
    e) engine=$OPTARG ;;
    m) max_leaves=$OPTARG ;;
    d) max_depth=$OPTARG ;;
    c) chess960=true ;;
    *) echo "$usage" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
[ $# -gt 0 ] || { echo "$usage" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One "position fen / perft d" pair per selected depth, and the expectations.
awk -v max="$max_leaves" -v maxdepth="$max_depth" -v chess960="$chess960" -v expected="$work/expected" '
  NR == 1 { print "setoption name UCI_Chess960 value " chess960 }
  {
    n = split($0, part, ";")
    fen = part[1]; sub(/[ \t]+$/, "", fen)
    for (i = 2; i <= n; i++) {
      split(part[i], field, " ")
      depth = substr(field[1], 2); count = field[2]
      if ((max > 0 && count + 0 > max + 0) || (maxdepth > 0 && depth + 0 > maxdepth + 0)) continue
      print "position fen " fen
      print "perft " depth
      print FILENAME ":" FNR " D" depth " " count " " fen > expected
    }
  }
  END { print "quit" }
' "$@" > "$work/commands"

"$(dirname "$0")/run-engine.sh" "$engine" < "$work/commands" | grep -E '^-?[0-9]+$' > "$work/counts" || true

checked=$(wc -l < "$work/expected")
got=$(wc -l < "$work/counts")
if [ "$checked" -ne "$got" ]; then
  echo "perft: expected $checked counts from $engine, got $got"
  exit 1
fi

paste -d' ' "$work/expected" "$work/counts" | awk -v engine="$engine" '
  {
    want = $3; have = $NF
    if (want != have) {
      bad++
      line = $0; sub(/ [^ ]*$/, "", line)
      print "MISMATCH " line " -> " have
    }
  }
  END {
    printf "perft: %d counts checked with %s, %d mismatches\n", NR, engine, bad
    exit bad > 0
  }'
