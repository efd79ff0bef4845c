// fuzz_common.h - shared pieces of the fuzz targets: a transport that answers
// from the fuzzer's bytes, a fixed router transport, and the checks every
// outcome of a handler call must pass. A failed check aborts, which libFuzzer
// reports as a finding together with the input that caused it.
#ifndef VORN_FUZZ_COMMON_H
#define VORN_FUZZ_COMMON_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include <yyjson.h>

#include "url_encode.h"
#include "vorn.h"

namespace vorn_fuzz {

// A 40-character token holding '+' and '/', so that its raw and its
// percent-encoded forms differ.
static const char k_token[] = "Zq8+Lm/Tx3+Rv9/Kd2+Wp7/Hs4+Nc6/Bf1+Yg5/J";
static const char k_settings[] =
    "{\"APIKey\":\"Zq8+Lm/Tx3+Rv9/Kd2+Wp7/Hs4+Nc6/Bf1+Yg5/J\",\"ID\":\"fuzz-source\"}";
static const char k_settings_no_id[] = "{\"APIKey\":\"Zq8+Lm/Tx3+Rv9/Kd2+Wp7/Hs4+Nc6/Bf1+Yg5/J\","
                                       "\"Host\":\" api.example.test \"}";

[[noreturn]] inline void finding(const char *what, const char *detail) {
  fprintf(stderr, "fuzz check failed: %s\n  %s\n", what, detail ? detail : "");
  abort();
}

inline std::string percent_encode(const char *s) { return vorn_test::url_encode(s); }

// Texts the library passes through (a transport's error line, a folder name)
// and byte-wise cuts may hold broken UTF-8, so the checks accept any bytes
// inside strings but nothing else that is not JSON.
static const yyjson_read_flag k_read_flags = YYJSON_READ_ALLOW_INVALID_UNICODE;

inline bool is_json(const char *text) {
  yyjson_doc *doc = yyjson_read(text, strlen(text), k_read_flags);
  bool ok = doc != nullptr;
  yyjson_doc_free(doc);
  return ok;
}

// The envelope {"error":<text>} with exactly the published error.
inline bool is_envelope_of(const char *text, const char *error) {
  yyjson_doc *doc = yyjson_read(text, strlen(text), k_read_flags);
  if (!doc) return false;
  yyjson_val *root = yyjson_doc_get_root(doc);
  yyjson_val *e = yyjson_obj_get(root, "error");
  bool ok = yyjson_is_obj(root) && yyjson_obj_size(root) == 1 && yyjson_is_str(e) &&
            strcmp(yyjson_get_str(e), error) == 0;
  yyjson_doc_free(doc);
  return ok;
}

// Whether text ends in more than 3, but not all, of the first bytes of form
// (a token cut off by a full error area).
inline bool ends_in_cut(const std::string &text, const std::string &form) {
  for (size_t k = 4; k < form.size() && k <= text.size(); ++k)
    if (text.compare(text.size() - k, k, form, 0, k) == 0) return true;
  return false;
}

// Checks one handler outcome. dst/dst_len are the caller's area as passed;
// token is the credential the settings carried (NULL when the settings come
// from the fuzzer and no token is known).
inline void check_outcome(int32_t code, const char *dst, int32_t dst_len, const char *token = k_token) {
  if (code > 0 || code < -9) finding("result code out of range", dst);
  const char *err = vorn_last_error();
  const char *res = vorn_result_json();
  if (!err || !res) finding("published text is NULL", nullptr);
  const std::string encoded = token ? percent_encode(token) : std::string();
  if (token && (strstr(err, token) || strstr(err, encoded.c_str()))) finding("token in published error", err);
  if (token && (ends_in_cut(err, token) || ends_in_cut(err, encoded))) finding("cut token ends the error", err);
  if (dst && dst_len > 0) {
    if (strnlen(dst, static_cast<size_t>(dst_len)) >= static_cast<size_t>(dst_len))
      finding("area not terminated", nullptr);
    if (code == 0) {
      if (!is_json(dst)) finding("success answer is not JSON", dst);
      if (strcmp(dst, res) != 0) finding("answer and published result differ", dst);
      if (err[0]) finding("success with an error text", err);
    } else if (code == -9) {
      if (dst[0]) finding("too-small area not emptied", dst);
      if (strcmp(err, "output buffer too small") != 0) finding("too-small area with wrong error", err);
      if (!is_json(res)) finding("published answer is not JSON", res);
    } else if (dst[0]) {
      if (!is_envelope_of(dst, err)) finding("failure area is no envelope of the error", dst);
      if (token && (strstr(dst, token) || strstr(dst, encoded.c_str()))) finding("token in envelope", dst);
    }
  } else if (code == 0) {
    // The flat surface without an area: the answer is read back.
    if (!is_json(res)) finding("published answer is not JSON", res);
  }
}

// One scripted answer of the byte-driven transport.
struct Answer {
  int rc = 0;
  int32_t status = 200;
  bool has_body = true;
  std::string body;
  std::string error;  // empty: none
};

// Decodes one answer from a chunk: its first byte chooses the status (or a
// failure), the rest is the body (or the failure text).
inline Answer decode_answer(const uint8_t *p, size_t n) {
  Answer a;
  if (n == 0) return a;
  unsigned char c = p[0];
  a.body.assign(reinterpret_cast<const char *>(p + 1), n - 1);
  static const int32_t k_status[] = {200, 201, 204, 400, 401, 403, 404, 429, 500, 503, 302, 418};
  if (c >= 'A' && c <= 'L') {
    a.status = k_status[c - 'A'];
  } else if (c == '!') {
    a.rc = -1;
    a.has_body = false;
    a.error = a.body;
    a.body.clear();
  } else if (c == '?') {
    a.has_body = false;  // 0 without a body is a failure as well
  } else if (c == '~') {
    a.error = "noise\nsecond line";  // an error text beside a success
  } else {
    a.status = static_cast<int32_t>(c) * 3 - 100;
  }
  return a;
}

// A transport that answers the requests in order from the chunks of the
// input (separated by NUL bytes); later requests fail.
struct ByteIo {
  std::vector<Answer> answers;
  size_t next = 0;
  size_t requests = 0;

