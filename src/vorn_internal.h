// vorn_internal.h - records and functions shared between the library's units.
//
// Conventions: records are declared all-zero and need no set-up; every release
// function frees what the record owns and zeroes it, so a second release does
// nothing. Texts that cross units are malloc'ed and released with free().
// Functions that can fail take an error area and its size last and write one
// line into it as snprintf does.
#ifndef VORN_INTERNAL_H
#define VORN_INTERNAL_H

#include <stddef.h>
#include <stdint.h>

#include <yyjson.h>

#include "vorn.h"

// Marks a definition as part of the exported surface; everything else is hidden.
#define VORN_EXPORT extern "C" __attribute__((visibility("default")))

#define VORN_DEFAULT_HOST "api.real-debrid.com"
#define VORN_RUNTIME_TYPE "REALDEBRID"
#define VORN_CAPS 47u
#define VORN_VERSION "1.0.0"

// Size of the error area every handler call uses.
#define VORN_ERR_SIZE 768
// Size of the area a service error document is decoded into.
#define VORN_MSG_SIZE 512
// Longest request URL an exchange sends.
#define VORN_MAX_URL 8192

#define VORN_FORM_TYPE "application/x-www-form-urlencoded"
#define VORN_TORRENT_TYPE "application/x-bittorrent"

// ---------------------------------------------------------------------------
// Text buffer and string helpers (vorn_util)

// Growable NUL-terminated text. All-zero is a valid empty buffer; data stays
// NULL until the first append.
struct vorn_buf {
  char *data;
  size_t len;
  size_t cap;
};

int vorn_buf_add(vorn_buf *b, const void *src, size_t n);
int vorn_buf_adds(vorn_buf *b, const char *s);
int vorn_buf_addf(vorn_buf *b, const char *fmt, ...) __attribute__((format(printf, 2, 3)));
// Appends s as a JSON string literal (quoted and escaped), or null when s is NULL.
int vorn_buf_json_str(vorn_buf *b, const char *s);
// Appends "?name=value" or "&name=value" with value percent-encoded.
int vorn_buf_query(vorn_buf *b, const char *name, const char *value);
void vorn_buf_free(vorn_buf *b);

// Writes one line into an error area as snprintf does (cut to errsize - 1
// bytes, NUL-terminated); a missing area is skipped.
void vorn_say(char *err, size_t errsize, const char *fmt, ...) __attribute__((format(printf, 3, 4)));

char *vorn_strndup(const char *s, size_t n);
char *vorn_strdup(const char *s);
int vorn_utf8_ok(const void *p, size_t n);

// ---------------------------------------------------------------------------
// JSON reading and writing (vorn_util). Every yyjson call of the library goes
// through these, so that yyjson's allocations are the library's own malloc,
// realloc and free calls (a test build can then fail them one by one).

// Reads len bytes as one JSON document with the default (strict) options; NULL
// when the text is not JSON or memory runs out. Release with yyjson_doc_free.
yyjson_doc *vorn_json_read(const char *text, size_t len);
// Writes a value as minified JSON text (no flags); NULL when memory runs out.
// The text is malloc'ed; *len (when given) receives its length.
char *vorn_json_write(yyjson_val *val, size_t *len);

// ---------------------------------------------------------------------------
// Settings and session (parse in vorn_util; session and URLs in vorn_dialect)

struct vorn_cfg {
  char *token;  // API key, or the OAuth access token
  char *custom_name;
  char *id;
  char *client_id;
  char *client_secret;
  char *refresh_token;
  char *host;
  int32_t auth;  // 0 API-key mode, 1 OAuth
};

int32_t vorn_cfg_parse(const char *settings, int32_t require, vorn_cfg *out, char *err, size_t errsize);
void vorn_cfg_free(vorn_cfg *cfg);

struct vorn_sess {
  const vorn_io *io;  // borrowed
  vorn_cfg *cfg;      // borrowed
  char *host;         // owned copy
};

int32_t vorn_sess_open(vorn_sess *sess, const vorn_io *io, vorn_cfg *cfg, char *err, size_t errsize);
void vorn_sess_close(vorn_sess *sess);

// ---------------------------------------------------------------------------
// Redaction, classifiers, token masking (vorn_util; magnet test in vorn_dialect)

void vorn_redact_into(const char *url, char *out, size_t size);

int vorn_path_is_video(const char *path);
int vorn_sniff_torrent(const void *data, size_t len);
int vorn_link_is_magnet(const char *text);

// Overwrites every occurrence of token (longer than 3 bytes), and of its
// percent-encoded form, in text with '*' characters; the length stays.
void vorn_scrub(char *text, const char *token);

// ---------------------------------------------------------------------------
// HTTP exchange (vorn_util)

struct vorn_resp {
  int32_t status;
  char *body;  // library-owned copy, NUL-terminated
  size_t len;
};

