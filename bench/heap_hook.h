// heap_hook.h - peak heap measurement for the benchmark build without sanitizers.
#ifndef VORN_BENCH_HEAP_HOOK_H
#define VORN_BENCH_HEAP_HOOK_H

#include <cstdint>

// Starts counting live heap bytes from zero (blocks allocated before do not count).
void heap_count_begin();
// Stops counting and returns the highest number of live bytes seen since the start.
int64_t heap_count_end();

#endif  // VORN_BENCH_HEAP_HOOK_H
