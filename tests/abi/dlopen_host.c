/* Loads the plug-in the way a media player does and lists the root folder. */
#include <dlfcn.h>
#include <stdio.h>
#include <string.h>

#include "vorn.h"

static int refuse_get(void *user, const char *url, char **body, int32_t *status, char **error) {
  (void)user; (void)url; (void)body; (void)status; (void)error;
  return -1;
}
static int refuse_post(void *user, const char *url, const char *b, const char *ct, char **body, int32_t *status,
                       char **error) {
  (void)user; (void)url; (void)b; (void)ct; (void)body; (void)status; (void)error;
  return -1;
}

int main(int argc, char **argv) {
  if (argc != 2) return 2;
  void *lib = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (!lib) {
    fprintf(stderr, "dlopen: %s\n", dlerror());
    return 1;
  }
  const vorn_handler *(*get)(void);
  *(void **)&get = dlsym(lib, "kelda_get");
  if (!get) {
    fprintf(stderr, "no kelda_get\n");
    return 1;
  }
  const vorn_handler *h = get();
  vorn_io io = {NULL, refuse_get, refuse_post, NULL};
  char out[512];
  int32_t rc = h->list(&io, "{\"APIKey\":\"k\"}", "", out, (int32_t)sizeof out);
  const char *want =
      "[{\"name\":\"downloads\",\"path\":\"downloads\",\"folder\":true,\"size\":-1},"
      "{\"name\":\"torrents\",\"path\":\"torrents\",\"folder\":true,\"size\":-1}]";
  if (rc != VORN_OK || strcmp(out, want) != 0) {
    fprintf(stderr, "root listing: rc %d, %s\n", (int)rc, out);
    return 1;
  }
  rc = h->list(&io, NULL, "", out, (int32_t)sizeof out);
  if (rc != VORN_E_INVALID || strcmp(out, "{\"error\":\"settings are NULL\"}") != 0) {
    fprintf(stderr, "NULL settings: rc %d, %s\n", (int)rc, out);
    return 1;
  }
  printf("loaded %s: %s, caps %u\n", argv[1], h->runtime_type, h->caps);
  dlclose(lib);
  return 0;
}
