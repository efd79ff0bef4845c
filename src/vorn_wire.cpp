// Placeholder: service documents.
#include "vorn_internal.h"
int vorn_parse_error(const char *, size_t, int32_t, char *, size_t) { return 0; }
const char *vorn_error_message(int32_t) { return nullptr; }
int32_t vorn_parse_torrent(const char *, size_t, vorn_torrent *out, char *, size_t) { *out = vorn_torrent{}; return VORN_E_FAILED; }
void vorn_torrent_free(vorn_torrent *t) { *t = vorn_torrent{}; }
void vorn_files_free(vorn_files *f) { *f = vorn_files{}; }
int32_t vorn_parse_rows(const char *, size_t, vorn_rows *out, char *, size_t) { *out = vorn_rows{}; return VORN_E_FAILED; }
void vorn_rows_free(vorn_rows *r) { *r = vorn_rows{}; }
int32_t vorn_parse_unrestrict(const char *, size_t, char **, char **, int64_t *, char *, size_t) { return VORN_E_FAILED; }
int32_t vorn_parse_user(const char *, size_t, char **, char **, int64_t *, char **, char *, size_t) { return VORN_E_FAILED; }
int32_t vorn_parse_token(const char *, size_t, char **, char **, char *, size_t) { return VORN_E_FAILED; }
int32_t vorn_entry_link(const char *, char **, char *, size_t) { return VORN_E_FAILED; }
