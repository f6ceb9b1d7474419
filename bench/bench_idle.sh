#!/usr/bin/env bash
# CPU time the Larkwatch window uses while idle: under Xvfb and openbox, three
# accounts on the test Dovecot, 5 minutes between passes; after the first
# pass, the CPU used over the next 60 s and the resident memory.
#
#   sudo bench/bench_idle.sh [BUILD (build/release)] [SECONDS (60)]
#
# Run by hand, as root (the Dovecot fixture needs it). Everything it starts is
# stopped at the end by its PID.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=bench/x_session.sh
source "$root/bench/x_session.sh"
build=$(cd "${1:-$root/build/release}" && pwd)
seconds=${2:-60}
fixture=$root/tests/support/dovecot/dovecot-fixture.sh
tmp=$(mktemp -d "${TMPDIR:-/tmp}/larkwatch-idle.XXXXXX")
chmod 755 "$tmp"
mkdir -m 700 "$tmp/run"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    "$fixture" stop "$tmp/fixture.env" >/dev/null 2>&1 || true
    rm -rf "$tmp"
}
trap cleanup EXIT

"$fixture" start "$tmp/fixture.env" >/dev/null
port=$(sed -n "s/^POP3_PORT='\(.*\)'/\1/p" "$tmp/fixture.env")
[ -n "$port" ] || { echo "the Dovecot fixture did not start" >&2; exit 1; }
account="127.0.0.1:$port:alice:alice-pw"
"$build/bench/bench_accounts" "$tmp/home" 5 "$account" "$account" "$account"

start_x_session "$tmp"
env DISPLAY="$display" XDG_CONFIG_HOME="$tmp/home/config" XDG_DATA_HOME="$tmp/home/data" \
    XDG_RUNTIME_DIR="$tmp/run" "$build/src/app/larkwatch" >"$tmp/larkwatch.log" 2>&1 &
larkwatch=$!
pids=("$larkwatch" "${pids[@]}")

# The first pass writes the header memory.
for _ in $(seq 1 100); do
    [ -f "$tmp/home/data/Larkwatch/headers.dat" ] && break
    sleep 0.1
done
sleep 2
ticks() { awk '{print $14 + $15}' "/proc/$larkwatch/stat"; }
before=$(ticks)
sleep "$seconds"
after=$(ticks)
hz=$(getconf CLK_TCK)
rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$larkwatch/status")
awk -v t=$((after - before)) -v hz="$hz" -v s="$seconds" -v rss="$rss" 'BEGIN {
    printf "idle: %.2f s of CPU over %d s (3 accounts, 5-minute interval), %d KiB resident\n",
           t / hz, s, rss }'
