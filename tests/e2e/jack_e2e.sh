#!/usr/bin/env bash
# End to end through a real sound server: a JACK server of the test's own (dummy driver, no
# hardware) at 48000 Hz, the program's `jack` device, the sound recorded by jack_capture from
# the system playback. Checks that --list-devices names the server while it runs, that the played
# pitches are right after the conversion to 48000 Hz, and that a server killed mid-play leaves the
# board open and silent and the program able to close normally.
#
#   jack_e2e.sh AEROLYRE ANALYZER
set -euo pipefail
aerolyre=$1
analyzer=$2

source "$(dirname "$0")/e2e_lib.sh"

start_jack_server "aerolyre-e2e-$$" 48000 256

"$aerolyre" --list-devices >"$work/devices.txt"
grep -qx jack "$work/devices.txt" || { echo "FAIL: --list-devices does not name jack:"; cat "$work/devices.txt"; exit 1; }
echo "devices: $(tr '\n' ' ' <"$work/devices.txt")"

unset AEROLYRE_WAVE_DEVICE
start_program "$aerolyre" --device jack

# Play: three positions along the top row, the last one also with the left button held.
click_du 165 290
board=$(wait_window '演奏盤')
geometry "$board"
jack_capture -c 1 -b 16 --daemon -fn "$work/jack.wav" &
capture_pid=$!
sleep 0.8  # silence before the first move
x1=$((WIDTH * 2 / 10)) x2=$((WIDTH * 5 / 10)) x3=$((WIDTH * 8 / 10))
play_three_positions "$x1" "$x2" "$x3"
kill -INT "$capture_pid"
wait "$capture_pid" || true
xdotool key Escape
for _ in $(seq 50); do xdotool search --name '演奏盤' >/dev/null 2>&1 || break; sleep 0.1; done

frac() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.6f", a / b }'; }
"$analyzer" "$work/jack.wav" 5 2 "$(frac $x1 "$WIDTH")" "$(frac $x2 "$WIDTH")" "$(frac $x3 "$WIDTH")" \
    --left "$(frac $x3 "$WIDTH")"
grep -q 'sound device "jack" at 48000 Hz: [0-9]* underruns' "$work/app.log" ||
    { echo "FAIL: no underrun report"; cat "$work/app.log"; exit 1; }

# The server goes away while the board plays: the board stays open and silent, then the board
# and the program close as usual.
click_du 165 290
board=$(wait_window '演奏盤')
geometry "$board"
xdotool mousemove $((X + x2)) $((Y + 1))
sleep 0.5
kill -9 "$jackd_pid"
wait "$jackd_pid" 2>/dev/null || true
jackd_pid=""
sleep 3
kill -0 "$app_pid" 2>/dev/null || { echo "FAIL: the program ended with the server"; cat "$work/app.log"; exit 1; }
xdotool search --name '演奏盤' >/dev/null 2>&1 || { echo "FAIL: the board closed with the server"; exit 1; }
grep -q 'the sound device "jack" stopped' "$work/app.log" || { echo "FAIL: no line on the stopped device"; cat "$work/app.log"; exit 1; }
xdotool windowactivate --sync "$board" 2>/dev/null || true
xdotool key Escape
for _ in $(seq 50); do xdotool search --name '演奏盤' >/dev/null 2>&1 || break; sleep 0.1; done
if xdotool search --name '演奏盤' >/dev/null 2>&1; then echo "FAIL: the board did not close"; exit 1; fi
end_program
echo "PASS"
