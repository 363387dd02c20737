#!/bin/bash
# Builds everything with warnings as errors and sanitizers, checks the formatting of the sources,
# runs clang-tidy, runs every test, unit and integration (run as root: the integration suites
# build network namespaces), then the same for an AArch64 cross build under qemu-user, checks the Debian
# packages, then fuzzes for a minute. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
# Every build below goes through ccache, keyed relative to this clone, so a later clone in another
# folder on the same machine compiles only what changed (debug info then names the first clone).
export CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache CCACHE_BASEDIR=$PWD \
    CCACHE_NOHASHDIR=true
cmake -S . -B build -DTARN_WERROR=ON -DTARN_SANITIZE=ON
cmake --build build -j2

# The sources of the tree as git sees it, including new files not yet committed.
mapfile -t sources < <(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h' |
    while read -r file; do [ -f "$file" ] && echo "$file"; done)
if [ "${#sources[@]}" -gt 0 ]; then
    if ! clang-format --dry-run --Werror "${sources[@]}"; then
        echo "test.sh: the files above are not formatted (clang-format -i)" >&2
        exit 1
    fi
fi

# clang-tidy with the checked-in .clang-tidy over every source of ours the build compiles; any
# finding fails. The flags are g++'s, so clang is told to pass over the ones it does not know.
run-clang-tidy -p build -quiet -j 2 -extra-arg=-Wno-unknown-warning-option \
    "^$(pwd)/(base|service|net|gvcp|netconfig|device|tools|bench|tests)/" >build/clang-tidy.log 2>&1 ||
    { grep -E -A3 'error:|warning:' build/clang-tidy.log >&2; echo "test.sh: clang-tidy found the above" >&2; exit 1; }

ctest --test-dir build --output-on-failure -j2

# The AArch64 build, its unit tests and its daemon, under qemu-user.
bash scripts/test-aarch64.sh

# The Debian packages for amd64 and arm64: lintian, then installed, checked and purged again.
bash scripts/package-check.sh
# The amd64 package booted under systemd in a container on the test network.
bash tests/deploy/deploy_test.sh

# Fuzzing, after the tests: a minute of each target on top of the seed corpora.
bash tests/fuzz/run.sh
