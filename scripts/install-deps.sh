#!/usr/bin/env bash
# Installs every Debian package the build, the program and the tests need.
# Idempotent and non-interactive: packages already present are not touched, and apt is only
# consulted when something is missing.
set -euo pipefail

packages=(
    cmake ninja-build pkg-config g++ clang libclang-rt-14-dev
    qt6-base-dev qt6-translations-l10n portaudio19-dev libasound2-dev
    libsamplerate0-dev librtmidi-dev
    libgtest-dev libgmock-dev libbenchmark-dev libfftw3-dev libsndfile1-dev
    sox xvfb xauth xdotool imagemagick fonts-ipafont-gothic
    jackd2 jack-capture libjack-jackd2-dev time
)

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
