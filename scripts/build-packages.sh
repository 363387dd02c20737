#!/bin/bash
# Builds the Debian packages from debian/ with dpkg-buildpackage for ARCH: the build machine's by
# default, or arm64, cross-built for the camera (-a arm64 -Pcross,nocheck, nocheck also in
# DEB_BUILD_OPTIONS; Debian's cross toolchain and the arm64 C and C++ libraries that
# scripts/install-deps.sh installs). The packages: tarn-reply (the daemon), gvcp-probe (the
# PC-side tool), libqelinterface1 (the stand-in library) and their -dbgsym packages. Prints the
# paths of the .debs it made, then of the .changes.
#
# dpkg-buildpackage writes beside the source folder, so the tree as git sees it (new files not
# yet committed included) is copied to build-deb/ARCH/tarn-reply-VERSION and built there; the
# packages land in build-deb/ARCH, the output in build-deb/ARCH.log. Further arguments go to
# dpkg-buildpackage; DEB_BUILD_OPTIONS and DEB_BUILD_PROFILES apply as usual (the cross build's
# profiles are added to the latter). ccache is used when it is installed (CMAKE_*_LAUNCHER).
#   bash scripts/build-packages.sh [ARCH] [DPKG_BUILDPACKAGE_OPTION...]
#   DEB_BUILD_OPTIONS=nocheck bash scripts/build-packages.sh    # without the unit tests
# The maker's library instead of the stand-in (absolute paths; libqelinterface1 is then not made):
#   DEB_BUILD_PROFILES=pkg.tarn-reply.vendor TARN_VENDOR_QEL_LIBRARY=/abs/libQELInterface.so.1 \
#   TARN_VENDOR_QEL_INCLUDE_DIR=/abs/include bash scripts/build-packages.sh arm64
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
native=$(dpkg --print-architecture)
arch=${1:-$native}
shift || true

options=(-b -us -uc)
profiles=${DEB_BUILD_PROFILES:-}
if [ "$arch" != "$native" ]; then
    options+=(-a "$arch")
    profiles="cross nocheck $profiles"
    export DEB_BUILD_OPTIONS="nocheck ${DEB_BUILD_OPTIONS:-}"
fi
read -ra profiles <<< "$profiles"
[ "${#profiles[@]}" = 0 ] || options+=(-P"$(IFS=,; echo "${profiles[*]}")")

# debhelper gives the build a HOME of its own, so ccache is told where its cache is; the paths it
# hashes are taken relative to the clone.
if command -v ccache > /dev/null; then
    export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
    export CMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER:-ccache}
    export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-true}
    CCACHE_DIR=${CCACHE_DIR:-$(ccache --get-config cache_dir)}
    export CCACHE_DIR
fi

version=$(dpkg-parsechangelog -S Version)
out=$root/build-deb/$arch
source=$out/tarn-reply-$version
log=$root/build-deb/$arch.log
rm -rf "$out"
mkdir -p "$source"
git ls-files -z --cached --others --exclude-standard |
    while IFS= read -r -d '' file; do [ -e "$file" ] && printf '%s\0' "$file"; done |
    tar -c --null -T - | tar -x -C "$source"

if ! (cd "$source" && dpkg-buildpackage "${options[@]}" "$@") > "$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "build-packages.sh: dpkg-buildpackage ${options[*]} $* failed; its output is in $log" >&2
    exit 1
fi
ls "$out"/*.deb "$out"/*.changes
