#!/usr/bin/env bash
# The window's own pass against --check (bench_window), offscreen and then
# under Xvfb and openbox, against the test Dovecot (run as root, as the
# tests run it) or, without root, a fake POP3 server.
#
#   bench/bench_window.sh [BUILD (build/release)] [--runs N] [--fake] [MESSAGES... (1000 20000)]
#
# Run by hand; everything it starts is stopped at the end by its PID.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=bench/x_session.sh
source "$root/bench/x_session.sh"
build=$(cd "${1:-$root/build/release}" && pwd)
shift || true
args=()
fake=false
for arg in "$@"; do
    if [ "$arg" = --fake ]; then fake=true; else args+=("$arg"); fi
done
tmp=$(mktemp -d "${TMPDIR:-/tmp}/larkwatch-window.XXXXXX")
chmod 700 "$tmp"
pids=()
fixture="$root/tests/support/dovecot/dovecot-fixture.sh"
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    [ -f "$tmp/dovecot.env" ] && "$fixture" stop "$tmp/dovecot.env" >/dev/null 2>&1 || true
    rm -rf "$tmp"
}
trap cleanup EXIT

server=()
if ! $fake; then
    "$fixture" start "$tmp/dovecot.env" >/dev/null
    if grep -q '^SKIP=' "$tmp/dovecot.env"; then
        echo "(no test Dovecot: $(sed -n "s/^SKIP='\(.*\)'/\1/p" "$tmp/dovecot.env"); a fake server instead)"
    else
        server=(--dovecot "$tmp/dovecot.env")
    fi
fi

echo "== offscreen"
env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$tmp" \
    "$build/bench/bench_window" "${server[@]}" "${args[@]}"

echo "== Xvfb and openbox"
start_x_session "$tmp"
env -u WAYLAND_DISPLAY DISPLAY="$display" QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$tmp" \
    "$build/bench/bench_window" "${server[@]}" "${args[@]}"
