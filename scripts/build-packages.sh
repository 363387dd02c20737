#!/bin/bash
# Builds the Debian packages, tarn-reply (the daemon) and, unless the maker's library is linked,
# libqelinterface1 (the stand-in), for ARCH: the build machine's by default, or arm64, cross-built
# for the camera. Built with Debian's flags and hardening in build-deb-ARCH, its output in
# build-deb-ARCH.log; prints the packages' paths. Further arguments go to cmake's configure step
# (the vendor options are cleared first, so they apply to this run only), e.g. the maker's library:
#   bash scripts/build-packages.sh arm64 -DTARN_VENDOR_QEL_LIBRARY=... -DTARN_VENDOR_QEL_INCLUDE_DIR=...
set -euo pipefail
cd "$(dirname "$0")/.."
native=$(dpkg --print-architecture)
arch=${1:-$native}
shift || true

toolchain=()
if [ "$arch" = arm64 ] && [ "$native" != arm64 ]; then
    toolchain=(--toolchain cmake/aarch64-linux-gnu.cmake)
elif [ "$arch" != "$native" ]; then
    echo "build-packages.sh: no cross toolchain for $arch" >&2
    exit 1
fi
build=build-deb-$arch
log=$PWD/$build.log
: > "$log"
run() {
    if ! "$@" >> "$log" 2>&1; then
        tail -n 40 "$log" >&2
        echo "build-packages.sh: failed: $*; all of its output is in $log" >&2
        exit 1
    fi
}
flags() { DEB_HOST_ARCH=$arch dpkg-buildflags --get "$1"; }

# Debian's flags as they are, as its cmake helper builds (build type None: Release would put -O3
# after them), and -g0 last: the packages are stripped (CPACK_STRIP_FILES), so debug information
# would only be time spent.
CXXFLAGS="$(flags CPPFLAGS) $(flags CXXFLAGS) -g0" LDFLAGS="$(flags LDFLAGS)" \
    run cmake -S . -B "$build" "${toolchain[@]}" -DCMAKE_BUILD_TYPE=None \
    -DCMAKE_INSTALL_PREFIX=/usr -DTARN_BUILD_TESTS=OFF -DTARN_WERROR=ON \
    -DTARN_VENDOR_QEL_LIBRARY= -DTARN_VENDOR_QEL_INCLUDE_DIR= "$@"
run cmake --build "$build" -j2
rm -f "$build"/*.deb
(cd "$build" && run cpack -G DEB)
ls "$PWD/$build"/*.deb
