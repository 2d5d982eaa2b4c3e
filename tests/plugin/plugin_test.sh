#!/usr/bin/env bash
# The LV2 plugin as hosts load it: its Turtle validates; at 44100 Hz it plays the render tool's
# samples for the same pointer and settings; at 48000 and 96000 Hz a held note keeps its pitch
# within 1 cent; two instances in one process play independently; a MIDI note plays its pitch and
# its Note Off ends it; no run() allocates, even one that restarts the voice for a changed tone
# setting or takes MIDI.
#
#   plugin_test.sh BUNDLE_PARENT LV2_HOST AEROLYRE_RENDER
set -euo pipefail
export LV2_PATH=$1:/usr/lib/lv2
host=$2
render=$3
uri=https://aerolyre.org/plugins/aerolyre
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if command -v sord_validate >/dev/null; then
    lv2_validate "$1/aerolyre.lv2/manifest.ttl" "$1/aerolyre.lv2/aerolyre.ttl" >"$work/validate.txt" 2>&1 ||
        { echo "FAIL: the Turtle does not validate"; cat "$work/validate.txt"; exit 1; }
    grep -q '^Found 0 errors' "$work/validate.txt" || { echo "FAIL: the Turtle does not validate"; cat "$work/validate.txt"; exit 1; }
    echo "the bundle's Turtle validates"
else
    echo "FAIL: sord_validate (package sordi) is missing"
    exit 1
fi

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
