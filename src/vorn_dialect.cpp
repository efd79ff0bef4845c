// Placeholder: service operations.
#include "vorn_internal.h"
int32_t vorn_sess_open(vorn_sess *, const vorn_io *, vorn_cfg *, char *, size_t) { return VORN_E_FAILED; }
void vorn_sess_close(vorn_sess *s) { *s = vorn_sess{}; }
int vorn_link_is_magnet(const char *) { return 0; }
int32_t vorn_dlcfg_parse(const char *, vorn_dlcfg *out, char *, size_t) { *out = vorn_dlcfg{}; return VORN_E_INVALID; }
void vorn_dlcfg_free(vorn_dlcfg *c) { *c = vorn_dlcfg{}; }
int32_t vorn_do_validate(vorn_sess *, const char *, vorn_buf *, char *, size_t) { return VORN_E_UNSUPPORTED; }
int32_t vorn_do_list_torrents(vorn_sess *, vorn_buf *, char *, size_t) { return VORN_E_UNSUPPORTED; }
int32_t vorn_do_list_downloads(vorn_sess *, vorn_buf *, char *, size_t) { return VORN_E_UNSUPPORTED; }
int32_t vorn_do_list_torrent_str(vorn_sess *, const char *, vorn_buf *, char *, size_t) { return VORN_E_UNSUPPORTED; }
int32_t vorn_do_list_torrent(vorn_sess *, int64_t, vorn_buf *, char *, size_t) { return VORN_E_UNSUPPORTED; }
int32_t vorn_do_stream(vorn_sess *, const char *, vorn_buf *, char *, size_t) { return VORN_E_UNSUPPORTED; }
int32_t vorn_do_delete(vorn_sess *, const char *, char *, size_t) { return VORN_E_UNSUPPORTED; }
int32_t vorn_do_download(vorn_sess *, const char *, int, vorn_buf *, char *, size_t) { return VORN_E_UNSUPPORTED; }
