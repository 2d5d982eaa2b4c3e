#!/usr/bin/env bash
# Writes the example tones, impulse responses and gesture scripts into examples/ afresh, from
# tools/make_examples.cpp. The files are committed; a test checks that they match what it writes.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset default >/dev/null
cmake --build --preset default --target aerolyre-make-examples
build/default/tools/aerolyre-make-examples examples
