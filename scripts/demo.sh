#!/usr/bin/env bash
# Builds the plug-in and the command-line host, then runs the demo against the
# library's built-in scripted account. Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/bootstrap.sh
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -G Ninja -DVORN_BUILD_TESTS=OFF
cmake --build build -j "$jobs"
exec ./build/vorn demo "$@"
