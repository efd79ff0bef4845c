// vorn_dialect.cpp - the service operations: the per-call session and its
// request URLs, the JSON read convention shared by all service requests,
// account validation, folder listings, stream links, the transfer operations
// and the download operation (transfer creation and resolution).
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "vorn_internal.h"

// ---------------------------------------------------------------------------
// Small helpers

static int32_t oom(char *err, size_t errsize) {
  vorn_say(err, errsize, "out of memory");
  return VORN_E_FAILED;
}

static const char *sess_host(const vorn_sess *sess) { return sess->host ? sess->host : VORN_DEFAULT_HOST; }

static const char *sess_token(const vorn_sess *sess) { return sess->cfg ? sess->cfg->token : NULL; }

// ---------------------------------------------------------------------------
// Session and request URLs

int32_t vorn_sess_open(vorn_sess *sess, const vorn_io *io, vorn_cfg *cfg, char *err, size_t errsize) {
  *sess = vorn_sess{};
  sess->io = io;
  sess->cfg = cfg;
  // Without a host in the settings the session keeps none and the URL
  // builders use the default host, which saves a copy on every call.
  if (!cfg || !cfg->host) return VORN_OK;
  sess->host = vorn_strdup(cfg->host);
  if (!sess->host) return oom(err, errsize);
  return VORN_OK;
}

void vorn_sess_close(vorn_sess *sess) {
  if (!sess) return;
  free(sess->host);
  *sess = vorn_sess{};
}

// "https://" host "/rest/1.0" path, then the token as a percent-encoded query.
static int url_start(vorn_buf *b, const vorn_sess *sess, const char *path) {
  if (vorn_buf_adds(b, "https://") != 0) return -1;
  if (vorn_buf_adds(b, sess_host(sess)) != 0) return -1;
  if (vorn_buf_adds(b, "/rest/1.0") != 0) return -1;
  if (vorn_buf_adds(b, path) != 0) return -1;
  return vorn_buf_query(b, "auth_token", sess_token(sess));
}

// "https://" host "/rest/1.0" path id "?auth_token=" token; id and token go
// out as they are.
static int url_start_id(vorn_buf *b, const vorn_sess *sess, const char *path, const char *id) {
  const char *token = sess_token(sess);
  if (vorn_buf_adds(b, "https://") != 0) return -1;
  if (vorn_buf_adds(b, sess_host(sess)) != 0) return -1;
  if (vorn_buf_adds(b, "/rest/1.0") != 0) return -1;
  if (vorn_buf_adds(b, path) != 0) return -1;
  if (vorn_buf_adds(b, id ? id : "") != 0) return -1;
  if (vorn_buf_adds(b, "?auth_token=") != 0) return -1;
  return vorn_buf_adds(b, token ? token : "");
}

// ---------------------------------------------------------------------------
// Magnet links

static int is_hex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

static int is_base32(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '2' && c <= '7'); }

static int hash_ok(const char *h, size_t n) {
  int (*accept)(char) = n == 40 ? is_hex : n == 32 ? is_base32 : NULL;
  if (!accept) return 0;
  for (size_t i = 0; i < n; i++)
    if (!accept(h[i])) return 0;
  return 1;
}

int vorn_link_is_magnet(const char *text) {
  if (!text || strncmp(text, "magnet:?", 8) != 0) return 0;
  const char *xt = strstr(text, "xt=urn:btih:");
  if (!xt) return 0;
  const char *hash = xt + strlen("xt=urn:btih:");
  size_t n = strcspn(hash, "&");
  return n > 0 && hash_ok(hash, n);
}

// ---------------------------------------------------------------------------
// Service exchange

// Turns a non-2xx answer into "<name>: <service error>" or
// "<name> answered HTTP <status>", releases the response and returns the
// mapped code. A 2xx answer gives 0 and the response is kept.
static int32_t service_status(vorn_resp *resp, const char *name, char *err, size_t errsize) {
  int32_t code = vorn_map_status(resp->status);
  if (code == VORN_OK) return VORN_OK;
  char msg[VORN_MSG_SIZE];
  memset(msg, 0, sizeof msg);
  vorn_parse_error(resp->body, resp->len, resp->status, msg, sizeof msg);
  long status = (long)resp->status;
  vorn_resp_free(resp);
  if (msg[0])
    vorn_say(err, errsize, "%s: %s", name, msg);
  else
    vorn_say(err, errsize, "%s answered HTTP %ld", name, status);
  return code;
}

