#!/usr/bin/env bash
# The UCI_Elo scale against an independent reference: at each level the
# engine with UCI_LimitStrength plays Debian's stockfish at the same
# UCI_Elo, one game at a time through the shared match.sh; then each level
# plays the one below it, to check their order. Prints each score with its
# 95% error bar. The target is 50% +- 10% against the reference, and every
# level winning against the one below. Run it on a quiet machine only.
#   bench/calibrate-strength.sh engine [games-per-match [tc [level...]]]
#   (defaults: 60 games, 10+0.1, levels 1500 2000 2200)
# The order of two levels some 500 Elo apart shows in fewer games:
# ORDER_GAMES of them per pair (default 20).
# Games and logs go to $OUTDIR, default matches/calibrate-DATE.
set -euo pipefail

usage="usage: $0 engine [games-per-match [tc [level...]]]"
engine=$(realpath "${1:?$usage}")
games=${2:-60}
tc=${3:-10+0.1}
shift $(($# < 3 ? $# : 3))
levels=("$@")
[ ${#levels[@]} -gt 0 ] || levels=(1500 2000 2200)
orderGames=${ORDER_GAMES:-20}
here=$(cd "$(dirname "$0")" && pwd)
match=$here/../../shared/tools/match.sh
reference=/usr/games/stockfish
[ -x "$match" ] || { echo "no match.sh at $match" >&2; exit 2; }
[ -x "$reference" ] || { echo "$reference missing: apt-get install stockfish" >&2; exit 2; }
out=${OUTDIR:-matches/calibrate-$(date +%Y%m%d-%H%M%S)}

# A level above the engine's range is played at its top: the match manager
# would drop a value out of range and leave the default in force.
top=$(printf 'uci\n' | "$engine" | sed -n 's/^option name UCI_Elo .* max \([0-9]*\).*/\1/p')
[ -n "$top" ] || { echo "$engine has no UCI_Elo option" >&2; exit 2; }
limit() { echo "UCI_LimitStrength=true;UCI_Elo=$1"; }
ours() { limit $(($1 > top ? top : $1)); }

# The score of the first player of a match from its games: percentage and
# 95% error bar of the mean game result, and wins, losses and draws.
score() {  # $1 = match folder, $2 = the first player's name
  awk -v me="$2" '
    /^\[White "/ { white = ($0 ~ "\"" me "\"") }
    /^\[Result "/ {
      r = $0; sub(/^\[Result "/, "", r); sub(/".*/, "", r)
      if (r == "1-0") x = white ? 1 : 0; else if (r == "0-1") x = white ? 0 : 1
      else if (r == "1/2-1/2") x = 0.5; else next
      n++; sum += x; sq += x * x; w += (x == 1); l += (x == 0)
    }
    END {
      if (!n) { print "no games"; exit }
      m = sum / n; v = sq / n - m * m
      printf "%5.1f%% +- %4.1f%%  (%d games: +%d -%d =%d)\n", 100 * m, 196 * sqrt(v / n), n, w, l, n - w - l
    }' "$1/games.pgn"
}

previous=
for elo in "${levels[@]}"; do
  OUTDIR=$out/$elo NAME1=quillon-$elo NAME2=stockfish-$elo OPTS1=$(ours "$elo") OPTS2=$(limit "$elo") \
    "$match" "$engine" "$reference" "$tc" "$games" || true
  if [ -n "$previous" ]; then
    OUTDIR=$out/$elo-$previous NAME1=quillon-$elo NAME2=quillon-$previous OPTS1=$(ours "$elo") \
      OPTS2=$(ours "$previous") "$match" "$engine" "$engine" "$tc" "$orderGames" || true
  fi
  previous=$elo
done

echo
echo "UCI_Elo scale at $tc, games per match: $games against stockfish, $orderGames between levels"
echo "(the engine's range ends at $top: a level above it is played at $top)"
previous=
for elo in "${levels[@]}"; do
  printf '%-28s %s\n' "$elo against stockfish $elo:" "$(score "$out/$elo" "quillon-$elo")"
  [ -z "$previous" ] || printf '%-28s %s\n' "$elo against $previous:" "$(score "$out/$elo-$previous" "quillon-$elo")"
  previous=$elo
done
