#!/usr/bin/env bash
# End to end: MIDI out and takes. With a JACK server of the test's own, the program is started
# with --midi and --take; jack_midi_dump listens on its virtual port while the board plays a short
# gesture through the capture device. Checks the MPE set-up, a note on channel 2 and its end, and
# that the take, rendered with its tone and over-cycle, gives the captured sound sample for sample.
#
#   midi_take_e2e.sh AEROLYRE AEROLYRE_RENDER
set -euo pipefail
aerolyre=$1
render=$2
source "$(dirname "$0")/e2e_lib.sh"

dump_pid=""
trap '[ -n "$dump_pid" ] && kill "$dump_pid" 2>/dev/null; cleanup' EXIT
start_jack_server "aerolyre-midi-$$" 48000 256

take=$work/take.csv
start_program "$aerolyre" --midi --take "$take"
for _ in $(seq 50); do jack_lsp 2>/dev/null | grep -qx 'aerolyre-midi:aerolyre' && break; sleep 0.1; done
jack_lsp 2>/dev/null | grep -qx 'aerolyre-midi:aerolyre' || { echo "FAIL: no JACK MIDI port aerolyre"; jack_lsp; exit 1; }
jack_midi_dump dump >"$work/midi.txt" 2>/dev/null &
dump_pid=$!
for _ in $(seq 50); do jack_lsp 2>/dev/null | grep -q '^dump:' && break; sleep 0.1; done
jack_connect aerolyre-midi:aerolyre "$(jack_lsp 2>/dev/null | grep '^dump:' | head -1)"

click_du 165 290
board=$(wait_window '演奏盤')
geometry "$board"
sleep 0.4
xdotool mousemove $((X + WIDTH / 2)) $((Y + 10))
sleep 0.6
xdotool mousedown 1
sleep 0.4
xdotool mouseup 1
xdotool mousemove $((X + WIDTH * 6 / 10)) $((Y + 20))
sleep 0.4
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT - 1))
sleep 0.6
xdotool key Escape
for _ in $(seq 50); do xdotool search --name '演奏盤' >/dev/null 2>&1 || break; sleep 0.1; done
sleep 0.5
end_program
kill "$dump_pid" 2>/dev/null || true
wait "$dump_pid" 2>/dev/null || true
dump_pid=""

grep -qi 'b0 65 00' "$work/midi.txt" && grep -qi 'b0 64 06' "$work/midi.txt" && grep -qi 'b0 06 0f' "$work/midi.txt" ||
    { echo "FAIL: no MPE configuration"; head -20 "$work/midi.txt"; exit 1; }
grep -qi 'b1 06 30' "$work/midi.txt" || { echo "FAIL: no ±48 bend range on channel 2"; exit 1; }
grep -qiE ' 91 [0-9a-f]{2} [0-9a-f]{2}' "$work/midi.txt" || { echo "FAIL: no note on channel 2"; exit 1; }
grep -qiE ' 81 [0-9a-f]{2} 40' "$work/midi.txt" || { echo "FAIL: the note did not end"; exit 1; }
grep -qi 'b1 7b 00' "$work/midi.txt" || { echo "FAIL: no All Notes Off at the end"; exit 1; }
grep -qiE ' e1 ' "$work/midi.txt" && grep -qiE ' d1 ' "$work/midi.txt" || { echo "FAIL: no bend or pressure"; exit 1; }
echo "MIDI: $(grep -c . "$work/midi.txt") events"

# The take renders what was played.
[ -s "$take" ] && [ -s "${take%.csv}.aly" ] || { echo "FAIL: no take beside $take"; ls -la "$work"; exit 1; }
overcycle=$(grep -o -- '--overcycle [0-9]*' "$take" | head -1 | cut -d' ' -f2)
"$render" --tone "${take%.csv}.aly" --overcycle "$overcycle" --buffer 400 "$take" "$work/rendered.wav"
same_as_played "$work/capture.wav" "$work/rendered.wav" "MIDI take"

# A takes folder that cannot be made (a file stands where it would go): the play goes on, and
# the player is told once why there is no take.
: >"$work/app.log"
touch "$work/not-a-folder"
XDG_DATA_HOME=$work/not-a-folder start_program "$aerolyre"
open_board
xdotool mousemove $((X + WIDTH / 2)) $((Y + 10))
sleep 0.5
close_board
end_program
lines=$(grep -c "^aerolyre: no take of this performance is kept: $work/not-a-folder/aerolyre/takes: " "$work/app.log" || true)
[ "$lines" -eq 1 ] || { echo "FAIL: $lines lines on the missing take"; cat "$work/app.log"; exit 1; }
grep -qxF "no take of this performance is kept: $work/not-a-folder/aerolyre/takes: パスの途中にフォルダでないものがあります" "$work/messages.txt" ||
    { echo "FAIL: the message log lacks the take line"; cat "$work/messages.txt"; exit 1; }
echo "a take that cannot be kept is told once: $(grep 'no take' "$work/app.log")"
