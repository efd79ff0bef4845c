// Account validation through the validate slot, and the JSON read convention
// every service read shares (shown on the account read).
#include <cstdint>
#include <cstdlib>
#include <regex>

#include "service_support.h"

using namespace svc;

namespace {

const std::string kUserUrl = url("/user");

struct AnswerCase {
  const char *account;
  const char *members;  // what follows the ID in the answer
};

const AnswerCase kAnswers[] = {
    {R"({"username":"neo","email":"n@x.io","premium":5,"expiration":"2030-01-01T00:00:00.000Z","points":9})",
     R"(,"Username":"neo","Email":"n@x.io","Premium":"5 days","Expiration":"2030-01-01T00:00:00.000Z")"},
    {R"({"username":"neo"})", R"(,"Username":"neo")"},
    {R"({"email":"","premium":true})", R"(,"Email":"","Premium":"1 days")"},
    {R"({"username":"a\"b\\c","premium":0})", R"(,"Username":"a\"b\\c","Premium":"0 days")"},
    {R"({"username":"neo","premium":-3,"expiration":""})", R"(,"Username":"neo","Expiration":"")"},
    {R"({"username":"neo","premium":2.5})", R"(,"Username":"neo")"},
    // an error member with code 0 is no error document
    {R"({"error":"x","error_code":0,"username":"neo"})", R"(,"Username":"neo")"},
};

TEST_F(ServiceTest, ValidateAnswersWithTheAccountAndTheGivenId) {
  settings = vorn_test::settings_with_key(kToken, R"("ID":"  src\"1  ")");
  for (const AnswerCase &c : kAnswers) {
    SCOPED_TRACE(c.account);
    vorn_test::TestIo fresh;
    fresh.on_get(kUserUrl, 200, c.account);
    Outcome o = validate(&fresh);
    EXPECT_EQ(o.code, VORN_OK);
    EXPECT_EQ(o.dst, std::string(R"({"RuntimeType":"REALDEBRID","ID":"src\"1")") + c.members + "}");
    EXPECT_EQ(o.result, o.dst);
    EXPECT_EQ(o.error, "");
    ASSERT_EQ(fresh.count(), 1u);
    EXPECT_EQ(fresh.requests()[0].method + " " + fresh.requests()[0].url, "GET " + kUserUrl);
    EXPECT_EQ(fresh.outstanding(), 0u);
  }
}

TEST_F(ServiceTest, ValidateSendsToTheSettingsHost) {
  settings = vorn_test::settings_with_key(kToken, R"("Host":"api.example.test")");
  io.on_get(url("/user", "https://api.example.test/rest/1.0"), 200, R"({"username":"neo"})");
  EXPECT_EQ(validate().code, VORN_OK);
  ASSERT_EQ(io.count(), 1u);
}

// Builds the generator's words the way validation does, without the address
// term (which is the same for all four words and cancels out under XOR).
uint32_t draw_word() {
  uint32_t r1 = (uint32_t)rand();
  uint32_t r2 = (uint32_t)rand();
  return (r1 << 17) ^ r2;
}

TEST_F(ServiceTest, ValidateGeneratesAnIdFromEightDraws) {
  const std::regex shape("^[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-9([0-9a-f]{3})-[0-9a-f]{8}[0-9a-f]\\1$");
  io.on_get(kUserUrl, 200, R"({"username":"neo"})");
  for (const char *extra : {"", R"("ID":"")", R"("ID":" \t ")", R"("ID":null)"}) {
    SCOPED_TRACE(extra);
    settings = vorn_test::settings_with_key(kToken, extra);
    srand(12345);
    uint32_t v[4];
    for (uint32_t &w : v) w = draw_word();
    uint32_t next = (uint32_t)rand();
    srand(12345);
    Outcome o = validate();
    ASSERT_EQ(o.code, VORN_OK);
    const std::string prefix = R"({"RuntimeType":"REALDEBRID","ID":")";
    ASSERT_EQ(o.dst.rfind(prefix, 0), 0u);
    std::string id = o.dst.substr(prefix.size(), 36);
    EXPECT_EQ(o.dst, prefix + id + R"(","Username":"neo"})");
    EXPECT_TRUE(std::regex_match(id, shape)) << id;
    EXPECT_EQ((uint32_t)rand(), next) << "exactly eight numbers are drawn";

    uint32_t w0 = (uint32_t)std::stoul(id.substr(0, 8), nullptr, 16);
    uint32_t w1hi = (uint32_t)std::stoul(id.substr(9, 4), nullptr, 16);
    uint32_t w1lo = (uint32_t)std::stoul(id.substr(15, 3), nullptr, 16);
    uint32_t w3 = (uint32_t)std::stoul(id.substr(24, 8), nullptr, 16);
    uint32_t w2lo = (uint32_t)std::stoul(id.substr(32, 4), nullptr, 16);
    uint32_t mask = w0 ^ v[0];  // the address term
    EXPECT_EQ(w3 ^ v[3], mask);
    EXPECT_EQ(w1hi, ((v[1] ^ mask) >> 16));
    EXPECT_EQ(w1lo, ((v[1] ^ mask) & 0xfffu));
    EXPECT_EQ(w2lo, ((v[2] ^ mask) & 0xffffu));
  }
}

