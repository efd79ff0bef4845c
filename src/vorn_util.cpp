// vorn_util.cpp - the text buffer and string helpers, the settings parse, URL
// redaction, the content classifiers, the HTTP exchange over the host's
// transport table, token masking, and the JSON reader/writer shims.
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "vorn_internal.h"

// ---------------------------------------------------------------------------
// Text buffer

// First capacity of a buffer; later growth doubles it.
static const size_t k_buf_first = 256;
// Largest capacity that can still be doubled inside the signed 64-bit range.
static const size_t k_buf_max_doublable = (size_t)INT64_MAX / 2;

// Picks the capacity that holds need bytes, or 0 when none can be had.
static size_t grown_cap(size_t cap, size_t need) {
  size_t c = cap ? cap : k_buf_first;
  while (c < need) {
    if (c > k_buf_max_doublable) return 0;
    c *= 2;
  }
  return c;
}

int vorn_buf_add(vorn_buf *b, const void *src, size_t n) {
  if (!b) return -1;
  // len + n + 1 must not wrap around, or the copy below would run past the end.
  if (n > SIZE_MAX - 1 - b->len) return -1;
  size_t need = b->len + n + 1;
  if (b->cap < need) {
    size_t cap = grown_cap(b->cap, need);
    if (!cap) return -1;
    char *p = static_cast<char *>(realloc(b->data, cap));
    if (!p) return -1;
    b->data = p;
    b->cap = cap;
  }
  if (n) memcpy(b->data + b->len, src, n);
  b->len += n;
  b->data[b->len] = '\0';
  return 0;
}

int vorn_buf_adds(vorn_buf *b, const char *s) {
  if (!s) return -1;
  return vorn_buf_add(b, s, strlen(s));
}

int vorn_buf_addf(vorn_buf *b, const char *fmt, ...) {
  char area[512];
  va_list ap;
  va_start(ap, fmt);
  int n = vsnprintf(area, sizeof area, fmt, ap);
  va_end(ap);
  if (n < 0) return -1;
  if ((size_t)n < sizeof area) return vorn_buf_add(b, area, (size_t)n);

  // Too long for the stack area: format again into a heap area of the exact size.
  char *big = static_cast<char *>(malloc((size_t)n + 1));
  if (!big) return -1;
  va_start(ap, fmt);
  vsnprintf(big, (size_t)n + 1, fmt, ap);
  va_end(ap);
  int rc = vorn_buf_add(b, big, (size_t)n);
  free(big);
  return rc;
}

// Writes the escape for byte c into out and returns its length (2 or 6).
static size_t json_escape(unsigned char c, char out[7]) {
  static const char hex[] = "0123456789abcdef";
  switch (c) {
    case '"': memcpy(out, "\\\"", 2); return 2;
    case '\\': memcpy(out, "\\\\", 2); return 2;
    case '\t': memcpy(out, "\\t", 2); return 2;
    case '\n': memcpy(out, "\\n", 2); return 2;
    case '\r': memcpy(out, "\\r", 2); return 2;
    default: break;
  }
  memcpy(out, "\\u00", 4);
  out[4] = hex[c >> 4];
  out[5] = hex[c & 0xF];
  return 6;
}

static int json_needs_escape(unsigned char c) {
  return c == '"' || c == '\\' || c < 0x20 || c == 0x7F;
}

int vorn_buf_json_str(vorn_buf *b, const char *s) {
  if (!s) return vorn_buf_add(b, "null", 4);
  if (vorn_buf_add(b, "\"", 1) != 0) return -1;
  const char *run = s;
  const char *p = s;
  for (; *p; p++) {
    unsigned char c = (unsigned char)*p;
    if (!json_needs_escape(c)) continue;
    if (vorn_buf_add(b, run, (size_t)(p - run)) != 0) return -1;
    char esc[7];
    if (vorn_buf_add(b, esc, json_escape(c, esc)) != 0) return -1;
    run = p + 1;
  }
  if (vorn_buf_add(b, run, (size_t)(p - run)) != 0) return -1;
  return vorn_buf_add(b, "\"", 1);
}

static int url_unreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~';
}

