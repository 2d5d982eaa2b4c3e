#!/usr/bin/env bash
# End to end: the program played from MIDI. A JACK server of the test's own (dummy driver) at
# 48000 Hz; jackd2's jack_midiseq loops A3 then E4 into the program's MIDI input port
# (--midi-in). Through the `jack` device, jack_capture records the notes, which must sound at
# their pitches. Then through the capture device with a take of C1 and C8, far off the board: the
# take keeps the MIDI messages as MIDI rows and renders what was played, sample for sample. The MIDI menu entry is kept in the
# settings; --midi-in alone is not.
#
#   midi_in_e2e.sh AEROLYRE AEROLYRE_RENDER NOTE_PITCHES
set -euo pipefail
aerolyre=$1
render=$2
note_pitches=$3
source "$(dirname "$0")/e2e_lib.sh"
reg=$XDG_CONFIG_HOME/Velmora/Aerolyre/registry.reg

start_jack_server "aerolyre-midi-in-$$" 48000 256
seq_pid=""
stop_seq() { [ -n "$seq_pid" ] && kill "$seq_pid" 2>/dev/null && wait "$seq_pid" 2>/dev/null; seq_pid=""; }

# A two-second loop at 48000 Hz: A3 (or NOTE1) for 0.8 s, E4 (or NOTE2) for 0.8 s from 1 s.
play_from_midi() { # SECONDS [NOTE1 NOTE2]
    open_board
    # The mouse away from the board: MIDI alone plays.
    xdotool mousemove 0 0
    sleep 0.3
    jack_midiseq aerolyre-test-seq 96000 0 "${2:-57}" 38400 48000 "${3:-64}" 38400 &
    seq_pid=$!
    for _ in $(seq 50); do jack_lsp | grep -qx 'aerolyre-test-seq:out' && break; sleep 0.1; done
    jack_connect aerolyre-test-seq:out aerolyre-midi-in:aerolyre
    sleep "$1"
    stop_seq
    sleep 1  # the last note's release
    xdotool windowactivate --sync "$board" 2>/dev/null || true
    close_board
    # Without a window manager the keyboard follows the pointer: back onto the main dialog.
    xdotool mousemove $((mx + mw / 2)) $((my + 10))
}

start_program "$aerolyre" --device jack --midi-in
jack_lsp | grep -qx 'aerolyre-midi-in:aerolyre' || { echo "FAIL: no JACK MIDI input port"; jack_lsp; cat "$work/app.log"; exit 1; }
jack_capture -c 1 -b 16 --daemon -fn "$work/jack.wav" &
capture_pid=$!
play_from_midi 4.2
kill -INT "$capture_pid"
wait "$capture_pid" || true
"$note_pitches" "$work/jack.wav" | tee "$work/notes.txt"
# Whole notes only: the one held when the sequencer stopped ends with the session instead.
awk 'BEGIN { want[0] = 220; want[1] = 329.6275569 }
     $3 - $2 > 1.2 { next }
     { best = 1e9; for (k in want) { c = 1200 * log($4 / want[k]) / log(2); if (c < 0) c = -c; if (c < best) best = c }
       if (best > worst) worst = best; n++ }
     END { printf "%d notes from MIDI through JACK, at most %.2f cents from A3 or E4\n", n, worst; exit !(n >= 3 && worst < 3) }' \
    "$work/notes.txt" || { echo "FAIL: the MIDI notes did not sound at their pitches"; exit 1; }

end_program
if grep -q '"Midi_In"' "$reg"; then echo "FAIL: --midi-in was kept in the settings"; exit 1; fi

# Through the capture device, with a take; MIDI in chosen in the menu this time.
start_program "$aerolyre" --take "$work/midi.csv"
xdotool mousemove $((mx + mw / 2)) $((my + mh - 4)) click 3
sleep 0.5
xdotool key Up Up Up Up Return  # two entries above the sound-device entry, which the language follows
sleep 0.5
jack_lsp | grep -qx 'aerolyre-midi-in:aerolyre' || { echo "FAIL: the menu did not open MIDI in"; exit 1; }
rm -f "$work/capture.wav"
# C1 and C8: far below and above the board, kept in the take as the MIDI that played them.
play_from_midi 2.2 24 108
end_program
grep -q ',midi,90 18 ' "$work/midi.csv" || { echo "FAIL: the take has no MIDI rows"; head -n 20 "$work/midi.csv"; exit 1; }
grep -q '"Midi_In"=dword:00000001' "$reg" || { echo "FAIL: the menu's MIDI in was not kept"; cat "$reg"; exit 1; }
cmd=$(sed -n 's/^# render again: //p' "$work/midi.csv")
cmd=${cmd/#aerolyre-render/$render}
(cd / && eval "${cmd% OUT.wav} $work/midi.rendered.wav")
same_as_played "$work/capture.wav" "$work/midi.rendered.wav" "MIDI take"
"$note_pitches" "$work/capture.wav" | head -n 2
echo "PASS"
