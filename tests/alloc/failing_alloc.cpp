// The wrapped allocators. Every call of malloc, realloc or calloc from the
// objects of this program (the library's units included, and yyjson's
// allocations, which the library routes through its own malloc) lands here.
#include "failing_alloc.h"

#include <stdlib.h>

extern "C" {
void *__real_malloc(size_t n);
void *__real_realloc(void *p, size_t n);
void *__real_calloc(size_t count, size_t n);
void *__wrap_malloc(size_t n);
void *__wrap_realloc(void *p, size_t n);
void *__wrap_calloc(size_t count, size_t n);
}

namespace {

thread_local bool t_armed = false;
thread_local int t_paused = 0;
thread_local size_t t_count = 0;
thread_local size_t t_fail_at = 0;
thread_local bool t_sticky = false;
thread_local bool t_hit = false;

// True when this allocation is to fail.
bool should_fail() {
  if (!t_armed || t_paused) return false;
  ++t_count;
  if (t_count == t_fail_at || (t_sticky && t_count > t_fail_at)) {
    t_hit = true;
    return true;
  }
  return false;
}

}  // namespace

extern "C" void *__wrap_malloc(size_t n) { return should_fail() ? nullptr : __real_malloc(n); }
extern "C" void *__wrap_realloc(void *p, size_t n) { return should_fail() ? nullptr : __real_realloc(p, n); }
extern "C" void *__wrap_calloc(size_t count, size_t n) { return should_fail() ? nullptr : __real_calloc(count, n); }

namespace failing_alloc {

void arm(size_t n, Mode mode) {
  t_count = 0;
  t_fail_at = n;
  t_sticky = mode == Mode::sticky;
  t_hit = false;
  t_armed = true;
}

size_t disarm() {
  t_armed = false;
  return t_count;
}

bool hit() { return t_hit; }

Pause::Pause() { ++t_paused; }
Pause::~Pause() { --t_paused; }

}  // namespace failing_alloc
