#!/usr/bin/env bash
# The window's own pass against --check (bench_window), offscreen and then
# under Xvfb and openbox.
#
#   bench/bench_window.sh [BUILD (build/release)] [MESSAGES... (1000 20000)]
#
# Run by hand; everything it starts is stopped at the end by its PID.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$root/build/release}" && pwd)
shift || true
tmp=$(mktemp -d "${TMPDIR:-/tmp}/larkwatch-window.XXXXXX")
chmod 700 "$tmp"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$tmp"
}
trap cleanup EXIT

echo "== offscreen"
env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$tmp" \
    "$build/bench/bench_window" "$@"

echo "== Xvfb and openbox"
display=:$((50 + RANDOM % 40))
Xvfb "$display" -screen 0 1280x800x24 >"$tmp/xvfb.log" 2>&1 &
pids+=($!)
sleep 1
DISPLAY=$display openbox >"$tmp/openbox.log" 2>&1 &
pids+=($!)
sleep 1
env -u WAYLAND_DISPLAY DISPLAY="$display" QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$tmp" \
    "$build/bench/bench_window" "$@"
