/*
 * host.c - the smallest useful host of the vorn plug-in, in C99.
 *
 * It does what a media player does: loads the plug-in with dlopen, takes its
 * handler table from kelda_get, hands it a transport made with libcurl, and
 * lists one folder of the account.
 *
 *   host PLUGIN SETTINGS_JSON [FOLDER [CA_FILE]]
 *   host ./libvorn.so '{"APIKey":"..."}' torrents
 *
 * FOLDER is "" (the root), "torrents", "downloads" or "t<id>". CA_FILE, when
 * given, is the only CA trusted (a private test CA, say). The listing goes to
 * standard output; on failure the error envelope goes to standard error and
 * the exit status is 1.
 */
#define _POSIX_C_SOURCE 200809L
#include <curl/curl.h>
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "vorn.h"

enum { AREA_SIZE = 1 << 20 };

/* A growing answer body, allocated with malloc/realloc: the plug-in frees it. */
struct text {
  char *data;
  size_t len;
  int failed;
};

static size_t collect(char *chunk, size_t size, size_t count, void *user) {
  struct text *t = user;
  size_t n = size * count;
  char *grown = realloc(t->data, t->len + n + 1);
  if (!grown) {
    t->failed = 1;
    return 0; /* makes libcurl stop with a write error */
  }
  memcpy(grown + t->len, chunk, n);
  t->len += n;
  grown[t->len] = '\0';
  t->data = grown;
  return n;
}

static char *copy_text(const char *s) {
  size_t n = strlen(s) + 1;
  char *p = malloc(n);
  if (p) memcpy(p, s, n);
  return p;
}

/* One exchange. post_body NULL makes it a GET. user is the CA file or NULL. */
static int exchange(void *user, const char *url, const char *post_body, const char *content_type,
                    char **body_out, int32_t *status_out, char **error_out) {
  struct text t = {NULL, 0, 0};
  struct curl_slist *headers = NULL;
  char errbuf[CURL_ERROR_SIZE] = "";
  char header[300];
  long status = 0;
  CURLcode rc;
  CURL *h = curl_easy_init();
  if (!h) {
    *error_out = copy_text("curl_easy_init failed");
    return -1;
  }
  curl_easy_setopt(h, CURLOPT_URL, url);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L); /* safe when the plug-in is called from threads */
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, 10L);
  curl_easy_setopt(h, CURLOPT_TIMEOUT, 60L);
  curl_easy_setopt(h, CURLOPT_ACCEPT_ENCODING, "");
  curl_easy_setopt(h, CURLOPT_USERAGENT, "vorn-example-host/1.0");
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errbuf);
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, collect);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &t);
  if (user) curl_easy_setopt(h, CURLOPT_CAINFO, (const char *)user);
  if (post_body) {
    snprintf(header, sizeof header, "Content-Type: %s", content_type);
    headers = curl_slist_append(NULL, header);
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(h, CURLOPT_POSTFIELDS, post_body);
    curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE, (long)strlen(post_body));
  }
  rc = curl_easy_perform(h);
  curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
  curl_slist_free_all(headers);
  curl_easy_cleanup(h);
  if (rc != CURLE_OK || t.failed) {
    free(t.data);
    *error_out = copy_text(errbuf[0] ? errbuf : curl_easy_strerror(rc));
    return -1;
  }
  *body_out = t.data ? t.data : copy_text(""); /* an empty answer is still a body */
  if (!*body_out) return -1;
  *status_out = (int32_t)status;
  return 0;
}

static int io_get(void *user, const char *url, char **body_out, int32_t *status_out, char **error_out) {
  return exchange(user, url, NULL, NULL, body_out, status_out, error_out);
}

static int io_post(void *user, const char *url, const char *body, const char *content_type, char **body_out,
                   int32_t *status_out, char **error_out) {
  return exchange(user, url, body, content_type, body_out, status_out, error_out);
}

int main(int argc, char **argv) {
  const vorn_handler *(*get_table)(void);
  const char *(*result_json)(void);
  const vorn_handler *table;
  vorn_io io;
  char *area;
  void *lib;
  int32_t rc;

  if (argc < 3 || argc > 5) {
    fprintf(stderr, "usage: %s PLUGIN SETTINGS_JSON [FOLDER [CA_FILE]]\n", argv[0]);
    return 2;
  }
  lib = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (!lib) {
    fprintf(stderr, "dlopen: %s\n", dlerror());
    return 1;
  }
  *(void **)&get_table = dlsym(lib, "kelda_get");
  *(void **)&result_json = dlsym(lib, "vorn_result_json");
  area = malloc(AREA_SIZE);
  if (!get_table || !result_json || !area || curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
    fprintf(stderr, "the plug-in or the process is not usable\n");
    free(area);
    dlclose(lib);
    return 1;
  }
  table = get_table();
  io.user = argc > 4 ? argv[4] : NULL;
  io.get = io_get;
  io.post = io_post;
  io.free = NULL; /* the texts above come from malloc, so the plug-in uses free() */

  rc = table->list(&io, argv[2], argc > 3 ? argv[3] : "", area, AREA_SIZE);
  if (rc == VORN_OK) {
    printf("%s\n", area);
  } else if (rc == VORN_E_BUFFER_TOO_SMALL) {
    printf("%s\n", result_json()); /* the whole answer stays published for this thread */
    rc = VORN_OK;
  } else {
    fprintf(stderr, "list failed with %d: %s\n", (int)rc, area); /* area holds {"error":"..."} */
  }
  free(area);
  curl_global_cleanup();
  dlclose(lib);
  return rc == VORN_OK ? 0 : 1;
}
