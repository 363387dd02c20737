#!/bin/bash
# Builds everything with warnings as errors and sanitizers, checks the formatting of the sources,
# runs clang-tidy, runs every test, unit and integration (run as root: the integration suites
# build network namespaces), checks the Debian packages, then the same tests for an AArch64 cross
# build under qemu-user, boots the amd64 package under systemd and fuzzes for a minute. Exits
# non-zero on any failure.
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
print_times() {
    echo "test.sh: passed in $SECONDS s"
    printf '%s\n' "${phase_times[@]}"
}

build() {
    bash scripts/install-deps.sh
    cmake -S . -B build -DTARN_WERROR=ON -DTARN_SANITIZE=ON
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
export CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache CCACHE_BASEDIR=$PWD \
    CCACHE_NOHASHDIR=true

timed build build
timed formatting check_format
background_pids=()
trap 'kill "${background_pids[@]}" 2>/dev/null || true' EXIT
if [ "$quick" = false ]; then
    # The integration suites mostly wait on the daemon, ifupdown and DHCP, each in namespaces of
    # its own: they run many at a time in the background while the phases that need the CPU go on.
    integration_log=$PWD/build/integration.log
    integration_began=$SECONDS
    ctest --test-dir build -L integration --output-on-failure -j"${TARN_INTEGRATION_JOBS:-8}" \
        >"$integration_log" 2>&1 &
    integration_pid=$!
    background_pids+=("$integration_pid")
fi
timed clang-tidy check_tidy
timed "unit tests" unit_tests
if [ "$quick" = true ]; then
    print_times
    exit 0
fi

# The Debian packages for amd64 and arm64: lintian, then installed, checked and purged again.
timed "package check" bash scripts/package-check.sh
# The deployment test's Debian root is downloaded and unpacked while the AArch64 phase has the CPU.
root_log=$PWD/build/deploy-root.log
bash tests/deploy/deploy_test.sh --root-only >"$root_log" 2>&1 &
root_pid=$!
background_pids+=("$root_pid")
# The AArch64 build, its unit tests and its daemon, under qemu-user.
timed aarch64 bash scripts/test-aarch64.sh
# The amd64 package booted under systemd in a container on the test network; it reuses the
# package check's Release build.
deployment_test() {
    local status=0
    wait "$root_pid" || status=$?
    background_pids=("$integration_pid")
    if [ "$status" != 0 ]; then
        cat "$root_log" >&2
        echo "test.sh: the deployment test's Debian root was not made (above)" >&2
        exit 1
    fi
    bash tests/deploy/deploy_test.sh
}
timed "deployment test" deployment_test
# Fuzzing: a minute of each target, side by side, on top of the seed corpora.
timed fuzzing bash tests/fuzz/run.sh

integration_status=0
wait "$integration_pid" || integration_status=$?
trap - EXIT
phase_times+=("$(printf '  %-24s %4d s (beside the phases above)' "integration suites" \
    $((SECONDS - integration_began)))")
if [ "$integration_status" != 0 ]; then
    cat "$integration_log" >&2
    echo "test.sh: integration suites failed (above; also in $integration_log)" >&2
    exit 1
fi
grep -E '^[0-9]+% tests passed' "$integration_log"
print_times