// One JSON read from the service: on success *doc_out is the caller's and
// *root_out (an array or an object) belongs to it.
static int32_t rd_get(const vorn_io *io, const char *url, yyjson_doc **doc_out, yyjson_val **root_out,
                      const char *name, char *err, size_t errsize) {
  *doc_out = NULL;
  *root_out = NULL;
  vorn_resp resp{};
  if (vorn_http(io, url, &resp, err, errsize) != 0) return VORN_E_TRANSPORT;
  int32_t code = service_status(&resp, name, err, errsize);
  if (code != VORN_OK) return code;

  // One read serves both checks: an error document inside a 2xx answer, and
  // an answer that is no array or object.
  yyjson_doc *doc = resp.len ? vorn_json_read(resp.body, resp.len) : NULL;
  int32_t status = resp.status;
  vorn_resp_free(&resp);
  yyjson_val *root = doc ? yyjson_doc_get_root(doc) : NULL;
  char msg[VORN_MSG_SIZE];
  memset(msg, 0, sizeof msg);
  if (vorn_error_doc(root, status, msg, sizeof msg)) {
    yyjson_doc_free(doc);
    vorn_say(err, errsize, "%s: %s", name, msg);
    return VORN_E_FAILED;
  }
  if (!yyjson_is_arr(root) && !yyjson_is_obj(root)) {
    if (doc) yyjson_doc_free(doc);
    vorn_say(err, errsize, "%s did not return JSON", name);
    return VORN_E_FAILED;
  }
  *doc_out = doc;
  *root_out = root;
  return VORN_OK;
}

// rd_get, then the root written back as minified text (released with free).
static int32_t rd_get_text(const vorn_io *io, const char *url, const char *name, char **text, size_t *len,
                           char *err, size_t errsize) {
  *text = NULL;
  *len = 0;
  yyjson_doc *doc = NULL;
  yyjson_val *root = NULL;
  int32_t code = rd_get(io, url, &doc, &root, name, err, errsize);
  if (code != VORN_OK) return code;
  *text = vorn_json_write(root, len);
  yyjson_doc_free(doc);
  if (!*text) return oom(err, errsize);
  return VORN_OK;
}

// ---------------------------------------------------------------------------
// Account validation

// A random identifier in the textual form of a version 4 UUID.
static void make_identifier(char out[40]) {
  uint32_t w[4];
  uint32_t addr = (uint32_t)(uintptr_t)w;
  for (int i = 0; i < 4; i++) {
    uint32_t r1 = (uint32_t)rand();
    uint32_t r2 = (uint32_t)rand();
    w[i] = (r1 << 17) ^ r2 ^ addr;
  }
  snprintf(out, 40, "%08x-%04x-4%03x-9%03x-%08x%04x", w[0], w[1] >> 16, w[1] & 0xfffu, w[2] & 0xfffu, w[3],
           w[2] & 0xffffu);
}

struct account {
  char *username;
  char *email;
  int64_t premium;
  char *expiration;
};

static void account_free(account *a) {
  free(a->username);
  free(a->email);
  free(a->expiration);
  *a = account{};
}

static int add_account(vorn_buf *out, const char *id, const account *a) {
  if (vorn_buf_adds(out, "{\"RuntimeType\":\"REALDEBRID\",\"ID\":") != 0) return -1;
  if (vorn_buf_json_str(out, id) != 0) return -1;
  if (a->username && (vorn_buf_adds(out, ",\"Username\":") != 0 || vorn_buf_json_str(out, a->username) != 0))
    return -1;
  if (a->email && (vorn_buf_adds(out, ",\"Email\":") != 0 || vorn_buf_json_str(out, a->email) != 0)) return -1;
  if (a->premium >= 0 && vorn_buf_addf(out, ",\"Premium\":\"%lld days\"", (long long)a->premium) != 0) return -1;
  if (a->expiration &&
      (vorn_buf_adds(out, ",\"Expiration\":") != 0 || vorn_buf_json_str(out, a->expiration) != 0))
    return -1;
  return vorn_buf_adds(out, "}");
}

int32_t vorn_do_validate(vorn_sess *sess, const char *id, vorn_buf *out, char *err, size_t errsize) {
  vorn_buf url{};
  if (url_start(&url, sess, "/user") != 0) {
    vorn_buf_free(&url);
    return oom(err, errsize);
  }
  char *text = NULL;
  size_t len = 0;
  int32_t code = rd_get_text(sess->io, url.data, "user", &text, &len, err, errsize);
  vorn_buf_free(&url);
  if (code != VORN_OK) return code;

  account a{};
  code = vorn_parse_user(text, len, &a.username, &a.email, &a.premium, &a.expiration, err, errsize);
  free(text);
  if (code != VORN_OK) {
    account_free(&a);
    return code;
  }
  char generated[40];
  make_identifier(generated);
  int rc = add_account(out, id && id[0] ? id : generated, &a);
  account_free(&a);
  return rc == 0 ? VORN_OK : oom(err, errsize);
}

// ---------------------------------------------------------------------------
// Folder listings

enum { k_page_limit = 5000, k_max_pages = 8, k_max_entries = 20000 };

// Moves every row of page to the end of all; page is left empty.
static int rows_take(vorn_rows *all, vorn_rows *page) {
  if (page->count == 0) {
    vorn_rows_free(page);
    return 0;
  }
  uint64_t need = all->count + page->count;
  if (need > all->cap) {
    uint64_t cap = all->cap ? all->cap : 16;
    while (cap < need) cap *= 2;
    void *items = realloc(all->items, (size_t)cap * sizeof(vorn_row));
    if (!items) return -1;
    all->items = static_cast<vorn_row *>(items);
    all->cap = cap;
  }
  memcpy(all->items + all->count, page->items, (size_t)page->count * sizeof(vorn_row));
  all->count = need;
  free(page->items);  // the strings now belong to all
  *page = vorn_rows{};
  return 0;
}

