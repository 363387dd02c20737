#!/bin/bash
# Builds the fuzz targets with clang in build-fuzz, replays their seed corpora, then runs the
# targets side by side for a minute each on scratch copies of their corpora, so the tree's stay as
# they are. A finding fails the run, and its reproducer is kept. Run from anywhere; CI runs it from
# scripts/test.sh. FUZZ_SECONDS changes the minute; --build only builds.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${FUZZ_SECONDS:-60}

cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTARN_FUZZ=ON -DTARN_WERROR=ON -DTARN_BUILD_TESTS=OFF
cmake --build build-fuzz -j2
[ "${1:-}" != --build ] || exit 0
fuzz_dir=$(mktemp -d)
fuzz_targets=(packet discovery_ack rewrite)
for target in "${fuzz_targets[@]}"; do
    mkdir "$fuzz_dir/$target" "$fuzz_dir/$target/artifacts"
    if ! "build-fuzz/${target}_fuzz" -artifact_prefix="$fuzz_dir/$target/artifacts/" \
        tests/fuzz/corpus/"$target"/* > "$fuzz_dir/$target/replay.log" 2>&1; then
        cat "$fuzz_dir/$target/replay.log" >&2
        echo "run.sh: ${target}_fuzz fails on a seed in tests/fuzz/corpus/$target (above)" >&2
        rm -rf "$fuzz_dir"
        exit 1
    fi
done
fuzz_pids=()
for target in "${fuzz_targets[@]}"; do
    cp -r "tests/fuzz/corpus/$target" "$fuzz_dir/$target/corpus"
    "build-fuzz/${target}_fuzz" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$fuzz_dir/$target/artifacts/" "$fuzz_dir/$target/corpus" \
        > "$fuzz_dir/$target/fuzz.log" 2>&1 &
    fuzz_pids+=($!)
done
fuzz_failed=0
for i in "${!fuzz_targets[@]}"; do
    target=${fuzz_targets[$i]}
    if wait "${fuzz_pids[$i]}"; then
        echo "${target}_fuzz: $(grep -E '^stat::(number_of_executed_units|average_exec_per_sec)' \
            "$fuzz_dir/$target/fuzz.log" | tr -s '\n ' '  ')"
        continue
    fi
    fuzz_failed=1
    tail -n 60 "$fuzz_dir/$target/fuzz.log" >&2
    for artifact in "$fuzz_dir/$target/artifacts"/*; do
        [ -f "$artifact" ] || continue
        echo "run.sh: ${target}_fuzz finding; replay: build-fuzz/${target}_fuzz $artifact" >&2
    done
done
if [ "$fuzz_failed" != 0 ]; then
    echo "run.sh: fuzzing found a fault; its files stay in $fuzz_dir" >&2
    exit 1
fi
rm -rf "$fuzz_dir"
