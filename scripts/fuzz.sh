#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each one for a given time.
#
#   scripts/fuzz.sh [seconds-per-target] [target...]
#
# Seeds come from fuzz/corpus/<target>/ and are copied into the build tree,
# where the grown corpora and any crash artifacts stay (the repo is never
# written). VORN_FUZZ_BUILD chooses the build folder (default build-fuzz).
# Exits non-zero on any crash, leak, sanitizer report or failed check.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
secs=${1:-60}
shift || true
build=${VORN_FUZZ_BUILD:-$root/build-fuzz}
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(answers settings entry dlcfg redact season video torrent magnet)
fi

if [ ! -f "$build/CMakeCache.txt" ]; then
  gen=()
  command -v ninja >/dev/null 2>&1 && gen=(-G Ninja)
  CC=clang CXX=clang++ cmake -S "$root/fuzz" -B "$build" "${gen[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" >/dev/null

export ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:abort_on_error=0:strict_string_checks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

status=0
total_runs=0
for t in "${targets[@]}"; do
  corpus="$build/corpus/$t"
  artifacts="$build/artifacts/$t"
  mkdir -p "$corpus" "$artifacts"
  if [ -d "$root/fuzz/corpus/$t" ]; then
    cp -n "$root/fuzz/corpus/$t"/* "$corpus"/ 2>/dev/null || true
  fi
  dict=()
  [ -f "$root/fuzz/dict/$t.dict" ] && dict=(-dict="$root/fuzz/dict/$t.dict")
  log="$build/$t.log"
  if "$build/fuzz_$t" "$corpus" "${dict[@]}" -max_total_time="$secs" -print_final_stats=1 \
      -artifact_prefix="$artifacts/" -max_len=65536 -timeout=10 -rss_limit_mb=2048 >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 || true)
    echo "fuzz $t: ok, ${runs:-0} runs in ${secs}s, ${cov:-cov: ?}"
    total_runs=$((total_runs + ${runs:-0}))
  else
    echo "fuzz $t: FINDING (log $log, artifacts in $artifacts)"
    grep -a -A2 -E 'ERROR|SUMMARY|fuzz check failed|runtime error' "$log" | head -30 || true
    status=1
  fi
done
echo "fuzz: ${#targets[@]} targets, $total_runs runs in all"
exit $status
