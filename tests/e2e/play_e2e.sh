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

work=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# A display of our own.
for n in $(seq 90 140); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
done
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=$display
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done

export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export AEROLYRE_WAVE_DEVICE=capture:$work/capture.wav
export AEROLYRE_MESSAGE_LOG=$work/messages.txt
export QT_QPA_PLATFORM=xcb
unset QT_QPA_PLATFORMTHEME

"$aerolyre" >"$work/app.log" 2>&1 &
app_pid=$!

wait_window() { # NAME -> window id
    for _ in $(seq 100); do
        id=$(xdotool search --name "$1" 2>/dev/null | head -1 || true)
        if [ -n "$id" ]; then echo "$id"; return 0; fi
        sleep 0.1
    done
    echo "window '$1' did not appear" >&2
    return 1
}
geometry() { eval "$(xdotool getwindowgeometry --shell "$1")"; }

main=$(wait_window '^Aerolyre$')
geometry "$main"
mx=$X my=$Y mw=$WIDTH mh=$HEIGHT
# Dialog units of the main dialog (331 x 307) to screen pixels.
du() { echo $((mx + $1 * mw / 331)) $((my + $2 * mh / 307)); }
sleep 0.5

# A refused start: buffer 0 gives message 1000 and no board.
read -r bx by < <(du 73 201)
xdotool mousemove "$bx" "$by" click --repeat 3 1
xdotool type --delay 20 "0"
read -r px py < <(du 165 290)
xdotool mousemove "$px" "$py" click 1
for _ in $(seq 50); do [ -s "$work/messages.txt" ] && break; sleep 0.1; done
sleep 0.3
xdotool key Return
sleep 0.3
if xdotool search --name '演奏盤' >/dev/null 2>&1; then echo "FAIL: a board opened for buffer 0"; exit 1; fi
grep -qx 'バッファのサイズは１～10000にして下さい' "$work/messages.txt" || { echo "FAIL: message 1000 not shown"; cat "$work/messages.txt"; exit 1; }

# Correct it and play.
xdotool mousemove "$bx" "$by" click --repeat 3 1
xdotool type --delay 20 "400"
xdotool mousemove "$px" "$py" click 1
board=$(wait_window '演奏盤')
sleep 0.3
geometry "$board"
# Pointer positions along the top row (1 pixel below the top edge), held about half a second.
x1=$((WIDTH * 2 / 10)) x2=$((WIDTH * 5 / 10)) x3=$((WIDTH * 8 / 10))
sleep 0.5  # silence before the first move
for x in $x1 $x2 $x3; do
    xdotool mousemove $((X + x)) $((Y + 1))
    sleep 0.6
done
xdotool mousedown 1
sleep 0.6
xdotool mouseup 1
xdotool mousemove $((X + x3)) $((Y + HEIGHT - 1))
sleep 0.6
xdotool key Escape
for _ in $(seq 50); do xdotool search --name '演奏盤' >/dev/null 2>&1 || break; sleep 0.1; done

xdotool windowactivate --sync "$main" 2>/dev/null || true
xdotool key Escape
status=0
for _ in $(seq 50); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
wait "$app_pid" || status=$?
app_pid=""
[ "$status" -eq 0 ] || { echo "FAIL: the program exited with $status"; cat "$work/app.log"; exit 1; }

frac() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.6f", a / b }'; }
"$analyzer" "$work/capture.wav" 5 2 "$(frac $x1 "$WIDTH")" "$(frac $x2 "$WIDTH")" "$(frac $x3 "$WIDTH")" \
    --left "$(frac $x3 "$WIDTH")"
