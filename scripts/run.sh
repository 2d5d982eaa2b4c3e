#!/usr/bin/env bash
# Builds the instrument and starts it. Installs whatever Debian packages are missing first.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default

program=build/default/app/aerolyre
if [ -x "$program" ]; then
    exec "$program" "$@"
fi
echo "Built the engine, the tests and the benchmarks; the window program is not part of this build yet."
