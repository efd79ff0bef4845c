// Placeholder: text buffer, settings, redaction, classifiers, HTTP exchange.
#include "vorn_internal.h"
#include <stdlib.h>
#include <string.h>
int vorn_buf_add(vorn_buf *, const void *, size_t) { return -1; }
int vorn_buf_adds(vorn_buf *, const char *) { return -1; }
int vorn_buf_addf(vorn_buf *, const char *, ...) { return -1; }
int vorn_buf_json_str(vorn_buf *, const char *) { return -1; }
int vorn_buf_query(vorn_buf *, const char *, const char *) { return -1; }
void vorn_buf_free(vorn_buf *b) { free(b->data); *b = vorn_buf{}; }
char *vorn_strndup(const char *, size_t) { return nullptr; }
char *vorn_strdup(const char *) { return nullptr; }
int vorn_utf8_ok(const void *, size_t) { return 0; }
int32_t vorn_cfg_parse(const char *, int32_t, vorn_cfg *out, char *, size_t) { *out = vorn_cfg{}; return VORN_E_INVALID; }
void vorn_cfg_free(vorn_cfg *cfg) { *cfg = vorn_cfg{}; }
void vorn_redact_into(const char *, char *out, size_t size) { if (size) out[0] = 0; }
int vorn_path_is_video(const char *) { return 0; }
int vorn_sniff_torrent(const void *, size_t) { return 0; }
void vorn_scrub(char *, const char *) {}
int vorn_http(const vorn_io *, const char *, vorn_resp *resp, char *, size_t) { *resp = vorn_resp{}; return -1; }
int vorn_http_post(const vorn_io *, const char *, const char *, const char *, vorn_resp *resp, char *, size_t) { *resp = vorn_resp{}; return -1; }
void vorn_resp_free(vorn_resp *resp) { *resp = vorn_resp{}; }
int vorn_map_status(int32_t) { return VORN_E_FAILED; }
void vorn_body_line(const char *, char *out, size_t size) { if (out && size) out[0] = 0; }

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
