#!/bin/bash
# The AArch64 cross build in build-aarch64 with warnings as errors, its unit tests under qemu-user,
# then its daemon under qemu-user in the test network against the native build's PC-side tools
# (built in build by scripts/test.sh first; run as root). CI runs it from scripts/test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

# Optimised, without debug information: a quarter less to compile, and nothing here runs it under
# a debugger.
cmake -S . -B build-aarch64 --toolchain cmake/aarch64-linux-gnu.cmake \
    -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" -DTARN_WERROR=ON
cmake --build build-aarch64 -j2
ctest --test-dir build-aarch64 --output-on-failure -j2
NETLAB_BUILD_DIR=$PWD/build AARCH64_BUILD_DIR=$PWD/build-aarch64 \
    bash tests/integration/aarch64_test.sh
