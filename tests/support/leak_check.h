// leak_check.h - VORN_LEAK_CHECK() asks LeakSanitizer for a report now (non-zero
// when it found leaks); without AddressSanitizer it is 0.
#ifndef VORN_TEST_LEAK_CHECK_H
#define VORN_TEST_LEAK_CHECK_H

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#define VORN_LEAK_CHECK() __lsan_do_recoverable_leak_check()
#else
#define VORN_LEAK_CHECK() 0
#endif

#endif  // VORN_TEST_LEAK_CHECK_H
