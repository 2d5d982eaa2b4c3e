#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, ASan + UBSan) and runs each from its corpus in the
# repository for a bounded time: the WAV readers, the tone file reader, the settings file parser,
# the gesture script reader and the scale and keyboard-map reader. Fails on any crash, leak,
# sanitizer report or broken property.
#
#   scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(wave tone settings gesture scale)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

for t in "${targets[@]}"; do
    # New inputs go to a scratch copy; the repository's corpus is only read.
    work=$(mktemp -d)
    cp -r "tests/fuzz/corpus/$t/." "$work/"
    echo "=== fuzzing $t for ${seconds}s"
    status=0
    build/fuzz/tests/fuzz/aerolyre_${t}_fuzz -max_total_time="$seconds" -max_len=4096 \
        -print_final_stats=1 "$work" >"$work.log" 2>&1 || status=$?
    tail -n 12 "$work.log"
    rm -rf "$work" "$work.log"
    [ "$status" -eq 0 ] || { echo "FAIL: the $t fuzzer found a fault (status $status)"; exit "$status"; }
done
