#!/usr/bin/env bash
# Builds and runs every test: a bounded fuzz run of each file reader, the normal build (all
# tests) with the format and static checks, then the non-UI tests under AddressSanitizer +
# UndefinedBehaviorSanitizer and under ThreadSanitizer.
# Installs whatever Debian packages are missing first.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh test

# First, so that the last lines printed are the test runner's summary.
scripts/fuzz.sh 30

for preset in default asan tsan; do
    echo "=== $preset build"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    if [ "$preset" = default ]; then
        # The format and the static checks, on the compile commands of this build.
        scripts/lint.sh build/default
    fi
    echo "=== $preset tests"
    ctest --preset "$preset"
done
