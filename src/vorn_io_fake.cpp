// Placeholder: scripted transport.
#include "vorn_internal.h"
const vorn_io *vorn_io_fake(void) { return nullptr; }
VORN_EXPORT void vorn_fake_reset(void) {}
VORN_EXPORT int vorn_fake_set(const char *, const char *, int32_t, const char *) { return VORN_E_INVALID; }
VORN_EXPORT int vorn_fake_fail(const char *, const char *, const char *) { return VORN_E_INVALID; }
VORN_EXPORT int vorn_fake_calls(const char *, const char *) { return 0; }
VORN_EXPORT const char *vorn_fake_last_body(const char *) { return ""; }
VORN_EXPORT const char *vorn_fake_last_url(void) { return ""; }