// 0 on success (resp filled, status not yet mapped), -1 with one line in err.
int vorn_http(const vorn_io *io, const char *url, vorn_resp *resp, char *err, size_t errsize);
int vorn_http_post(const vorn_io *io, const char *url, const char *content_type, const char *body,
                   vorn_resp *resp, char *err, size_t errsize);
void vorn_resp_free(vorn_resp *resp);
int vorn_map_status(int32_t status);
void vorn_body_line(const char *text, char *out, size_t size);

// ---------------------------------------------------------------------------
// Transports (vorn_io_fake, vorn_io_curl, vorn_exports)

const vorn_io *vorn_io_fake(void);
const vorn_io *vorn_io_curl(void);
const vorn_io *vorn_io_current(void);

// ---------------------------------------------------------------------------
// Service documents (vorn_wire)

// 1 when body is a service error document and a line was written, else 0.
int vorn_parse_error(const char *body, size_t len, int32_t status, char *out, size_t outsize);
const char *vorn_error_message(int32_t code);

struct vorn_file {
  int64_t id;
  char *path;
  int64_t bytes;  // -1 when unknown
  int32_t selected;
};

struct vorn_files {
  vorn_file *items;
  uint64_t count;
  uint64_t cap;
};

struct vorn_torrent {
  char *status;
  char *filename;
  int64_t id;
  vorn_files files;
  char **links;
  uint64_t nlinks;
  char *raw;
};

int32_t vorn_parse_torrent(const char *body, size_t len, vorn_torrent *out, char *err, size_t errsize);
void vorn_torrent_free(vorn_torrent *t);
void vorn_files_free(vorn_files *f);

struct vorn_row {
  char *id;
  char *name;
  int64_t size;  // -1 when unknown
  char *link;
  char *status;
};

struct vorn_rows {
  vorn_row *items;
  uint64_t count;
  uint64_t cap;
};

int32_t vorn_parse_rows(const char *body, size_t len, vorn_rows *out, char *err, size_t errsize);
void vorn_rows_free(vorn_rows *rows);

int32_t vorn_parse_unrestrict(const char *body, size_t len, char **link, char **name, int64_t *size,
                              char *err, size_t errsize);
int32_t vorn_parse_user(const char *body, size_t len, char **username, char **email, int64_t *premium,
                        char **expiration, char *err, size_t errsize);
int32_t vorn_parse_token(const char *body, size_t len, char **access_token, char **refresh_token,
                         char *err, size_t errsize);
int32_t vorn_entry_link(const char *entry, char **link, char *err, size_t errsize);

// The same decoders for a document the caller has read already and keeps;
// each gives what its text decoder gives for that document written back.
// vorn_decode_rows copies only the first keep rows and counts every row the
// text decoder would keep in *usable.
int vorn_error_doc(yyjson_val *root, int32_t status, char *out, size_t outsize);
int32_t vorn_decode_torrent(yyjson_val *root, vorn_torrent *out, char *err, size_t errsize);
int32_t vorn_decode_rows(yyjson_val *root, uint64_t keep, vorn_rows *out, uint64_t *usable, char *err,
                         size_t errsize);

// ---------------------------------------------------------------------------
// Season and episode parser (vorn_season)

int vorn_season_episode(const char *name, int *season, int *episode);

// ---------------------------------------------------------------------------
// Service operations (vorn_dialect)

struct vorn_dlcfg {
  char *link;
  int32_t full_season;
  int32_t season;
  int32_t episode;
  int32_t keep_instant_only;
};

int32_t vorn_dlcfg_parse(const char *config, vorn_dlcfg *out, char *err, size_t errsize);
void vorn_dlcfg_free(vorn_dlcfg *cfg);

int32_t vorn_do_validate(vorn_sess *sess, const char *id, vorn_buf *out, char *err, size_t errsize);
int32_t vorn_do_list_torrents(vorn_sess *sess, vorn_buf *out, char *err, size_t errsize);
int32_t vorn_do_list_downloads(vorn_sess *sess, vorn_buf *out, char *err, size_t errsize);
int32_t vorn_do_list_torrent_str(vorn_sess *sess, const char *id, vorn_buf *out, char *err, size_t errsize);
int32_t vorn_do_list_torrent(vorn_sess *sess, int64_t id, vorn_buf *out, char *err, size_t errsize);
int32_t vorn_do_stream(vorn_sess *sess, const char *link, vorn_buf *out, char *err, size_t errsize);
int32_t vorn_do_delete(vorn_sess *sess, const char *id, char *err, size_t errsize);
int32_t vorn_do_download(vorn_sess *sess, const char *config, int writes, vorn_buf *out, char *err,
                         size_t errsize);

// ---------------------------------------------------------------------------
// Host interface (vorn_handler, vorn_exports)

int32_t vorn_do_list_root(vorn_buf *out);

// Replaces the calling thread's published error and result (NULL error or a
// zero code publishes "", NULL result publishes "").
void vorn_publish(int32_t code, const char *error, const char *result);

#endif  // VORN_INTERNAL_H
