#!/usr/bin/env bash
# Dropouts under load through a real sound server. A JACK server of the test's own (dummy driver,
# 48000 Hz) at a given period, real-time as jackd runs by default and as a musician runs it (so
# the CPU hogs hold up neither the server nor the threads the program makes real-time). The
# program's session holds a loud tone for SECONDS through `jack`, or through ALSA's JACK plugin
# (`alsa`: PortAudio's ALSA host, ALSA periods and buffers, paced by the server); jack_capture
# records the system playback while two CPU hogs and a disk writer with fsync run beside it. The
# capture's gaps (runs of 24 or more silent samples inside the sound) are counted and compared
# with the underruns the program reports.
# Beside it, a probe of the machine notes every stall of a whole CPU (a late wake-up of a thread at
# the highest real-time priority). A virtual machine's CPUs are held by their host now and then,
# for up to 100 ms here: no ring rides through a stall longer than the sound it holds, whatever
# the program does.
#
#   dropout_test.sh HOLD_TONE COUNT_GAPS STALL_PROBE SECONDS CASE...
# Each CASE is PATH:PERIOD:BUFFER:LOAD[:check], e.g. jack:256:64:both:check, where LOAD is cpu
# (two CPU hogs), disk (a writer with fsync), both or none; with "check" the case fails on any
# gap beyond one for each machine stall longer than the ring holds (its 16 blocks less the one
# being made). Prints one table row a case: path, period, buffer, load, gaps, silent ms, those
# stalls and the longest, the program's line.
# Every case must report at least as many underruns as the capture has gaps. With
# STALL=EVERY_MS:FOR_MS the audio thread stalls now and then, so that there are gaps to count.
set -euo pipefail
hold_tone=$1
count_gaps=$2
stall_probe=$3
seconds=$4
shift 4
source "$(dirname "$0")/../e2e/e2e_lib.sh"

load_pids=()
stop_load() {
    for p in "${load_pids[@]}"; do kill "$p" 2>/dev/null || true; done
    for p in "${load_pids[@]}"; do wait "$p" 2>/dev/null || true; done
    load_pids=()
    rm -f "$work/disk-load"
}
trap 'stop_load; cleanup' EXIT

start_load() { # cpu|disk|both|none
    if [ "$1" = cpu ] || [ "$1" = both ]; then
        yes >/dev/null &
        load_pids+=($!)
        yes >/dev/null &
        load_pids+=($!)
    fi
    if [ "$1" = disk ] || [ "$1" = both ]; then
        (while :; do dd if=/dev/zero of="$work/disk-load" bs=1M count=128 conv=fsync status=none; done) &
        load_pids+=($!)
    fi
}

# ALSA's JACK plugin as the default device, selected for this test only.
cat >"$work/asound.conf" <<'EOF'
pcm.!default { type plug; slave.pcm "tojack" }
pcm.tojack { type jack; playback_ports { 0 system:playback_1 1 system:playback_2 } }
ctl.!default { type hw; card 0 }
EOF

stall=()
if [ -n "${STALL:-}" ]; then stall=("$(echo "$STALL" | cut -d: -f1)" "$(echo "$STALL" | cut -d: -f2)"); fi

failed=0
n=0
echo "path  period  buffer  load  gaps  silent_ms  stalls  longest_ms  program"
for c in "$@"; do
    IFS=: read -r path period buffer load check <<<"$c"
    n=$((n + 1))
    start_jack_server "aerolyre-dropout-$$-$n" 48000 "$period" realtime
    rm -f "$work/capture.wav"
    jack_capture -c 1 -b 16 --daemon -fn "$work/capture.wav" >/dev/null 2>&1 &
    capture_pid=$!
    for _ in $(seq 50); do jack_lsp 2>/dev/null | grep -q '^jack_capture' && break; sleep 0.1; done
    start_load "$load"
    "$stall_probe" $((seconds + 3)) >"$work/stalls.txt" &
    probe_pid=$!
    if [ "$path" = alsa ]; then
        ALSA_CONFIG_PATH=$work/asound.conf "$hold_tone" alsa "$buffer" "$seconds" "${stall[@]}" 2>"$work/report.txt" || true
    else
        "$hold_tone" jack "$buffer" "$seconds" "${stall[@]}" 2>"$work/report.txt" || true
    fi
    stop_load
    wait "$probe_pid" || true
    sleep 0.3
    kill -INT "$capture_pid"
    wait "$capture_pid" 2>/dev/null || true
    kill "$jackd_pid" 2>/dev/null || true
    wait "$jackd_pid" 2>/dev/null || true
    jackd_pid=""

    line=$(grep 'sound device' "$work/report.txt" | tail -1 | sed 's/^aerolyre: //')
    result=$("$count_gaps" "$work/capture.wav")
    gaps=$(echo "$result" | sed -n 's/^gaps \([0-9]*\),.*/\1/p')
    silent=$(echo "$result" | sed -n 's/.*silent \([0-9.]*\) ms.*/\1/p')
    sound=$(echo "$result" | sed -n 's/.*sound \([0-9.]*\) s.*/\1/p')
    counted=$(echo "$line" | sed -n 's/.*: \([0-9]*\) underruns.*/\1/p')
    ring=$(echo "$line" | sed -n 's/.*(ring \([0-9.]*\) ms.*/\1/p')
    stalls=$(awk -v r="${ring:-0}" '$1 == "stall" && $2 >= r * 15 / 16 { n++ } END { print n + 0 }' "$work/stalls.txt")
    longest=$(awk '$1 == "stall" { print $2; exit } END { if (NR < 2) print 0 }' "$work/stalls.txt")
    printf '%-5s %6s  %6s  %-4s  %4s  %9s  %6s  %10s  %s\n' "$path" "$period" "$buffer" "$load" "$gaps" "$silent" \
        "$stalls" "$longest" "$line"
    grep -q '^probe realtime' "$work/stalls.txt" || head -1 "$work/stalls.txt"
    if [ -z "$line" ] || [ -z "$gaps" ] || awk -v s="$sound" -v t="$seconds" 'BEGIN { exit !(s < t / 2) }'; then
        echo "FAIL: no session report or too little sound ($result)"
        cat "$work/report.txt"
        failed=1
        continue
    fi
    # Every gap a listener hears must be in the program's count.
    if [ "${counted:-0}" -lt "$gaps" ]; then
        echo "FAIL: the capture has $gaps gaps, the program counted ${counted:-none}"
        failed=1
    fi
    if [ "${check:-}" = check ] && [ "$gaps" -gt "$stalls" ]; then
        echo "FAIL: $gaps gaps, and the machine stalled longer than the ring only $stalls times"
        failed=1
    fi
done
[ "$failed" -eq 0 ] && echo "PASS"
exit "$failed"
