#!/usr/bin/env bash
# Installs what is missing, builds, and runs the daemon in the two-host test network.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build"
cmake --build "$root/build" -j2

if [ ! -x "$root/build/Tarn_reply" ]; then
  echo "demo: build/Tarn_reply is not part of this build yet; nothing to run" >&2
  exit 1
fi
