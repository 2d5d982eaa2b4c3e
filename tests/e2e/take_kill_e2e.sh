#!/usr/bin/env bash
# End to end: a take survives a kill. The program plays with a take for two seconds and is killed
# (SIGKILL) while the board is up: the take on disk ends on a whole row, and it renders as a
# prefix of what was played, sample for sample.
#
#   take_kill_e2e.sh AEROLYRE AEROLYRE_RENDER
set -euo pipefail
aerolyre=$1
render=$2
source "$(dirname "$0")/e2e_lib.sh"

start_program "$aerolyre" --take "$work/killed.csv"
open_board
for x in 20 60 100 140 180; do
    xdotool mousemove $((X + x)) $((Y + 5))
    sleep 0.4
done
kill -KILL "$app_pid"
wait "$app_pid" 2>/dev/null || true
app_pid=""

[ "$(tail -c 1 "$work/killed.csv" | od -An -c | tr -d ' ')" = '\n' ] ||
    { echo "FAIL: the killed take ends inside a row"; tail -c 200 "$work/killed.csv"; exit 1; }
rows=$(grep -vc '^#' "$work/killed.csv")
cmd=$(sed -n 's/^# render again: //p' "$work/killed.csv")
cmd=${cmd/#aerolyre-render/$render}
(cd / && eval "${cmd% OUT.wav} $work/killed.wav") 2>"$work/render.txt" ||
    { echo "FAIL: the killed take does not render"; cat "$work/render.txt"; exit 1; }
played=$(($(stat -c %s "$work/capture.wav") - 44))
rendered=$(($(stat -c %s "$work/killed.wav") - 44))
n=$((played < rendered ? played : rendered))
[ "$n" -gt 40000 ] || { echo "FAIL: played $played bytes, rendered $rendered"; exit 1; }
cmp -n "$n" <(tail -c +45 "$work/capture.wav") <(tail -c +45 "$work/killed.wav") ||
    { echo "FAIL: the killed take's render differs from what was played"; exit 1; }
echo "a take killed mid-play: $rows whole rows, rendered $((rendered / 2)) samples, the first $((n / 2)) equal to those played"
echo "PASS"
