// heap_hook.cpp - an allocation-counting layer over the C library's allocator,
// linked into the optimised benchmark build only (a sanitizer build brings its
// own allocator, which this would fight with).
//
// The program's malloc family takes precedence over the C library's for every
// caller in the process, the shared yyjson and the C++ runtime included. While
// counting is off each call costs one read of a flag that never changes during
// a run of the threaded benchmarks, so timings are not disturbed.
#include <stddef.h>

#include <atomic>
#include <cstdint>

#include "heap_hook.h"

extern "C" {
void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *ptr, size_t size);
void *__libc_memalign(size_t align, size_t size);
void __libc_free(void *ptr);
size_t malloc_usable_size(void *ptr) noexcept;
}

static std::atomic<bool> g_counting{false};
static std::atomic<int64_t> g_live{0};
static std::atomic<int64_t> g_peak{0};

static void note_alloc(void *ptr) {
  if (!ptr) return;
  int64_t size = static_cast<int64_t>(malloc_usable_size(ptr));
  int64_t now = g_live.fetch_add(size, std::memory_order_relaxed) + size;
  int64_t peak = g_peak.load(std::memory_order_relaxed);
  while (now > peak && !g_peak.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
  }
}

static void note_free(void *ptr) {
  if (ptr) g_live.fetch_sub(static_cast<int64_t>(malloc_usable_size(ptr)), std::memory_order_relaxed);
}

extern "C" void *malloc(size_t size) noexcept {
  void *p = __libc_malloc(size);
  if (g_counting.load(std::memory_order_relaxed)) note_alloc(p);
  return p;
}

extern "C" void *calloc(size_t count, size_t size) noexcept {
  void *p = __libc_calloc(count, size);
  if (g_counting.load(std::memory_order_relaxed)) note_alloc(p);
  return p;
}

extern "C" void *realloc(void *ptr, size_t size) noexcept {
  if (!g_counting.load(std::memory_order_relaxed)) return __libc_realloc(ptr, size);
  int64_t before = ptr ? static_cast<int64_t>(malloc_usable_size(ptr)) : 0;
  void *p = __libc_realloc(ptr, size);
  if (!p && size != 0) return p;  // failed: the old block stays as it was
  g_live.fetch_sub(before, std::memory_order_relaxed);
  note_alloc(p);
  return p;
}

extern "C" void free(void *ptr) noexcept {
  if (g_counting.load(std::memory_order_relaxed)) note_free(ptr);
  __libc_free(ptr);
}

extern "C" int posix_memalign(void **out, size_t align, size_t size) noexcept {
  void *p = __libc_memalign(align, size);
  if (!p) return 12;  // ENOMEM
  if (g_counting.load(std::memory_order_relaxed)) note_alloc(p);
  *out = p;
  return 0;
}

extern "C" void *aligned_alloc(size_t align, size_t size) noexcept {
  void *p = __libc_memalign(align, size);
  if (g_counting.load(std::memory_order_relaxed)) note_alloc(p);
  return p;
}

extern "C" void *memalign(size_t align, size_t size) noexcept {
  void *p = __libc_memalign(align, size);
  if (g_counting.load(std::memory_order_relaxed)) note_alloc(p);
  return p;
}

void heap_count_begin() {
  g_live.store(0, std::memory_order_relaxed);
  g_peak.store(0, std::memory_order_relaxed);
  g_counting.store(true, std::memory_order_seq_cst);
}

int64_t heap_count_end() {
  g_counting.store(false, std::memory_order_seq_cst);
  return g_peak.load(std::memory_order_relaxed);
}
