// The built-in network transport accessor. This library performs no networking
// of its own, so there is no built-in transport: hosts supply theirs.
#include "vorn_internal.h"

const vorn_io *vorn_io_curl(void) { return nullptr; }
