#!/usr/bin/env bash
# ctest entry: plays real games, 20 between two builds of the engine, 4
# with two threads against one and 10 of Chess960 from starts of frc.epd,
# and fails on any game that ends otherwise than by the rules or by draw
# adjudication: an illegal move, a crash, a stall, a time forfeit, output
# on standard error, or a "go" not answered by exactly one bestmove. A node
# limit per move decides the games, so the load of the machine cannot; the
# clock given beside it only catches a runaway move. Draws are adjudicated
# after move 40 when both sides score within 10 cp for 8 moves; won games
# are played out to mate. Exits 77 (reported as skipped) when this checkout
# has no shared tools beside it; without frc.epd the Chess960 games are left
# out.
#   tests/run-games.sh engine other-engine shared-dir out-dir
set -uo pipefail
engine=$1 other=$2 shared=$3 out=$4
fastchess=$shared/tools/fastchess
openings=$shared/data/openings/8moves_v3_500.epd
starts960=$shared/data/perft/frc.epd
if [ ! -x "$fastchess" ] || [ ! -r "$openings" ]; then
  echo "no match manager or openings in $shared: skipped"
  exit 77
fi
# About a minute for all games on two loaded cores; the watchdog of a
# match allows several times that.
nodes=15000
# A fresh machine builds the match manager first, outside the watchdog.
"$fastchess" -version </dev/null >/dev/null || exit 1

# The problems found go to this file, one a line.
problems=$out/problems.txt
mkdir -p "$out"
: >"$problems"
report() { sed "s/^/FAIL $1: /" | tee -a "$problems"; }

# match NAME GAMES OPENINGS VARIANT FIRST-ENGINE-OPTIONS...: the first
# engine, with the given fastchess engine options, against the other one,
# each opening played twice with colours reversed.
match() {
  local name=$1 games=$2 book=$3 variant=$4 dir=$out/$1 watchdog=$((60 + 20 * $2))
  shift 4
  rm -rf "$dir"
  mkdir -p "$dir"
  # The watchdog ends a match whose engine never answers "go": the node
  # limit lifts the manager's own per-move timeout.
  timeout -k 10 "$watchdog" "$fastchess" \
    -engine "cmd=$engine" "$@" -engine "cmd=$other" "name=$(basename "$other")" \
    -each "nodes=$nodes" tc=60+1 option.Hash=16 \
    -draw movenumber=40 movecount=8 score=10 \
    -variant "$variant" -openings "file=$book" format=epd order=random -srand 20240601 \
    -rounds $((games / 2)) -repeat -recover \
    -config "outname=$dir/config.json" -pgnout "file=$dir/games.pgn" \
    -log "file=$dir/engines.log" level=info engine=true \
    </dev/null 2>&1 | sed 's/\x1b\[[0-9;]*m//g' >"$dir/match.log"
  local rc=${PIPESTATUS[0]}

  echo "$name: $games games at $nodes nodes a move; games and logs in $dir"
  # How the games ended, in the match manager's words.
  sed -n 's/^Finished game.*{\(.*\)}$/\1/p' "$dir/match.log" | sort | uniq -c | sed 's/^ */  /'
  grep '^Games:' "$dir/match.log" | tail -n 1 | sed 's/^/  /'
  {
    if [ "$rc" -eq 124 ]; then
      echo "the match did not finish within $watchdog s: an engine stalls"
    elif [ "$rc" -ne 0 ]; then
      echo "the match manager exited with status $rc"
    fi
    local played
    played=$(grep -c '^\[Termination ' "$dir/games.pgn" 2>/dev/null)
    [ "${played:-0}" -eq "$games" ] || echo "${played:-0} of $games games finished"
    grep '^\[Termination ' "$dir/games.pgn" 2>/dev/null | grep -v '"normal"\|"adjudication"' | sort | uniq -c
    grep -E 'Fatal|makes an illegal move|Illegal PV move|loses on time|disconnects|stalls|not responsive' "$dir/match.log"
    # Diagnostics belong on standard output, as info strings.
    grep -F '<stderr>' "$dir/engines.log" | grep -v 'Process exited normally with status 0$'
    # Every go has exactly one bestmove. The manager drops what arrives in
    # the same read after a bestmove, so a second one escapes this count
    # unless it comes later.
    sed -nE 's/.*> +([^ ]+) <--- go( .*)?$/\1 go/p; s/.*> +([^ ]+) ---> bestmove( .*)?$/\1 bestmove/p' \
      "$dir/engines.log" | sort | uniq -c |
      awk '{ n[$2] = 1; c[$2 " " $3] = $1 }
           END { for (e in n) if (c[e " go"] != c[e " bestmove"]) print e ": " c[e " go"] + 0 " go, " c[e " bestmove"] + 0 " bestmove" }'
  } | report "$name"
}

match selfplay 20 "$openings" standard name=quillon
match threads 4 "$openings" standard name=quillon-2t option.Threads=2
# The start positions alone, without their perft counts.
if [ -r "$starts960" ]; then
  sed 's/ *;.*//' "$starts960" >"$out/frc-starts.epd"
  match chess960 10 "$out/frc-starts.epd" fischerandom name=quillon-960
fi

[ -s "$problems" ] && exit 1
echo "every game ended normally"
