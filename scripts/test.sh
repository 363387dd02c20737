#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors and sanitizers, checks the formatting
# and runs every test suite. Run as root from anywhere.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"

bash "$root/scripts/install-deps.sh"

cmake -S "$root" -B "$build" -DTARN_WERROR=ON -DTARN_SANITIZE=ON
cmake --build "$build" -j2

cd "$root"
mapfile -t sources < <(git ls-files '*.cpp' '*.h')
if [ "${#sources[@]}" -gt 0 ]; then
  clang-format --dry-run --Werror "${sources[@]}"
fi

ctest --test-dir "$build" --output-on-failure -j2