// Percent-encodes value into a new text sized exactly beforehand; NULL when
// memory runs out. A NULL value encodes as the empty text.
static char *percent_encode(const char *value) {
  static const char hex[] = "0123456789ABCDEF";
  const char *v = value ? value : "";
  size_t size = 0;
  for (const char *p = v; *p; p++) size += url_unreserved((unsigned char)*p) ? 1 : 3;
  char *out = static_cast<char *>(malloc(size + 1));
  if (!out) return nullptr;
  char *o = out;
  for (const char *p = v; *p; p++) {
    unsigned char c = (unsigned char)*p;
    if (url_unreserved(c)) {
      *o++ = (char)c;
    } else {
      *o++ = '%';
      *o++ = hex[c >> 4];
      *o++ = hex[c & 0xF];
    }
  }
  *o = '\0';
  return out;
}

int vorn_buf_query(vorn_buf *b, const char *name, const char *value) {
  if (!b || !name) return -1;
  char *enc = percent_encode(value);
  if (!enc) return -1;
  int has_query = b->data && memchr(b->data, '?', b->len) != nullptr;
  int rc = -1;
  if (vorn_buf_add(b, has_query ? "&" : "?", 1) == 0 && vorn_buf_adds(b, name) == 0 &&
      vorn_buf_add(b, "=", 1) == 0 && vorn_buf_adds(b, enc) == 0)
    rc = 0;
  free(enc);
  return rc;
}

void vorn_buf_free(vorn_buf *b) {
  if (!b) return;
  free(b->data);
  *b = vorn_buf{};
}

// ---------------------------------------------------------------------------
// String helpers

char *vorn_strndup(const char *s, size_t n) {
  if (!s || n == SIZE_MAX) return nullptr;
  char *p = static_cast<char *>(malloc(n + 1));
  if (!p) return nullptr;
  if (n) memcpy(p, s, n);
  p[n] = '\0';
  return p;
}

char *vorn_strdup(const char *s) {
  if (!s) return nullptr;
  return vorn_strndup(s, strlen(s));
}

int vorn_utf8_ok(const void *p, size_t n) {
  const unsigned char *s = static_cast<const unsigned char *>(p);
  if (!s) return n == 0;
  size_t i = 0;
  while (i < n) {
    unsigned char c = s[i];
    if (c < 0x80) {
      i++;
      continue;
    }
    size_t extra;
    uint32_t value, min;
    if ((c & 0xE0) == 0xC0) {
      extra = 1, value = c & 0x1F, min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2, value = c & 0x0F, min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3, value = c & 0x07, min = 0x10000;
    } else {
      return 0;  // a stray continuation byte, or 0xF8 to 0xFF
    }
    if (extra > n - i - 1) return 0;
    for (size_t k = 1; k <= extra; k++) {
      unsigned char cc = s[i + k];
      if ((cc & 0xC0) != 0x80) return 0;
      value = (value << 6) | (cc & 0x3F);
    }
    if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    i += extra + 1;
  }
  return 1;
}

void vorn_say(char *err, size_t errsize, const char *fmt, ...) {
  if (!err || !errsize) return;
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(err, errsize, fmt, ap);
  va_end(ap);
}

// ---------------------------------------------------------------------------
// Settings

// Longest settings text that is read.
static const size_t k_settings_max = 1048576;
// Room for a rendered integer, and the longest access token that is kept.
enum { k_sval_area = 256, k_access_token_max = 255 };

// The keys the settings parse reads, found together in one walk over the
// root object rather than one walk per key (the parse runs on every call).
enum setting_key {
  S_RUNTIME, S_APIKEY, S_CUSTOM_NAME, S_ID, S_CLIENT_ID, S_CLIENT_SECRET, S_REFRESH, S_REFRESH_ALT, S_HOST,
  S_HOST_ALT, S_ACCESS, S_KEYS
};

struct key_name {
  const char *text;
  size_t len;
};

#define KEY_NAME(s) {s, sizeof(s) - 1}
static const key_name k_setting_keys[S_KEYS] = {
    KEY_NAME("RuntimeType"), KEY_NAME("APIKey"),       KEY_NAME("CustomName"),    KEY_NAME("ID"),
    KEY_NAME("ClientId"),    KEY_NAME("ClientSecret"), KEY_NAME("refresh_token"), KEY_NAME("RefreshToken"),
    KEY_NAME("Host"),        KEY_NAME("REALDEBRIDHost"), KEY_NAME("access_token")};
#undef KEY_NAME

// The values of the root object's first member with each key (NULL where
// there is none); later members with the same key are passed over.
struct setting_values {
  yyjson_val *v[S_KEYS];
};