TEST_F(ServiceTest, ValidateDrawsEvenWithAGivenIdButNotAfterAFailure) {
  io.on_get(kUserUrl, 200, R"({"username":"neo"})");
  settings = vorn_test::settings_with_key(kToken, R"("ID":"mine")");
  srand(99);
  for (int i = 0; i < 8; i++) rand();
  uint32_t ninth = (uint32_t)rand();
  srand(99);
  ASSERT_EQ(validate().code, VORN_OK);
  EXPECT_EQ((uint32_t)rand(), ninth);

  vorn_test::TestIo refusing;
  refusing.on_get(kUserUrl, 401, R"({"error":"bad_token","error_code":8})");
  srand(99);
  uint32_t first = (uint32_t)rand();
  srand(99);
  ASSERT_EQ(validate(&refusing).code, VORN_E_AUTH);
  EXPECT_EQ((uint32_t)rand(), first);
}

struct FailCase {
  vorn_test::Reply reply;
  int32_t code;
  const char *error;
};

// The read convention: status mapping, service error documents inside and
// outside 2xx, answers that are no JSON array or object, and the decoder's
// own refusals.
TEST_F(ServiceTest, ValidateReportsEveryFailureForm) {
  using vorn_test::ok;
  const FailCase cases[] = {
      {ok(401, R"({"error":"x","error_code":8})"), VORN_E_AUTH,
       "user: x (error_code 8, HTTP 401) — Ressource unreachable"},
      {ok(401, "<html>nope</html>"), VORN_E_AUTH, "user answered HTTP 401"},
      {ok(403, R"({"error":"locked","error_code":16})"), VORN_E_AUTH,
       "user: locked (error_code 16, HTTP 403) — Account locked"},
      {ok(404, ""), VORN_E_NOT_FOUND, "user answered HTTP 404"},
      {ok(404, R"({"error":"gone","error_code":2})"), VORN_E_NOT_FOUND, "user: gone (error_code 2, HTTP 404)"},
      {ok(429, R"({"error":"slow","error_code":36})"), VORN_E_RATE_LIMITED,
       "user: slow (error_code 36, HTTP 429) — Too many requests"},
      {ok(429, "busy"), VORN_E_RATE_LIMITED, "user answered HTTP 429"},
      {ok(503, "<html>down</html>"), VORN_E_TRANSPORT, "user answered HTTP 503"},
      {ok(503, R"({"error":"maint","error_code":27})"), VORN_E_TRANSPORT,
       "user: maint (error_code 27, HTTP 503) — Service unavailable"},
      {ok(418, "{}"), VORN_E_FAILED, "user answered HTTP 418"},
      {ok(200, R"({"error":"bad_token","error_code":10})"), VORN_E_FAILED,
       "user: bad_token (error_code 10, HTTP 200) — Bad token"},
      {ok(200, R"("neo")"), VORN_E_FAILED, "user did not return JSON"},
      {ok(200, "42"), VORN_E_FAILED, "user did not return JSON"},
      {ok(200, "null"), VORN_E_FAILED, "user did not return JSON"},
      {ok(200, ""), VORN_E_FAILED, "user did not return JSON"},
      {ok(200, "<html>"), VORN_E_FAILED, "user did not return JSON"},
      {ok(200, "{}"), VORN_E_FAILED, "user carries no username"},
      {ok(200, "[]"), VORN_E_FAILED, "user is not a JSON object"},
      {vorn_test::fail("\r\n  connection reset\r\nmore"), VORN_E_TRANSPORT,
       "GET https://api.real-debrid.com/rest/1.0/user?auth_token=***: connection reset"},
  };
  for (const FailCase &c : cases) {
    SCOPED_TRACE(c.error);
    vorn_test::TestIo fresh;
    fresh.on("GET", kUserUrl, c.reply);
    Outcome o = validate(&fresh);
    EXPECT_EQ(o.code, c.code);
    EXPECT_EQ(o.dst, envelope(c.error));
    EXPECT_EQ(o.error, c.error);
    EXPECT_EQ(o.result, "");
    EXPECT_EQ(fresh.count(), 1u);
    EXPECT_EQ(fresh.outstanding(), 0u);
  }
}

}  // namespace
