// vorn_exports.cpp - the flat call surface: the four operations over the
// process-wide transport selection, the selection itself, the calling thread's
// published result and error, the constant exports and the utility exports.
#include <stdlib.h>
#include <string.h>

#include <mutex>

#include "vorn_internal.h"

// ---------------------------------------------------------------------------
// Per-thread published result and error

namespace {

// One published text of a thread. The destructor runs when the thread ends,
// so hosts whose worker threads come and go do not leak a copy per thread.
struct pub_slot {
  char *text;
  ~pub_slot() {
    free(text);
    text = nullptr;
  }
};

}  // namespace

static thread_local pub_slot t_result;
static thread_local pub_slot t_error;

// Replaces the slot's copy; a copy that cannot be made leaves the slot empty.
static void slot_replace(pub_slot *slot, const char *text) {
  free(slot->text);
  // An empty slot reads as "", so the empty text (every success's error)
  // needs no copy.
  slot->text = text[0] ? vorn_strdup(text) : nullptr;
}

static const char *slot_read(const pub_slot *slot) { return slot->text ? slot->text : ""; }

void vorn_publish(int32_t code, const char *error, const char *result) {
  slot_replace(&t_error, (code != VORN_OK && error) ? error : "");
  slot_replace(&t_result, result ? result : "");
}

VORN_EXPORT const char *vorn_result_json(void) { return slot_read(&t_result); }
VORN_EXPORT const char *vorn_last_error(void) { return slot_read(&t_error); }

// ---------------------------------------------------------------------------
// Transport selection

// g_io is none (built-in transport), &g_user_io, or the scripted table.
static std::mutex g_io_lock;
static const vorn_io *g_io;
static vorn_io g_user_io;

// Picks the transport of one call. The lock only covers reading the
// selection; the operation then runs on the table found, with no lock held.
const vorn_io *vorn_io_current(void) {
  std::lock_guard<std::mutex> hold(g_io_lock);
  return g_io ? g_io : vorn_io_curl();
}

static bool same_table(const vorn_io *a, const vorn_io *b) {
  return a->user == b->user && a->get == b->get && a->post == b->post && a->free == b->free;
}

VORN_EXPORT int32_t vorn_set_io(const vorn_io *io) {
  if (io && (!io->get || !io->post)) return VORN_E_INVALID;
  std::lock_guard<std::mutex> hold(g_io_lock);
  if (io) {
    // Operations on other threads may still be reading the copy without the
    // lock: selecting the same table again must not write over it.
    if (!same_table(&g_user_io, io)) {
      g_user_io.user = io->user;
      g_user_io.get = io->get;
      g_user_io.post = io->post;
      g_user_io.free = io->free;
    }
    g_io = &g_user_io;
  } else {
    g_io = nullptr;
  }
  return VORN_OK;
}

VORN_EXPORT int32_t vorn_use_curl(void) {
  // There is no built-in network transport, so the selection stays as it is.
  if (!vorn_io_curl()) return VORN_E_UNSUPPORTED;
  std::lock_guard<std::mutex> hold(g_io_lock);
  g_io = nullptr;
  return VORN_OK;
}

VORN_EXPORT int32_t vorn_use_fake(void) {
  const vorn_io *fake = vorn_io_fake();
  std::lock_guard<std::mutex> hold(g_io_lock);
  g_io = fake;
  return VORN_OK;
}

// ---------------------------------------------------------------------------
// The four operations without a transport argument

typedef int32_t (*flat_handler)(const vorn_io *io, const char *settings, const char *arg, char *dst,
                                int32_t dst_len);

static int32_t f_validate(const vorn_io *io, const char *settings, const char *, char *dst, int32_t dst_len) {
  return kelda_get()->validate(io, settings, dst, dst_len);
}
static int32_t f_list(const vorn_io *io, const char *settings, const char *folder, char *dst, int32_t dst_len) {
  return kelda_get()->list(io, settings, folder, dst, dst_len);
}
static int32_t f_stream(const vorn_io *io, const char *settings, const char *entry, char *dst, int32_t dst_len) {
  return kelda_get()->stream_url(io, settings, entry, dst, dst_len);
}
static int32_t f_download(const vorn_io *io, const char *settings, const char *config, char *dst,
                          int32_t dst_len) {
  return kelda_get()->download(io, settings, config, dst, dst_len);
}

// Runs one handler on the selected transport. Without an output area a
// success is reported as VORN_OK and the caller reads the published result.
static int32_t flat(flat_handler handler, const char *settings, const char *arg, char *dst, int32_t dst_len) {
  const vorn_io *io = vorn_io_current();
  if (dst && dst_len > 0) return handler(io, settings, arg, dst, dst_len);

  int32_t code = handler(io, settings, arg, nullptr, 0);
  if (code != VORN_E_BUFFER_TOO_SMALL) return code;
  if (!t_result.text || !t_result.text[0]) return VORN_E_BUFFER_TOO_SMALL;
  // The answer is published: drop the "output buffer too small" the frame left.
  slot_replace(&t_error, "");
  return VORN_OK;
}

VORN_EXPORT int32_t vorn_validate(const char *settings, char *dst, int32_t dst_len) {
  return flat(f_validate, settings, nullptr, dst, dst_len);
}
VORN_EXPORT int32_t vorn_list(const char *settings, const char *folder, char *dst, int32_t dst_len) {
  return flat(f_list, settings, folder, dst, dst_len);
}
VORN_EXPORT int32_t vorn_stream_url(const char *settings, const char *entry, char *dst, int32_t dst_len) {
  return flat(f_stream, settings, entry, dst, dst_len);
}
VORN_EXPORT int32_t vorn_download(const char *settings, const char *config, char *dst, int32_t dst_len) {
  return flat(f_download, settings, config, dst, dst_len);
}

// ---------------------------------------------------------------------------
// Constants

VORN_EXPORT const char *vorn_version(void) { return VORN_VERSION; }
VORN_EXPORT const char *vorn_runtime_type(void) { return VORN_RUNTIME_TYPE; }
VORN_EXPORT uint32_t vorn_caps(void) { return VORN_CAPS; }
VORN_EXPORT const char *vorn_base_url(void) { return "https://" VORN_DEFAULT_HOST "/rest/1.0"; }

// ---------------------------------------------------------------------------
// Utilities

VORN_EXPORT const char *vorn_redact(const char *url) {
  static thread_local char t_redacted[2048];
  t_redacted[0] = '\0';
  if (url) vorn_redact_into(url, t_redacted, sizeof t_redacted);
  return t_redacted;
}

VORN_EXPORT int vorn_is_video_path(const char *path) { return vorn_path_is_video(path); }
VORN_EXPORT int vorn_is_torrent_file(const void *data, size_t len) { return vorn_sniff_torrent(data, len); }
VORN_EXPORT int vorn_is_magnet_link(const char *text) { return vorn_link_is_magnet(text); }

VORN_EXPORT int vorn_parse_season_episode(const char *name, int *season, int *episode) {
  int s = 0;
  int e = 0;
  if (vorn_season_episode(name, &s, &e) != 1) return 0;
  if (season) *season = s;
  if (episode) *episode = e;
  return 1;
}