static void find_settings(yyjson_val *root, setting_values *found) {
  for (yyjson_val *&v : found->v) v = nullptr;
  size_t idx, max;
  yyjson_val *k, *v;
  yyjson_obj_foreach(root, idx, max, k, v) {
    size_t len = yyjson_get_len(k);
    const char *name = yyjson_get_str(k);
    for (int i = 0; i < S_KEYS; i++) {
      if (k_setting_keys[i].len != len || memcmp(k_setting_keys[i].text, name, len) != 0) continue;
      if (!found->v[i]) found->v[i] = v;
      break;
    }
  }
}

// The rendered text of the first member with the key, or NULL when there is
// none or its value has a kind that gives no text. Integers are rendered into
// area.
static const char *sval(const setting_values *found, setting_key key, char area[k_sval_area]) {
  yyjson_val *v = found->v[key];
  if (yyjson_is_str(v)) return yyjson_get_str(v);
  if (yyjson_is_int(v)) {
    snprintf(area, k_sval_area, "%lld", (long long)yyjson_get_sint(v));
    return area;
  }
  if (yyjson_is_bool(v)) return yyjson_get_bool(v) ? "true" : "false";
  return nullptr;
}

static int is_trim_char(char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }

// A copy of text without leading and trailing blanks; NULL when nothing is
// left or memory runs out.
static char *trimdup(const char *text) {
  if (!text) return nullptr;
  while (is_trim_char(*text)) text++;
  size_t n = strlen(text);
  while (n && is_trim_char(text[n - 1])) n--;
  if (!n) return nullptr;
  return vorn_strndup(text, n);
}

static char *setting(const setting_values *found, setting_key key) {
  char area[k_sval_area];
  return trimdup(sval(found, key, area));
}

static char *setting_or(const setting_values *found, setting_key key, setting_key fallback_key) {
  char *v = setting(found, key);
  return v ? v : setting(found, fallback_key);
}

static int32_t cfg_fail(vorn_cfg *out, char *err, size_t errsize, const char *msg) {
  vorn_cfg_free(out);
  vorn_say(err, errsize, "%s", msg);
  return VORN_E_INVALID;
}

int32_t vorn_cfg_parse(const char *settings, int32_t require, vorn_cfg *out, char *err, size_t errsize) {
  if (!out) {
    vorn_say(err, errsize, "%s", "settings record is NULL");
    return VORN_E_INVALID;
  }
  *out = vorn_cfg{};
  if (!settings) return cfg_fail(out, err, errsize, "settings are NULL");
  size_t len = strnlen(settings, k_settings_max + 1);
  if (len > k_settings_max) return cfg_fail(out, err, errsize, "settings are larger than 1 MiB");
  yyjson_doc *doc = vorn_json_read(settings, len);
  yyjson_val *root = yyjson_doc_get_root(doc);
  if (!yyjson_is_obj(root)) {
    yyjson_doc_free(doc);
    return cfg_fail(out, err, errsize, "settings are not a JSON object");
  }

  setting_values found;
  find_settings(root, &found);
  char area[k_sval_area];
  const char *runtime = sval(&found, S_RUNTIME, area);
  if (runtime && *runtime && strcmp(runtime, VORN_RUNTIME_TYPE) != 0) {
    vorn_say(err, errsize, "RuntimeType is \"%s\", this handler is \"" VORN_RUNTIME_TYPE "\"", runtime);
    yyjson_doc_free(doc);
    return VORN_E_INVALID;
  }

  out->token = setting(&found, S_APIKEY);
  out->custom_name = setting(&found, S_CUSTOM_NAME);
  out->id = setting(&found, S_ID);
  out->client_id = setting(&found, S_CLIENT_ID);
  out->client_secret = setting(&found, S_CLIENT_SECRET);
  out->refresh_token = setting_or(&found, S_REFRESH, S_REFRESH_ALT);
  out->host = setting_or(&found, S_HOST, S_HOST_ALT);

  int oauth = out->client_id && out->client_secret && out->refresh_token;
  // The access token is set aside before the document goes away.
  char access[k_access_token_max + 1];
  int have_access = 0;
  if (!out->token && oauth) {
    const char *at = sval(&found, S_ACCESS, area);
    if (at) {
      snprintf(access, sizeof access, "%s", at);
      have_access = 1;
    }
  }
  yyjson_doc_free(doc);

  if (out->token) {
    out->auth = 0;
    return VORN_OK;
  }
  if (oauth) {
    out->auth = 1;
    if (have_access) out->token = trimdup(access);
    if (require && !out->token) return cfg_fail(out, err, errsize, "OAuth settings need an access_token");
    return VORN_OK;
  }
  if (require) return cfg_fail(out, err, errsize, "APIKey is empty and the OAuth tuple is incomplete");
  return VORN_OK;
}

