# Sourced by the benchmark scripts: builds the named targets in Release without sanitizers in
# $build, so the figures are those of an optimised daemon; ends the script on failure.
# Usage: bench_build SCRIPT_NAME TARGET...
bench_build() {
    local name=$1
    shift
    mkdir -p "$build"
    if ! cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTARN_SANITIZE=OFF \
        -DTARN_WERROR=OFF >"$build/bench-configure.log" 2>&1; then
        echo "$name: configure failed, see $build/bench-configure.log"
        exit 1
    fi
    if ! cmake --build "$build" -j2 --target "$@" >"$build/bench-build.log" 2>&1; then
        echo "$name: build failed, see $build/bench-build.log"
        exit 1
    fi
}
