#!/usr/bin/env bash
# Runs one libFuzzer target for a bounded time over its corpora.
#   run-fuzzer.sh TARGET SECONDS WORKDIR CORPUS... [--mail-seeds DIR]
# The inputs it finds new go to WORKDIR/corpus (emptied first, so every run
# starts from the committed corpora), an input that fails goes to
# WORKDIR/artifacts, the whole output to WORKDIR/log. LARKWATCH_FUZZ_SECONDS,
# when set, replaces SECONDS, and LARKWATCH_FUZZ_SEEDS the folder of sample
# messages. A folder that does not exist is left out with a note. The exit
# status is the target's: 0 when nothing was found. The random seed is
# LARKWATCH_FUZZ_SEED, 1 when unset, so that a run of the suite tries the same
# inputs each time; scripts/fuzz.sh gives a new seed each run.
set -u
target=$1 seconds=${LARKWATCH_FUZZ_SECONDS:-$2} work=$3
shift 3
corpora=()
while [ $# -gt 0 ]; do
    dir=$1
    if [ "$dir" = --mail-seeds ]; then
        dir=${LARKWATCH_FUZZ_SEEDS:-$2}
        shift
    fi
    shift
    if [ -d "$dir" ]; then corpora+=("$dir"); else echo "note: no seed folder $dir"; fi
done
rm -rf "$work/corpus"
mkdir -p "$work/corpus" "$work/artifacts"
# A dictionary of the input's tokens, beside the target's source, when there is one.
options=()
dict=$(dirname "${BASH_SOURCE[0]}")/$(basename "$target").dict
[ -f "$dict" ] && options+=(-dict="$dict")
"$target" -seed="${LARKWATCH_FUZZ_SEED:-1}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$work/artifacts/" "${options[@]}" "$work/corpus" "${corpora[@]}" \
    >"$work/log" 2>&1
status=$?
# The figures: runs, coverage (cov), features (ft), corpus size.
grep -E '^#[0-9]+[[:space:]]+DONE|^Done [0-9]+ runs' "$work/log"
if [ "$status" -ne 0 ]; then
    tail -n 60 "$work/log"
    echo "$(basename "$target"): FAILED (status $status), input kept in $work/artifacts"
fi
exit "$status"