// One page of a service list, decoded and added to all. Only rows that can
// still be listed are copied; *gathered counts every usable row of the page.
static int32_t fetch_page(vorn_sess *sess, const char *path, const char *label, int page, vorn_rows *all,
                          uint64_t *gathered, char *err, size_t errsize) {
  vorn_buf url{};
  if (url_start(&url, sess, path) != 0 || vorn_buf_query(&url, "limit", "5000") != 0 ||
      vorn_buf_addf(&url, "&page=%d", page) != 0) {
    vorn_buf_free(&url);
    return oom(err, errsize);
  }
  yyjson_doc *doc = NULL;
  yyjson_val *root = NULL;
  int32_t code = rd_get(sess->io, url.data, &doc, &root, label, err, errsize);
  vorn_buf_free(&url);
  if (code != VORN_OK) return code;
  // The rows come straight from the document as read: writing it back and
  // reading that text again would give the same rows at twice the cost.
  vorn_rows rows{};
  uint64_t keep = all->count < (uint64_t)k_max_entries ? (uint64_t)k_max_entries - all->count : 0;
  uint64_t usable = 0;
  code = vorn_decode_rows(root, keep, &rows, &usable, err, errsize);
  yyjson_doc_free(doc);
  if (code != VORN_OK) return code;
  if (rows_take(all, &rows) != 0) {
    vorn_rows_free(&rows);
    return oom(err, errsize);
  }
  *gathered += usable;
  return VORN_OK;
}

// Gathers the rows of a service list: another page only while every page so
// far came back full, and never more than the page limit. Rows past the
// listing limit count towards that rule but are not kept.
static int32_t fetch_list(vorn_sess *sess, const char *path, const char *label, vorn_rows *all, char *err,
                          size_t errsize) {
  uint64_t gathered = 0;
  for (int pages = 1;; pages++) {
    int32_t code = fetch_page(sess, path, label, pages, all, &gathered, err, errsize);
    if (code != VORN_OK) {
      vorn_rows_free(all);
      return code;
    }
    if (gathered < (uint64_t)k_page_limit * (uint64_t)pages || pages >= k_max_pages) return VORN_OK;
  }
}

#define ADD_LIT(b, lit) vorn_buf_add((b), (lit), sizeof(lit) - 1)

// Appends a signed 64-bit number as "%lld" writes it; printf would cost more
// than the rest of a listing entry.
static int add_int(vorn_buf *b, int64_t v) {
  char text[24];
  char *end = text + sizeof text;
  char *p = end;
  uint64_t u = v < 0 ? 0 - (uint64_t)v : (uint64_t)v;
  do {
    *--p = (char)('0' + u % 10);
    u /= 10;
  } while (u);
  if (v < 0) *--p = '-';
  return vorn_buf_add(b, p, (size_t)(end - p));
}

// Entries repeat a text up to three times (a name, a path, an id). It is
// escaped once into scratch as a JSON string literal, replacing what scratch
// held, and then copied.
static int escape_once(vorn_buf *scratch, const char *s) {
  scratch->len = 0;
  if (scratch->data) scratch->data[0] = '\0';
  return vorn_buf_json_str(scratch, s);
}

static int add_torrent_entry(vorn_buf *out, vorn_buf *scratch, const vorn_row *r) {
  if (ADD_LIT(out, "{\"name\":") != 0 || vorn_buf_json_str(out, r->name) != 0) return -1;
  // The id goes inside a string that starts with 't': its escaped text without the quotes.
  if (escape_once(scratch, r->id ? r->id : "") != 0) return -1;
  const char *id = scratch->data + 1;
  size_t id_len = scratch->len - 2;
  if (ADD_LIT(out, ",\"path\":\"t") != 0 || vorn_buf_add(out, id, id_len) != 0) return -1;
  if (ADD_LIT(out, "\",\"folder\":true,\"size\":") != 0 || add_int(out, r->size) != 0) return -1;
  if (ADD_LIT(out, ",\"id\":\"t") != 0 || vorn_buf_add(out, id, id_len) != 0) return -1;
  if (ADD_LIT(out, "\",\"locator\":\"t") != 0 || vorn_buf_add(out, id, id_len) != 0) return -1;
  return ADD_LIT(out, "\"}");
}

static int add_download_entry(vorn_buf *out, vorn_buf *scratch, const vorn_row *r) {
  if (escape_once(scratch, r->name) != 0) return -1;
  if (ADD_LIT(out, "{\"name\":") != 0 || vorn_buf_add(out, scratch->data, scratch->len) != 0) return -1;
  if (ADD_LIT(out, ",\"path\":") != 0 || vorn_buf_add(out, scratch->data, scratch->len) != 0) return -1;
  if (ADD_LIT(out, ",\"folder\":false,\"size\":") != 0 || add_int(out, r->size) != 0) return -1;
  if (ADD_LIT(out, ",\"locator\":") != 0 || vorn_buf_json_str(out, r->link ? r->link : "") != 0) return -1;
  if (ADD_LIT(out, ",\"id\":") != 0 || vorn_buf_add(out, scratch->data, scratch->len) != 0) return -1;
  return ADD_LIT(out, "}");
}

