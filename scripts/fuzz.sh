#!/usr/bin/env bash
# Builds the WAV fuzz target (clang, libFuzzer, ASan + UBSan) and runs it for a bounded time.
# Fails on any crash, leak or sanitizer report. Usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT

# Seeds built here byte by byte: a header (fmt, data) followed by some sample bytes.
seed() { # name tag channels rate avgbytes align bits datasize
    local name=$1
    {
        printf 'RIFF\x00\x10\x00\x00WAVEfmt \x10\x00\x00\x00'
        printf "$2$3$4$5$6$7"
        printf "data$8"
        head -c 600 /dev/zero | tr '\0' '\101'
    } > "$corpus/$name"
}
seed pcm16_mono   '\x01\x00' '\x01\x00' '\x44\xac\x00\x00' '\x88\x58\x01\x00' '\x02\x00' '\x10\x00' '\x58\x02\x00\x00'
seed pcm8_stereo  '\x01\x00' '\x02\x00' '\x44\xac\x00\x00' '\x88\x58\x01\x00' '\x02\x00' '\x08\x00' '\x58\x02\x00\x00'
seed pcm16_stereo '\x01\x00' '\x02\x00' '\x44\xac\x00\x00' '\x10\xb1\x02\x00' '\x04\x00' '\x10\x00' '\x00\x10\x00\x00'
seed float_mono   '\x03\x00' '\x01\x00' '\x44\xac\x00\x00' '\x10\xb1\x02\x00' '\x04\x00' '\x20\x00' '\x58\x02\x00\x00'

echo "=== fuzzing the WAV readers for ${seconds}s"
build/fuzz/tests/fuzz/aerolyre_wave_fuzz -max_total_time="$seconds" -max_len=4096 \
    -print_final_stats=1 "$corpus" 2>&1 | tail -n 12
# The pipe hides the fuzzer's status; check it.
exit "${PIPESTATUS[0]}"
