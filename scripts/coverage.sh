#!/usr/bin/env bash
# Builds the library and the whole test suite instrumented for coverage (no
# sanitizers), runs the tests and prints gcovr's line and branch figures for
# src/. The fuzz smoke run (its own clang build) and the ThreadSanitizer
# programs (a separate, uninstrumented build of the library) are left out.
#   scripts/coverage.sh [build folder]   (default build-coverage)
# Writes build-coverage/coverage.txt and coverage.html as well.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-coverage}
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVORN_COVERAGE=ON -DVORN_SANITIZE=OFF >/dev/null
cmake --build "$build" -j "$jobs" >/dev/null
find "$build" -name '*.gcda' -delete
# A failing test still leaves its coverage; the report follows, and the exit
# status tells.
tests=0
ctest --test-dir "$build" -j "$jobs" -E '^(fuzz_smoke|tsan_.*|abi_install)$' >"$build/ctest.log" 2>&1 || tests=$?
grep -E 'tests passed|FAILED|Failed' "$build/ctest.log" || true
cd "$root"
common=(--root "$root" --filter "$root/src/" --object-directory "$build"
        --exclude-unreachable-branches --exclude-throw-branches)
gcovr "${common[@]}" --txt "$build/coverage.txt" --html-details "$build/coverage.html" >/dev/null
gcovr "${common[@]}" --branches --txt "$build/coverage-branches.txt" >/dev/null
cat "$build/coverage.txt"
echo
grep -E '^TOTAL' "$build/coverage-branches.txt" | sed 's/^TOTAL/BRANCHES/'
exit $tests
