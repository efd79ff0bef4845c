// vorn_wire.cpp - decoding of the service's JSON documents (error documents,
// transfer info, listings, unrestricted links, account and token answers) and
// of the host's entry objects into plain records.
//
// Member lookup is the same everywhere: the first member whose key is exactly
// the wanted key decides, and a value of the wrong kind counts as absent.
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "vorn_internal.h"

// ---------------------------------------------------------------------------
// Shared helpers

#define MAX_FILES 65536
#define MAX_LINKS 4096
#define FIRST_CAP 16

// yyjson_obj_getn walks the members in document order and stops at the first
// key of the same length and bytes, so later duplicates are never seen.
static yyjson_val *member(yyjson_val *obj, const char *key) {
  return yyjson_obj_getn(obj, key, strlen(key));
}

// The member's text when it is a JSON string, else NULL.
static const char *sval(yyjson_val *obj, const char *key) {
  yyjson_val *v = member(obj, key);
  return yyjson_is_str(v) ? yyjson_get_str(v) : nullptr;
}

// A JSON integer (signed or unsigned, never a real), taken as signed 64-bit.
static bool ival(yyjson_val *obj, const char *key, int64_t *out) {
  yyjson_val *v = member(obj, key);
  if (!yyjson_is_int(v)) return false;
  *out = yyjson_get_sint(v);
  return true;
}

// Reads the body; NULL when it is not JSON or its root is not of the wanted
// kind (the document is then already released).
static yyjson_doc *read_doc(const char *body, size_t len, bool want_array, yyjson_val **root) {
  yyjson_doc *doc = vorn_json_read(body, len);
  yyjson_val *r = yyjson_doc_get_root(doc);
  if (!doc || (want_array ? !yyjson_is_arr(r) : !yyjson_is_obj(r))) {
    yyjson_doc_free(doc);
    return nullptr;
  }
  *root = r;
  return doc;
}

