// vorn_io_fake.cpp - the scripted transport: a process-wide table of routes
// keyed by method and exact URL that answers requests from memory, counts
// them and remembers the last URL and the last posted body per route.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <mutex>

#include "vorn_internal.h"

namespace {

struct fake_route {
  char *method;
  char *url;
  char *reply_body;
  char *fail_text;
  char *last_post_body;
  int32_t reply_status;
  int32_t calls;
};

// The copy most recently returned to this thread; released when the thread
// ends so that short-lived threads leave nothing behind.
struct ret_slot {
  char *text;
  ~ret_slot() {
    free(text);
    text = nullptr;
  }
};

}  // namespace

static const char k_not_found[] = "The requested resource could not be found.";
static const int32_t k_first_cap = 32;

// Everything below is guarded by g_fl. Texts leave the table only as copies,
// so a reset on another thread never pulls a text away from a request.
static std::mutex g_fl;
static fake_route *g_r;
static int32_t g_n;
static int32_t g_cap;
static int32_t g_total;
static char *g_last_url;

static thread_local ret_slot t_ret;

static bool method_ok(const char *method) {
  return method && (strcmp(method, "GET") == 0 || strcmp(method, "POST") == 0);
}

static fake_route *find(const char *method, const char *url) {
  for (int32_t i = 0; i < g_n; i++) {
    if (strcmp(g_r[i].method, method) == 0 && strcmp(g_r[i].url, url) == 0) return &g_r[i];
  }
  return nullptr;
}

static bool grow_routes(void) {
  if (g_n > INT32_MAX / 2) return false;
  int32_t cap = g_n == 0 ? k_first_cap : 2 * g_n;
  void *grown = realloc(g_r, static_cast<size_t>(cap) * sizeof(fake_route));
  if (!grown) return false;
  g_r = static_cast<fake_route *>(grown);
  g_cap = cap;
  return true;
}

// Finds or creates the route, with its previous reply dropped. Called with
// g_fl held; NULL when memory runs out.
static fake_route *upsert(const char *method, const char *url) {
  fake_route *r = find(method, url);
  if (r) {
    free(r->reply_body);
    free(r->fail_text);
    r->reply_body = nullptr;
    r->fail_text = nullptr;
    return r;
  }
  if (g_n == g_cap && !grow_routes()) return nullptr;
  r = &g_r[g_n];
  *r = fake_route{};
  r->method = vorn_strdup(method);
  r->url = vorn_strdup(url);
  if (!r->method || !r->url) {
    free(r->method);
    free(r->url);
    *r = fake_route{};
    return nullptr;
  }
  g_n++;
  return r;
}

static int fake_do(const char *method, const char *url, const char *body, char **body_out, int32_t *status_out,
                   char **error_out) {
  *body_out = nullptr;
  *error_out = nullptr;
  *status_out = 0;
  if (!url) {
    *error_out = vorn_strdup("null url");
    return -1;
  }
  {
    std::lock_guard<std::mutex> hold(g_fl);
    g_total++;
    free(g_last_url);
    g_last_url = vorn_strdup(url);
    fake_route *r = find(method, url);
    if (r) {
      r->calls++;
      if (body && body[0]) {
        char *copy = vorn_strdup(body);
        if (copy) {
          free(r->last_post_body);
          r->last_post_body = copy;
        }
      }
      if (r->fail_text) {
        *error_out = vorn_strdup(r->fail_text);
        return -1;
      }
      *status_out = r->reply_status;
      *body_out = vorn_strdup(r->reply_body);
    } else {
      *status_out = 404;
      *body_out = vorn_strdup(k_not_found);
    }
  }
  if (*body_out) return 0;
  *error_out = vorn_strdup("out of memory");
  return -1;
}

static int f_get(void *, const char *url, char **body_out, int32_t *status_out, char **error_out) {
  return fake_do("GET", url, nullptr, body_out, status_out, error_out);
}

static int f_post(void *, const char *url, const char *body, const char *, char **body_out, int32_t *status_out,
                  char **error_out) {
  return fake_do("POST", url, body ? body : "", body_out, status_out, error_out);
}

static void f_free(void *, char *ptr) { free(ptr); }

static const vorn_io g_fake = {nullptr, f_get, f_post, f_free};

const vorn_io *vorn_io_fake(void) { return &g_fake; }

// Scripts a reply (fail_text NULL) or a failure for one route.
static int script(const char *method, const char *url, int32_t status, const char *body, const char *fail_text) {
  if (!method_ok(method) || !url) return VORN_E_INVALID;
  std::lock_guard<std::mutex> hold(g_fl);
  fake_route *r = upsert(method, url);
  if (!r) return VORN_E_BUFFER_TOO_SMALL;
  r->reply_status = status;
  if (fail_text) {
    r->fail_text = vorn_strdup(fail_text);
    return r->fail_text ? 0 : VORN_E_BUFFER_TOO_SMALL;
  }
  r->reply_body = vorn_strdup(body ? body : "");
  return r->reply_body ? 0 : VORN_E_BUFFER_TOO_SMALL;
}

VORN_EXPORT int vorn_fake_set(const char *method, const char *url, int32_t status, const char *body) {
  return script(method, url, status, body, nullptr);
}

VORN_EXPORT int vorn_fake_fail(const char *method, const char *url, const char *error) {
  return script(method, url, 0, nullptr, error ? error : "connection refused");
}

VORN_EXPORT void vorn_fake_reset(void) {
  std::lock_guard<std::mutex> hold(g_fl);
  for (int32_t i = 0; i < g_n; i++) {
    free(g_r[i].method);
    free(g_r[i].url);
    free(g_r[i].reply_body);
    free(g_r[i].fail_text);
    free(g_r[i].last_post_body);
  }
  free(g_r);
  g_r = nullptr;
  g_n = 0;
  g_cap = 0;
  g_total = 0;
  free(g_last_url);
  g_last_url = nullptr;
}

VORN_EXPORT int vorn_fake_calls(const char *method, const char *url) {
  std::lock_guard<std::mutex> hold(g_fl);
  if (!url) return g_total;
  int sum = 0;
  for (int32_t i = 0; i < g_n; i++) {
    if (strcmp(g_r[i].url, url) != 0) continue;
    if (method && strcmp(g_r[i].method, method) != 0) continue;
    sum += g_r[i].calls;
  }
  return sum;
}

// Keeps copy as this thread's returned text and hands it out ("" for none).
static const char *hand_back(char *copy) {
  free(t_ret.text);
  t_ret.text = copy;
  return copy ? copy : "";
}

VORN_EXPORT const char *vorn_fake_last_body(const char *url) {
  char *copy = nullptr;
  if (url) {
    std::lock_guard<std::mutex> hold(g_fl);
    fake_route *r = find("POST", url);
    if (r && r->last_post_body) copy = vorn_strdup(r->last_post_body);
  }
  return hand_back(copy);
}

VORN_EXPORT const char *vorn_fake_last_url(void) {
  char *copy;
  {
    std::lock_guard<std::mutex> hold(g_fl);
    copy = vorn_strdup(g_last_url ? g_last_url : "");
  }
  return hand_back(copy);
}
