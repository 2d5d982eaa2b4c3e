#!/usr/bin/env bash
# Builds the instrument and starts it. Installs whatever Debian packages are missing first.
set -euo pipefail
cd "$(dirname "$0")/.."

# Only the program and the render tool: no test, benchmark or sanitizer packages or builds.
scripts/install-deps.sh run
cmake --preset app >/dev/null
cmake --build --preset app --target aerolyre aerolyre-render
exec build/app/app/aerolyre "$@"
