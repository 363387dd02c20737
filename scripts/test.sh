#!/bin/bash
# Builds everything with warnings as errors and sanitizers, checks the formatting of the sources,
# runs clang-tidy, runs every test, unit and integration (run as root: the integration suites
# build network namespaces), builds the Debian packages of amd64 and arm64 once and checks them,
# runs the unit tests of an AArch64 cross build and the arm64 package's daemon under qemu-user,
# boots the amd64 packages under systemd (installed, upgraded, purged) and fuzzes for a minute.
# Exits non-zero on any failure.
#
#   bash scripts/test.sh            # everything
#   bash scripts/test.sh --quick    # build, formatting, clang-tidy, unit tests
#
# What a run keeps for the next, on this machine and for any clone, lives outside the clone: the
# compiled objects in ccache's own folder, the clang-tidy passes and the deployment test's Debian
# root in $TARN_TEST_CACHE (default /var/cache/tarn-reply-tests). Each phase's time is printed at
# the end.
set -euo pipefail
cd "$(dirname "$0")/.."
quick=false
case ${1:-} in
    --quick) quick=true ;;
    "") ;;
    *)
        echo "Usage: scripts/test.sh [--quick]" >&2
        exit 2
        ;;
esac
export TARN_TEST_CACHE=${TARN_TEST_CACHE:-/var/cache/tarn-reply-tests}

phase_times=()
# timed NAME COMMAND...: runs the command as one phase and notes how long it took.
timed() {
    local name=$1 began=$SECONDS
    shift
    "$@"
    phase_times+=("$(printf '  %-24s %4d s' "$name" $((SECONDS - began)))")
}

# beside NAME COMMAND...: starts a phase in the background, its output in build/NAME.log, to fill
# the time the phases in front of it leave the CPU idle, or because it mostly waits itself (on the
# daemon, ifupdown, DHCP, a booting container, qemu). joined [NAME] waits for that one (default:
# all of them) and fails the run with the log of any that failed.
beside_names=()
beside_pids=()
trap 'kill "${beside_pids[@]}" 2>/dev/null || true' EXIT
beside_log() { echo "$PWD/build/${1// /-}.log"; }
beside() {
    local name=$1 log
    log=$(beside_log "$1")
    shift
    (
        began=$SECONDS
        "$@" >"$log" 2>&1 &
        child=$!
        trap 'kill "$child" 2>/dev/null' TERM
        status=0
        wait "$child" || status=$?
        echo "$((SECONDS - began))" >"$log.seconds"
        exit "$status"
    ) &
    beside_pids+=("$!")
    beside_names+=("$name")
}
joined() {
    local i name log status failed=0
    for i in "${!beside_pids[@]}"; do
        name=${beside_names[$i]}
        [ "$#" = 0 ] || [ "$name" = "$1" ] || continue
        unset "beside_names[$i]"
        log=$(beside_log "$name")
        status=0
        wait "${beside_pids[$i]}" || status=$?
        phase_times+=("$(printf '  %-24s %4d s (beside)' "$name" "$(cat "$log.seconds")")")
        if [ "$status" != 0 ]; then
            cat "$log" >&2
            echo "test.sh: $name failed (above; also in $log)" >&2
            failed=1
        fi
        unset "beside_pids[$i]"
    done
    [ "${#beside_pids[@]}" != 0 ] || trap - EXIT
    [ "$failed" = 0 ]
}

print_times() {
    echo "test.sh: passed in $SECONDS s"
    printf '%s\n' "${phase_times[@]}"
}

build() {
    bash scripts/install-deps.sh
    # The hung-hook case shortens ifup's limit through the test build's environment variable.
    cmake -S . -B build -DTARN_WERROR=ON -DTARN_SANITIZE=ON -DTARN_TEST_COMMAND_LIMITS=ON
    cmake --build build -j2
}

# The sources of the tree as git sees it, including new files not yet committed.
check_format() {
    local sources
    mapfile -t sources < <(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h' |
        while read -r file; do [ -f "$file" ] && echo "$file"; done)
    [ "${#sources[@]}" -gt 0 ] || return 0
    if ! clang-format --dry-run --Werror "${sources[@]}"; then
        echo "test.sh: the files above are not formatted (clang-format -i)" >&2
        exit 1
    fi
}

# clang-tidy with the checked-in .clang-tidy over every source of ours the build compiles; any
# finding fails. A file that passed before, unchanged with all it includes, is not checked again.
check_tidy() {
    python3 scripts/clang_tidy_cached.py build \
        "^$(pwd)/(base|service|net|gvcp|netconfig|device|tools|bench|tests)/" \
        "$TARN_TEST_CACHE/clang-tidy" 2 ||
        { echo "test.sh: clang-tidy found the above" >&2; exit 1; }
}

unit_tests() {
    ctest --test-dir build -LE integration --output-on-failure -j2
}

# Every build below goes through ccache, keyed relative to this clone, so a later clone in another
# folder on the same machine compiles only what changed (debug info then names the first clone).
# Depend mode takes the included files from the compiler's own dependency file, so a miss costs
# no extra preprocessing.
export CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache CCACHE_BASEDIR=$PWD \
    CCACHE_NOHASHDIR=true CCACHE_DEPEND=true

timed build build
timed formatting check_format
if [ "$quick" = false ]; then
    # Many suites at a time, each in namespaces of its own.
    beside "integration suites" ctest --test-dir build -L integration --output-on-failure \
        -j"${TARN_INTEGRATION_JOBS:-8}"
fi
timed clang-tidy check_tidy
timed "unit tests" unit_tests
if [ "$quick" = true ]; then
    print_times
    exit 0
fi

# The fuzz targets build beside the packages, whose build waits on debhelper at times.
beside "fuzz build" bash tests/fuzz/run.sh --build
# The Debian packages of both architectures, built once here for every phase below. The amd64
# build skips its unit tests (DEB_BUILD_OPTIONS=nocheck): the same tests ran in the main build.
build_packages() {
    DEB_BUILD_OPTIONS=nocheck bash scripts/build-packages.sh amd64 >/dev/null
    bash scripts/build-packages.sh arm64 >/dev/null
}
timed packages build_packages
export TARN_PACKAGES_BUILT=1
# lintian, then the amd64 packages installed, checked and purged again.
timed "package check" bash scripts/package-check.sh
# The amd64 packages booted under systemd in a container on the test network.
beside "deployment test" bash tests/deploy/deploy_test.sh
# The AArch64 test build and its unit tests under qemu-user, then the arm64 package's daemon in
# the test network.
timed aarch64 bash scripts/test-aarch64.sh unit
beside "aarch64 network" bash scripts/test-aarch64.sh network
# Fuzzing: a minute of each target, side by side, on top of the seed corpora.
joined "fuzz build"
timed fuzzing bash tests/fuzz/run.sh

joined
grep -E '^[0-9]+% tests passed' "$(beside_log "integration suites")"
print_times