// A comma goes before every entry but the first; the array starts empty.
static int add_separator(vorn_buf *out) { return out->len > 1 ? vorn_buf_adds(out, ",") : 0; }

static int32_t list_service(vorn_sess *sess, const char *path, const char *label,
                            int (*entry)(vorn_buf *, vorn_buf *, const vorn_row *), vorn_buf *out, char *err,
                            size_t errsize) {
  vorn_rows rows{};
  int32_t code = fetch_list(sess, path, label, &rows, err, errsize);
  if (code != VORN_OK) return code;
  uint64_t n = rows.count < (uint64_t)k_max_entries ? rows.count : (uint64_t)k_max_entries;
  vorn_buf scratch{};
  int rc = vorn_buf_adds(out, "[");
  for (uint64_t i = 0; rc == 0 && i < n; i++) {
    rc = add_separator(out);
    if (rc == 0) rc = entry(out, &scratch, &rows.items[i]);
  }
  if (rc == 0) rc = vorn_buf_adds(out, "]");
  vorn_buf_free(&scratch);
  vorn_rows_free(&rows);
  return rc == 0 ? VORN_OK : oom(err, errsize);
}

int32_t vorn_do_list_torrents(vorn_sess *sess, vorn_buf *out, char *err, size_t errsize) {
  return list_service(sess, "/torrents", "torrents", add_torrent_entry, out, err, errsize);
}

int32_t vorn_do_list_downloads(vorn_sess *sess, vorn_buf *out, char *err, size_t errsize) {
  return list_service(sess, "/downloads", "downloads", add_download_entry, out, err, errsize);
}

// ---------------------------------------------------------------------------
// Transfer operations

static int32_t fetch_torrent(vorn_sess *sess, const char *id, vorn_torrent *out, char *err, size_t errsize) {
  *out = vorn_torrent{};
  vorn_buf url{};
  if (url_start_id(&url, sess, "/torrents/info/", id) != 0) {
    vorn_buf_free(&url);
    return oom(err, errsize);
  }
  yyjson_doc *doc = NULL;
  yyjson_val *root = NULL;
  int32_t code = rd_get(sess->io, url.data, &doc, &root, "torrents/info", err, errsize);
  vorn_buf_free(&url);
  if (code != VORN_OK) return code;
  // Decoded from the document as read, as the list pages are.
  code = vorn_decode_torrent(root, out, err, errsize);
  yyjson_doc_free(doc);
  return code;
}

// Asks the service to fetch the given files; the selection travels in the
// form field "files" as a comma-separated list of ids.
static int32_t select_files(vorn_sess *sess, const char *id, const int64_t *file_ids, size_t count, char *err,
                            size_t errsize) {
  vorn_buf url{};
  vorn_buf body{};
  int rc = url_start_id(&url, sess, "/torrents/selectFiles/", id);
  if (rc == 0) rc = vorn_buf_adds(&body, "files=");
  for (size_t i = 0; rc == 0 && i < count; i++) rc = vorn_buf_addf(&body, "%s%lld", i ? "," : "", (long long)file_ids[i]);
  if (rc != 0) {
    vorn_buf_free(&url);
    vorn_buf_free(&body);
    return oom(err, errsize);
  }
  vorn_resp resp{};
  int sent = vorn_http_post(sess->io, url.data, VORN_FORM_TYPE, body.data, &resp, err, errsize);
  vorn_buf_free(&url);
  vorn_buf_free(&body);
  if (sent != 0) return VORN_E_TRANSPORT;
  int32_t code = service_status(&resp, "selectFiles", err, errsize);
  vorn_resp_free(&resp);
  return code;
}

// Turns a hoster link into a direct download URL with its name and size.
static int32_t unrestrict(vorn_sess *sess, const char *link, char **url_out, char **name_out, int64_t *size_out,
                          char *err, size_t errsize) {
  vorn_buf url{};
  if (url_start(&url, sess, "/unrestrict/link") != 0 || vorn_buf_query(&url, "link", link) != 0) {
    vorn_buf_free(&url);
    return oom(err, errsize);
  }
  vorn_resp resp{};
  int sent = vorn_http_post(sess->io, url.data, VORN_FORM_TYPE, "", &resp, err, errsize);
  vorn_buf_free(&url);
  if (sent != 0) return VORN_E_TRANSPORT;
  int32_t code = service_status(&resp, "unrestrict/link", err, errsize);
  if (code != VORN_OK) return code;
  char *link_copy = NULL;
  char *name = NULL;
  int64_t size = -1;
  code = vorn_parse_unrestrict(resp.body, resp.len, &link_copy, &name, &size, err, errsize);
  vorn_resp_free(&resp);
  if (code != VORN_OK) {
    free(link_copy);
    free(name);
    return code;
  }
  *url_out = link_copy;
  *name_out = name;
  *size_out = size;
  return VORN_OK;
}

