#!/usr/bin/env bash
# The Debian package: dpkg-buildpackage builds the binary packages from a copy of the source
# tree, lintian finds no error and no warning in them (info tags are printed), and the packages
# unpacked into a fresh root (dpkg -x, no installation) run from there: the program names its
# version, the render tool plays an installed example, and the plugin's bundle validates.
#
#   deb_test.sh SOURCE_DIR
set -euo pipefail
src=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

version=$(dpkg-parsechangelog -l "$src/debian/changelog" -S Version)
tree=$work/aerolyre-$version
mkdir -p "$tree"
# The tracked files only: no build folders of the checkout.
if git -C "$src" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    (cd "$src" && git ls-files -z | xargs -0 cp --parents -t "$tree")
else
    (cd "$src" && tar --exclude=./build --exclude=./.git -cf - .) | tar -C "$tree" -xf -
fi
(cd "$tree" && dpkg-buildpackage -us -uc -b >"$work/build.log" 2>&1) || { tail -40 "$work/build.log"; fail "dpkg-buildpackage"; }
echo "dpkg-buildpackage: $(cd "$work" && ls ./*.deb | tr '\n' ' ')"

grep -q -- '-D_FORTIFY_SOURCE=2' "$work/build.log" && grep -q -- '-Wl,-z,relro -Wl,-z,now' "$work/build.log" ||
    fail "the build did not use Debian's hardening flags"
[ -s "$work/aerolyre-dbgsym_${version}_amd64.deb" ] || [ -s "$work/aerolyre-dbgsym_${version}_$(dpkg --print-architecture).deb" ] ||
    fail "no debug-symbol package: the binaries were stripped at link time"

lintian -I --pedantic "$work/aerolyre_${version}_$(dpkg --print-architecture).changes" >"$work/lintian.txt" 2>&1 || true
grep -v 'running with root privileges' "$work/lintian.txt" || true
if grep -E '^[EW]: ' "$work/lintian.txt"; then fail "lintian reports errors or warnings"; fi
echo "lintian: no errors, no warnings"

root=$work/root
for deb in "$work"/aerolyre_*.deb "$work"/aerolyre-lv2_*.deb; do dpkg -x "$deb" "$root"; done
dpkg -c "$work"/aerolyre_*.deb | grep -q 'usr/share/doc/aerolyre/LICENSE' && fail "the licence is in the docs folder"
"$root/usr/bin/aerolyre" --version | grep -qx "aerolyre ${version%%-*}" || fail "aerolyre --version"
examples=$root/usr/share/doc/aerolyre/examples
"$root/usr/bin/aerolyre-render" --tone "$examples/tones/room.aly" "$examples/gestures/scale.csv" "$work/scale.wav"
[ "$(stat -c %s "$work/scale.wav")" -gt 100000 ] || fail "the render wrote too little"
echo "the unpacked program names its version; the render tool played an installed example"
if command -v sord_validate >/dev/null; then
    lv2_validate "$root/usr/lib/lv2/aerolyre.lv2/manifest.ttl" "$root/usr/lib/lv2/aerolyre.lv2/aerolyre.ttl" \
        "$root"/usr/lib/lv2/aerolyre.lv2/presets/*.ttl 2>&1 |
        grep -q '^Found 0 errors' || fail "the packaged plugin's Turtle does not validate"
    echo "the packaged plugin's Turtle validates"
fi
echo "PASS"
