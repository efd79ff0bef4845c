#!/usr/bin/env bash
# Builds the benchmarks optimised and without sanitizers (build-bench/ by
# default), runs every figure beside its yyjson baseline and prints one table.
# Extra arguments go to the timing program, e.g. --benchmark_repetitions=9.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VORN_BENCH_DIR:-$root/build-bench}
jobs=$(nproc 2>/dev/null || echo 2)

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVORN_SANITIZE=OFF -DVORN_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target vorn_bench vorn_bench_heap >/dev/null

model=$(lscpu 2>/dev/null | sed -n 's/^Model name:[[:space:]]*//p' | head -n 1)
echo "machine: ${model:-unknown CPU}, $(nproc) CPUs; $(${CXX:-c++} --version | head -n 1)"
echo "command: bash bench/run.sh $*"
read -r peak _ < <("$build/bench/vorn_bench_heap")
"$build/bench/vorn_bench" --vorn_table --vorn_peak="$peak" --benchmark_repetitions=5 \
  --benchmark_enable_random_interleaving=true "$@"
