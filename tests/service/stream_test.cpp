// Stream links through the stream_url slot.
#include <string>

#include "service_support.h"

using namespace svc;

namespace {

const std::string kLink = "https://hoster.example/f/a b?x=1&y=2";

TEST_F(ServiceTest, StreamPostsTheEncodedLink) {
  io.on_post(unrestrict_url(kLink), 200,
             R"({"download":"https://dl.example/a.mkv","filename":"a \"1\".mkv","filesize":1048576})");
  Outcome o = stream(R"({"locator":"https://hoster.example/f/a b?x=1&y=2","path":"ignored"})");
  ASSERT_EQ(o.code, VORN_OK) << o.error;
  EXPECT_EQ(o.dst, R"({"url":"https://dl.example/a.mkv","headers":{},"size":1048576,"name":"a \"1\".mkv"})");
  auto reqs = io.requests();
  ASSERT_EQ(reqs.size(), 1u);
  EXPECT_EQ(reqs[0].method, "POST");
  EXPECT_EQ(reqs[0].url,
            kBase + "/unrestrict/link?auth_token=ab%2Bcd%2Fef&link=https%3A%2F%2Fhoster.example%2Ff%2Fa%20b%3Fx%3D1%26y%3D2");
  EXPECT_EQ(reqs[0].body, "");
  EXPECT_EQ(reqs[0].content_type, "application/x-www-form-urlencoded");
}

TEST_F(ServiceTest, StreamSizeAndNameForms) {
  const struct {
    const char *answer;
    const char *tail;
  } cases[] = {
      {R"({"download":"u","filesize":0,"filename":""})", R"("size":0,"name":""})"},
      {R"({"download":"u"})", R"("size":-1,"name":null})"},
      {R"({"download":"u","filesize":-7,"filename":"n"})", R"("size":-1,"name":"n"})"},
      {R"({"download":"u","filesize":1.5,"filename":"n"})", R"("size":-1,"name":"n"})"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.answer);
    vorn_test::TestIo fresh;
    fresh.on_post(unrestrict_url("L"), 200, c.answer);
    Outcome o = stream(R"({"link":"L"})", &fresh);
    ASSERT_EQ(o.code, VORN_OK) << o.error;
    EXPECT_EQ(o.dst, std::string(R"({"url":"u","headers":{},)") + c.tail);
  }
}

TEST_F(ServiceTest, StreamFailureForms) {
  using vorn_test::ok;
  const struct {
    vorn_test::Reply reply;
    int32_t code;
    const char *error;
  } cases[] = {
      {ok(503, R"({"error":"hoster_unavailable","error_code":19})"), VORN_E_TRANSPORT,
       "unrestrict/link: hoster_unavailable (error_code 19, HTTP 503) — Hoster in maintenance"},
      {ok(418, ""), VORN_E_FAILED, "unrestrict/link answered HTTP 418"},
      {ok(401, "nope"), VORN_E_AUTH, "unrestrict/link answered HTTP 401"},
      {ok(404, R"({"error":"unknown","error_code":9})"), VORN_E_NOT_FOUND,
       "unrestrict/link: unknown (error_code 9, HTTP 404) — Resource not found"},
      {ok(200, "{}"), VORN_E_NOT_FOUND, "unrestrict/link returned no download"},
      {ok(200, ""), VORN_E_FAILED, "unrestrict/link returned an empty body"},
      {ok(200, "[]"), VORN_E_FAILED, "unrestrict/link is not a JSON object"},
      {vorn_test::fail("refused"), VORN_E_TRANSPORT,
       "POST https://api.real-debrid.com/rest/1.0/unrestrict/link?auth_token=***&link=L: refused"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.error);
    vorn_test::TestIo fresh;
    fresh.on("POST", unrestrict_url("L"), c.reply);
    Outcome o = stream(R"({"path":"L"})", &fresh);
    EXPECT_EQ(o.code, c.code);
    EXPECT_EQ(o.dst, envelope(c.error));
    EXPECT_EQ(o.error, c.error);
    EXPECT_EQ(fresh.outstanding(), 0u);
  }
}

TEST_F(ServiceTest, StreamRefusesUrlsOver8KiB) {
  const size_t fixed = unrestrict_url("").size();
  const std::string fits(8192 - fixed, 'a');
  io.on_post(unrestrict_url(fits), 200, R"({"download":"u"})");
  EXPECT_EQ(stream(R"({"link":")" + fits + "\"}").code, VORN_OK);
  EXPECT_EQ(io.count(), 1u);

  Outcome o = stream(R"({"link":")" + fits + "a\"}");
  EXPECT_EQ(o.code, VORN_E_TRANSPORT);
  EXPECT_EQ(o.error, "request URL longer than 8 KiB");
  EXPECT_EQ(io.count(), 1u);
}

}  // namespace
