// service_support.h - shared pieces of the service operation tests: a fixture
// that drives the handler table with the recording transport, the request
// URLs the operations are expected to build, and small JSON helpers.
#ifndef VORN_SERVICE_SUPPORT_H
#define VORN_SERVICE_SUPPORT_H

#include <gtest/gtest.h>
#include <yyjson.h>

#include <cstdio>
#include <string>
#include <vector>

#include "test_io.h"
#include "vorn.h"

namespace svc {

// The token holds '+' and '/' so that the two URL builders can be told apart:
// the query builder percent-encodes it, the id builder writes it raw.
inline const std::string kToken = "ab+cd/ef";
inline const std::string kTokenEnc = "ab%2Bcd%2Fef";
inline const std::string kBase = "https://api.real-debrid.com/rest/1.0";

inline std::string pct(const std::string &s) {
  std::string r;
  for (unsigned char c : s) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
        c == '_' || c == '~') {
      r += static_cast<char>(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      r += hex;
    }
  }
  return r;
}

// A path built with the query builder: token percent-encoded.
inline std::string url(const std::string &path, const std::string &base = kBase) {
  return base + path + "?auth_token=" + kTokenEnc;
}
// A path plus id built with the id builder: token raw.
inline std::string url_id(const std::string &path, const std::string &id, const std::string &base = kBase) {
  return base + path + id + "?auth_token=" + kToken;
}
inline std::string info_url(const std::string &id) { return url_id("/torrents/info/", id); }
inline std::string unrestrict_url(const std::string &link) { return url("/unrestrict/link") + "&link=" + pct(link); }

struct Outcome {
  int32_t code;
  std::string dst;     // what the caller's area holds
  std::string result;  // the thread's published result
  std::string error;   // the thread's published error
};

class ServiceTest : public ::testing::Test {
 protected:
  vorn_test::TestIo io;
  std::string settings = vorn_test::settings_with_key(kToken);
  std::vector<char> area = std::vector<char>(8 << 20);

  void TearDown() override {
    EXPECT_EQ(io.outstanding(), 0u) << "transport texts left unreleased";
    EXPECT_EQ(io.bad_frees(), 0);
  }

  Outcome collect(int32_t code) {
    return Outcome{code, std::string(area.data()), vorn_result_json(), vorn_last_error()};
  }
  // Each call goes through the fixture's transport, or through the one given
  // (a fresh transport per table row keeps reply queues apart).
  Outcome validate(vorn_test::TestIo *via = nullptr) {
    vorn_io t = (via ? *via : io).table();
    return collect(kelda_get()->validate(&t, settings.c_str(), area.data(), (int32_t)area.size()));
  }
  Outcome list(const char *folder, vorn_test::TestIo *via = nullptr) {
    vorn_io t = (via ? *via : io).table();
    return collect(kelda_get()->list(&t, settings.c_str(), folder, area.data(), (int32_t)area.size()));
  }
  Outcome stream(const std::string &entry, vorn_test::TestIo *via = nullptr) {
    vorn_io t = (via ? *via : io).table();
    return collect(kelda_get()->stream_url(&t, settings.c_str(), entry.c_str(), area.data(), (int32_t)area.size()));
  }
  Outcome download(const char *config, vorn_test::TestIo *via = nullptr) {
    vorn_io t = (via ? *via : io).table();
    return collect(kelda_get()->download(&t, settings.c_str(), config, area.data(), (int32_t)area.size()));
  }
  Outcome download(const std::string &config, vorn_test::TestIo *via = nullptr) {
    return download(config.c_str(), via);
  }

  std::vector<std::string> urls() const {
    std::vector<std::string> r;
    for (const auto &q : io.requests()) r.push_back(q.method + " " + q.url);
    return r;
  }
};

inline std::string envelope(const std::string &error) {
  std::string r = "{\"error\":\"";
  for (char c : error) {
    if (c == '"' || c == '\\') r += '\\';
    r += c;
  }
  return r + "\"}";
}

// Parses a JSON text in the test (never through the library).
struct Json {
  yyjson_doc *doc = nullptr;
  explicit Json(const std::string &s) { doc = yyjson_read(s.data(), s.size(), 0); }
  ~Json() { yyjson_doc_free(doc); }
  Json(const Json &) = delete;
  Json &operator=(const Json &) = delete;
  yyjson_val *root() const { return doc ? yyjson_doc_get_root(doc) : nullptr; }
};

}  // namespace svc

#endif  // VORN_SERVICE_SUPPORT_H