// Removes a transfer from the account. The transport offers only GET and
// POST; the removal goes out as a GET.
int32_t vorn_do_delete(vorn_sess *sess, const char *id, char *err, size_t errsize) {
  vorn_buf url{};
  if (url_start_id(&url, sess, "/torrents/delete/", id) != 0) {
    vorn_buf_free(&url);
    return oom(err, errsize);
  }
  vorn_resp resp{};
  int sent = vorn_http(sess->io, url.data, &resp, err, errsize);
  vorn_buf_free(&url);
  if (sent != 0) return VORN_E_TRANSPORT;
  int32_t code = service_status(&resp, "torrents/delete", err, errsize);
  vorn_resp_free(&resp);
  return code;
}

// ---------------------------------------------------------------------------
// Transfer folder

static int add_file_entry(vorn_buf *out, vorn_buf *scratch, const vorn_file *f) {
  if (escape_once(scratch, f->path) != 0) return -1;
  if (ADD_LIT(out, "{\"name\":") != 0 || vorn_buf_add(out, scratch->data, scratch->len) != 0) return -1;
  if (ADD_LIT(out, ",\"path\":") != 0 || vorn_buf_add(out, scratch->data, scratch->len) != 0) return -1;
  if (ADD_LIT(out, ",\"folder\":false,\"size\":") != 0 || add_int(out, f->bytes) != 0) return -1;
  if (ADD_LIT(out, ",\"fileid\":") != 0 || add_int(out, f->id) != 0) return -1;
  if (ADD_LIT(out, ",\"id\":") != 0 || vorn_buf_add(out, scratch->data, scratch->len) != 0) return -1;
  return ADD_LIT(out, "}");
}

int32_t vorn_do_list_torrent_str(vorn_sess *sess, const char *id, vorn_buf *out, char *err, size_t errsize) {
  if (!id || !id[0]) {
    vorn_say(err, errsize, "no such folder");
    return VORN_E_NOT_FOUND;
  }
  vorn_torrent t{};
  int32_t code = fetch_torrent(sess, id, &t, err, errsize);
  if (code != VORN_OK) return code;
  vorn_buf scratch{};
  int rc = vorn_buf_adds(out, "[");
  for (uint64_t i = 0; rc == 0 && i < t.files.count; i++) {
    rc = add_separator(out);
    if (rc == 0) rc = add_file_entry(out, &scratch, &t.files.items[i]);
  }
  if (rc == 0) rc = vorn_buf_adds(out, "]");
  vorn_buf_free(&scratch);
  vorn_torrent_free(&t);
  return rc == 0 ? VORN_OK : oom(err, errsize);
}

int32_t vorn_do_list_torrent(vorn_sess *sess, int64_t id, vorn_buf *out, char *err, size_t errsize) {
  char text[32];
  snprintf(text, sizeof text, "%lld", (long long)id);
  return vorn_do_list_torrent_str(sess, text, out, err, errsize);
}

// ---------------------------------------------------------------------------
// Stream link

int32_t vorn_do_stream(vorn_sess *sess, const char *link, vorn_buf *out, char *err, size_t errsize) {
  char *url = NULL;
  char *name = NULL;
  int64_t size = -1;
  int32_t code = unrestrict(sess, link, &url, &name, &size, err, errsize);
  if (code != VORN_OK) return code;
  char size_text[32];
  if (size >= 0)
    snprintf(size_text, sizeof size_text, "%lld", (long long)size);
  else
    snprintf(size_text, sizeof size_text, "-1");
  int rc = vorn_buf_adds(out, "{\"url\":");
  if (rc == 0) rc = vorn_buf_json_str(out, url);
  if (rc == 0) rc = vorn_buf_adds(out, ",\"headers\":{}");
  if (rc == 0) rc = vorn_buf_adds(out, ",\"size\":");
  if (rc == 0) rc = vorn_buf_adds(out, size_text);
  if (rc == 0) rc = vorn_buf_adds(out, ",\"name\":");
  if (rc == 0) rc = vorn_buf_json_str(out, name);
  if (rc == 0) rc = vorn_buf_adds(out, "}");
  free(url);
  free(name);
  return rc == 0 ? VORN_OK : oom(err, errsize);
}

// ---------------------------------------------------------------------------
// Download configuration

// The lowest 32 bits of a JSON integer, or 0 for anything else.
static int32_t low_int32(yyjson_val *v) {
  if (!yyjson_is_int(v)) return 0;
  return (int32_t)(uint32_t)yyjson_get_uint(v);
}

