#!/usr/bin/env bash
# The MIDI the instrument sends, played by a real General MIDI synthesizer (fluidsynth with the
# TimGM6mb soundfont, program 21 Reed Organ: a steady tone, where this font's square lead swings
# by 10 dB on its own): gestures rendered to WAV and single-channel SMF,
# the SMF rendered by fluidsynth, and the two sounds' pitch and loudness compared.
#
#   receiver_test.sh AEROLYRE_RENDER RECEIVER_CHECK
set -euo pipefail
render=$1
check=$2
sf2=/usr/share/sounds/sf2/TimGM6mb.sf2
[ -r "$sf2" ] || { echo "FAIL: no $sf2 (timgm6mb-soundfont)"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Pointer x for a MIDI note with the start-up tone: range 5 octaves, base octave 9.
x() { awk -v n="$1" 'BEGIN { l = log(440 * 2 ^ ((n - 69) / 12)) / log(2);
    printf "%.6f", (l - log(0.0002 * 44100 / 6.28318530717958) / log(2) - 9 + 2.5) / 5.25 }'; }
gesture() { # NAME: writes $work/NAME.csv
    case $1 in
    glide) awk -v a="$(x 60)" -v b="$(x 84)" 'BEGIN { print "0," a ",0.2,0,0";
        for (n = 22050; n <= 22050 + 176400; n += 441) printf "%d,%.6f,0.2,0,0\n", n, a + (b - a) * (n - 22050) / 176400;
        print "220500," b ",0.2,0,0" }' ;;
    vibrato) awk -v a="$(x 69)" -v s="$(x 70)" 'BEGIN { for (n = 0; n <= 132300; n += 220)
        printf "%d,%.6f,0.2,0,0\n", n, a + (s - a) * 0.5 * sin(2 * 3.14159265 * 6 * n / 44100) }' ;;
    jump) printf '0,%s,0.2,0,0\n44100,%s,0.2,0,0\n110250,%s,0.2,0,0\n' "$(x 60)" "$(x 84)" "$(x 84)" ;;
    buttons) printf '0,%s,0.2,0,0\n33075,%s,0.2,1,0\n66150,%s,0.2,0,0\n99225,%s,0.2,0,1\n132300,%s,0.2,0,0\n' \
        "$(x 64)" "$(x 64)" "$(x 64)" "$(x 64)" "$(x 64)" ;;
    swell) awk -v a="$(x 67)" 'BEGIN { for (n = 0; n <= 66150; n += 441) printf "%d,%s,%.4f,0,0\n", n, a, 1 - n / 66150;
        print "88200," a ",0,0,0" }' ;;
    esac >"$work/$1.csv"
}

fail=0
for g in glide vibrato jump buttons swell; do
    gesture "$g"
    "$render" --midi "$work/$g.mid" --midi-mode single "$work/$g.csv" "$work/$g.wav"
    "$check" program "$work/$g.mid" "$work/$g.gm.mid" 20
    fluidsynth -ni -q -g 1 -R 0 -C 0 -r 44100 -F "$work/$g.synth.wav" "$sf2" "$work/$g.gm.mid" >/dev/null 2>&1
    echo "$g:"
    "$check" compare "$work/$g.wav" "$work/$g.synth.wav" $([ "$g" = swell ] && echo --swell) || { echo "FAIL: $g"; fail=1; }
done
exit $fail
