#!/usr/bin/env bash
# Strength and stability in real games at 5+0.05, one game at a time,
# through the shared match.sh: our engine against Debian's toga2 and
# glaurung, and with two threads against one. Prints each score with its
# error bar and how the games ended (time forfeits, illegal moves and
# crashes included). Run it on a quiet machine only: under load even the
# peers lose games on time.
#   bench/strength.sh engine [games-per-match]     (default 100)
# Games and logs go to $OUTDIR, default matches/strength-DATE.
set -euo pipefail

# As "--threads N ENGINE" this script is itself an engine: ENGINE with N
# threads, whatever thread count match.sh asks for.
if [ "${1:-}" = --threads ]; then
  exec "$3" < <(sed -u "s/^setoption name Threads value .*/setoption name Threads value $2/")
fi

engine=$(realpath "${1:?usage: $0 engine [games-per-match]}")
games=${2:-100}
here=$(cd "$(dirname "$0")" && pwd)
match=$here/../../shared/tools/match.sh
[ -x "$match" ] || { echo "no match.sh at $match" >&2; exit 2; }
out=${OUTDIR:-matches/strength-$(date +%Y%m%d-%H%M%S)}
tc=5+0.05

for peer in toga2 glaurung; do
  [ -x "/usr/games/$peer" ] || { echo "/usr/games/$peer missing: apt-get install $peer" >&2; exit 2; }
  OUTDIR=$out/$peer NAME1=quillon "$match" "$engine" "/usr/games/$peer" "$tc" "$games" || true
  echo
done
OUTDIR=$out/threads NAME1=quillon-2t NAME2=quillon-1t \
  "$match" "$here/strength.sh --threads 2 $engine" "$engine" "$tc" "$games" || true

# The three results together.
echo
for m in toga2 glaurung threads; do
  echo "== $m"
  "$match" --summary "$out/$m" | grep -E '^(Elo|Games|terminations|Player|  )' || true
done
