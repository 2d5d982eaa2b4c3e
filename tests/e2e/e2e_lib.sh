# Shared by the end-to-end scripts: a private X server and home, the program, and its windows.
# Sourced; sets DISPLAY, HOME, XDG_CONFIG_HOME, AEROLYRE_WAVE_DEVICE, AEROLYRE_MESSAGE_LOG; starts a
# JACK server on request.

work=$(mktemp -d)
xvfb_pid=""
app_pid=""
jackd_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    if [ -n "$jackd_pid" ]; then
        kill "$jackd_pid" 2>/dev/null || true
        wait "$jackd_pid" 2>/dev/null || true
    fi
    # Wait for the X server to be gone: one still shutting down removes its socket files, which
    # would be the next server's if it took the same display.
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# An X server of our own on a display far from the usual ones, chosen at random and retried if
# taken, so no other server (or one still shutting down) can answer in its place. -noreset: by
# default the server resets when its last client leaves, and a program started again at that
# moment cannot connect.
for _ in $(seq 20); do
    n=$((300 + RANDOM % 600))
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; kill -0 "$xvfb_pid" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$xvfb_pid" 2>/dev/null && DISPLAY=":$n" xdotool getmouselocation >/dev/null 2>&1; then
        export DISPLAY=":$n"
        break
    fi
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=""
done
[ -n "$xvfb_pid" ] || { echo "FAIL: no X server could be started"; exit 1; }

export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export AEROLYRE_WAVE_DEVICE=capture:$work/capture.wav
export AEROLYRE_MESSAGE_LOG=$work/messages.txt
export QT_QPA_PLATFORM=xcb
unset QT_QPA_PLATFORMTHEME

start_program() { # PROGRAM [OPTIONS]
    "$@" >>"$work/app.log" 2>&1 &
    app_pid=$!
    main=$(wait_window '^Aerolyre$')
    geometry "$main"
    mx=$X my=$Y mw=$WIDTH mh=$HEIGHT
    sleep 0.5
}

# Closes the main dialog with Escape and checks that the program ends with status 0.
end_program() {
    xdotool windowactivate --sync "$main" 2>/dev/null || true
    xdotool key Escape
    local status=0
    for _ in $(seq 50); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
    wait "$app_pid" || status=$?
    app_pid=""
    [ "$status" -eq 0 ] || { echo "FAIL: the program exited with $status"; cat "$work/app.log"; exit 1; }
}

wait_window() { # NAME -> window id
    for _ in $(seq 100); do
        local id
        id=$(xdotool search --name "$1" 2>/dev/null | head -1 || true)
        if [ -n "$id" ]; then echo "$id"; return 0; fi
        sleep 0.1
    done
    echo "window '$1' did not appear" >&2
    cat "$work/app.log" >&2
    echo "X server on $DISPLAY:" >&2
    cat "$work/xvfb.log" >&2
    kill -0 "$xvfb_pid" 2>/dev/null && echo "(still running)" >&2
    return 1
}
geometry() { eval "$(xdotool getwindowgeometry --shell "$1")"; }

# Dialog units of the main dialog (331 x 307) to screen pixels.
du() { echo $((mx + $1 * mw / 331)) $((my + $2 * mh / 307)); }
click_du() { local x y; read -r x y < <(du "$1" "$2"); xdotool mousemove "$x" "$y" click 1; }
# Replaces an edit's text: select it all, type the new one.
type_into_du() { local x y; read -r x y < <(du "$1" "$2"); xdotool mousemove "$x" "$y" click --repeat 3 1; xdotool type --delay 20 "$3"; }

# Waits until the message log holds a line, then dismisses the box with Enter.
expect_message() { # TEXT
    for _ in $(seq 50); do grep -qxF "$1" "$work/messages.txt" 2>/dev/null && break; sleep 0.1; done
    grep -qxF "$1" "$work/messages.txt" 2>/dev/null || { echo "FAIL: message '$1' not shown"; cat "$work/messages.txt" 2>/dev/null; exit 1; }
    sleep 0.3
    xdotool key Return
    sleep 0.3
    : >"$work/messages.txt"
}

# Opens the board with the play button; sets X, Y, WIDTH, HEIGHT to its geometry and board to its
# id. BOARD_TITLE is its title in the language the program speaks.
BOARD_TITLE='演奏盤'
open_board() {
    click_du 165 290
    board=$(wait_window "$BOARD_TITLE")
    geometry "$board"
}
# Closes the board with Escape and waits until it is gone.
close_board() {
    xdotool key Escape
    for _ in $(seq 50); do xdotool search --name "$BOARD_TITLE" >/dev/null 2>&1 || break; sleep 0.1; done
}

# Answers Qt's file dialog with a full path.
answer_file_dialog() { # TITLE_PATTERN PATH
    wait_window "$1" >/dev/null
    sleep 0.5
    xdotool type --delay 10 "$2"
    xdotool key Return
    sleep 0.5
}

# A JACK server of the test's own with the dummy driver (no hardware); cleanup stops it.
start_jack_server() { # NAME RATE PERIOD_FRAMES [realtime]
    # A server killed outright (one test does that) leaves its entry in JACK's shared-memory
    # registry, and a few of those refuse every new server. With no server running they are stale.
    if ! pgrep -x jackd >/dev/null 2>&1 && ! pgrep -x jackdbus >/dev/null 2>&1; then
        rm -f /dev/shm/jack-shm-registry /dev/shm/jack-[0-9]* /dev/shm/jack_* 2>/dev/null || true
    fi
    export JACK_DEFAULT_SERVER=$1 JACK_NO_AUDIO_RESERVATION=1
    local scheduling=--no-realtime
    [ "${4:-}" = realtime ] && scheduling=--realtime
    jackd "$scheduling" -n "$1" -d dummy -r "$2" -p "$3" >"$work/jackd.log" 2>&1 &
    jackd_pid=$!
    jack_wait -w -t 10 >/dev/null 2>&1 || { echo "FAIL: the JACK server did not start"; cat "$work/jackd.log"; exit 1; }
}

# Holds the pointer 0.6 s at each of three x positions (pixels from the board's left) along the
# top row, holds the left button at the last, then moves to the bottom edge (silence).
play_three_positions() { # X1 X2 X3
    local x
    for x in "$1" "$2" "$3"; do
        xdotool mousemove $((X + x)) $((Y + 1))
        sleep 0.6
    done
    xdotool mousedown 1
    sleep 0.6
    xdotool mouseup 1
    xdotool mousemove $((X + $3)) $((Y + HEIGHT - 1))
    sleep 0.6
}

# A render of a take against what was played: more than 20000 samples were played, the render
# covers them all, and its samples equal the played ones (the headers aside).
same_as_played() { # PLAYED.wav RENDERED.wav LABEL
    local played rendered
    played=$(($(stat -c %s "$1") - 44))
    rendered=$(($(stat -c %s "$2") - 44))
    [ "$played" -gt 40000 ] && [ "$played" -le "$rendered" ] || { echo "FAIL: $3: played $played bytes, rendered $rendered"; exit 1; }
    cmp -n "$played" <(tail -c +45 "$1") <(tail -c +45 "$2") || { echo "FAIL: $3: the take's render differs from what was played"; exit 1; }
    echo "$3: the take renders the $((played / 2)) samples played exactly (render: $((rendered / 2)))"
}
