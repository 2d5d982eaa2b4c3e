#!/usr/bin/env bash
# End to end: a take replays whatever shaped its sound. With a 7-limit just scale chosen and the
# correction at 80 %, three sessions are played through the capture device: the correction on
# throughout, off throughout (guides only), and switched with Q twice while playing. Each take's
# own command, run from another folder, must render the captured sound sample for sample, with
# the scale copied beside the take.
#
#   take_correction_e2e.sh AEROLYRE AEROLYRE_RENDER
set -euo pipefail
aerolyre=$1
render=$2
source "$(dirname "$0")/e2e_lib.sh"
reg=$XDG_CONFIG_HOME/Velmora/Aerolyre/registry.reg
printf '! septimal\n7-limit just\n7\n8/7\n5/4\n4/3\n3/2\n5/3\n7/4\n2/1\n' >"$work/just.scl"

# A first run writes the settings file that the sessions' choices are added to.
start_program "$aerolyre"
sleep 0.5
end_program
[ -s "$reg" ] || { echo "FAIL: no settings file"; exit 1; }

play() { # NAME QUANTISE(0|1) TOGGLE(yes|no)
    sed -i '/"Tuning_/d' "$reg"
    printf '"Tuning_Guides"=dword:00000001\n"Tuning_Quantise"=dword:%08x\n"Tuning_Scale"="%s"\n"Tuning_Strength"=dword:00000050\n' \
        "$2" "$work/just.scl" >>"$reg"
    rm -f "$work/capture.wav"
    start_program "$aerolyre" --take "$work/$1.csv"
    click_du 165 290
    board=$(wait_window '演奏盤')
    geometry "$board"
    xdotool mousemove $((X + WIDTH * 45 / 100)) $((Y + 20))
    sleep 0.5
    [ "$3" = yes ] && xdotool key q
    xdotool mousemove $((X + WIDTH * 46 / 100)) $((Y + 25))
    sleep 0.5
    [ "$3" = yes ] && xdotool key q
    xdotool mousemove $((X + WIDTH * 47 / 100)) $((Y + 20))
    sleep 0.4
    xdotool key Escape
    for _ in $(seq 50); do xdotool search --name '演奏盤' >/dev/null 2>&1 || break; sleep 0.1; done
    end_program
    mv "$work/capture.wav" "$work/$1.played.wav"
}

check() { # NAME CORRECTION-ROWS
    local take=$work/$1.csv
    [ -s "${take%.csv}.aly" ] && [ -s "${take%.csv}.scl" ] || { echo "FAIL: $1: no tone or scale beside the take"; ls "$work"; exit 1; }
    local rows
    rows=$(grep -E '^[0-9]+,correction,(on|off)$' "$take" | cut -d, -f3 | tr '\n' ' ')
    [ "$rows" = "$2" ] || { echo "FAIL: $1: correction rows '$rows', expected '$2'"; exit 1; }
    local cmd
    cmd=$(sed -n 's/^# render again: //p' "$take")
    grep -q -- "--scale ${take%.csv}.scl" <<<"$cmd" && grep -q -- "--correction-strength 80" <<<"$cmd" ||
        { echo "FAIL: $1: the command lacks the tuning: $cmd"; exit 1; }
    # From another folder, with the render tool's path and an output of our own.
    cmd=${cmd/#aerolyre-render/$render}
    (cd / && eval "${cmd% OUT.wav} $work/$1.rendered.wav")
    same_as_played "$work/$1.played.wav" "$work/$1.rendered.wav" "$1"
}

play on 1 no
play off 0 no
play toggled 1 yes
check on "on "
check off "off "
check toggled "on off on "
