/*
 * vorn.h - client library for the Real-Debrid REST API 1.0, loadable as a
 * content-source plug-in of runtime type "REALDEBRID".
 *
 * The library does no networking of its own: every HTTP exchange goes
 * through a transport table (vorn_io) that the caller supplies, either per
 * call through the handler table returned by kelda_get(), or once for the
 * process through vorn_set_io(). A scripted in-memory transport is built in
 * (vorn_use_fake() and the vorn_fake_* controls) so that everything can be
 * driven without a network.
 *
 * Conventions that hold for every function below:
 *
 *  - Texts are NUL-terminated UTF-8; the library passes bytes through
 *    unchanged. The caller owns every text and area it passes in; the library
 *    never keeps them after the call returns.
 *  - Operations return a 32-bit result code: VORN_OK (0) or one of the
 *    negative VORN_E_* codes. On success the answer is compact JSON copied
 *    into the caller's area (dst, dst_len). On failure the area receives the
 *    error envelope {"error":"<one line>"} when it fits, else the empty text.
 *  - Every operation also publishes its answer and its error text in two
 *    slots of the calling thread, read back with vorn_result_json() and
 *    vorn_last_error(). These texts belong to the library and stay valid until
 *    the same thread runs its next operation; they are released when the
 *    thread ends.
 *  - Any account token that appears in an error text is replaced by '*'
 *    characters before it is shown, and URLs in error texts are redacted.
 *  - Every function may be called from any thread. Operations on different
 *    threads run side by side; the library starts no threads of its own.
 *
 * This header compiles as C99 and as C++.
 */
#ifndef VORN_H
#define VORN_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Result codes.
 *
 * VORN_OK                  success
 * VORN_E_AUTH              the service answered 401 or 403
 * VORN_E_NOT_FOUND         404, no such folder, an entry without a link, or a
 *                          transfer that never became ready
 * VORN_E_RATE_LIMITED      the service answered 429
 * VORN_E_TRANSPORT         no transport, a failed exchange, or a 5xx answer
 * VORN_E_FAILED            any other HTTP status, a malformed answer, out of
 *                          memory
 * VORN_E_UNSUPPORTED       the built-in network transport was asked for; this
 *                          library has none
 * VORN_E_WRITES_DISABLED   a download while writes are not allowed
 * VORN_E_INVALID           bad argument, settings, configuration or entry
 * VORN_E_BUFFER_TOO_SMALL  the caller's output area is missing or too small
 */
enum { VORN_OK = 0, VORN_E_AUTH = -1, VORN_E_NOT_FOUND = -2, VORN_E_RATE_LIMITED = -3,
       VORN_E_TRANSPORT = -4, VORN_E_FAILED = -5, VORN_E_UNSUPPORTED = -6,
       VORN_E_WRITES_DISABLED = -7, VORN_E_INVALID = -8, VORN_E_BUFFER_TOO_SMALL = -9 };

/*
 * The transport table: three callbacks that perform HTTP exchanges for the
 * library. The host keeps ownership of the table; the library only reads it
 * during a call (vorn_set_io() keeps a copy of its four members).
 *
 * user  Handed back unchanged as the first argument of every callback.
 *
 * get   Performs a GET of url (at most 8192 bytes). On entry *body_out and
 *       *error_out are NULL and *status_out is 0. A success returns 0, stores
 *       the answer body as a NUL-terminated text in *body_out (the empty text
 *       is a valid body) and the HTTP status in *status_out. Anything else is
 *       a failure: a non-zero return, or 0 without a body. The callback may
 *       store a one-or-more-line error text in *error_out, with a failure or a
 *       success; only its first line is shown.
 *
 * post  Performs a POST of url with the request body `body` (a NUL-terminated
 *       text, never NULL, possibly empty) and the Content-Type `content_type`
 *       (never NULL). Note the order: the body comes before the content type.
 *       The other arguments and the outcome are as for get.
 *
 * free  Releases one text that get or post stored in *body_out or *error_out.
 *       The library releases every such text exactly once. When this member is
 *       NULL the C library's free() is used, so a transport without a free
 *       callback must allocate its texts with malloc().
 *
 * Answer bodies are texts: anything after an embedded NUL byte is lost. The
 * callbacks run on the thread that called the operation, with no lock of the
 * library held, so a table shared between threads is called concurrently.
 */
