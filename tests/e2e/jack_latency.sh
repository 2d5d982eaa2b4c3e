#!/usr/bin/env bash
# Measures silence-to-sound latency through a JACK dummy server: the program plays through its
# `jack` device with the given buffer setting, and jack_latency times pointer moves to sound.
#
#   jack_latency.sh AEROLYRE JACK_LATENCY BUFFER [PERIOD_FRAMES] [RATE]
set -euo pipefail
aerolyre=$1
tool=$2
buffer=$3
period=${4:-256}
rate=${5:-48000}

source "$(dirname "$0")/e2e_lib.sh"
start_jack_server "aerolyre-latency-$$" "$rate" "$period"

unset AEROLYRE_WAVE_DEVICE
start_program "$aerolyre" --device jack
type_into_du 73 201 "$buffer"
click_du 165 290
board=$(wait_window '演奏盤')
geometry "$board"
sleep 0.5
echo "buffer setting $buffer"
"$tool" aerolyre:out_0 $((X + WIDTH / 2)) $((Y + 1)) $((X + WIDTH / 2)) $((Y + HEIGHT - 1)) 15
xdotool key Escape
sleep 0.5
end_program
grep underruns "$work/app.log" || true
