#!/usr/bin/env bash
# Installs the Debian packages the program needs (run) or the program and every test (test, the
# default).
# Idempotent and non-interactive: packages already present are not touched, and apt is only
# consulted when something is missing.
set -euo pipefail

# What building and running the program needs (scripts/run.sh).
run_packages=(
    cmake ninja-build pkg-config g++
    qt6-base-dev qt6-tools-dev qt6-l10n-tools qt6-translations-l10n portaudio19-dev libasound2-dev libjack-jackd2-dev
    libsamplerate0-dev librtmidi-dev libfftw3-dev libdbus-1-dev fonts-ipafont-gothic qt6-wayland
)
# What the tests, fuzzers, benchmarks and end-to-end runs need besides (scripts/test.sh).
test_packages=(
    clang libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev libsndfile1-dev
    sox xvfb xauth xdotool imagemagick jackd2 jack-capture libasound2-plugins procps time qt6-base-private-dev weston
    debhelper lintian
    fluidsynth timgm6mb-soundfont lv2-dev liblilv-dev lilv-utils sordi jalv ardour binutils
    desktop-file-utils appstream groff-base librsvg2-bin python3 clang-format clang-tidy
)

case "${1:-test}" in
    run) packages=("${run_packages[@]}") ;;
    test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
    *) echo "usage: install-deps.sh [run|test]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
