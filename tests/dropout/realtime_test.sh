#!/usr/bin/env bash
# Real-time scheduling, seen from outside. As root (which may use SCHED_FIFO) through a JACK
# server: while a tone plays, the audio thread runs SCHED_FIFO at priority 1 and the device's
# feeder at 2. As an unprivileged user with no rtkit to ask (no system bus here): the tone still
# plays, and one line says why real-time scheduling was refused.
#
#   realtime_test.sh HOLD_TONE
set -euo pipefail
hold_tone=$1
source "$(dirname "$0")/../e2e/e2e_lib.sh"
[ "$(id -u)" -eq 0 ] || { echo "SKIP: needs root to run both cases"; exit 0; }

start_jack_server "aerolyre-rt-$$" 48000 256
"$hold_tone" jack 64 3 2>"$work/root.txt" &
pid=$!
sleep 1.5
ps -L -o tid=,cls=,rtprio=,comm= -p "$pid" >"$work/threads.txt"
wait "$pid"
cat "$work/threads.txt"
grep -Eq 'FF +1 +aerolyre-audio$' "$work/threads.txt" || { echo "FAIL: the audio thread is not SCHED_FIFO 1"; exit 1; }
grep -Eq 'FF +2 +aerolyre-feeder$' "$work/threads.txt" || { echo "FAIL: the feeder is not SCHED_FIFO 2"; exit 1; }
if grep -q 'real-time scheduling was refused' "$work/root.txt"; then echo "FAIL: refused as root"; cat "$work/root.txt"; exit 1; fi

# Unprivileged: ALSA's file device stands in for a sound card any user may open.
chmod 755 "$work"
mkdir -m 777 "$work/user"
# A copy the user can reach whatever the build folder's permissions.
install -m 755 "$hold_tone" "$work/user/hold_tone"
cat >"$work/user/asound.conf" <<CONF
pcm.!default { type file; slave.pcm { type null }; file "$work/user/played.raw"; format "raw" }
CONF
setpriv --reuid=65534 --regid=65534 --clear-groups env HOME="$work/user" ALSA_CONFIG_PATH="$work/user/asound.conf" \
    DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent "$work/user/hold_tone" alsa 400 1 2>"$work/user.txt"
cat "$work/user.txt"
[ "$(grep -c 'real-time scheduling was refused' "$work/user.txt")" -eq 1 ] ||
    { echo "FAIL: not one line on the refusal"; exit 1; }
grep -q 'aerolyre: real-time scheduling was refused (SCHED_FIFO: Operation not permitted; rtkit: ' "$work/user.txt" ||
    { echo "FAIL: the line does not give both reasons"; exit 1; }
[ -s "$work/user/played.raw" ] || { echo "FAIL: nothing played"; exit 1; }
echo "PASS"
