// vorn_handler.cpp - the handler table a host receives from kelda_get(), the
// frame every handler runs (settings, transport check, session, operation),
// the result protocol that delivers and publishes the outcome, and the writes
// switch.
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <atomic>

#include "vorn_internal.h"

// Hosts read the table by address: its layout must not move.
static_assert(sizeof(void *) != 8 || sizeof(vorn_handler) == 48, "handler table is 48 bytes");
static_assert(sizeof(void *) != 8 || offsetof(vorn_handler, runtime_type) == 0, "runtime_type at 0");
static_assert(sizeof(void *) != 8 || offsetof(vorn_handler, caps) == 8, "caps at 8");
static_assert(sizeof(void *) != 8 || offsetof(vorn_handler, validate) == 16, "validate at 16");
static_assert(sizeof(void *) != 8 || offsetof(vorn_handler, list) == 24, "list at 24");
static_assert(sizeof(void *) != 8 || offsetof(vorn_handler, stream_url) == 32, "stream_url at 32");
static_assert(sizeof(void *) != 8 || offsetof(vorn_handler, download) == 40, "download at 40");

// Whether download calls may add transfers; read once per download call.
static std::atomic<int32_t> s_writes{0};

static const char k_root_listing[] =
    "[{\"name\":\"downloads\",\"path\":\"downloads\",\"folder\":true,\"size\":-1},"
    "{\"name\":\"torrents\",\"path\":\"torrents\",\"folder\":true,\"size\":-1}]";

static const char k_too_small[] = "output buffer too small";

int32_t vorn_do_list_root(vorn_buf *out) {
  return vorn_buf_add(out, k_root_listing, sizeof k_root_listing - 1) == 0 ? VORN_OK : VORN_E_FAILED;
}

// ---------------------------------------------------------------------------
// Result protocol

static bool area_usable(const char *dst, int32_t dst_len) { return dst && dst_len > 0; }

static bool text_fits(size_t len, int32_t dst_len) { return len < static_cast<size_t>(dst_len); }

static int32_t finish_success(const vorn_buf *result, char *dst, int32_t dst_len) {
  // An operation that appended nothing answers an empty object; an empty
  // text that it did append stays empty.
  const char *answer = result->data ? result->data : "{}";
  size_t len = result->data ? result->len : 2;
  if (area_usable(dst, dst_len) && text_fits(len, dst_len)) {
    memcpy(dst, answer, len);
    dst[len] = '\0';
    vorn_publish(VORN_OK, "", answer);
    return VORN_OK;
  }
  if (area_usable(dst, dst_len)) dst[0] = '\0';
  vorn_publish(VORN_E_BUFFER_TOO_SMALL, k_too_small, answer);
  return VORN_E_BUFFER_TOO_SMALL;
}

static int32_t finish_failure(int32_t code, const vorn_buf *result, char *err, const char *token, char *dst,
                              int32_t dst_len) {
  vorn_scrub(err, token);
  vorn_buf envelope{};
  bool built = vorn_buf_adds(&envelope, "{\"error\":") == 0 && vorn_buf_json_str(&envelope, err) == 0 &&
               vorn_buf_adds(&envelope, "}") == 0;
  if (built && area_usable(dst, dst_len)) {
    if (text_fits(envelope.len, dst_len)) {
      memcpy(dst, envelope.data, envelope.len);
      dst[envelope.len] = '\0';
    } else {
      dst[0] = '\0';
    }
  }
  bool partial = result->data && result->data[0];
  vorn_publish(code, err, partial ? result->data : "");
  vorn_buf_free(&envelope);
  return code;
}

// Delivers the outcome of one handler call into the caller's area and the
// thread's published slots. A failure keeps its own code even when its
// envelope does not fit.
static int32_t finish(int32_t code, const vorn_buf *result, char *err, const char *token, char *dst,
                      int32_t dst_len) {
  if (code == VORN_OK) return finish_success(result, dst, dst_len);
  return finish_failure(code, result, err, token, dst, dst_len);
}

// ---------------------------------------------------------------------------
// The frame

enum op_kind { OP_VALIDATE, OP_LIST, OP_STREAM, OP_DOWNLOAD };

