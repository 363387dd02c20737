#!/bin/bash
# dpkg-shlibdeps for a cross build, called by CPack: TRIPLET ARCH, then dpkg-shlibdeps' arguments.
# The target's C and C++ libraries are those of Debian's cross toolchain in /usr/TRIPLET/lib, whose
# packages' shlibs and symbols name the target's packages with an architecture qualifier
# (libc6:arm64) or by their own cross name (libgcc-s1-arm64-cross); the camera has the plain ones.
set -euo pipefail
triplet=$1 arch=$2
shift 2
dpkg-shlibdeps "-l/usr/$triplet/lib" "$@" | sed -e "s/:$arch\\b//g" -e "s/-$arch-cross\\b//g"