int32_t vorn_dlcfg_parse(const char *config, vorn_dlcfg *out, char *err, size_t errsize) {
  *out = vorn_dlcfg{};
  if (!config) {
    vorn_say(err, errsize, "config is NULL");
    return VORN_E_INVALID;
  }
  yyjson_doc *doc = vorn_json_read(config, strlen(config));
  yyjson_val *root = doc ? yyjson_doc_get_root(doc) : NULL;
  if (!yyjson_is_obj(root)) {
    if (doc) yyjson_doc_free(doc);
    vorn_say(err, errsize, "config is not a JSON object");
    return VORN_E_INVALID;
  }
  yyjson_val *link = yyjson_obj_get(root, "Link");
  if (yyjson_is_str(link) && yyjson_get_len(link) > 0) out->link = vorn_strdup(yyjson_get_str(link));
  out->full_season = yyjson_is_true(yyjson_obj_get(root, "FullSeason")) ? 1 : 0;
  out->season = low_int32(yyjson_obj_get(root, "Season"));
  out->episode = low_int32(yyjson_obj_get(root, "Episode"));
  out->keep_instant_only = yyjson_is_true(yyjson_obj_get(root, "KeepInstantOnly")) ? 1 : 0;
  yyjson_doc_free(doc);

  // A string that holds only an escaped NUL copies as empty: no usable link.
  if (out->link && !out->link[0]) {
    free(out->link);
    out->link = NULL;
  }
  if (!out->link) {
    *out = vorn_dlcfg{};
    vorn_say(err, errsize, "config has no Link");
    return VORN_E_INVALID;
  }
  if (strlen(out->link) > 3072) {
    vorn_dlcfg_free(out);
    vorn_say(err, errsize, "Link longer than 3 KiB");
    return VORN_E_INVALID;
  }
  return VORN_OK;
}

void vorn_dlcfg_free(vorn_dlcfg *cfg) {
  if (!cfg) return;
  free(cfg->link);
  *cfg = vorn_dlcfg{};
}

// ---------------------------------------------------------------------------
// Download: transfer creation

// Reads the add answer: the new transfer's id as text and the whole answer,
// minified, as the Payload. Releases the response.
static int32_t read_add_answer(vorn_resp *resp, char **id_out, vorn_buf *payload, char *err, size_t errsize) {
  int32_t code = service_status(resp, "add torrent", err, errsize);
  if (code != VORN_OK) return code;
  yyjson_doc *doc = resp->len ? vorn_json_read(resp->body, resp->len) : NULL;
  yyjson_val *root = doc ? yyjson_doc_get_root(doc) : NULL;
  yyjson_val *id = yyjson_is_obj(root) ? yyjson_obj_get(root, "id") : NULL;
  char *copy = NULL;
  if (yyjson_is_str(id)) {
    copy = vorn_strdup(yyjson_get_str(id));
  } else if (yyjson_is_int(id)) {
    char text[32];
    snprintf(text, sizeof text, "%lld", (long long)yyjson_get_sint(id));
    copy = vorn_strdup(text);
  }
  if (!copy) {
    if (doc) yyjson_doc_free(doc);
    vorn_resp_free(resp);
    vorn_say(err, errsize, "add torrent returned no id");
    return VORN_E_FAILED;
  }
  size_t len = 0;
  char *text = vorn_json_write(root, &len);
  yyjson_doc_free(doc);
  vorn_resp_free(resp);
  int rc = text ? vorn_buf_add(payload, text, len) : -1;
  free(text);
  if (rc != 0) {
    free(copy);
    return oom(err, errsize);
  }
  *id_out = copy;
  return VORN_OK;
}

// Posts an add request (magnet or torrent file) and reads the new transfer's
// id and the Payload from the answer. The URL is released on every path.
static int32_t post_add(vorn_sess *sess, vorn_buf *url, const char *content_type, const char *body, char **id_out,
                        vorn_buf *payload, char *err, size_t errsize) {
  vorn_resp resp{};
  int sent = vorn_http_post(sess->io, url->data, content_type, body, &resp, err, errsize);
  vorn_buf_free(url);
  if (sent != 0) return VORN_E_TRANSPORT;
  return read_add_answer(&resp, id_out, payload, err, errsize);
}

static int32_t add_magnet(vorn_sess *sess, const char *magnet, char **id_out, vorn_buf *payload, char *err,
                          size_t errsize) {
  vorn_buf url{};
  if (url_start(&url, sess, "/torrents/addMagnet") != 0 || vorn_buf_query(&url, "magnet", magnet) != 0) {
    vorn_buf_free(&url);
    return oom(err, errsize);
  }
  return post_add(sess, &url, VORN_FORM_TYPE, "", id_out, payload, err, errsize);
}

// Uploads a torrent file. Bodies travel as texts, so the file reaches the
// service up to its first NUL byte.
static int32_t add_torrent(vorn_sess *sess, const char *torrent, char **id_out, vorn_buf *payload, char *err,
                           size_t errsize) {
  vorn_buf url{};
  if (url_start(&url, sess, "/torrents/addTorrent") != 0) {
    vorn_buf_free(&url);
    return oom(err, errsize);
  }
  return post_add(sess, &url, VORN_TORRENT_TYPE, torrent, id_out, payload, err, errsize);
}

