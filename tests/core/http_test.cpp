// The GET and POST exchanges over a host transport, the first-line rule and
// the status mapping.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "test_io.h"
#include "vorn_internal.h"

namespace {

using vorn_test::Reply;

const std::string kUrl = "https://host/rest/1.0/user?auth_token=SECRET";
const std::string kShown = "https://host/rest/1.0/user?auth_token=***";

// Every test proves the transport got back each text it handed out, exactly once.
class Http : public testing::Test {
 protected:
  void TearDown() override {
    EXPECT_EQ(0u, io.outstanding());
    EXPECT_EQ(0, io.bad_frees());
  }
  int get(const std::string &url) {
    vorn_io t = io.table();
    return vorn_http(&t, url.c_str(), &resp, err, sizeof err);
  }
  int post(const std::string &url, const char *type, const char *body) {
    vorn_io t = io.table();
    return vorn_http_post(&t, url.c_str(), type, body, &resp, err, sizeof err);
  }
  void ExpectZeroResp() {
    EXPECT_EQ(0, resp.status);
    EXPECT_EQ(nullptr, resp.body);
    EXPECT_EQ(0u, resp.len);
  }

  vorn_test::TestIo io;
  vorn_resp resp{};
  char err[VORN_ERR_SIZE] = "";
};

TEST_F(Http, SuccessCopiesBodyAndStatus) {
  io.on_get(kUrl, 503, "{\"error\":\"busy\"}");
  ASSERT_EQ(0, get(kUrl));
  EXPECT_EQ(503, resp.status);  // the caller maps the status
  EXPECT_STREQ("{\"error\":\"busy\"}", resp.body);
  EXPECT_EQ(16u, resp.len);
  vorn_resp_free(&resp);
  ExpectZeroResp();
  vorn_resp_free(&resp);  // a second release does nothing
  EXPECT_EQ(1, io.frees());
}

TEST_F(Http, EmptyBodyIsASuccess) {
  io.on_get(kUrl, 204, "");
  ASSERT_EQ(0, get(kUrl));
  EXPECT_EQ(204, resp.status);
  ASSERT_NE(nullptr, resp.body);
  EXPECT_STREQ("", resp.body);
  EXPECT_EQ(0u, resp.len);
  vorn_resp_free(&resp);
}

TEST_F(Http, ErrorTextWithSuccessIsReleasedAndIgnored) {
  io.on("GET", kUrl, Reply{0, 200, std::string("ok"), std::string("warning\nmore")});
  ASSERT_EQ(0, get(kUrl));
  EXPECT_STREQ("ok", resp.body);
  EXPECT_EQ(2, io.frees());
  vorn_resp_free(&resp);
}

// Every way a transport can fail, and the one line the exchange makes of it.
TEST_F(Http, FailuresGiveOneLineWithTheRedactedUrl) {
  struct Case {
    const char *what;
    Reply reply;
    std::string line;
  };
  const Case cases[] = {
      {"non-zero with body and error", Reply{7, 200, std::string("body"), std::string("boom")}, "boom"},
      {"non-zero with body only", Reply{-1, 200, std::string("body"), std::nullopt}, "transport failure"},
      {"non-zero with nothing", Reply{1, 0, std::nullopt, std::nullopt}, "transport failure"},
      {"zero without body", Reply{0, 200, std::nullopt, std::nullopt}, "transport failure"},
      {"zero without body, with error", Reply{0, 200, std::nullopt, std::string("no body\nat all")}, "no body"},
      {"multi-line error", Reply{-1, 0, std::nullopt, std::string("\r\n  connection reset\r\nsecond line")},
       "connection reset"},
      {"blank error", Reply{-1, 0, std::nullopt, std::string(" \t\r\n \n")}, ""},
      {"empty error", Reply{-1, 0, std::nullopt, std::string("")}, ""},
      {"long error", Reply{-1, 0, std::nullopt, std::string(150, 'a') + std::string(150, 'b')},
       std::string(150, 'a') + std::string(49, 'b')},
  };
  int n = 0;
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    // One route per case, so each case gets its own reply.
    const std::string tail = "&n=" + std::to_string(n++);
    io.on("GET", kUrl + tail, c.reply);
    io.on("POST", kUrl + tail, c.reply);
    resp.status = 99;  // a failed exchange still zeroes the record
    EXPECT_EQ(-1, get(kUrl + tail));
    EXPECT_EQ("GET " + kShown + tail + ": " + c.line, err);
    ExpectZeroResp();
    EXPECT_EQ(-1, post(kUrl + tail, nullptr, nullptr));
    EXPECT_EQ("POST " + kShown + tail + ": " + c.line, err);
    ExpectZeroResp();
    EXPECT_EQ(0u, io.outstanding());
  }
}

