// The tool's HTTPS transport called from many threads at once, against the stand-in.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "curl_io.h"

namespace {

std::string e2e_dir() {
  const char *d = std::getenv("E2E_DIR");
  return d ? d : "";
}

std::string base_url() {
  std::ifstream f(e2e_dir() + "/port");
  std::string port;
  f >> port;
  return "https://127.0.0.1:" + port;
}

struct Reply {
  int rc = 0;
  int32_t status = 0;
  std::string body;
  std::string error;
  bool had_body = false;
};

Reply get(const vorn_io *io, const std::string &url) {
  char *body = nullptr, *error = nullptr;
  Reply r;
  r.rc = io->get(io->user, url.c_str(), &body, &r.status, &error);
  r.had_body = body != nullptr;
  if (body) r.body = body;
  if (error) r.error = error;
  io->free(io->user, body);
  io->free(io->user, error);
  return r;
}

class Transport : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(curl_global_init(CURL_GLOBAL_DEFAULT), CURLE_OK); }
  static void TearDownTestSuite() { curl_global_cleanup(); }
};

TEST_F(Transport, ServesManyThreadsAtOnce) {
  vorn_cli::CurlSettings s;
  s.cacert = e2e_dir() + "/ca.pem";
  vorn_cli::CurlTransport t(s);
  const std::string base = base_url();
  std::atomic<int> good{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([&, i] {
      for (int k = 0; k < 4; ++k) {
        Reply user = get(t.io(), base + "/rest/1.0/user?auth_token=thread-" + std::to_string(i));
        Reply magnet = get(t.io(), base + "/links/threads/magnet-redirect");
        if (user.rc == 0 && user.status == 200 && user.body.find("\"e2e-user\"") != std::string::npos &&
            magnet.rc == 0 && magnet.body.rfind("magnet:?xt=urn:btih:", 0) == 0)
          ++good;
      }
    });
  }
  for (auto &th : threads) th.join();
  EXPECT_EQ(good.load(), 32);
}

TEST_F(Transport, FailureCarriesOneErrorAndNoBody) {
  vorn_cli::CurlSettings s;
  s.cacert = e2e_dir() + "/ca.pem";
  vorn_cli::CurlTransport t(s);
  const std::string base = base_url();
  struct Case {
    std::string url;
    std::string error_start;
  };
  const Case cases[] = {
      {"https://127.0.0.1:1/", "curl: "},                     // nothing listens there
      {base + "/links/x/hop/6", "more than 5 redirects"},     // one redirect too many
      {"ftp://127.0.0.1/file", "curl: "},                     // only http and https
  };
  for (const Case &c : cases) {
    Reply r = get(t.io(), c.url);
    EXPECT_NE(r.rc, 0) << c.url;
    EXPECT_FALSE(r.had_body) << c.url;
    EXPECT_EQ(r.error.rfind(c.error_start, 0), 0u) << c.url << ": " << r.error;
  }
}

}  // namespace
