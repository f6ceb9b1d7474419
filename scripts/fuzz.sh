#!/usr/bin/env bash
# Runs the fuzz targets, each for a bounded time, and prints their figures:
# runs, coverage (cov), features (ft) and corpus size.
#   scripts/fuzz.sh [--seeds DIR] [--time SECONDS] [TARGET...]
# SECONDS defaults to 120 per target, DIR (sample messages for the targets
# that read mail) to tests/data/mail, TARGET to all of them. Builds the fuzz
# configuration in build/fuzz with clang first. An input that fails is kept in
# build/fuzz/fuzz/work/TARGET/artifacts (each run starts from a new random
# seed): once mended, copy it into
# fuzz/corpus/TARGET/ as a regression case.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=$(nproc 2>/dev/null || echo 2)
seeds=$root/tests/data/mail
seconds=120
targets=()
while [ $# -gt 0 ]; do
    case "$1" in
    --seeds) seeds=$(realpath -m "$2"); shift 2 ;;
    --time) seconds=$2; shift 2 ;;
    -h | --help) sed -n '2,10p' "$0"; exit 0 ;;
    *) targets+=("$1"); shift ;;
    esac
done

build=$root/build/fuzz
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DLARKWATCH_FUZZ=ON \
    -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j "$jobs"

select=()
if [ ${#targets[@]} -gt 0 ]; then
    select=(-R "^($(IFS='|'; echo "${targets[*]}"))\$")
fi
status=0
(cd "$build" && LARKWATCH_FUZZ_SECONDS=$seconds LARKWATCH_FUZZ_SEEDS=$seeds LARKWATCH_FUZZ_SEED=0 \
    ctest --output-on-failure --timeout $((seconds + 600)) "${select[@]}") || status=1

echo
echo "Figures (${seconds} s each):"
if [ ${#targets[@]} -eq 0 ]; then
    targets=($(cd "$build" && ctest -N | sed -nE 's/^ *Test +#[0-9]+: //p'))
fi
for name in "${targets[@]}"; do
    log=$build/fuzz/work/$name/log
    done_line=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -n 1 || true)
    printf '  %-24s %s\n' "$name" "${done_line:-no DONE line: see $log}"
done
exit "$status"
