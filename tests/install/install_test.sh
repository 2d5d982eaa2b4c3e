#!/usr/bin/env bash
# Installs the build into a DESTDIR as a distribution package would, checks that everything a
# desktop program ships is there and valid, then uninstalls and checks that nothing is left.
#   install_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
src=$2
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR=$dest cmake --install "$build" --prefix /usr --strip >/dev/null
root=$dest/usr
id=org.aerolyre.Aerolyre

expected=(
    bin/aerolyre bin/aerolyre-render
    share/applications/$id.desktop share/metainfo/$id.metainfo.xml
    share/icons/hicolor/scalable/apps/$id.svg
    share/man/man1/aerolyre.1 share/man/man1/aerolyre-render.1
    share/doc/aerolyre/README.md share/doc/aerolyre/LICENSE
    share/doc/aerolyre/examples/README.md
    share/doc/aerolyre/examples/tones/plain.aly share/doc/aerolyre/examples/tones/room.aly
    share/doc/aerolyre/examples/tones/feedback.aly
    share/doc/aerolyre/examples/ir/room.wav share/doc/aerolyre/examples/ir/soften.wav
    share/doc/aerolyre/examples/gestures/scale.csv share/doc/aerolyre/examples/gestures/glide-vibrato.csv
)
# The LV2 bundle, where hosts look for it, when the build has it.
if [ -d "$build/lv2/aerolyre.lv2" ]; then
    expected+=(lib/lv2/aerolyre.lv2/aerolyre.so lib/lv2/aerolyre.lv2/manifest.ttl lib/lv2/aerolyre.lv2/aerolyre.ttl)
    # A preset for each example tone, with the impulse responses the room tone uses.
    for f in feedback.ttl plain.ttl room.ttl room-filter1.wav room-filter2.wav; do
        expected+=("lib/lv2/aerolyre.lv2/presets/$f")
    done
fi
for size in 16 22 24 32 48 64 128 256; do
    expected+=("share/icons/hicolor/${size}x${size}/apps/$id.png")
done
for f in "${expected[@]}"; do
    [ -s "$root/$f" ] || fail "$f is not installed"
done
# Nothing else: every installed file is one of the list.
extra=$(cd "$root" && find . -type f | sed 's|^\./||' | sort | comm -23 - <(printf '%s\n' "${expected[@]}" | sort))
[ -z "$extra" ] || fail "installed but not expected: $extra"

# Stripped binaries that run from where they were installed.
for b in aerolyre aerolyre-render; do
    if readelf -S "$root/bin/$b" | grep -q '\.symtab'; then fail "bin/$b is not stripped"; fi
done
version=$("$root/bin/aerolyre-render" --version)
[ "$version" = "$("$root/bin/aerolyre" --version | sed 's/^aerolyre/aerolyre-render/')" ] ||
    fail "the two programs give different versions"

# Each icon is the size its folder says.
for size in 16 22 24 32 48 64 128 256; do
    got=$(identify -format '%wx%h' "$root/share/icons/hicolor/${size}x${size}/apps/$id.png")
    [ "$got" = "${size}x${size}" ] || fail "the ${size} px icon is $got"
done
# The scalable icon draws the same picture as the large one.
rsvg-convert -w 256 -h 256 "$root/share/icons/hicolor/scalable/apps/$id.svg" -o "$dest/svg.png" ||
    fail "the SVG icon does not render"
difference=$( (compare -metric RMSE "$root/share/icons/hicolor/256x256/apps/$id.png" "$dest/svg.png" null: 2>&1 || true) |
    sed 's/.*(\(.*\))/\1/')
awk -v d="$difference" 'BEGIN { exit !(d < 0.02) }' || fail "the SVG and the 256 px icon differ by $difference"
rm "$dest/svg.png"

desktop-file-validate "$root/share/applications/$id.desktop" || fail "desktop-file-validate"
grep -q '^GenericName\[ja\]=' "$root/share/applications/$id.desktop" || fail "no Japanese GenericName"
grep -q '^Keywords\[ja\]=' "$root/share/applications/$id.desktop" || fail "no Japanese Keywords"
# The launcher's actions play through JACK and through ALSA.
grep -q '^Actions=jack;alsa;$' "$root/share/applications/$id.desktop" || fail "no launcher actions"
grep -q '^Exec=aerolyre --device jack$' "$root/share/applications/$id.desktop" || fail "no JACK action"
grep -q '^Exec=aerolyre --device alsa$' "$root/share/applications/$id.desktop" || fail "no ALSA action"
appstreamcli validate --no-net "$root/share/metainfo/$id.metainfo.xml" >/dev/null ||
    { appstreamcli validate --no-net "$root/share/metainfo/$id.metainfo.xml"; fail "appstreamcli validate"; }
grep -q "<release version=\"${version#aerolyre-render }\"" "$root/share/metainfo/$id.metainfo.xml" ||
    fail "the metainfo's release is not $version"

# The manual pages format without a warning and name this version, and the render tool's one
# documents its exit codes.
for page in aerolyre aerolyre-render; do
    warnings=$(LC_ALL=C.UTF-8 groff -k -man -Tutf8 -ww -z "$root/share/man/man1/$page.1" 2>&1)
    [ -z "$warnings" ] || fail "$page.1: $warnings"
    grep -q "^\.TH .*\"Aerolyre ${version#aerolyre-render }\"" "$root/share/man/man1/$page.1" ||
        fail "$page.1 does not name version ${version#aerolyre-render }"
done
grep -q '^\.SH EXIT STATUS' "$root/share/man/man1/aerolyre-render.1" || fail "no exit status in aerolyre-render.1"
# They name the examples where a build configured for its prefix installs them.
prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
for page in aerolyre aerolyre-render; do
    named=$(grep -o '/[^ ]*/examples' "$root/share/man/man1/$page.1" | sort -u)
    [ "$named" = "$prefix/share/doc/aerolyre/examples" ] || fail "$page.1 names the examples at '$named', not under $prefix"
done

# The uninstall removes every file and the folders that were ours, and only those.
touch "$root/share/applications/other.desktop"
DESTDIR=$dest cmake -DMANIFEST="$build/install_manifest.txt" -DPREFIX=/usr -P "$src/cmake/uninstall.cmake" >/dev/null
left=$(cd "$root" && find . -type f | sed 's|^\./||')
[ "$left" = "share/applications/other.desktop" ] || fail "left after the uninstall: $left"
[ ! -e "$root/share/doc/aerolyre" ] || fail "share/doc/aerolyre is left"
[ ! -e "$root/share/icons/hicolor/48x48" ] || fail "the icon folders are left"
[ -d "$root/share/man/man1" ] || fail "the uninstall removed the shared man1 folder"
echo "install, check and uninstall: ok"