// Fetches a link that is no magnet link; its answer (whatever the status) is a
// redirect to a magnet link or a torrent file, which is then added.
static int32_t add_probed(vorn_sess *sess, const char *link, char **id_out, vorn_buf *payload, char *err,
                          size_t errsize) {
  vorn_resp probe{};
  if (vorn_http(sess->io, link, &probe, err, errsize) != 0) return VORN_E_TRANSPORT;

  if (probe.len >= 8 && memcmp(probe.body, "magnet:?", 8) == 0) {
    char *first = vorn_strndup(probe.body, strcspn(probe.body, "\r\n"));
    if (!first) {
      vorn_resp_free(&probe);
      return oom(err, errsize);
    }
    if (vorn_link_is_magnet(first)) {
      vorn_resp_free(&probe);
      int32_t code = add_magnet(sess, first, id_out, payload, err, errsize);
      free(first);
      return code;
    }
    free(first);
  }
  if (probe.len > 0 && vorn_sniff_torrent(probe.body, probe.len)) {
    char *copy = vorn_strndup(probe.body, probe.len);
    vorn_resp_free(&probe);
    if (!copy) return oom(err, errsize);
    int32_t code = add_torrent(sess, copy, id_out, payload, err, errsize);
    free(copy);
    return code;
  }
  vorn_resp_free(&probe);
  vorn_say(err, errsize, "Link is not a magnet, a redirect-to-magnet or a torrent file");
  return VORN_E_FAILED;
}

// ---------------------------------------------------------------------------
// Download: resolution

static int emit_payload(vorn_buf *out, const vorn_buf *payload) {
  return vorn_buf_add(out, payload->data ? payload->data : "", payload->len);
}

static int32_t emit_instant(vorn_buf *out, const char *url, const char *name, int64_t size, const vorn_buf *payload,
                            char *err, size_t errsize) {
  int rc = vorn_buf_adds(out, "{\"InstantURL\":");
  if (rc == 0) rc = vorn_buf_json_str(out, url);
  if (rc == 0) rc = vorn_buf_adds(out, ",\"InstantName\":");
  if (rc == 0) rc = vorn_buf_json_str(out, name);
  if (rc == 0) rc = vorn_buf_addf(out, ",\"InstantSize\":%lld", (long long)size);
  if (rc == 0) rc = vorn_buf_adds(out, ",\"Payload\":");
  if (rc == 0) rc = emit_payload(out, payload);
  if (rc == 0) rc = vorn_buf_adds(out, "}");
  return rc == 0 ? VORN_OK : oom(err, errsize);
}

// The file with the greatest size; the earliest one wins a tie.
static const vorn_file *largest_file(const vorn_torrent *t) {
  const vorn_file *best = NULL;
  for (uint64_t i = 0; i < t->files.count; i++)
    if (!best || t->files.items[i].bytes > best->bytes) best = &t->files.items[i];
  return best;
}

static const char k_fallback_msg[] = "the transfer never became ready; the legacy returned the largest file's path";

// Writes the fallback naming the largest file of t; the code says the
// transfer never became ready.
static int32_t emit_fallback(vorn_buf *out, const vorn_torrent *t, const vorn_buf *payload, char *err,
                             size_t errsize) {
  int rc = vorn_buf_adds(out, "{\"FallbackPath\":");
  if (rc == 0) rc = vorn_buf_json_str(out, largest_file(t)->path);
  if (rc == 0) rc = vorn_buf_adds(out, ",\"Payload\":");
  if (rc == 0) rc = emit_payload(out, payload);
  if (rc == 0) rc = vorn_buf_adds(out, "}");
  if (rc != 0) return oom(err, errsize);
  vorn_say(err, errsize, "%s", k_fallback_msg);
  return VORN_E_NOT_FOUND;
}

static int32_t emit_bare(vorn_buf *out, const vorn_buf *payload, char *err, size_t errsize) {
  if (emit_payload(out, payload) != 0) return oom(err, errsize);
  if (err && errsize) err[0] = '\0';  // an earlier, dropped failure leaves no text behind
  return VORN_OK;
}

static int is_downloaded(const vorn_torrent *t) { return t->status && strcmp(t->status, "downloaded") == 0; }

// The last path component of a name (all of it when there is no '/').
static const char *base_name(const char *s) {
  const char *slash = strrchr(s, '/');
  return slash ? slash + 1 : s;
}

struct download_job {
  vorn_sess *sess;
  const vorn_dlcfg *cfg;
  const char *id;
  const vorn_buf *payload;
  vorn_buf *out;
  char *err;
  size_t errsize;
};

// Removes the transfer when only instant results are wanted.
static int32_t drop_if_not_kept(const download_job *job) {
  if (!job->cfg->keep_instant_only) return VORN_OK;
  return vorn_do_delete(job->sess, job->id, job->err, job->errsize);
}

// Unrestricts the links of a ready season pack in order; the first one whose
// name carries the wanted season and episode becomes the instant result.
// *matched tells whether one did.
static int32_t walk_season_links(const download_job *job, const vorn_torrent *t, int *matched) {
  *matched = 0;
  for (uint64_t i = 0; i < t->nlinks; i++) {
    char *url = NULL;
    char *name = NULL;
    int64_t size = -1;
    int32_t code = unrestrict(job->sess, t->links[i], &url, &name, &size, job->err, job->errsize);
    if (code != VORN_OK) return code;
    int season = 0;
    int episode = 0;
    const char *candidate = base_name(name ? name : t->links[i]);
    if (vorn_season_episode(candidate, &season, &episode) && season == job->cfg->season &&
        episode == job->cfg->episode) {
      *matched = 1;
      code = emit_instant(job->out, url, name, size, job->payload, job->err, job->errsize);
      free(url);
      free(name);
      return code;
    }
    free(url);
    free(name);
  }
  return VORN_OK;
}

