#!/usr/bin/env bash
# The soak: timer passes over three accounts on fake POP3 servers that fail at
# random, as the window program runs them. Prints resident memory and the heap
# in use every 50 passes, open files at the start and the end, and every
# message announced as new twice; fails when the heap in use grew by more
# than 256 KiB or resident memory by more than 1 MiB from pass 50 to the end,
# files were left open, a message was announced twice, or the run crashed.
#   scripts/soak.sh [--build DIR] [PASSES (500, at least 150) [SEED [MESSAGES PER MAILBOX (40)]]]
# DIR is a configured build folder (default build/debug, made when missing);
# build/asan runs the soak under the sanitizers. A run of 500 passes takes a
# few minutes and is cut after 20.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build/debug
if [ "${1:-}" = --build ]; then
    build=$(realpath -m "$2")
    shift 2
fi
jobs=$(nproc 2>/dev/null || echo 2)

[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug
cmake --build "$build" -j "$jobs" --target soak_passes
export QT_QPA_PLATFORM=offscreen
# Cut after 10 minutes and 1.2 s a pass: 20 minutes for the 500 passes.
passes=${1:-500}
[[ $passes =~ ^[0-9]+$ ]] || passes=500
exec timeout --signal=ABRT $((600 + passes * 6 / 5)) "$build/bench/soak_passes" "$@"