// An id given as text counts by its leading decimal digits, like strtoll.
static bool id_value(yyjson_val *obj, int64_t *out) {
  yyjson_val *v = member(obj, "id");
  if (yyjson_is_str(v)) {
    *out = strtoll(yyjson_get_str(v), nullptr, 10);
    return true;
  }
  if (yyjson_is_int(v)) {
    *out = yyjson_get_sint(v);
    return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// Service error documents

struct errmap_entry {
  int32_t code;
  const char *message;
};

static const errmap_entry k_errmap[] = {
    {1, "Internal error"},
    {3, "Missing parameter"},
    {4, "Bad parameter value"},
    {5, "Unknown method"},
    {6, "Method not allowed"},
    {7, "Slow down"},
    {8, "Ressource unreachable"},
    {9, "Resource not found"},
    {10, "Bad token"},
    {11, "Permission denied"},
    {12, "Two-Factor authentication needed"},
    {13, "Two-Factor authentication pending"},
    {14, "Invalid login"},
    {15, "Invalid password"},
    {16, "Account locked"},
    {17, "Account not activated"},
    {18, "Unsupported hoster"},
    {19, "Hoster in maintenance"},
    {20, "Hoster limit reached"},
    {21, "Hoster temporarily unavailable"},
    {22, "Hoster not available for free users"},
    {23, "Too many active downloads"},
    {24, "IP Address not allowed"},
    {25, "Traffic exhausted"},
    {26, "File unavailable"},
    {27, "Service unavailable"},
    {28, "Upload too big"},
    {29, "Upload error"},
    {30, "File not allowed"},
    {31, "Torrent too big"},
    {32, "Torrent file invalid"},
    {33, "Action already done"},
    {34, "Image resolution error"},
    {35, "Torrent already active"},
    {36, "Too many requests"},
    {37, "Infringing file"},
    {38, "Fair Usage Limit"},
};

const char *vorn_error_message(int32_t code) {
  for (const errmap_entry &e : k_errmap) {
    if (e.code == code) return e.message;
  }
  return nullptr;
}

// Writes the line of an error document; 0 when root is no error document.
static int error_line(yyjson_val *root, int32_t status, char *out, size_t outsize) {
  if (!yyjson_is_obj(root)) return 0;
  const char *text = sval(root, "error");
  int64_t code = 0;
  if (!text || !ival(root, "error_code", &code) || code <= 0) return 0;
  // A code beyond the 32-bit range has no description: narrowing it would
  // wrap it onto an unrelated entry (4294967297 would read as code 1).
  const char *message = code <= INT32_MAX ? vorn_error_message(static_cast<int32_t>(code)) : nullptr;
  if (out && outsize > 0) {
    snprintf(out, outsize, "%s (error_code %lld, HTTP %ld)%s%s%s", text, static_cast<long long>(code),
             static_cast<long>(status), message ? " \xE2\x80\x94 " : "", message ? message : "", "");
  }
  return 1;
}

// Whether a strict JSON read of the text could give an object: its first
// byte after white space must open one. Lists of many megabytes are thus
// never read just to learn that they are no error document.
static bool may_be_object(const char *body, size_t len) {
  size_t i = 0;
  while (i < len && (body[i] == ' ' || body[i] == '\t' || body[i] == '\n' || body[i] == '\r')) i++;
  return i < len && body[i] == '{';
}

int vorn_parse_error(const char *body, size_t len, int32_t status, char *out, size_t outsize) {
  if (!body || len == 0 || !may_be_object(body, len)) return 0;
  yyjson_val *root = nullptr;
  yyjson_doc *doc = read_doc(body, len, false, &root);
  if (!doc) return 0;
  int found = error_line(root, status, out, outsize);
  yyjson_doc_free(doc);
  return found;
}

int vorn_error_doc(yyjson_val *root, int32_t status, char *out, size_t outsize) {
  return error_line(root, status, out, outsize);
}

// ---------------------------------------------------------------------------
// Transfer info document

void vorn_files_free(vorn_files *f) {
  if (!f) return;
  for (uint64_t i = 0; i < f->count; i++) free(f->items[i].path);
  free(f->items);
  *f = vorn_files{};
}

void vorn_torrent_free(vorn_torrent *t) {
  if (!t) return;
  free(t->status);
  free(t->filename);
  free(t->raw);
  for (uint64_t i = 0; i < t->nlinks; i++) free(t->links[i]);
  free(t->links);
  vorn_files_free(&t->files);
  *t = vorn_torrent{};
}

// Makes room for one more file: 16 entries the first time, then doubling.
static bool files_reserve(vorn_files *f) {
  if (f->count < f->cap) return true;
  uint64_t cap = f->cap ? f->cap * 2 : FIRST_CAP;
  void *p = realloc(f->items, cap * sizeof(vorn_file));
  if (!p) return false;
  f->items = static_cast<vorn_file *>(p);
  f->cap = cap;
  return true;
}

// Decodes one element of the files array into *file; false when the element
// is to be skipped (nothing is then left allocated).
static bool decode_file(yyjson_val *elem, vorn_file *file) {
  if (!yyjson_is_obj(elem)) return false;
  int64_t id = 0;
  if (!id_value(elem, &id) || id < 0) return false;
  const char *path = sval(elem, "path");
  if (!path) return false;
  file->id = id;
  file->bytes = -1;
  ival(elem, "bytes", &file->bytes);
  yyjson_val *sel = member(elem, "selected");
  file->selected = yyjson_is_bool(sel) && yyjson_get_bool(sel) ? 1 : 0;
  file->path = vorn_strdup(path);
  return file->path != nullptr;
}

// Returns false only when the file array cannot grow.
static bool decode_files(yyjson_val *arr, vorn_files *files) {
  size_t idx, max;
  yyjson_val *elem;
  yyjson_arr_foreach(arr, idx, max, elem) {
    vorn_file file = {};
    if (!decode_file(elem, &file)) continue;
    if (!files_reserve(files)) {
      free(file.path);
      return false;
    }
    files->items[files->count++] = file;
  }
  return true;
}

// Links are kept up to the limit; a failed copy skips one link and a failed
// growth stops taking links, neither fails the decode.
static void decode_links(yyjson_val *arr, vorn_torrent *t) {
  size_t idx, max;
  yyjson_val *elem;
  yyjson_arr_foreach(arr, idx, max, elem) {
    if (!yyjson_is_str(elem)) continue;
    if (t->nlinks >= MAX_LINKS) return;
    char *copy = vorn_strdup(yyjson_get_str(elem));
    if (!copy) continue;
    void *p = realloc(t->links, (t->nlinks + 1) * sizeof(char *));
    if (!p) {
      free(copy);
      return;
    }
    t->links = static_cast<char **>(p);
    t->links[t->nlinks++] = copy;
  }
}

static int32_t torrent_fail(vorn_torrent *t, int32_t code, char *err, size_t errsize, const char *text) {
  vorn_torrent_free(t);
  vorn_say(err, errsize, "%s", text);
  return code;
}

// Decodes an object already read; the caller keeps the document.
static int32_t torrent_from(yyjson_val *root, vorn_torrent *out, char *err, size_t errsize) {
  if (!id_value(root, &out->id)) out->id = -1;
  // A failed copy of status or filename just leaves that field out.
  const char *status = sval(root, "status");
  if (status) out->status = vorn_strdup(status);
  const char *filename = sval(root, "filename");
  if (filename) out->filename = vorn_strdup(filename);

  yyjson_val *files = member(root, "files");
  if (yyjson_is_arr(files)) {
    if (yyjson_arr_size(files) > MAX_FILES) {
      vorn_torrent_free(out);
      vorn_say(err, errsize, "torrent has more than %d files", MAX_FILES);
      return VORN_E_FAILED;
    }
    if (!decode_files(files, &out->files)) return torrent_fail(out, VORN_E_FAILED, err, errsize, "out of memory");
  }
  yyjson_val *links = member(root, "links");
  if (yyjson_is_arr(links)) decode_links(links, out);

  out->raw = vorn_json_write(root, nullptr);
  if (!out->status && !out->filename && out->files.count == 0 && out->nlinks == 0) {
    return torrent_fail(out, VORN_E_FAILED, err, errsize, "torrents/info carries no recognisable fields");
  }
  if (!out->raw) return torrent_fail(out, VORN_E_FAILED, err, errsize, "out of memory serialising the torrent");
  return VORN_OK;
}

int32_t vorn_parse_torrent(const char *body, size_t len, vorn_torrent *out, char *err, size_t errsize) {
  *out = vorn_torrent{};
  if (!body || len == 0) {
    vorn_say(err, errsize, "torrents/info returned an empty body");
    return VORN_E_FAILED;
  }
  yyjson_val *root = nullptr;
  yyjson_doc *doc = read_doc(body, len, false, &root);
  if (!doc) {
    vorn_say(err, errsize, "torrents/info is not a JSON object");
    return VORN_E_FAILED;
  }
  int32_t code = torrent_from(root, out, err, errsize);
  yyjson_doc_free(doc);
  return code;
}

int32_t vorn_decode_torrent(yyjson_val *root, vorn_torrent *out, char *err, size_t errsize) {
  *out = vorn_torrent{};
  if (!yyjson_is_obj(root)) {
    vorn_say(err, errsize, "torrents/info is not a JSON object");
    return VORN_E_FAILED;
  }
  return torrent_from(root, out, err, errsize);
}

// ---------------------------------------------------------------------------
// Listing rows

void vorn_rows_free(vorn_rows *rows) {
  if (!rows) return;
  for (uint64_t i = 0; i < rows->count; i++) {
    vorn_row *r = &rows->items[i];
    free(r->id);
    free(r->name);
    free(r->link);
    free(r->status);
  }
  free(rows->items);
  *rows = vorn_rows{};
}

static void row_release(vorn_row *r) {
  free(r->id);
  free(r->name);
  free(r->link);
  free(r->status);
  *r = vorn_row{};
}

// The id as text: a string copied unchanged, an integer in "%lld" form.
static char *row_id(yyjson_val *obj) {
  yyjson_val *v = member(obj, "id");
  if (yyjson_is_str(v)) return vorn_strdup(yyjson_get_str(v));
  if (!yyjson_is_int(v)) return nullptr;
  char text[32];
  snprintf(text, sizeof text, "%lld", static_cast<long long>(yyjson_get_sint(v)));
  return vorn_strdup(text);
}

// The first of two string members that is a string, copied. A failed copy
// does not fall back to the second key.
static char *str_or(yyjson_val *obj, const char *key, const char *fallback) {
  const char *s = sval(obj, key);
  if (!s) s = sval(obj, fallback);
  return s ? vorn_strdup(s) : nullptr;
}

// Decodes one element; false when it lacks a usable id or name.
static bool decode_row(yyjson_val *elem, vorn_row *row) {
  if (!yyjson_is_obj(elem)) return false;
  row->id = row_id(elem);
  row->name = str_or(elem, "filename", "name");
  if (!row->id || !row->name) {
    row_release(row);
    return false;
  }
  row->size = -1;
  if (!ival(elem, "bytes", &row->size)) ival(elem, "filesize", &row->size);
  row->link = str_or(elem, "download", "downloadUrl");
  const char *status = sval(elem, "status");
  if (status) row->status = vorn_strdup(status);
  return true;
}

static bool rows_reserve(vorn_rows *rows) {
  if (rows->count < rows->cap) return true;
  uint64_t cap = rows->cap ? rows->cap * 2 : FIRST_CAP;
  if (cap > SIZE_MAX / sizeof(vorn_row)) return false;
  void *p = realloc(rows->items, cap * sizeof(vorn_row));
  if (!p) return false;
  rows->items = static_cast<vorn_row *>(p);
  rows->cap = cap;
  return true;
}

// Whether decode_row would keep the element, short of its copies failing.
static bool row_usable(yyjson_val *elem) {
  if (!yyjson_is_obj(elem)) return false;
  yyjson_val *id = member(elem, "id");
  if (!yyjson_is_str(id) && !yyjson_is_int(id)) return false;
  return sval(elem, "filename") || sval(elem, "name");
}

// Decodes an array already read; the caller keeps the document. Rows past
// keep are only counted in *usable (with the kept ones), not copied.
static int32_t rows_from(yyjson_val *root, uint64_t keep, vorn_rows *out, uint64_t *usable, char *err,
                         size_t errsize) {
  size_t idx, max;
  yyjson_val *elem;
  yyjson_arr_foreach(root, idx, max, elem) {
    if (out->count >= keep) {
      if (row_usable(elem)) (*usable)++;
      continue;
    }
    vorn_row row = {};
    if (!decode_row(elem, &row)) continue;
    (*usable)++;
    if (!rows_reserve(out)) {
      row_release(&row);
      vorn_rows_free(out);
      vorn_say(err, errsize, "out of memory");
      return VORN_E_FAILED;
    }
    out->items[out->count++] = row;
  }
  return VORN_OK;
}

int32_t vorn_parse_rows(const char *body, size_t len, vorn_rows *out, char *err, size_t errsize) {
  *out = vorn_rows{};
  if (!body || len == 0) return VORN_OK;
  yyjson_val *root = nullptr;
  yyjson_doc *doc = read_doc(body, len, true, &root);
  if (!doc) {
    vorn_say(err, errsize, "the list is not a JSON array");
    return VORN_E_FAILED;
  }
  uint64_t usable = 0;
  int32_t code = rows_from(root, UINT64_MAX, out, &usable, err, errsize);
  yyjson_doc_free(doc);
  return code;
}

int32_t vorn_decode_rows(yyjson_val *root, uint64_t keep, vorn_rows *out, uint64_t *usable, char *err,
                         size_t errsize) {
  *out = vorn_rows{};
  *usable = 0;
  if (!yyjson_is_arr(root)) {
    vorn_say(err, errsize, "the list is not a JSON array");
    return VORN_E_FAILED;
  }
  return rows_from(root, keep, out, usable, err, errsize);
}

// ---------------------------------------------------------------------------
// Link, account and token documents

// A copy of a string member whose text is not empty. The copy ends at the
// first NUL, so a text that starts with an escaped NUL is empty as well.
static char *nonempty_copy(yyjson_val *obj, const char *key) {
  const char *s = sval(obj, key);
  return s && s[0] ? vorn_strdup(s) : nullptr;
}

static char *str_copy(yyjson_val *obj, const char *key) {
  const char *s = sval(obj, key);
  return s ? vorn_strdup(s) : nullptr;
}

int32_t vorn_parse_unrestrict(const char *body, size_t len, char **link, char **name, int64_t *size,
                              char *err, size_t errsize) {
  *link = nullptr;
  *name = nullptr;
  *size = -1;
  if (!body || len == 0) {
    vorn_say(err, errsize, "unrestrict/link returned an empty body");
    return VORN_E_FAILED;
  }
  yyjson_val *root = nullptr;
  yyjson_doc *doc = read_doc(body, len, false, &root);
  if (!doc) {
    vorn_say(err, errsize, "unrestrict/link is not a JSON object");
    return VORN_E_FAILED;
  }
  *link = nonempty_copy(root, "download");
  *name = str_copy(root, "filename");
  ival(root, "filesize", size);
  yyjson_doc_free(doc);
  if (!*link) {
    free(*name);
    *name = nullptr;
    vorn_say(err, errsize, "unrestrict/link returned no download");
    return VORN_E_NOT_FOUND;
  }
  return VORN_OK;
}

int32_t vorn_parse_user(const char *body, size_t len, char **username, char **email, int64_t *premium,
                        char **expiration, char *err, size_t errsize) {
  *username = nullptr;
  *email = nullptr;
  *expiration = nullptr;
  *premium = -1;
  if (!body || len == 0) {
    vorn_say(err, errsize, "user returned an empty body");
    return VORN_E_FAILED;
  }
  yyjson_val *root = nullptr;
  yyjson_doc *doc = read_doc(body, len, false, &root);
  if (!doc) {
    vorn_say(err, errsize, "user is not a JSON object");
    return VORN_E_FAILED;
  }
  *username = str_copy(root, "username");
  *email = str_copy(root, "email");
  *expiration = str_copy(root, "expiration");
  yyjson_val *p = member(root, "premium");
  if (yyjson_is_int(p)) {
    *premium = yyjson_get_sint(p);
  } else if (yyjson_is_bool(p)) {
    *premium = yyjson_get_bool(p) ? 1 : 0;
  }
  yyjson_doc_free(doc);
  if (!*username && !*email) {
    free(*expiration);
    *expiration = nullptr;
    vorn_say(err, errsize, "user carries no username");
    return VORN_E_FAILED;
  }
  return VORN_OK;
}

int32_t vorn_parse_token(const char *body, size_t len, char **access_token, char **refresh_token,
                         char *err, size_t errsize) {
  *access_token = nullptr;
  *refresh_token = nullptr;
  if (!body || len == 0) {
    vorn_say(err, errsize, "oauth token returned an empty body");
    return VORN_E_FAILED;
  }
  yyjson_val *root = nullptr;
  yyjson_doc *doc = read_doc(body, len, false, &root);
  if (!doc) {
    vorn_say(err, errsize, "oauth token is not a JSON object");
    return VORN_E_FAILED;
  }
  *access_token = str_copy(root, "access_token");
  *refresh_token = str_copy(root, "refresh_token");
  yyjson_doc_free(doc);
  if (!*access_token) {
    free(*refresh_token);
    *refresh_token = nullptr;
    vorn_say(err, errsize, "oauth token returned no access_token");
    return VORN_E_AUTH;
  }
  return VORN_OK;
}

// The first usable key names the link; a failed copy does not fall through.
static char *entry_copy(yyjson_val *root) {
  static const char *const keys[] = {"locator", "link", "path"};
  for (const char *key : keys) {
    const char *s = sval(root, key);
    if (s && s[0]) return vorn_strdup(s);
  }
  return nullptr;
}

int32_t vorn_entry_link(const char *entry, char **link, char *err, size_t errsize) {
  *link = nullptr;
  if (!entry || !entry[0]) {
    vorn_say(err, errsize, "entry is empty");
    return VORN_E_NOT_FOUND;
  }
  yyjson_val *root = nullptr;
  yyjson_doc *doc = read_doc(entry, strlen(entry), false, &root);
  if (!doc) {
    vorn_say(err, errsize, "entry is not a JSON object");
    return VORN_E_INVALID;
  }
  *link = entry_copy(root);
  yyjson_doc_free(doc);
  if (!*link) {
    vorn_say(err, errsize, "entry carries no link");
    return VORN_E_NOT_FOUND;
  }
  return VORN_OK;
}
