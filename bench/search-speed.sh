#!/usr/bin/env bash
# Search speed (nodes per second, 1 thread) of our engine and Debian's
# ethereal-chess, toga2 and glaurung on the same positions for the same time.
#   bench/search-speed.sh engine [movetime-ms] [threads]
#
# Every engine gets a fresh process per position, Hash 16 and
# "go movetime T"; its last "nps" figure before bestmove is taken. The
# table prints each engine's figure per position, their geometric mean and
# the ratio ours/peer. Run it on a quiet machine: the engines share it with
# nothing else, one at a time. With threads > 1 only our engine is run,
# once with 1 thread and once with that many.
set -euo pipefail

engine=${1:?usage: $0 engine [movetime-ms] [threads]}
movetime=${2:-3000}
threads=${3:-1}
[ -x "$engine" ] || { echo "no engine at $engine" >&2; exit 1; }

fens=(
  "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"
  "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1"
  "r1bq1rk1/pp1pppbp/2n3p1/2n5/2B4B/2N1P3/PPP1NPPP/R2QK2R w KQ - 4 9"
  "2q1rr1k/3bbnnp/p2p1pp1/2pPp3/PpP1P1P1/1P2BNNP/2BQ1PRK/7R b - - 0 1"
  "r1b2rk1/2q1b1pp/p2ppn2/1p6/3QP3/1BN1B3/PPP3PP/R4RK1 w - - 0 1"
  "8/k7/3p4/p2P1p2/P2P1P2/8/8/K7 w - - 0 1"
  "6k1/6p1/P6p/r1N5/5p2/7P/1b3PP1/4R1K1 w - - 0 1"
  "8/8/1p1r1k2/p1pPN1p1/P3KnP1/1P6/8/3R4 b - - 0 1"
)

# nps of one engine on one position: engine command, thread option, fen.
measure() {
  local cmd=$1 threadOption=$2 fen=$3
  {
    echo uci
    echo "setoption name Hash value 16"
    [ -n "$threadOption" ] && echo "$threadOption"
    echo isready
    echo "position fen $fen"
    echo "go movetime $movetime"
    sleep "$(awk "BEGIN { print $movetime / 1000 + 1.5 }")"
    echo quit
  } | $cmd 2>/dev/null | awk '/ nps / { for (i = 1; i < NF; i++) if ($i == "nps") nps = $(i + 1) } END { print nps + 0 }'
}

declare -a names commands options
if [ "$threads" -gt 1 ]; then
  names=("quillon-1t" "quillon-${threads}t")
  commands=("$engine" "$engine")
  options=("setoption name Threads value 1" "setoption name Threads value $threads")
else
  names=(quillon)
  commands=("$engine")
  options=("setoption name Threads value 1")
  for peer in ethereal-chess toga2 glaurung; do
    path=$(command -v "$peer" || echo "/usr/games/$peer")
    if [ -x "$path" ]; then
      names+=("$peer")
      commands+=("$path")
      # Toga II names its thread option differently.
      [ "$peer" = toga2 ] && options+=("setoption name Number of Threads value 1") || options+=("setoption name Threads value 1")
    else
      echo "($peer not installed: apt-get install $peer)"
    fi
  done
fi

printf '%-4s' pos
for n in "${names[@]}"; do printf ' %14s' "$n"; done
echo
declare -A logsum
for i in "${!fens[@]}"; do
  printf '%-4s' "$((i + 1))"
  for j in "${!names[@]}"; do
    nps=$(measure "${commands[$j]}" "${options[$j]}" "${fens[$i]}")
    printf ' %14s' "$nps"
    logsum[$j]=$(awk "BEGIN { print ${logsum[$j]:-0} + log($nps > 0 ? $nps : 1) }")
  done
  echo
done
printf '%-4s' mean
for j in "${!names[@]}"; do printf ' %14.0f' "$(awk "BEGIN { print exp(${logsum[$j]} / ${#fens[@]}) }")"; done
echo
for j in "${!names[@]}"; do
  [ "$j" -eq 0 ] && continue
  awk -v a="${logsum[0]}" -v b="${logsum[$j]}" -v n="${#fens[@]}" -v name="${names[$j]}" -v ours="${names[0]}" \
    'BEGIN { printf "%s / %s: %.2f\n", (ours == "quillon" ? "quillon" : name), (ours == "quillon" ? name : ours), (ours == "quillon" ? exp((a - b) / n) : exp((b - a) / n)) }'
done
