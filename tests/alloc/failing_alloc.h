// failing_alloc.h - control of the wrapped malloc, realloc and calloc of the
// allocation-failure test (the program is linked with --wrap for the three).
// While armed, allocations are counted and the chosen one fails: only that
// one ("once"), or it and every later one ("sticky").
#ifndef VORN_FAILING_ALLOC_H
#define VORN_FAILING_ALLOC_H

#include <stddef.h>

namespace failing_alloc {

enum class Mode { once, sticky };

// Arms the counter: allocation number n (1 = the first) fails.
void arm(size_t n, Mode mode);
// Disarms; returns how many allocations were counted while armed.
size_t disarm();
// Whether an allocation failed since the last arm().
bool hit();

// Suspends counting for the lifetime of the object (used around the test's
// own transport, whose allocations are not the library's).
struct Pause {
  Pause();
  ~Pause();
  Pause(const Pause &) = delete;
  Pause &operator=(const Pause &) = delete;
};

}  // namespace failing_alloc

#endif  // VORN_FAILING_ALLOC_H