  void load(const uint8_t *p, size_t n) {
    answers.clear();
    next = 0;
    requests = 0;
    size_t start = 0;
    for (size_t i = 0; i <= n; ++i) {
      if (i == n || p[i] == 0) {
        answers.push_back(decode_answer(p + start, i - start));
        start = i + 1;
      }
    }
  }

  static char *dup(const std::string &s) {
    char *t = static_cast<char *>(malloc(s.size() + 1));
    if (!t) abort();
    memcpy(t, s.c_str(), s.size() + 1);
    return t;
  }

  int answer(char **body_out, int32_t *status_out, char **error_out) {
    requests++;
    if (next >= answers.size()) {
      *error_out = dup("fuzz input exhausted");
      return -1;
    }
    const Answer &a = answers[next++];
    if (a.has_body) *body_out = dup(a.body);
    if (!a.error.empty()) *error_out = dup(a.error);
    *status_out = a.status;
    return a.rc;
  }

  static int get_cb(void *user, const char *url, char **body_out, int32_t *status_out, char **error_out) {
    if (!url || strlen(url) > 8192) finding("GET URL missing or longer than 8 KiB", nullptr);
    return static_cast<ByteIo *>(user)->answer(body_out, status_out, error_out);
  }
  static int post_cb(void *user, const char *url, const char *body, const char *ctype, char **body_out,
                     int32_t *status_out, char **error_out) {
    if (!url || !body || !ctype || strlen(url) > 8192) finding("POST arguments broken", url);
    return static_cast<ByteIo *>(user)->answer(body_out, status_out, error_out);
  }
  static void free_cb(void *, char *p) { free(p); }

  vorn_io table(bool with_free) {
    vorn_io io{};
    io.user = this;
    io.get = get_cb;
    io.post = post_cb;
    io.free = with_free ? free_cb : nullptr;
    return io;
  }
};

// A transport that answers every request from a fixed table keyed by a
// part of the URL: enough for the flows behind settings, entries and
// download configurations to run to their end.
struct RouterIo {
  static const char *pick(const char *url, int32_t *status) {
    *status = 200;
    if (strstr(url, "/user?")) return "{\"username\":\"fuzz\",\"email\":\"f@example.test\",\"premium\":3}";
    if (strstr(url, "/torrents/addMagnet") || strstr(url, "/torrents/addTorrent"))
      return "{\"id\":\"ABCD\",\"uri\":\"https://api.example.test/torrents/info/ABCD\"}";
    if (strstr(url, "/torrents/selectFiles/")) {
      *status = 204;
      return "";
    }
    if (strstr(url, "/torrents/delete/")) {
      *status = 204;
      return "";
    }
    if (strstr(url, "/torrents/info/"))
      return "{\"id\":\"ABCD\",\"filename\":\"Show.S01\",\"status\":\"downloaded\",\"files\":["
             "{\"id\":1,\"path\":\"/Show.S01E01.mkv\",\"bytes\":700,\"selected\":1},"
             "{\"id\":2,\"path\":\"/Show.S01E02.mkv\",\"bytes\":900,\"selected\":1},"
             "{\"id\":3,\"path\":\"/sample.txt\",\"bytes\":5,\"selected\":0}],"
             "\"links\":[\"https://hoster.example/d/E01\",\"https://hoster.example/d/E02\"]}";
    if (strstr(url, "/unrestrict/link"))
      return strstr(url, "E02") ? "{\"download\":\"https://cdn.example/E02.mkv\",\"filename\":\"Show.S01E02.mkv\","
                                  "\"filesize\":900}"
                                : "{\"download\":\"https://cdn.example/E01.mkv\",\"filename\":\"Show.S01E01.mkv\","
                                  "\"filesize\":700}";
    if (strstr(url, "/torrents?") || strstr(url, "/downloads?")) return "[]";
    // The probe of a link: a small torrent file.
    return "d8:announce20:udp://tracker.test:14:infod6:lengthi900e4:name8:Show.mkv12:piece lengthi16384eee";
  }
  static int get_cb(void *, const char *url, char **body_out, int32_t *status_out, char **) {
    *body_out = ByteIo::dup(pick(url, status_out));
    return 0;
  }
  static int post_cb(void *, const char *url, const char *, const char *, char **body_out, int32_t *status_out,
                     char **) {
    *body_out = ByteIo::dup(pick(url, status_out));
    return 0;
  }
  static vorn_io table() { return vorn_io{nullptr, get_cb, post_cb, nullptr}; }
};

// The input as a NUL-terminated text (anything after an embedded NUL is
// simply not seen by the library).
inline std::string as_text(const uint8_t *data, size_t size) {
  return std::string(reinterpret_cast<const char *>(data), size);
}

}  // namespace vorn_fuzz

#endif  // VORN_FUZZ_COMMON_H
