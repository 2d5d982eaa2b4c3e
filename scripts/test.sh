#!/usr/bin/env bash
# Builds and runs every test: the normal build (all tests), then the non-UI tests under
# AddressSanitizer + UndefinedBehaviorSanitizer and under ThreadSanitizer, then a bounded fuzz run
# of the WAV readers.
# Installs whatever Debian packages are missing first.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

for preset in default asan tsan; do
    echo "=== $preset build"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    echo "=== $preset tests"
    ctest --preset "$preset"
done

scripts/fuzz.sh 60
