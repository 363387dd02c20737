#!/bin/bash
# The arm64 package's own build (scripts/build-packages.sh, in build-deb-arm64) with its unit
# tests, which run under qemu-user ("unit"), then its daemon under qemu-user in the test network
# against the native build's PC-side tools, built in build by scripts/test.sh first ("network", as
# root): what is tested is what the camera gets. Both by default; CI runs them from scripts/test.sh.
#   bash scripts/test-aarch64.sh [unit|network]
set -euo pipefail
cd "$(dirname "$0")/.."

what=${1:-all}
case $what in
    unit | network | all) ;;
    *)
        echo "Usage: scripts/test-aarch64.sh [unit|network]" >&2
        exit 2
        ;;
esac
if [ "$what" != network ]; then
    bash scripts/build-packages.sh arm64 -DTARN_BUILD_TESTS=ON > /dev/null
    ctest --test-dir build-deb-arm64 --output-on-failure -j2
fi
if [ "$what" != unit ]; then
    NETLAB_BUILD_DIR=$PWD/build AARCH64_BUILD_DIR=$PWD/build-deb-arm64 \
        bash tests/integration/aarch64_test.sh
fi
