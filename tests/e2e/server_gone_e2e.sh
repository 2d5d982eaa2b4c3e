#!/usr/bin/env bash
# End to end: a JACK server killed at the worst moments. The board is closed 0.2 s, 1 s and 3 s
# after the server died, before and after the device watch has noticed; and MIDI out through JACK
# keeps flowing while the server dies, with the sound on `null` and on `jack`. Each time the
# board must close, the session end within 1.5 s, and the program then close normally within 2 s
# of its Escape.
#
#   server_gone_e2e.sh AEROLYRE
set -euo pipefail
aerolyre=$1
source "$(dirname "$0")/e2e_lib.sh"
# A program that hangs must not outlive the test.
trap '[ -n "$app_pid" ] && kill -9 "$app_pid" 2>/dev/null; cleanup' EXIT

now() { date +%s%N; }
ms_since() { echo $((($(now) - $1) / 1000000)); }

# Waits up to LIMIT ms for the board to be gone; sets gone_ms to how long it took.
board_gone_within() { # LIMIT_MS
    local t0
    t0=$(now)
    while xdotool search --name '演奏盤' >/dev/null 2>&1; do
        [ "$(ms_since "$t0")" -lt "$1" ] || { echo "FAIL: the board was still up after $1 ms"; cat "$work/app.log"; exit 1; }
        sleep 0.05
    done
    gone_ms=$(ms_since "$t0")
}

# Escape on the main dialog; the program must end with status 0 within 2 s.
close_program_within_2s() {
    local t0 status=0
    xdotool windowactivate --sync "$main" 2>/dev/null || true
    t0=$(now)
    xdotool key Escape
    while kill -0 "$app_pid" 2>/dev/null; do
        if [ "$(ms_since "$t0")" -gt 2000 ]; then
            echo "FAIL: the program did not end within 2 s of Escape"
            cat "$work/app.log"
            kill -9 "$app_pid" 2>/dev/null || true
            exit 1
        fi
        sleep 0.05
    done
    wait "$app_pid" || status=$?
    app_pid=""
    [ "$status" -eq 0 ] || { echo "FAIL: the program exited with $status"; cat "$work/app.log"; exit 1; }
    echo "  program ended $(ms_since "$t0") ms after Escape"
}

kill_server() {
    kill -9 "$jackd_pid"
    wait "$jackd_pid" 2>/dev/null || true
    jackd_pid=""
}

# Sweeps the pointer along the top row for about a second: a stream of bends and pressure.
sweep() {
    local i
    for i in $(seq 40); do
        xdotool mousemove $((X + WIDTH * (10 + (i * 37) % 80) / 100)) $((Y + 2 + i % 20))
        sleep 0.025
    done
}

open_board() {
    click_du 165 290
    board=$(wait_window '演奏盤')
    geometry "$board"
    xdotool mousemove $((X + WIDTH / 2)) $((Y + 5))
    sleep 0.5
}

escape_board() {
    xdotool windowactivate --sync "$board" 2>/dev/null || true
    xdotool key Escape
}

n=0
for delay in 0.2 1 3; do
    n=$((n + 1))
    start_jack_server "aerolyre-gone-$$-$n" 48000 256
    unset AEROLYRE_WAVE_DEVICE
    : >"$work/app.log"
    start_program "$aerolyre" --device jack
    open_board
    kill_server
    sleep "$delay"
    escape_board
    board_gone_within 1500
    echo "jack, Escape ${delay} s after the kill: board gone in $gone_ms ms"
    close_program_within_2s
done

for device in null jack; do
    n=$((n + 1))
    start_jack_server "aerolyre-gone-$$-$n" 48000 256
    export AEROLYRE_WAVE_DEVICE=$device
    : >"$work/app.log"
    start_program "$aerolyre" --midi
    for _ in $(seq 50); do jack_lsp 2>/dev/null | grep -qx 'aerolyre-midi:aerolyre' && break; sleep 0.1; done
    jack_lsp 2>/dev/null | grep -qx 'aerolyre-midi:aerolyre' || { echo "FAIL: no JACK MIDI port"; exit 1; }
    open_board
    sweep
    kill_server
    sweep
    sweep
    escape_board
    board_gone_within 1500
    echo "MIDI through JACK, sound on $device: board gone in $gone_ms ms"
    close_program_within_2s
    grep -q 'MIDI out: .* dropped' "$work/app.log" || { echo "FAIL: no MIDI drop count"; cat "$work/app.log"; exit 1; }
    grep 'MIDI out: ' "$work/app.log" | tail -1
done
echo "PASS"