// The transfer did not become ready at once: remove it when only an instant
// result was wanted, then describe it a last time and name its largest file.
// A season pack without that description answers the Payload alone; a single
// file reports that nothing can be played.
static int32_t finish_not_instant(const download_job *job, bool bare_without_files) {
  int32_t code = drop_if_not_kept(job);
  if (code != VORN_OK) return code;

  vorn_torrent d3{};
  if (fetch_torrent(job->sess, job->id, &d3, job->err, job->errsize) != VORN_OK || d3.files.count == 0) {
    vorn_torrent_free(&d3);
    if (bare_without_files) return emit_bare(job->out, job->payload, job->err, job->errsize);
    vorn_say(job->err, job->errsize, "the transfer never became ready and holds no files");
    return VORN_E_NOT_FOUND;
  }
  code = emit_fallback(job->out, &d3, job->payload, job->err, job->errsize);
  vorn_torrent_free(&d3);
  return code;
}

static int32_t resolve_season(const download_job *job, vorn_torrent *d1) {
  int64_t *ids = static_cast<int64_t *>(malloc((size_t)(d1->files.count ? d1->files.count : 1) * sizeof(int64_t)));
  if (!ids) {
    vorn_torrent_free(d1);
    return oom(job->err, job->errsize);
  }
  size_t n = 0;
  for (uint64_t i = 0; i < d1->files.count; i++)
    if (vorn_path_is_video(d1->files.items[i].path)) ids[n++] = d1->files.items[i].id;
  int32_t code = n ? select_files(job->sess, job->id, ids, n, job->err, job->errsize) : VORN_OK;
  free(ids);
  vorn_torrent_free(d1);
  if (code != VORN_OK) return code;

  vorn_torrent d2{};
  code = fetch_torrent(job->sess, job->id, &d2, job->err, job->errsize);
  if (code != VORN_OK) return code;
  if (is_downloaded(&d2) && d2.files.count > 0 && d2.nlinks > 0) {
    int matched = 0;
    code = walk_season_links(job, &d2, &matched);
    if (code != VORN_OK || matched) {
      vorn_torrent_free(&d2);
      return code;
    }
  }
  vorn_torrent_free(&d2);
  return finish_not_instant(job, true);
}

static int32_t resolve_single(const download_job *job, vorn_torrent *d1) {
  if (d1->files.count == 0) {
    vorn_torrent_free(d1);
    int32_t code = drop_if_not_kept(job);
    if (code != VORN_OK) return code;
    return emit_bare(job->out, job->payload, job->err, job->errsize);
  }
  int64_t wanted = largest_file(d1)->id;
  vorn_torrent_free(d1);
  int32_t code = select_files(job->sess, job->id, &wanted, 1, job->err, job->errsize);
  if (code != VORN_OK) return code;

  vorn_torrent d2{};
  code = fetch_torrent(job->sess, job->id, &d2, job->err, job->errsize);
  if (code != VORN_OK) return code;
  if (is_downloaded(&d2) && d2.nlinks > 0) {
    char *url = NULL;
    char *name = NULL;
    int64_t size = -1;
    code = unrestrict(job->sess, d2.links[0], &url, &name, &size, job->err, job->errsize);
    vorn_torrent_free(&d2);
    if (code == VORN_OK) code = emit_instant(job->out, url, name, size, job->payload, job->err, job->errsize);
    free(url);
    free(name);
    return code;
  }
  vorn_torrent_free(&d2);
  return finish_not_instant(job, false);
}

static int32_t resolve(const download_job *job) {
  vorn_torrent d1{};
  int32_t code = fetch_torrent(job->sess, job->id, &d1, job->err, job->errsize);
  if (code != VORN_OK) return code;
  if (job->cfg->full_season == 1 && job->cfg->episode > 0) return resolve_season(job, &d1);
  return resolve_single(job, &d1);
}

// ---------------------------------------------------------------------------
// Download operation

int32_t vorn_do_download(vorn_sess *sess, const char *config, int writes, vorn_buf *out, char *err,
                         size_t errsize) {
  if (!writes) {
    vorn_say(err, errsize, "download() adds transfers to the account; call vorn_allow_writes(1) first");
    return VORN_E_WRITES_DISABLED;
  }
  vorn_dlcfg cfg{};
  int32_t code = vorn_dlcfg_parse(config, &cfg, err, errsize);
  if (code != VORN_OK) return code;

  char *id = NULL;
  vorn_buf payload{};
  if (vorn_link_is_magnet(cfg.link))
    code = add_magnet(sess, cfg.link, &id, &payload, err, errsize);
  else
    code = add_probed(sess, cfg.link, &id, &payload, err, errsize);
  if (code == VORN_OK) {
    download_job job{sess, &cfg, id, &payload, out, err, errsize};
    code = resolve(&job);
  }
  vorn_dlcfg_free(&cfg);
  free(id);
  vorn_buf_free(&payload);
  return code;
}