TEST_F(Http, RedactedUrlInFailureIsCutAt511Bytes) {
  std::string url = "https://user:pw@host/" + std::string(1000, 'p') + "?token=SECRET";
  io.on("GET", url, vorn_test::fail("down"));
  EXPECT_EQ(-1, get(url));
  EXPECT_EQ("GET " + ("https://host/" + std::string(1000, 'p')).substr(0, 511) + ": down", err);
}

TEST_F(Http, UrlLimitIs8192Bytes) {
  std::string url = "https://h/" + std::string(8192 - 10, 'x');
  ASSERT_EQ(8192u, url.size());
  io.on_get(url, 200, "fine");
  ASSERT_EQ(0, get(url));
  vorn_resp_free(&resp);
  ASSERT_EQ(1u, io.count());

  url += 'x';
  EXPECT_EQ(-1, get(url));
  EXPECT_STREQ("request URL longer than 8 KiB", err);
  EXPECT_EQ(-1, post(url, nullptr, nullptr));
  EXPECT_STREQ("request URL longer than 8 KiB", err);
  EXPECT_EQ(1u, io.count());  // neither reached the transport
  ExpectZeroResp();
}

TEST_F(Http, MissingTransport) {
  vorn_io t = io.table();
  EXPECT_EQ(-1, vorn_http(nullptr, kUrl.c_str(), &resp, err, sizeof err));
  EXPECT_STREQ("no transport", err);
  EXPECT_EQ(-1, vorn_http_post(nullptr, kUrl.c_str(), nullptr, "", &resp, err, sizeof err));
  EXPECT_STREQ("no transport", err);
  vorn_io no_get = t;
  no_get.get = nullptr;
  strcpy(err, "");
  EXPECT_EQ(-1, vorn_http(&no_get, kUrl.c_str(), &resp, err, sizeof err));
  EXPECT_STREQ("no transport", err);
  vorn_io no_post = t;
  no_post.post = nullptr;
  strcpy(err, "");
  EXPECT_EQ(-1, vorn_http_post(&no_post, kUrl.c_str(), nullptr, "", &resp, err, sizeof err));
  EXPECT_STREQ("no transport", err);
  // The callback that is present is enough for its own method.
  io.on_post(kUrl, 201, "made");
  ASSERT_EQ(0, vorn_http_post(&no_get, kUrl.c_str(), nullptr, "", &resp, err, sizeof err));
  vorn_resp_free(&resp);
  EXPECT_EQ(1u, io.count());
}

TEST_F(Http, PostPassesBodyThenContentType) {
  io.on_post(kUrl, 200, "{}");
  ASSERT_EQ(0, post(kUrl, nullptr, nullptr));
  vorn_resp_free(&resp);
  ASSERT_EQ(0, post(kUrl, "application/x-bittorrent", "d4:info"));
  vorn_resp_free(&resp);
  auto reqs = io.requests();
  ASSERT_EQ(2u, reqs.size());
  EXPECT_EQ("POST", reqs[0].method);
  EXPECT_EQ(kUrl, reqs[0].url);
  EXPECT_EQ("", reqs[0].body);
  EXPECT_EQ("application/x-www-form-urlencoded", reqs[0].content_type);
  EXPECT_EQ("d4:info", reqs[1].body);
  EXPECT_EQ("application/x-bittorrent", reqs[1].content_type);
}

