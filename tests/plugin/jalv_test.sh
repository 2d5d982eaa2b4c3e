#!/usr/bin/env bash
# The plugin in a real host: jalv under a JACK server of the test's own (dummy driver) at 48000 Hz.
# jackd2's jack_midiseq loops A3 then E4 into the plugin's MIDI input; jack_capture records its
# output, whose notes must sound at their pitches.
#
#   jalv_test.sh BUNDLE_PARENT NOTE_PITCHES
set -euo pipefail
export LV2_PATH=$1:/usr/lib/lv2
note_pitches=$2
uri=https://aerolyre.org/plugins/aerolyre
work=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

# A server killed outright leaves stale entries in JACK's shared-memory registry; with none
# running they can go.
if ! pgrep -x jackd >/dev/null 2>&1 && ! pgrep -x jackdbus >/dev/null 2>&1; then
    rm -f /dev/shm/jack-shm-registry /dev/shm/jack-[0-9]* /dev/shm/jack_* 2>/dev/null || true
fi
export JACK_DEFAULT_SERVER=aerolyre-jalv-$$ JACK_NO_AUDIO_RESERVATION=1
jackd --no-realtime -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 256 >"$work/jackd.log" 2>&1 &
pids+=($!)
jack_wait -w -t 10 >/dev/null 2>&1 || { echo "FAIL: the JACK server did not start"; cat "$work/jackd.log"; exit 1; }

wait_port() { for _ in $(seq 100); do jack_lsp | grep -qx "$1" && return 0; sleep 0.1; done; echo "FAIL: no port $1"; jack_lsp; exit 1; }

# jalv's console reads commands from its input: a pipe held open by this script keeps it running.
mkfifo "$work/commands"
jalv -x -n aerolyre-jalv "$uri" <"$work/commands" >"$work/jalv.log" 2>&1 &
pids+=($!)
exec 3>"$work/commands"
wait_port aerolyre-jalv:midi_in
wait_port aerolyre-jalv:out
jack_midiseq aerolyre-test-seq 96000 0 57 38400 48000 64 38400 >/dev/null 2>&1 &
pids+=($!)
wait_port aerolyre-test-seq:out
jack_connect aerolyre-test-seq:out aerolyre-jalv:midi_in
jack_capture -c 1 -b 16 -p aerolyre-jalv:out -d 4.5 -fn "$work/jalv.wav" >/dev/null 2>&1 ||
    { echo "FAIL: jack_capture did not record"; exit 1; }
"$note_pitches" "$work/jalv.wav" | tee "$work/notes.txt"
awk 'BEGIN { want[0] = 220; want[1] = 329.6275569 }
     { best = 1e9; for (k in want) { c = 1200 * log($4 / want[k]) / log(2); if (c < 0) c = -c; if (c < best) best = c }
       if (best > worst) worst = best; n++ }
     END { printf "%d notes from jack_midiseq through the plugin in jalv, at most %.2f cents from A3 or E4\n", n, worst
           exit !(n >= 3 && worst < 1) }' "$work/notes.txt" || { echo "FAIL: the notes did not sound at their pitches"; cat "$work/jalv.log"; exit 1; }
echo "PASS"
