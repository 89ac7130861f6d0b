#!/usr/bin/env bash
# Move-generation speed of our engine against Debian's stockfish.
#   bench/perft-vs-stockfish.sh engine [runs]     (runs: default 3, or RUNS=n)
#
# Times "perft 6" on the start position and "perft 5" on Kiwipete with both
# engines, alternating ours and stockfish's runs, and prints the median
# leaves per second of each and the ratio ours/stockfish per position.
#
# How it is measured:
# - ours: the "ms:" figure our engine prints after the count; it covers the
#   count alone, not the start of the process.
# - stockfish ("position ...", "go perft N"): wall time of the whole
#   process, less a baseline run of "go perft 1" on the same position, so
#   that its start-up (tables, threads, hash) is not counted. The median of
#   the runs is taken for each, then subtracted.
# - start-up: wall time from starting our engine to its "uciok" line,
#   median of several runs.
set -euo pipefail

engine=${1:?usage: $0 engine [runs]}
runs=${2:-${RUNS:-3}}
startup_runs=7
stockfish=$(command -v stockfish || echo /usr/games/stockfish)
[ -x "$engine" ] || { echo "no engine at $engine" >&2; exit 1; }
[ -x "$stockfish" ] || { echo "stockfish not found (Debian package stockfish)" >&2; exit 1; }
[[ $runs =~ ^[1-9][0-9]*$ ]] || { echo "runs must be a positive number" >&2; exit 2; }

# The 32-bit build needs an emulator where the kernel cannot run it; the
# decision is made once so that start-up times are not counted twice.
launcher=()
if ! "$engine" </dev/null >/dev/null 2>&1 && command -v qemu-i386 >/dev/null; then
  launcher=(qemu-i386)
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

names=(startpos kiwipete)
fens=("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1")
depths=(6 5)

# Microseconds of the wall clock (bash's own clock: no process per reading).
now_us() { local t=${EPOCHREALTIME/[.,]/}; echo $((10#$t)); }

median() {
  sort -n | awk '{ v[NR] = $1 } END { print NR % 2 ? v[(NR + 1) / 2] : int((v[NR / 2] + v[NR / 2 + 1]) / 2) }'
}

# Ours: prints "leaves ms".
ours() {
  printf 'position fen %s\nperft %s\nquit\n' "$1" "$2" | "${launcher[@]}" "$engine" > "$work/ours.out"
  local leaves ms
  leaves=$(grep -E '^[0-9]+$' "$work/ours.out" | tail -n 1)
  ms=$(sed -n 's/^ms: \([0-9]*\) .*/\1/p' "$work/ours.out" | tail -n 1)
  [ -n "$leaves" ] && [ -n "$ms" ] || { echo "no perft result from $engine" >&2; exit 1; }
  echo "$leaves $ms"
}

# Stockfish: prints "leaves microseconds-of-wall-time".
theirs() {
  local start end leaves
  start=$(now_us)
  printf 'position fen %s\ngo perft %s\nquit\n' "$1" "$2" | "$stockfish" > "$work/sf.out"
  end=$(now_us)
  leaves=$(sed -n 's/^Nodes searched: \([0-9]*\).*/\1/p' "$work/sf.out")
  [ -n "$leaves" ] || { echo "no perft result from stockfish" >&2; exit 1; }
  echo "$leaves $((end - start))"
}

for i in "${!names[@]}"; do
  : > "$work/ours.$i"
  : > "$work/sf.$i"
  : > "$work/base.$i"
done
for ((run = 1; run <= runs; run++)); do
  for i in "${!names[@]}"; do
    ours "${fens[$i]}" "${depths[$i]}" > "$work/result"
    read -r ours_leaves ms < "$work/result"
    echo "$ms" >> "$work/ours.$i"
    theirs "${fens[$i]}" "${depths[$i]}" > "$work/result"
    read -r sf_leaves us < "$work/result"
    echo "$us" >> "$work/sf.$i"
    theirs "${fens[$i]}" 1 > "$work/result"
    read -r _ us < "$work/result"
    echo "$us" >> "$work/base.$i"
    if [ "$ours_leaves" != "$sf_leaves" ]; then
      echo "warning: ${names[$i]} perft ${depths[$i]}: ours $ours_leaves, stockfish $sf_leaves" >&2
    fi
    echo "$ours_leaves" > "$work/leaves.$i"
  done
  echo "run $run of $runs done" >&2
done

# Start-up: process start to "uciok".
: > "$work/startup"
for ((run = 1; run <= startup_runs; run++)); do
  start=$(now_us)
  coproc ENGINE { exec "${launcher[@]}" "$engine"; }
  echo uci >&"${ENGINE[1]}"
  while IFS= read -r line <&"${ENGINE[0]}"; do
    [ "$line" = uciok ] && break
  done
  end=$(now_us)
  echo quit >&"${ENGINE[1]}"
  wait "$ENGINE_PID" || true
  echo $((end - start)) >> "$work/startup"
done

echo "perft speed, median of $runs runs; stockfish: $("$stockfish" </dev/null 2>/dev/null | head -n 1)"
printf '%-9s %5s %11s %15s %15s %15s\n' position depth leaves "ours n/s" "stockfish n/s" ours/stockfish
for i in "${!names[@]}"; do
  leaves=$(cat "$work/leaves.$i")
  ms=$(median < "$work/ours.$i")
  sf_us=$(median < "$work/sf.$i")
  base_us=$(median < "$work/base.$i")
  awk -v name="${names[$i]}" -v depth="${depths[$i]}" -v leaves="$leaves" \
      -v ms="$ms" -v sf="$sf_us" -v base="$base_us" '
    BEGIN {
      if (ms < 1) ms = 1
      net = sf - base; if (net < 1) net = 1
      ours = leaves * 1000 / ms; theirs = leaves * 1000000 / net
      printf "%-9s %5d %11d %15.0f %15.0f %15.2f\n", name, depth, leaves, ours, theirs, ours / theirs
    }'
done
awk -v us="$(median < "$work/startup")" -v n="$startup_runs" \
  'BEGIN { printf "start-up to uciok: %.1f ms (median of %d runs)\n", us / 1000, n }'
