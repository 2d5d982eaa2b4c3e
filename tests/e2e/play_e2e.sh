#!/usr/bin/env bash
# End to end: the real program in a real X server, the real pointer moved by xdotool, the sound
# captured by the capture device. Presses 演奏 once with a buffer of 0 (message 1000, no board),
# then plays three positions along the top row, holds the left button at the last, moves to the
# bottom edge, closes the board and the program, and checks the captured sound.
#
#   play_e2e.sh AEROLYRE ANALYZER
set -euo pipefail
aerolyre=$1
analyzer=$2

source "$(dirname "$0")/e2e_lib.sh"
start_program "$aerolyre"

# A refused start: buffer 0 gives message 1000 and no board.
type_into_du 73 201 "0"
click_du 165 290
expect_message 'バッファのサイズは１～10000にして下さい'
if xdotool search --name '演奏盤' >/dev/null 2>&1; then echo "FAIL: a board opened for buffer 0"; exit 1; fi

# Correct it and play.
type_into_du 73 201 "400"
click_du 165 290
board=$(wait_window '演奏盤')
sleep 0.3
geometry "$board"
# Pointer positions along the top row (1 pixel below the top edge), held about half a second.
x1=$((WIDTH * 2 / 10)) x2=$((WIDTH * 5 / 10)) x3=$((WIDTH * 8 / 10))
sleep 0.5  # silence before the first move
play_three_positions "$x1" "$x2" "$x3"
xdotool key Escape
for _ in $(seq 50); do xdotool search --name '演奏盤' >/dev/null 2>&1 || break; sleep 0.1; done

end_program

frac() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.6f", a / b }'; }
"$analyzer" "$work/capture.wav" 5 2 "$(frac $x1 "$WIDTH")" "$(frac $x2 "$WIDTH")" "$(frac $x3 "$WIDTH")" \
    --left "$(frac $x3 "$WIDTH")"
