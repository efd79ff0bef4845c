// Placeholder: handler table and result protocol.
#include "vorn_internal.h"
int32_t vorn_do_list_root(vorn_buf *) { return VORN_E_FAILED; }
static const vorn_handler k_handler = {VORN_RUNTIME_TYPE, VORN_CAPS, nullptr, nullptr, nullptr, nullptr};
VORN_EXPORT const vorn_handler *kelda_get(void) { return &k_handler; }
VORN_EXPORT int32_t vorn_allow_writes(int32_t) { return 0; }