static int32_t list_folder(vorn_sess *sess, const char *folder, vorn_buf *out, char *err, size_t errsize) {
  if (!folder || !folder[0]) return vorn_do_list_root(out);
  if (strcmp(folder, "torrents") == 0 || strcmp(folder, "/torrents") == 0)
    return vorn_do_list_torrents(sess, out, err, errsize);
  if (strcmp(folder, "downloads") == 0 || strcmp(folder, "/downloads") == 0)
    return vorn_do_list_downloads(sess, out, err, errsize);
  if (folder[0] == 't' || folder[0] == 'T') return vorn_do_list_torrent_str(sess, folder + 1, out, err, errsize);
  snprintf(err, errsize, "no such folder: %s", folder);
  return VORN_E_NOT_FOUND;
}

static int32_t run_operation(op_kind kind, vorn_sess *sess, const char *arg, const char *link, vorn_buf *out,
                             char *err, size_t errsize) {
  switch (kind) {
    case OP_VALIDATE:
      return vorn_do_validate(sess, sess->cfg->id, out, err, errsize);
    case OP_LIST:
      return list_folder(sess, arg, out, err, errsize);
    case OP_STREAM:
      return vorn_do_stream(sess, link, out, err, errsize);
    case OP_DOWNLOAD:
      return vorn_do_download(sess, arg, s_writes.load() != 0 ? 1 : 0, out, err, errsize);
  }
  return VORN_E_INVALID;
}

// Everything after a successful settings parse, up to the result protocol:
// transport check, entry decoding (stream only), session and operation.
static int32_t run_checked(op_kind kind, const vorn_io *io, vorn_cfg *cfg, const char *arg, char **link,
                           vorn_buf *out, char *err, size_t errsize) {
  if (!io) {
    snprintf(err, errsize, "no transport");
    return VORN_E_TRANSPORT;
  }
  if (kind == OP_STREAM) {
    int32_t code = vorn_entry_link(arg, link, err, errsize);
    if (code != VORN_OK) return code;
  }
  vorn_sess sess{};
  int32_t code = vorn_sess_open(&sess, io, cfg, err, errsize);
  if (code != VORN_OK) return code;
  code = run_operation(kind, &sess, arg, *link, out, err, errsize);
  vorn_sess_close(&sess);
  return code;
}

static int32_t frame(op_kind kind, const vorn_io *io, const char *settings, const char *arg, char *dst,
                     int32_t dst_len) {
  // Every step writes its error text NUL-terminated (as snprintf does), so
  // clearing the first byte is all the area needs; clearing all of it would
  // cost more than some whole operations.
  char err[VORN_ERR_SIZE];
  err[0] = '\0';
  vorn_buf out{};
  vorn_cfg cfg{};
  int32_t code = vorn_cfg_parse(settings, 1, &cfg, err, sizeof err);
  if (code != VORN_OK) {
    // No token is known yet, so the settings message is shown as it is.
    vorn_cfg_free(&cfg);
    return finish(code, &out, err, nullptr, dst, dst_len);
  }
  char *link = nullptr;
  code = run_checked(kind, io, &cfg, arg, &link, &out, err, sizeof err);
  code = finish(code, &out, err, cfg.token, dst, dst_len);
  free(link);
  vorn_buf_free(&out);
  vorn_cfg_free(&cfg);
  return code;
}

static int32_t h_validate(const vorn_io *io, const char *settings, char *dst, int32_t dst_len) {
  return frame(OP_VALIDATE, io, settings, nullptr, dst, dst_len);
}
static int32_t h_list(const vorn_io *io, const char *settings, const char *folder, char *dst, int32_t dst_len) {
  return frame(OP_LIST, io, settings, folder, dst, dst_len);
}
static int32_t h_stream_url(const vorn_io *io, const char *settings, const char *entry, char *dst,
                            int32_t dst_len) {
  return frame(OP_STREAM, io, settings, entry, dst, dst_len);
}
static int32_t h_download(const vorn_io *io, const char *settings, const char *config, char *dst,
                          int32_t dst_len) {
  return frame(OP_DOWNLOAD, io, settings, config, dst, dst_len);
}

static const vorn_handler k_handler = {VORN_RUNTIME_TYPE, VORN_CAPS, h_validate, h_list, h_stream_url, h_download};

VORN_EXPORT const vorn_handler *kelda_get(void) { return &k_handler; }

VORN_EXPORT int32_t vorn_allow_writes(int32_t allow) {
  s_writes.store(allow != 0 ? 1 : 0);
  return 0;
}
