#!/usr/bin/env bash
# Builds the fuzzing harnesses with clang's libFuzzer and the address and
# undefined-behaviour sanitizers (in build-fuzz, or $QUILLON_FUZZ_BUILD),
# and runs one of them for a number of inputs, starting from the seed
# corpus in fuzz/corpus/HARNESS. New inputs go to the build folder, never
# to the seeds. Exits non-zero on any finding (crash, sanitizer report,
# failed check, hang of over 20 s, memory over 4 GB); the input that found
# it is saved as build-fuzz/findings/HARNESS-*.
#   fuzz/run.sh                     lists the harnesses
#   fuzz/run.sh HARNESS EXECUTIONS  runs one
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")

if [ $# -eq 0 ]; then
  echo "commands  the command loop fed arbitrary lines (dictionary fuzz/commands.dict)"
  echo "position  a FEN, then legal and illegal moves through the position command"
  exit 0
fi
harness=$1
runs=${2:?usage: $0 [HARNESS EXECUTIONS]}
case $harness in
  commands) options=(-max_len=1024 "-dict=$here/commands.dict") ;;
  position) options=(-max_len=512) ;;
  *) echo "unknown harness $harness; run $0 for the list" >&2; exit 2 ;;
esac

"$root/tools/ensure-deps.sh" fuzz
build=${QUILLON_FUZZ_BUILD:-$root/build-fuzz}
CXX=clang++ cmake -S "$root" -B "$build" -DQUILLON_FUZZ=ON >/dev/null
cmake --build "$build" --target "fuzz-$harness" -j2 >/dev/null

corpus=$build/corpus/$harness
mkdir -p "$corpus" "$build/findings"
# Leaks are looked for at the end only: a check after every input scans the
# engine's large static records and would slow the run tenfold.
"$build/fuzz/fuzz-$harness" -runs="$runs" "${options[@]}" -timeout=20 -rss_limit_mb=4096 -detect_leaks=0 \
  -artifact_prefix="$build/findings/$harness-" -print_final_stats=1 "$corpus" "$here/corpus/$harness"
