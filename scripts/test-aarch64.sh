#!/bin/bash
# The AArch64 cross build with its unit tests (build-aarch64-test: Debian's flags for arm64 as the
# package build has them, less the debug information, which the tests do not need), which run
# under qemu-user ("unit"), then the arm64 package's daemon (build-deb/arm64, made by
# scripts/build-packages.sh arm64 first) under qemu-user in the test network against the native
# build's PC-side tools, built in build by scripts/test.sh first ("network", as root): what is
# tested in the network is what the camera gets. Both by default; CI runs them from
# scripts/test.sh.
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
    flags() { DEB_HOST_ARCH=arm64 dpkg-buildflags --get "$1"; }
    build="build-aarch64-test"
    CXXFLAGS="$(flags CPPFLAGS) $(flags CXXFLAGS) -g0" LDFLAGS="$(flags LDFLAGS)" \
        cmake -S . -B "$build" --toolchain cmake/aarch64-linux-gnu.cmake -DCMAKE_BUILD_TYPE=None \
        -DTARN_WERROR=ON -DTARN_BUILD_TESTS=ON > /dev/null
    cmake --build "$build" -j2 > "$build.log" 2>&1 || { tail -n 40 "$build.log"; exit 1; }
    ctest --test-dir "$build" --output-on-failure -j2
fi
if [ "$what" != unit ]; then
    # The package's daemon and the stand-in library, unpacked; qemu-user's loader finds the
    # library by LD_LIBRARY_PATH (the package's daemon has no library path of its own).
    unpacked=$PWD/build-deb/arm64/unpacked
    rm -rf "$unpacked"
    for deb in build-deb/arm64/tarn-reply_*_arm64.deb build-deb/arm64/libqelinterface1_*_arm64.deb; do
        [ -f "$deb" ] || { echo "test-aarch64.sh: no $deb (scripts/build-packages.sh arm64)" >&2; exit 1; }
        dpkg-deb -x "$deb" "$unpacked"
    done
    NETLAB_BUILD_DIR=$PWD/build AARCH64_DAEMON=$unpacked/usr/sbin/Tarn_reply \
        AARCH64_LIBRARY_DIR=$unpacked/usr/lib/aarch64-linux-gnu bash tests/integration/aarch64_test.sh
fi
