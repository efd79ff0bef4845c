#!/usr/bin/env bash
# Builds the library, the tools and every test with AddressSanitizer and
# UndefinedBehaviorSanitizer (ThreadSanitizer for the threading tests) and runs
# them all. Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/bootstrap.sh
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVORN_SANITIZE=ON
cmake --build build-test -j "$jobs"
ctest --test-dir build-test --output-on-failure -j "$jobs" "$@"
