#!/usr/bin/env bash
# The soak: timer passes over three accounts on fake POP3 servers that fail at
# random, as the window program runs them. Prints resident memory at pass 50
# and at the end, open files at the start and the end, and every message
# announced as new twice; fails when memory grew by more than 10%, files were
# left open, a message was announced twice, or the run crashed.
#   scripts/soak.sh [--build DIR] [PASSES (500) [SEED [MESSAGES PER MAILBOX (40)]]]
# DIR is a configured build folder (default build/debug, made when missing);
# build/asan runs the soak under the sanitizers. A run takes a few minutes and
# is cut after 20.
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
exec timeout --signal=ABRT 1200 "$build/bench/soak_passes" "$@"
