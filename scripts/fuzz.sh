#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang (own build folder,
# build-fuzz) and runs each for FUZZ_SECONDS (default 60) from its seed inputs
# in tests/data/fuzz/NAME/; every seed is run first, so a crash that once
# joined the seeds is checked again. Fails when any target finds a crash, a
# leak, undefined behaviour, a broken invariant or a hang; the input that
# caused it is left in build-fuzz/findings/.
#
#   FUZZ_SECONDS=600 scripts/fuzz.sh              every target, ten minutes each
#   scripts/fuzz.sh save_file online_list         only these targets
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${FUZZ_SECONDS:-60}"
build=build-fuzz
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

# -O1 with assertions on: the usual trade between speed and catching faults.
cmake -S . -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" \
      -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g" -DTOLVAR_FUZZ=ON -DTOLVAR_BUILD_TESTS=OFF \
      -DTOLVAR_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)" --target fuzz_all

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for dir in tests/data/fuzz/*/; do
        targets+=("$(basename "$dir")")
    done
fi

mkdir -p "$build/findings" "$build/tmp"
failed=()
for name in "${targets[@]}"; do
    exe="$build/fuzz/fuzz_$name"
    corpus="$build/corpus/$name" # what the runs learn, kept between runs
    log="$build/fuzz_$name.log"
    mkdir -p "$corpus"
    status=0
    TMPDIR="$PWD/$build/tmp" ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$build/findings/${name}-" "$corpus" "tests/data/fuzz/$name" \
        >"$log" 2>&1 || status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)
    if [ "$status" -ne 0 ]; then
        echo "fuzz_$name: FAILED after ${runs:-?} inputs (see $log)"
        grep -E '^(==[0-9]+==ERROR|SUMMARY|invariant broken|.*runtime error)|Test unit written' "$log" | head -n 8 || true
        failed+=("$name")
    else
        echo "fuzz_$name: ${runs:-?} inputs in ${seconds} s, no finding"
    fi
done

if [ ${#failed[@]} -ne 0 ]; then
    echo "fuzzing found faults in: ${failed[*]}"
    exit 1
fi
