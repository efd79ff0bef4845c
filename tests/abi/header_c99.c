/* The public header as a strict C99 translation unit; the table layout is pinned. */
#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include "vorn.h"

typedef char layout_size[sizeof(vorn_handler) == 48 ? 1 : -1];
typedef char layout_caps[offsetof(vorn_handler, caps) == 8 ? 1 : -1];
typedef char layout_validate[offsetof(vorn_handler, validate) == 16 ? 1 : -1];
typedef char layout_list[offsetof(vorn_handler, list) == 24 ? 1 : -1];
typedef char layout_stream[offsetof(vorn_handler, stream_url) == 32 ? 1 : -1];
typedef char layout_download[offsetof(vorn_handler, download) == 40 ? 1 : -1];
typedef char io_size[sizeof(vorn_io) == 32 ? 1 : -1];

int main(void) {
  const vorn_handler *h = kelda_get();
  if (h == NULL || h != kelda_get() || strcmp(h->runtime_type, "REALDEBRID") != 0 || h->caps != 47u) {
    fprintf(stderr, "unexpected handler table\n");
    return 1;
  }
  if (strcmp(vorn_version(), "1.0.0") != 0 || vorn_caps() != 47u) {
    fprintf(stderr, "unexpected version or caps\n");
    return 1;
  }
  printf("vorn.h is C99; table of %u bytes\n", (unsigned)sizeof(vorn_handler));
  return 0;
}