typedef struct vorn_io {
  void *user;
  int (*get)(void *user, const char *url, char **body_out, int32_t *status_out, char **error_out);
  int (*post)(void *user, const char *url, const char *body, const char *content_type,
              char **body_out, int32_t *status_out, char **error_out);
  void (*free)(void *user, char *ptr);
} vorn_io;

/*
 * The handler table a host receives from kelda_get(). Its layout is part of
 * the ABI: 48 bytes on 64-bit platforms, members at offsets 0, 8, 16, 24, 32
 * and 40.
 *
 * runtime_type  "REALDEBRID".
 * caps          The capability mask, 47 (0x2F).
 *
 * Every slot runs one request to its end on the caller's thread, with the
 * transport `io` (NULL gives VORN_E_TRANSPORT, "no transport") and the user's
 * settings JSON `settings`, and writes its answer into dst (dst_len bytes,
 * terminating NUL included; dst NULL or dst_len <= 0 means no area).
 *
 * The settings are a JSON object of at most 1 MiB with the credential in
 * "APIKey" (or a complete OAuth tuple "ClientId", "ClientSecret",
 * "refresh_token" with a current "access_token"), and optionally "ID",
 * "CustomName", "Host" (service host name) and "RuntimeType" (must be
 * "REALDEBRID" when set). Bad settings give VORN_E_INVALID.
 *
 * validate    Reads the account and answers
 *             {"RuntimeType":"REALDEBRID","ID":...,"Username":...,...}.
 * list        Lists `folder`: NULL or "" is the root, "torrents" the
 *             transfers, "downloads" the downloads, "t<id>" one transfer's
 *             files. Answers a JSON array of entry objects.
 * stream_url  Turns `entry` (one entry object of a listing, as JSON) into
 *             {"url":...,"headers":{},"size":...,"name":...}.
 * download    Adds the link named in `config` to the account as a transfer
 *             and answers an instant result, a fallback (with
 *             VORN_E_NOT_FOUND) or the service's answer alone. Refused with
 *             VORN_E_WRITES_DISABLED until vorn_allow_writes(1).
 *
 * Results: VORN_OK with the answer in dst; VORN_E_BUFFER_TOO_SMALL when the
 * answer does not fit (dst then holds "" and the whole answer is published);
 * any other code with the error envelope in dst when it fits.
 */
typedef struct vorn_handler {
  const char *runtime_type;
  uint32_t caps;
  int32_t (*validate)(const vorn_io *io, const char *settings, char *dst, int32_t dst_len);
  int32_t (*list)(const vorn_io *io, const char *settings, const char *folder, char *dst, int32_t dst_len);
  int32_t (*stream_url)(const vorn_io *io, const char *settings, const char *entry, char *dst, int32_t dst_len);
  int32_t (*download)(const vorn_io *io, const char *settings, const char *config, char *dst, int32_t dst_len);
} vorn_handler;

/*
 * The plug-in entry point. Returns the address of the library's constant
 * handler table; always the same address; never fails.
 */
const vorn_handler *kelda_get(void);

/*
 * Sets the process-wide writes switch: non-zero allows download calls to add
 * transfers to the account, 0 forbids it again (the state at load). A change
 * applies to download calls that start after it. Always returns 0.
 */
int32_t vorn_allow_writes(int32_t allow);

/*
 * The calling thread's last published answer: on success the whole answer,
 * on failure whatever partial answer the operation left (often ""). Never
 * NULL. Owned by the library; valid until the thread's next operation.
 */
const char *vorn_result_json(void);

/*
 * The calling thread's last published error text, one line with any token
 * masked, or "" after a success. Never NULL. Owned by the library; valid until
 * the thread's next operation.
 */
const char *vorn_last_error(void);

/*
 * The four operations over the process-wide transport selection (see
 * vorn_set_io, vorn_use_fake). They behave exactly as the matching slots of
 * the handler table. In addition they may be called without an output area
 * (dst NULL or dst_len <= 0): a success then returns VORN_OK and the caller
 * reads the answer with vorn_result_json().
 *
 * Returns VORN_OK or a VORN_E_* code. Until a transport is selected every
 * operation with valid settings fails with VORN_E_TRANSPORT, "no transport".
 */
int32_t vorn_validate(const char *settings, char *dst, int32_t dst_len);
int32_t vorn_list(const char *settings, const char *folder, char *dst, int32_t dst_len);
int32_t vorn_stream_url(const char *settings, const char *entry, char *dst, int32_t dst_len);
int32_t vorn_download(const char *settings, const char *config, char *dst, int32_t dst_len);