TEST_F(Http, ErrorAreaIsCutAsBySnprintf) {
  io.on("GET", kUrl, vorn_test::fail("refused"));
  char small[10];
  vorn_io t = io.table();
  EXPECT_EQ(-1, vorn_http(&t, kUrl.c_str(), &resp, small, sizeof small));
  EXPECT_STREQ("GET https", small);
  EXPECT_EQ(-1, vorn_http(&t, kUrl.c_str(), &resp, nullptr, 0));
}

// A transport without a free member allocates with malloc; the library then
// releases with the C library's free (the sanitizer reports any leak or
// mismatch) and never calls a transport free.
TEST(HttpNoFree, TextsReleasedWithFree) {
  vorn_test::TestIo io;
  const std::string url = "https://h/x?token=T";
  io.on("GET", url, Reply{0, 200, std::string("body"), std::string("note")});
  io.on("POST", url, Reply{5, 0, std::string("body"), std::string("bad\nline")});
  vorn_io t = io.table(false);
  vorn_resp resp{};
  char err[VORN_ERR_SIZE];
  ASSERT_EQ(0, vorn_http(&t, url.c_str(), &resp, err, sizeof err));
  EXPECT_STREQ("body", resp.body);
  vorn_resp_free(&resp);
  EXPECT_EQ(-1, vorn_http_post(&t, url.c_str(), nullptr, "a=1", &resp, err, sizeof err));
  EXPECT_STREQ("POST https://h/x?token=***: bad", err);
  EXPECT_EQ(0, io.frees());
}

TEST(BodyLine, FirstLineRule) {
  struct Case {
    const char *text;
    size_t size;
    const char *line;
  };
  const Case cases[] = {
      {nullptr, 16, ""},
      {"", 16, ""},
      {"one", 16, "one"},
      {"\t\r\n one\ntwo", 16, "one"},
      {"one\rtwo", 16, "one"},
      {"one two \n", 16, "one two "},
      {"\vone", 16, "\vone"},
      {"\fone\n", 16, "\fone"},
      {" \n\t\r", 16, ""},
      {"abcdef", 4, "abc"},
      {"abc", 4, "abc"},
      {"abc", 1, ""},
  };
  for (const Case &c : cases) {
    char out[16];
    memset(out, '#', sizeof out);
    vorn_body_line(c.text, out, c.size);
    EXPECT_STREQ(c.line, out) << (c.text ? c.text : "(null)") << " size " << c.size;
  }
  char untouched[4] = "xyz";
  vorn_body_line("abc", untouched, 0);
  EXPECT_STREQ("xyz", untouched);
  vorn_body_line("abc", nullptr, 8);
}

TEST(MapStatus, TableOfStatuses) {
  struct Case {
    int32_t status;
    int code;
  };
  const Case cases[] = {
      {200, VORN_OK},           {204, VORN_OK},          {299, VORN_OK},         {199, VORN_E_FAILED},
      {300, VORN_E_FAILED},     {302, VORN_E_FAILED},    {400, VORN_E_FAILED},   {401, VORN_E_AUTH},
      {402, VORN_E_FAILED},     {403, VORN_E_AUTH},      {404, VORN_E_NOT_FOUND}, {405, VORN_E_FAILED},
      {428, VORN_E_FAILED},     {429, VORN_E_RATE_LIMITED}, {430, VORN_E_FAILED}, {499, VORN_E_FAILED},
      {500, VORN_E_TRANSPORT},  {503, VORN_E_TRANSPORT}, {599, VORN_E_TRANSPORT}, {600, VORN_E_FAILED},
      {100, VORN_E_FAILED},     {0, VORN_E_FAILED},      {-200, VORN_E_FAILED},  {INT32_MIN, VORN_E_FAILED},
      {INT32_MAX, VORN_E_FAILED},
  };
  for (const Case &c : cases) EXPECT_EQ(c.code, vorn_map_status(c.status)) << c.status;
}

}  // namespace
