#!/usr/bin/env bash
# The LV2 plugin as hosts load it: its Turtle validates; at 44100 Hz it plays the render tool's
# samples for the same pointer and settings; at 48000 and 96000 Hz a held note keeps its pitch
# within 1 cent; two instances in one process play independently; a MIDI note plays its pitch and
# its Note Off ends it; a step, a ramp or NaN on any port leaves a held note sounding; no run()
# allocates, even one that changes the tone or takes MIDI. Filters loaded by path (patch:Set, on the host's worker) land in the
# saved state: two instances restored from it play the render tool's samples for the tone the
# filters came from, and at 48000 Hz the resampled filters keep the pitch and the loudness. A
# filter file that does not load leaves the plugin playing.
#
#   plugin_test.sh BUNDLE_PARENT LV2_HOST AEROLYRE_RENDER
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
examples=$(cd "$here/../../examples" && pwd)
export LV2_PATH=$1:/usr/lib/lv2
host=$2
render=$3
uri=https://aerolyre.org/plugins/aerolyre
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if command -v sord_validate >/dev/null; then
    lv2_validate "$1/aerolyre.lv2/manifest.ttl" "$1/aerolyre.lv2/aerolyre.ttl" "$1"/aerolyre.lv2/presets/*.ttl \
        >"$work/validate.txt" 2>&1 ||
        { echo "FAIL: the Turtle does not validate"; cat "$work/validate.txt"; exit 1; }
    grep -q '^Found 0 errors' "$work/validate.txt" || { echo "FAIL: the Turtle does not validate"; cat "$work/validate.txt"; exit 1; }
    echo "the bundle's Turtle validates"
else
    echo "FAIL: sord_validate (package sordi) is missing"
    exit 1
fi

# The plugin holds no state of the program's: no shared record in its object.
if nm -C "$1/aerolyre.lv2/aerolyre.so" | grep -q PerformanceState; then
    echo "FAIL: the plugin's object holds the program's PerformanceState"
    exit 1
fi
echo "nm: no PerformanceState in the plugin's object"

# Pointer values a float holds exactly, so the render's script says the same.
same() { # NAME RENDER-OPTIONS SCRIPT-ROW PLUGIN-PORTS...
    local name=$1 opts=$2 row=$3
    shift 3
    "$host" "$uri" 44100 2 "$work/$name.plugin.wav" "$@" >/dev/null
    printf '0,%s\n88200,%s\n' "$row" "$row" >"$work/$name.csv"
    # shellcheck disable=SC2086
    "$render" $opts "$work/$name.csv" "$work/$name.render.wav"
    cmp <(tail -c +45 "$work/$name.plugin.wav") <(tail -c +45 "$work/$name.render.wav") ||
        { echo "FAIL: $name: the plugin's samples differ from the render tool's"; exit 1; }
    echo "$name: the plugin plays the render tool's 88200 samples exactly"
}
same held "" "0.375,0.25,0,0" x=0.375 y=0.25
same shifted-x4 "--overcycle 4" "0.625,0.125,1,0" x=0.625 y=0.125 left=1 overcycle=2

hz() { "$host" "$uri" "$1" 1 "$work/rate$1.wav" x=0.375 y=0.25 | sed -n 's/^frequency: \([0-9.]*\) Hz$/\1/p'; }
base=$(hz 44100)
for rate in 48000 96000; do
    f=$(hz "$rate")
    awk -v a="$base" -v b="$f" -v r="$rate" 'BEGIN { c = 1200 * log(b / a) / log(2); if (c < 0) c = -c;
        printf "%d Hz: %.3f Hz against %.3f Hz at 44100 (%.3f cents)\n", r, b, a, c; exit !(c < 1) }' ||
        { echo "FAIL: the pitch moved at $rate Hz"; exit 1; }
done

"$host" "$uri" 48000 1 "$work/pair.wav" --pair x=0.375 y=0.25 >/dev/null
echo "two instances in one process play independently"

# MIDI in: middle C from a Note On, silence after its Note Off.
"$host" "$uri" 48000 2 "$work/note.wav" note=60 >"$work/note.txt"
awk '/^frequency:/ { c = 1200 * log($2 / 261.6255653) / log(2); if (c < 0) c = -c; f = $2 }
     /^end peak:/ { p = $3 }
     END { printf "MIDI note 60: %.3f Hz (%.3f cents from C4), end peak %d\n", f, c, p; exit !(c < 1 && p == 0) }' \
    "$work/note.txt" || { echo "FAIL: MIDI note 60 did not play C4 and end"; exit 1; }

# Every example tone is a preset that hosts list, and at 44100 Hz it plays the render tool's
# samples of that tone.
lv2info "$uri" >"$work/info.txt"
for tone in "$examples"/tones/*.aly; do
    name=$(basename "$tone" .aly)
    label="$(tr '[:lower:]' '[:upper:]' <<<"${name:0:1}")${name:1}"
    grep -qx "[[:space:]]*$label" "$work/info.txt" || { echo "FAIL: lv2info lists no preset $label"; cat "$work/info.txt"; exit 1; }
    "$host" "$uri" 44100 2 "$work/preset-$name.wav" --preset "$uri#preset-$name" x=0.375 y=0.25 >/dev/null
    printf '0,0.375,0.25,0,0\n88200,0.375,0.25,0,0\n' >"$work/preset.csv"
    "$render" --tone "$tone" "$work/preset.csv" "$work/preset-$name.render.wav"
    cmp <(tail -c +45 "$work/preset-$name.wav") <(tail -c +45 "$work/preset-$name.render.wav") ||
        { echo "FAIL: the preset $label does not play the render tool's samples of $name.aly"; exit 1; }
    echo "preset $label: listed by lv2info, and plays the render tool's 88200 samples of $name.aly exactly"
done

# Every port stepped, ramped and set to NaN over a held note: the note goes on, at its pitch.
"$host" "$uri" 48000 0 - sweep=1 >"$work/sweep.txt" ||
    { cat "$work/sweep.txt"; echo "FAIL: a port change harmed a held note"; exit 1; }
echo "every port stepped, ramped and set to NaN over a held note at 48000 Hz: no silence, no dip, the pitch kept"

# The worker's risky orders, forced: twelve stages handed back at once are all freed, and a load
# still queued when a state is restored loses to it.
"$host" "$uri" 48000 0 - orders=1 file1="$examples/ir/room.wav" ||
    { echo "FAIL: a retired stage was kept, or a queued load overwrote a restored state"; exit 1; }

# Filters by path, kept in the state: the tone "room" as the plugin's ports and its two waveforms.
read -r -a room <<<"$(python3 "$here/tone_ports.py" "$examples/tones/room.aly")"
files=(file1="$examples/ir/room.wav" file2="$examples/ir/soften.wav")
"$host" "$uri" 44100 2 "$work/room.plugin.wav" --state "$work/room.ttl" x=0.375 y=0.25 "${room[@]}" "${files[@]}" \
    >"$work/room44100.txt"
grep -q 'filter1_taps' "$work/room.ttl" || { echo "FAIL: the state does not keep filter 1's taps"; exit 1; }
printf '0,0.375,0.25,0,0\n88200,0.375,0.25,0,0\n' >"$work/room.csv"
"$render" --tone "$examples/tones/room.aly" "$work/room.csv" "$work/room.render.wav"
cmp <(tail -c +45 "$work/room.plugin.wav") <(tail -c +45 "$work/room.render.wav") ||
    { echo "FAIL: the restored filters do not play the render tool's samples"; exit 1; }
echo "filters loaded by path, saved and restored twice: the render tool's 88200 samples of the tone room"

"$host" "$uri" 48000 2 "$work/room48000.wav" --state "$work/room48000.ttl" x=0.375 y=0.25 "${room[@]}" \
    "${files[@]}" >"$work/room48000.txt"
awk '/^frequency:/ { f[FILENAME] = $2 } /^rms:/ { r[FILENAME] = $2 }
     END { a = ARGV[1]; b = ARGV[2]; c = 1200 * log(f[b] / f[a]) / log(2); if (c < 0) c = -c
           db = 20 * log(r[b] / r[a]) / log(10); d = db < 0 ? -db : db
           printf "filtered at 48000 Hz: %.3f cents and %.2f dB from 44100 Hz\n", c, db
           exit !(c < 1 && d < 0.5) }' "$work/room44100.txt" "$work/room48000.txt" ||
    { echo "FAIL: the resampled filters change the pitch or the loudness"; exit 1; }

# The filters' time stays in seconds: an impulse response that is one tap at 0.25 s starts the
# sound 0.25 s late at every rate.
python3 - "$work/late.wav" <<'PY'
import struct, sys
taps = [0] * 11026
taps[11025] = 32767
data = struct.pack('<%dh' % len(taps), *taps)
open(sys.argv[1], 'wb').write(b'RIFF' + struct.pack('<I', 36 + len(data)) + b'WAVEfmt ' +
    struct.pack('<IHHIIHH', 16, 1, 1, 44100, 88200, 2, 16) + b'data' + struct.pack('<I', len(data)) + data)
PY
onset() { "$host" "$uri" "$1" 1 "$work/late$1.wav" --state "$work/late.ttl" x=0.375 y=0 filter=1 file1="$work/late.wav" |
    sed -n 's/^onset: \([0-9.]*\) s$/\1/p'; }
awk -v a="$(onset 44100)" -v b="$(onset 96000)" 'BEGIN { d = b - a; if (d < 0) d = -d
    printf "a filter of one tap at 0.25 s: the sound starts at %.4f s at 44100 Hz, %.4f s at 96000 Hz\n", a, b
    exit !(a > 0.25 && d < 0.0005) }' || { echo "FAIL: the filter's delay changed with the rate"; exit 1; }

"$host" "$uri" 44100 1 "$work/missing.wav" x=0.375 y=0.25 filter=1 file1="$work/no such file.wav" \
    >/dev/null 2>"$work/missing.txt"
[ -s "$work/missing.txt" ] || { echo "FAIL: a missing filter file gave no message"; exit 1; }
echo "a missing filter file: $(head -n 1 "$work/missing.txt"), and play goes on"
