#!/usr/bin/env bash
# Builds the instrument and starts it. Installs whatever Debian packages are missing first.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
exec build/default/app/aerolyre "$@"
