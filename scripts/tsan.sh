#!/usr/bin/env bash
# Builds the tests that start threads (tolvar_test(... THREADS)) with
# ThreadSanitizer in their own build folder, build-tsan, and runs them: the
# tests of every other executable are there only as *_NOT_BUILT stand-ins. Any
# race report fails the run. tests/tsan.supp lists the reports we do not
# act on, each with its reason.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-tsan
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
werror=OFF
[ "${CI:-}" = "true" ] && werror=ON
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DTOLVAR_TSAN=ON -DTOLVAR_WERROR=$werror \
      -DTOLVAR_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)" --target tolvar_threads_tests
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp" \
    ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 900 -E '_NOT_BUILT$' -LE 'x11|root|e2e'
