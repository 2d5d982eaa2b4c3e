#!/usr/bin/env bash
# The format and the static checks: every C++ file as clang-format formats it, and the program's
# code clean under the checks listed in .clang-tidy. Needs a configured build for its compile
# commands (default: build/default).
#   scripts/lint.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}

mapfile -t all < <(git ls-files '*.cpp' '*.h')
echo "=== clang-format: ${#all[@]} files"
clang-format --dry-run --Werror "${all[@]}"

mapfile -t code < <(git ls-files '*.cpp' | grep -v '^tests/\|^bench/')
echo "=== clang-tidy: ${#code[@]} files"
printf '%s\n' "${code[@]}" | xargs -P "$(nproc)" -n 4 clang-tidy -p "$build" --quiet 2>/dev/null
echo "lint: clean"
