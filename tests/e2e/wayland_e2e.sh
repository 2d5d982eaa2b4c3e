#!/usr/bin/env bash
# The program natively on Wayland: under weston's headless back-end (no screen, no X), with Qt's
# wayland platform, its main dialog appears (the client titles a toplevel "Aerolyre", which the
# compositor configures, and attaches a buffer to draw it), and SIGTERM closes it with status 0
# and its settings saved.
#
#   wayland_e2e.sh AEROLYRE
set -euo pipefail
aerolyre=$1
work=$(mktemp -d)
weston_pid=""
app_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    if [ -n "$weston_pid" ]; then
        kill "$weston_pid" 2>/dev/null || true
        wait "$weston_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

export XDG_RUNTIME_DIR=$work/run HOME=$work/home XDG_CONFIG_HOME=$work/config
mkdir -p "$XDG_RUNTIME_DIR" "$HOME" "$XDG_CONFIG_HOME"
chmod 700 "$XDG_RUNTIME_DIR"
unset DISPLAY
weston --backend=headless-backend.so --socket=aerolyre-test --idle-time=0 >"$work/weston.log" 2>&1 &
weston_pid=$!
for _ in $(seq 100); do [ -S "$XDG_RUNTIME_DIR/aerolyre-test" ] && break; sleep 0.1; done
[ -S "$XDG_RUNTIME_DIR/aerolyre-test" ] || { echo "FAIL: weston did not start"; cat "$work/weston.log"; exit 1; }

# WAYLAND_DEBUG has the client print the protocol it speaks.
WAYLAND_DISPLAY=aerolyre-test QT_QPA_PLATFORM=wayland WAYLAND_DEBUG=client AEROLYRE_WAVE_DEVICE=null \
    "$aerolyre" >"$work/app.log" 2>&1 &
app_pid=$!
appeared=""
for _ in $(seq 100); do
    if grep -q 'xdg_toplevel@[0-9]*\.set_title("Aerolyre")' "$work/app.log" &&
        grep -q 'xdg_toplevel@[0-9]*\.configure(' "$work/app.log" &&
        grep -q 'wl_surface@[0-9]*\.attach(wl_buffer@' "$work/app.log"; then
        appeared=yes
        break
    fi
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.1
done
[ -n "$appeared" ] || { echo "FAIL: no main dialog on Wayland"; grep -v '^\[' "$work/app.log" | tail; exit 1; }
grep -q 'wl_registry@[0-9]*\.bind(.*"xdg_wm_base"' "$work/app.log" || { echo "FAIL: not a native Wayland client"; exit 1; }
echo "the main dialog appeared as a native Wayland toplevel"

sleep 0.5
kill -TERM "$app_pid"
status=0
wait "$app_pid" || status=$?
app_pid=""
[ "$status" -eq 0 ] || { echo "FAIL: SIGTERM ended the program with $status"; grep -v '^\[' "$work/app.log" | tail; exit 1; }
[ -s "$XDG_CONFIG_HOME/Velmora/Aerolyre/registry.reg" ] || { echo "FAIL: the settings were not saved"; exit 1; }
echo "SIGTERM closed it with status 0 and its settings saved"
echo "PASS"
