// Placeholder: flat exports, published result and error, utility exports.
#include "vorn_internal.h"
void vorn_publish(int32_t, const char *, const char *) {}
const vorn_io *vorn_io_current(void) { return nullptr; }
VORN_EXPORT const char *vorn_result_json(void) { return ""; }
VORN_EXPORT const char *vorn_last_error(void) { return ""; }
VORN_EXPORT int32_t vorn_validate(const char *, char *, int32_t) { return VORN_E_UNSUPPORTED; }
VORN_EXPORT int32_t vorn_list(const char *, const char *, char *, int32_t) { return VORN_E_UNSUPPORTED; }
VORN_EXPORT int32_t vorn_stream_url(const char *, const char *, char *, int32_t) { return VORN_E_UNSUPPORTED; }
VORN_EXPORT int32_t vorn_download(const char *, const char *, char *, int32_t) { return VORN_E_UNSUPPORTED; }
VORN_EXPORT int32_t vorn_set_io(const vorn_io *) { return VORN_E_UNSUPPORTED; }
VORN_EXPORT int32_t vorn_use_curl(void) { return VORN_E_UNSUPPORTED; }
VORN_EXPORT int32_t vorn_use_fake(void) { return VORN_OK; }
VORN_EXPORT const char *vorn_version(void) { return VORN_VERSION; }
VORN_EXPORT const char *vorn_runtime_type(void) { return VORN_RUNTIME_TYPE; }
VORN_EXPORT uint32_t vorn_caps(void) { return VORN_CAPS; }
VORN_EXPORT const char *vorn_base_url(void) { return "https://" VORN_DEFAULT_HOST "/rest/1.0"; }
VORN_EXPORT const char *vorn_redact(const char *) { return ""; }
VORN_EXPORT int vorn_is_video_path(const char *) { return 0; }
VORN_EXPORT int vorn_is_torrent_file(const void *, size_t) { return 0; }
VORN_EXPORT int vorn_is_magnet_link(const char *) { return 0; }
VORN_EXPORT int vorn_parse_season_episode(const char *, int *, int *) { return 0; }
