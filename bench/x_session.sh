# Sourced by the benchmarks that need a desktop. start_x_session DIR starts
# Xvfb and openbox on a display of its own (logs in DIR), sets $display and
# adds their PIDs to the caller's array pids, which it stops at the end.
start_x_session() {
    display=:$((50 + RANDOM % 40))
    Xvfb "$display" -screen 0 1280x800x24 >"$1/xvfb.log" 2>&1 &
    pids+=($!)
    sleep 1
    DISPLAY=$display openbox >"$1/openbox.log" 2>&1 &
    pids+=($!)
    sleep 1
}
