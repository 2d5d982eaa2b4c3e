#!/usr/bin/env bash
# End to end: SIGTERM, SIGINT and SIGHUP close the program as its close box does. With the board
# playing, SIGTERM ends the session first (the capture is complete) and the settings are saved;
# the other two close the main dialog alone and save too.
#
#   signal_e2e.sh AEROLYRE
set -euo pipefail
aerolyre=$1
source "$(dirname "$0")/e2e_lib.sh"
reg=$XDG_CONFIG_HOME/Velmora/Aerolyre/registry.reg

expect_exit_0() { # SIGNAL
    local status=0
    for _ in $(seq 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$app_pid" 2>/dev/null && { echo "FAIL: still running 10 s after SIG$1"; exit 1; }
    wait "$app_pid" || status=$?
    app_pid=""
    [ "$status" -eq 0 ] || { echo "FAIL: exit status $status after SIG$1"; cat "$work/app.log"; exit 1; }
}

start_program "$aerolyre"
type_into_du 73 201 "777"
click_du 165 290
board=$(wait_window '演奏盤')
geometry "$board"
xdotool mousemove $((X + WIDTH / 2)) $((Y + 1))
sleep 0.8
kill -TERM "$app_pid"
expect_exit_0 TERM
grep -qF '"Process_BufSize"="777"' "$reg" || { echo "FAIL: settings not saved on SIGTERM"; cat "$reg"; exit 1; }
bytes=$(stat -c %s "$work/capture.wav")
size=$(od -An -tu4 -j40 -N4 "$work/capture.wav" | tr -d ' ')
[ "$size" -eq $((bytes - 44)) ] && [ "$bytes" -gt 10000 ] ||
    { echo "FAIL: the capture was not completed ($bytes bytes, data size $size)"; exit 1; }

for sig in INT HUP; do
    start_program "$aerolyre"
    type_into_du 73 201 "6$sig"
    sleep 0.3
    kill -"$sig" "$app_pid"
    expect_exit_0 "$sig"
    grep -qF "\"Process_BufSize\"=\"6$sig\"" "$reg" || { echo "FAIL: settings not saved on SIG$sig"; cat "$reg"; exit 1; }
done
echo "signals close the program as its close box does"