/*
 * Selects the caller's transport for the flat operations. The library copies
 * the four members, so the table itself need not outlive the call (what
 * `user` points to stays the caller's concern). NULL selects the built-in
 * network transport again, of which this library has none.
 *
 * Returns VORN_OK, or VORN_E_INVALID when get or post is NULL (the selection
 * is then unchanged). Do not replace the table while operations run on other
 * threads.
 */
int32_t vorn_set_io(const vorn_io *io);

/*
 * Asks for the built-in network transport. This library has none, so it
 * returns VORN_E_UNSUPPORTED and leaves the selection unchanged.
 */
int32_t vorn_use_curl(void);

/* Selects the built-in scripted transport for the flat operations. Returns VORN_OK. */
int32_t vorn_use_fake(void);

/* The library's version, "1.0.0". A constant text. */
const char *vorn_version(void);

/* The handler's runtime type, "REALDEBRID". A constant text. */
const char *vorn_runtime_type(void);

/* The capability mask, 47: the same value as vorn_handler.caps. */
uint32_t vorn_caps(void);

/* The service's default base URL, "https://api.real-debrid.com/rest/1.0". A constant text. */
const char *vorn_base_url(void);

/*
 * Redacts a URL for display: drops the user information before the host and
 * replaces the values of the auth_token, apikey and token parameters (any
 * case) with "***". Returns a text in a 2048-byte buffer of the calling
 * thread (cut at 2047 bytes), valid until the thread calls vorn_redact again;
 * never NULL (NULL gives "").
 */
const char *vorn_redact(const char *url);

/*
 * Classifiers. Each returns 1 (yes) or 0 (no), allocates nothing and takes no
 * lock; a NULL argument gives 0.
 *
 * vorn_is_video_path    whether path ends in one of the known video
 *                       extensions (.mkv, .mp4, .avi, ...; any case).
 * vorn_is_torrent_file  whether the len bytes at data look like a torrent
 *                       metainfo file (a bencoded dictionary with the info key
 *                       and an announce key or files with length and path).
 * vorn_is_magnet_link   whether text is a magnet link ("magnet:?") with a
 *                       BitTorrent info hash of 40 hex or 32 base32 characters.
 */
int vorn_is_video_path(const char *path);
int vorn_is_torrent_file(const void *data, size_t len);
int vorn_is_magnet_link(const char *text);

/*
 * Reads the season and episode numbers out of a release or file name such as
 * "Show.S01E05.mkv", "Season 2 Episode 11", "3x07" or "Show 1015 1080p".
 * Returns 1 and stores both numbers (each output may be NULL) when a result
 * was found, else returns 0 and stores nothing.
 */
int vorn_parse_season_episode(const char *name, int *season, int *episode);

/*
 * The scripted transport, a testing tool. Routes are keyed by method ("GET"
 * or "POST", exactly) and the exact URL, query included. A request to a URL
 * without a route is answered with status 404 and the body "The requested
 * resource could not be found.". The routes are process-wide, guarded by a
 * lock of their own, and usable whatever transport is selected.
 *
 * vorn_fake_reset      Removes every route and zeroes the counters.
 * vorn_fake_set        Scripts the answer `status` and `body` (NULL is the
 *                      empty text) for method and url, replacing an earlier
 *                      script of the same route. Returns 0, VORN_E_INVALID for
 *                      a bad method or a NULL url, VORN_E_BUFFER_TOO_SMALL when
 *                      memory runs out.
 * vorn_fake_fail       Makes the route fail as a transport failure with the
 *                      text `error` (NULL: "connection refused"). Returns as
 *                      vorn_fake_set.
 * vorn_fake_calls      The number of requests that matched the route (method
 *                      NULL: GET and POST added); url NULL: every request
 *                      since the last reset.
 * vorn_fake_last_body  The last non-empty body posted to the POST route of
 *                      url, or "".
 * vorn_fake_last_url   The URL of the most recent request, or "".
 *
 * The texts of the last two belong to the library and stay valid until the
 * same thread calls either of them again; they are never NULL.
 */
void vorn_fake_reset(void);
int vorn_fake_set(const char *method, const char *url, int32_t status, const char *body);
int vorn_fake_fail(const char *method, const char *url, const char *error);
int vorn_fake_calls(const char *method, const char *url);
const char *vorn_fake_last_body(const char *url);
const char *vorn_fake_last_url(void);

#ifdef __cplusplus
}
#endif

#endif /* VORN_H */