void vorn_cfg_free(vorn_cfg *cfg) {
  if (!cfg) return;
  free(cfg->token);
  free(cfg->custom_name);
  free(cfg->id);
  free(cfg->client_id);
  free(cfg->client_secret);
  free(cfg->refresh_token);
  free(cfg->host);
  *cfg = vorn_cfg{};
}

// ---------------------------------------------------------------------------
// URL redaction

static char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c; }
static int ascii_alpha(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
static int ascii_digit(char c) { return c >= '0' && c <= '9'; }

// Whether text begins with name (given in lower case), ignoring ASCII case.
// A text that ends first never matches.
static int starts_with_nocase(const char *text, const char *name) {
  for (; *name; name++, text++)
    if (!*text || ascii_lower(*text) != *name) return 0;
  return 1;
}

// Whether the n bytes at s form a URL scheme: a letter, then letters,
// digits, '+', '-' or '.'.
static int is_scheme(const char *s, size_t n) {
  if (!n || !ascii_alpha(s[0])) return 0;
  for (size_t i = 1; i < n; i++) {
    char c = s[i];
    if (!ascii_alpha(c) && !ascii_digit(c) && c != '+' && c != '-' && c != '.') return 0;
  }
  return 1;
}

// Appends the scheme of url and returns where the parameter walk starts: past
// any user information of the authority. Without a scheme nothing is appended
// and the walk starts at url. NULL when an append failed.
static const char *redact_authority(const char *url, vorn_buf *b) {
  const char *sep = strstr(url, "://");
  if (!sep || !is_scheme(url, (size_t)(sep - url))) return url;
  const char *auth = sep + 3;
  if (vorn_buf_add(b, url, (size_t)(auth - url)) != 0) return nullptr;
  size_t auth_len = strcspn(auth, "/?#");
  const char *walk = auth;
  for (size_t i = 0; i < auth_len; i++)
    if (auth[i] == '@') walk = auth + i + 1;
  return walk;
}

static const char *const k_secret_params[] = {"auth_token=", "apikey=", "token="};

// Copies the rest of the URL, masking the value of every credential parameter
// that follows a '?' or '&'. Stops at the first failed append.
static void redact_params(const char *p, vorn_buf *b) {
  for (;;) {
    size_t run = strcspn(p, "?&");
    if (vorn_buf_add(b, p, run) != 0) return;
    p += run;
    if (!*p) return;
    if (vorn_buf_add(b, p, 1) != 0) return;
    p++;
    for (const char *name : k_secret_params) {
      if (!starts_with_nocase(p, name)) continue;
      if (vorn_buf_adds(b, name) != 0 || vorn_buf_add(b, "***", 3) != 0) return;
      // A '?' inside the value does not end it; '&' and '#' do.
      p += strcspn(p, "&#");
      break;
    }
  }
}

void vorn_redact_into(const char *url, char *out, size_t size) {
  if (!out || !size) return;
  out[0] = '\0';
  if (!url) return;
  vorn_buf b = {};
  const char *walk = redact_authority(url, &b);
  if (walk) redact_params(walk, &b);
  snprintf(out, size, "%s", b.data ? b.data : "");
  vorn_buf_free(&b);
}

// ---------------------------------------------------------------------------
// Content classifiers

static const char *const k_video_ext[] = {".m4v", ".mp4", ".mkv",  ".avi", ".rmvb", ".webm", ".m2ts", ".ogv",
                                          ".flv", ".mpg", ".m3u", ".mov", ".vob",  ".mpeg", ".f4v",  ".rm"};

int vorn_path_is_video(const char *path) {
  if (!path || !*path) return 0;
  const char *dot = strrchr(path, '.');
  if (!dot || dot == path) return 0;
  char ext[16];
  size_t n = strlen(dot);
  if (n > sizeof ext - 1) return 0;
  for (size_t i = 0; i < n; i++) ext[i] = ascii_lower(dot[i]);
  ext[n] = '\0';
  for (const char *known : k_video_ext)
    if (strcmp(ext, known) == 0) return 1;
  return 0;
}

// Whether the len bytes at p hold key at position i, wholly inside the block.
static int key_at(const unsigned char *p, size_t len, size_t i, const char *key, size_t key_len) {
  return key_len <= len - i && memcmp(p + i, key, key_len) == 0;
}

int vorn_sniff_torrent(const void *data, size_t len) {
  const unsigned char *p = static_cast<const unsigned char *>(data);
  if (!p || len < 16 || p[0] != 'd') return 0;
  int info = 0, announce = 0, length = 0, path = 0;
  for (size_t i = 0; i < len; i++) {
    info |= key_at(p, len, i, "4:info", 6);
    announce |= key_at(p, len, i, "8:announce", 10);
    length |= key_at(p, len, i, "6:length", 8);
    path |= key_at(p, len, i, "4:path", 6);
    if (info && (announce || (length && path))) return 1;
  }
  return 0;
}

// ---------------------------------------------------------------------------
// Token masking

static int hex_digit_is(char c, unsigned v) {
  static const char upper[] = "0123456789ABCDEF";
  static const char lower[] = "0123456789abcdef";
  return c == upper[v] || c == lower[v];
}

// Length of the percent-encoded form of token (as the URL builders write it,
// hex digits of either case) standing at p, or 0 when it does not stand there.
static size_t encoded_token_at(const char *p, const char *token) {
  const char *start = p;
  for (; *token; token++) {
    unsigned char c = (unsigned char)*token;
    if (url_unreserved(c)) {
      if (*p != (char)c) return 0;
      p++;
    } else {
      if (p[0] != '%' || !hex_digit_is(p[1], c >> 4) || !hex_digit_is(p[2], c & 0xF)) return 0;
      p += 3;
    }
  }
  return (size_t)(p - start);
}

static int needs_encoding(const char *token) {
  for (; *token; token++)
    if (!url_unreserved((unsigned char)*token)) return 1;
  return 0;
}

// How many bytes at p match the start of the token's raw form (encoded 0) or
// percent-encoded form (encoded 1) when the text ends before the form does;
// 0 when a byte differs or the whole form stands there.
static size_t cut_form_at(const char *p, const char *token, int encoded) {
  const char *start = p;
  for (; *token; token++) {
    unsigned char c = (unsigned char)*token;
    if (!encoded || url_unreserved(c)) {
      if (!*p) return (size_t)(p - start);
      if (*p != (char)c) return 0;
      p++;
      continue;
    }
    for (int i = 0; i < 3; i++, p++) {
      if (!*p) return (size_t)(p - start);
      bool same = i == 0 ? *p == '%' : hex_digit_is(*p, i == 1 ? c >> 4 : c & 0xF) != 0;
      if (!same) return 0;
    }
  }
  return 0;
}

// An error text cut to its area can end in the first bytes of the token:
// masks such a tail when it holds more than 3 bytes of the token's form. A
// text that merely ends like the token begins loses those bytes as well.
static void scrub_cut_tail(char *text, const char *token, int encoded) {
  size_t len = strlen(text);
  size_t span = strlen(token) * (encoded ? 3 : 1);
  for (size_t i = len > span ? len - span : 0; i < len; i++) {
    size_t m = cut_form_at(text + i, token, encoded);
    if (m > 3) {
      memset(text + i, '*', m);
      return;
    }
  }
}

// Masks the token, and also its percent-encoded form: the token travels
// encoded in request URLs, and a transport or service that echoes the URL in
// its error text would otherwise show it.
void vorn_scrub(char *text, const char *token) {
  if (!text || !token) return;
  size_t n = strlen(token);
  if (n <= 3) return;
  for (char *p = strstr(text, token); p; p = strstr(p + n, token)) memset(p, '*', n);
  scrub_cut_tail(text, token, 0);
  if (!needs_encoding(token)) return;
  for (char *p = text; *p;) {
    size_t m = encoded_token_at(p, token);
    if (!m) {
      p++;
      continue;
    }
    memset(p, '*', m);
    p += m;
  }
  scrub_cut_tail(text, token, 1);
}

// ---------------------------------------------------------------------------
// HTTP exchange

// Room for the redacted URL and for the first line of a transport's error text.
enum { k_fail_url = 512, k_fail_line = 200 };

// Releases a text the transport handed back, through its own free when it has one.
static void release(const vorn_io *io, char *text) {
  if (!text) return;
  if (io->free)
    io->free(io->user, text);
  else
    free(text);
}

// Takes over a transport's answer: on success copies the body into resp; on
// failure writes "<method> <redacted url>: <first line>". Releases both texts
// the transport handed back in every case.
static int take_answer(const vorn_io *io, const char *method, const char *url, int rc, char *body,
                       int32_t status, char *error, vorn_resp *resp, char *err, size_t errsize) {
  if (rc == 0 && body) {
    release(io, error);
    size_t len = strlen(body);
    char *copy = vorn_strndup(body, len);
    release(io, body);
    if (!copy) {
      vorn_say(err, errsize, "%s", "out of memory");
      return -1;
    }
    resp->body = copy;
    resp->len = len;
    resp->status = status;
    return 0;
  }
  char shown[k_fail_url];
  char line[k_fail_line];
  vorn_redact_into(url, shown, sizeof shown);
  vorn_body_line(error ? error : "transport failure", line, sizeof line);
  vorn_say(err, errsize, "%s %s: %s", method, shown, line);
  release(io, body);
  release(io, error);
  return -1;
}

// Checks what every exchange needs before the transport is called.
static int exchange_ready(const vorn_io *io, int have_callback, const char *url, char *err, size_t errsize) {
  if (!io || !have_callback) {
    vorn_say(err, errsize, "%s", "no transport");
    return 0;
  }
  if (!url) {
    vorn_say(err, errsize, "%s", "request URL is NULL");
    return 0;
  }
  if (strnlen(url, VORN_MAX_URL + 1) > VORN_MAX_URL) {
    vorn_say(err, errsize, "%s", "request URL longer than 8 KiB");
    return 0;
  }
  return 1;
}

int vorn_http(const vorn_io *io, const char *url, vorn_resp *resp, char *err, size_t errsize) {
  if (!resp) return -1;
  *resp = vorn_resp{};
  if (!exchange_ready(io, io && io->get, url, err, errsize)) return -1;
  char *body = nullptr, *error = nullptr;
  int32_t status = 0;
  int rc = io->get(io->user, url, &body, &status, &error);
  return take_answer(io, "GET", url, rc, body, status, error, resp, err, errsize);
}

int vorn_http_post(const vorn_io *io, const char *url, const char *content_type, const char *body,
                   vorn_resp *resp, char *err, size_t errsize) {
  if (!resp) return -1;
  *resp = vorn_resp{};
  if (!exchange_ready(io, io && io->post, url, err, errsize)) return -1;
  char *answer = nullptr, *error = nullptr;
  int32_t status = 0;
  int rc = io->post(io->user, url, body ? body : "", content_type ? content_type : VORN_FORM_TYPE, &answer,
                    &status, &error);
  return take_answer(io, "POST", url, rc, answer, status, error, resp, err, errsize);
}

void vorn_resp_free(vorn_resp *resp) {
  if (!resp) return;
  free(resp->body);
  *resp = vorn_resp{};
}

int vorn_map_status(int32_t status) {
  if (status >= 200 && status <= 299) return VORN_OK;
  if (status == 401 || status == 403) return VORN_E_AUTH;
  if (status == 429) return VORN_E_RATE_LIMITED;
  if (status >= 500 && status <= 599) return VORN_E_TRANSPORT;
  if (status == 404) return VORN_E_NOT_FOUND;
  return VORN_E_FAILED;
}

void vorn_body_line(const char *text, char *out, size_t size) {
  if (!out || !size) return;
  out[0] = '\0';
  if (!text) return;
  while (is_trim_char(*text)) text++;
  size_t n = 0;
  while (n < size - 1 && text[n] && text[n] != '\r' && text[n] != '\n') n++;
  memcpy(out, text, n);
  out[n] = '\0';
}

// ---------------------------------------------------------------------------
// JSON reading and writing

static void *alc_malloc(void *, size_t size) { return malloc(size); }
static void *alc_realloc(void *, void *ptr, size_t, size_t size) { return realloc(ptr, size); }
static void alc_free(void *, void *ptr) { free(ptr); }
static const yyjson_alc k_json_alc = {alc_malloc, alc_realloc, alc_free, nullptr};

yyjson_doc *vorn_json_read(const char *text, size_t len) {
  if (!text) return nullptr;
  // Without YYJSON_READ_INSITU the reader never writes to the text.
  return yyjson_read_opts(const_cast<char *>(text), len, 0, &k_json_alc, nullptr);
}

char *vorn_json_write(yyjson_val *val, size_t *len) {
  return yyjson_val_write_opts(val, 0, &k_json_alc, len, nullptr);
}
