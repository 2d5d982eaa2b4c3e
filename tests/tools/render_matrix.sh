#!/usr/bin/env bash
# Renders a fixed set of tones, gestures and settings and prints one checksum line per output
# file. The list in render_matrix.sha256 is what the instrument renders today; a change to any
# sound, however small, shows up as a changed line.
#   render_matrix.sh RENDER_TOOL SOURCE_DIR            print the checksums
#   render_matrix.sh RENDER_TOOL SOURCE_DIR --check    compare them with render_matrix.sha256
set -euo pipefail
tool=$1
src=$2
ex=$src/examples
corpus=$src/tests/fuzz/corpus
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The room tone with filter 1's delay loop on: delay 300 samples, feedback 40 %, the last two fields.
cp "$ex/tones/room.aly" "$work/loop.aly"
printf '\x2c\x01\x00\x00\x28\x00\x00\x00' |
    dd of="$work/loop.aly" bs=1 seek=$(($(stat -c %s "$work/loop.aly") - 8)) conv=notrunc status=none
# Accompaniments long enough for the cache, stereo 16-bit and 8-bit.
sox -R -D -n -r 44100 -c 2 -b 16 "$work/accomp16.wav" synth 4 sine 220 sine 330 gain -6
sox -R -D -n -r 44100 -c 2 -b 8 -e unsigned-integer "$work/accomp8.wav" synth 1.5 square 110 sine 165 gain -9
printf '! just.scl\nJust major\n7\n9/8\n5/4\n4/3\n3/2\n5/3\n15/8\n2/1\n' >"$work/just.scl"

# name | options | gesture
cases=(
    "plain-scale||$ex/gestures/scale.csv"
    "plain-glide-x16|--overcycle 16|$ex/gestures/glide-vibrato.csv"
    "room-glide|--tone $ex/tones/room.aly|$ex/gestures/glide-vibrato.csv"
    "room-scale-x4|--tone $ex/tones/room.aly --overcycle 4|$ex/gestures/scale.csv"
    "feedback-glide-x2|--tone $ex/tones/feedback.aly --overcycle 2|$ex/gestures/glide-vibrato.csv"
    "feedback-edges-x8|--tone $ex/tones/feedback.aly --overcycle 8|$corpus/gesture/edges.csv"
    "loop-scale|--tone $work/loop.aly|$corpus/gesture/scale.csv"
    "loop-glide-x16|--tone $work/loop.aly --overcycle 16|$ex/gestures/glide-vibrato.csv"
    "buffer-odd|--buffer 77 --cache 100|$ex/gestures/scale.csv"
    "accomp-loop|--accomp $work/accomp16.wav --accomp-loop --accomp-ratio 30|$ex/gestures/scale.csv"
    "accomp-8bit-record|--accomp $work/accomp8.wav --accomp-loop --record $work/accomp-8bit-record.rec.wav --record-accomp|$ex/gestures/glide-vibrato.csv"
    "record-float|--tone $ex/tones/room.aly --record $work/record-float.rec.wav --record-float|$ex/gestures/scale.csv"
    "quantise|--quantise --midi $work/quantise.mid|$ex/gestures/glide-vibrato.csv"
    "just-single|--scale $work/just.scl --reference 220 --midi $work/just-single.mid --midi-mode single|$ex/gestures/scale.csv"
)
for c in "${cases[@]}"; do
    IFS='|' read -r name opts gesture <<<"$c"
    # shellcheck disable=SC2086
    "$tool" $opts "$gesture" "$work/$name.wav" || { echo "render_matrix: $name failed" >&2; exit 1; }
done
(cd "$work" && sha256sum $(ls | grep -v '^sums$' | grep -v '\.scl$\|\.aly$\|^accomp[0-9]*\.wav$' | sort)) >"$work/sums"
if [ "${3:-}" = "--check" ]; then
    diff -u "$src/tests/tools/render_matrix.sha256" "$work/sums" && echo "every render as recorded"
else
    cat "$work/sums"
fi
