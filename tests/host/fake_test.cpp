// The scripted transport: routes, failures, counters and the remembered texts.
// Replies are read straight from its table, since no public call hands a raw
// answer body back; failures are also shown through an operation.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "vorn.h"
#include "vorn_internal.h"

namespace {

const char kNotFound[] = "The requested resource could not be found.";
const std::string kUrl = "https://h/rest/1.0/a?x=1";

// One answer of the scripted table.
struct Answer {
  int rc;
  int32_t status;
  std::string body;  // "<null>" when none was stored
  std::string error;
};

Answer take(int rc, char *body, int32_t status, char *error) {
  Answer a{rc, status, body ? body : "<null>", error ? error : "<null>"};
  const vorn_io *io = vorn_io_fake();
  if (body) io->free(io->user, body);
  if (error) io->free(io->user, error);
  return a;
}

Answer get(const char *url) {
  const vorn_io *io = vorn_io_fake();
  char *body = nullptr, *error = nullptr;
  int32_t status = 0;
  int rc = io->get(io->user, url, &body, &status, &error);
  return take(rc, body, status, error);
}

Answer post(const char *url, const char *request_body) {
  const vorn_io *io = vorn_io_fake();
  char *body = nullptr, *error = nullptr;
  int32_t status = 0;
  int rc = io->post(io->user, url, request_body, "text/plain", &body, &status, &error);
  return take(rc, body, status, error);
}

class Fake : public ::testing::Test {
 protected:
  void SetUp() override { vorn_fake_reset(); }
  void TearDown() override {
    vorn_fake_reset();
    vorn_set_io(nullptr);
  }
};

TEST_F(Fake, RoutesAnswerOnlyTheirExactMethodAndUrl) {
  ASSERT_EQ(vorn_fake_set("GET", kUrl.c_str(), 201, "hello"), 0);
  Answer hit = get(kUrl.c_str());
  EXPECT_EQ(hit.rc, 0);
  EXPECT_EQ(hit.status, 201);
  EXPECT_EQ(hit.body, "hello");
  EXPECT_EQ(hit.error, "<null>");

  for (const Answer &miss : {get((kUrl + "&y=2").c_str()), post(kUrl.c_str(), "b"), get("HTTPS://h/rest/1.0/a?x=1")}) {
    EXPECT_EQ(miss.rc, 0);
    EXPECT_EQ(miss.status, 404);
    EXPECT_EQ(miss.body, kNotFound);
  }

  ASSERT_EQ(vorn_fake_set("POST", kUrl.c_str(), 200, nullptr), 0);
  EXPECT_EQ(post(kUrl.c_str(), "").body, "");

  Answer null_url = get(nullptr);
  EXPECT_EQ(null_url.rc, -1);
  EXPECT_EQ(null_url.error, "null url");
  EXPECT_EQ(vorn_fake_calls(nullptr, nullptr), 5);  // the request without URL is not counted
}

TEST_F(Fake, RescriptingSwitchesBetweenReplyAndFailureKeepingCounts) {
  ASSERT_EQ(vorn_fake_set("GET", kUrl.c_str(), 200, "one"), 0);
  get(kUrl.c_str());
  ASSERT_EQ(vorn_fake_fail("GET", kUrl.c_str(), nullptr), 0);
  Answer refused = get(kUrl.c_str());
  EXPECT_EQ(refused.rc, -1);
  EXPECT_EQ(refused.status, 0);
  EXPECT_EQ(refused.body, "<null>");
  EXPECT_EQ(refused.error, "connection refused");

  ASSERT_EQ(vorn_fake_fail("GET", kUrl.c_str(), "reset by peer\nmore"), 0);
  EXPECT_EQ(get(kUrl.c_str()).error, "reset by peer\nmore");

  ASSERT_EQ(vorn_fake_set("GET", kUrl.c_str(), 202, "two"), 0);
  Answer back = get(kUrl.c_str());
  EXPECT_EQ(back.rc, 0);
  EXPECT_EQ(back.status, 202);
  EXPECT_EQ(back.body, "two");
  EXPECT_EQ(vorn_fake_calls("GET", kUrl.c_str()), 4);
}

TEST_F(Fake, BadScriptsAreRefusedAndChangeNothing) {
  const char *bad_methods[] = {nullptr, "get", "Post", "PUT", "", "GET "};
  for (const char *method : bad_methods) {
    EXPECT_EQ(vorn_fake_set(method, kUrl.c_str(), 200, "x"), VORN_E_INVALID);
    EXPECT_EQ(vorn_fake_fail(method, kUrl.c_str(), "x"), VORN_E_INVALID);
  }
  EXPECT_EQ(vorn_fake_set("GET", nullptr, 200, "x"), VORN_E_INVALID);
  EXPECT_EQ(vorn_fake_fail("POST", nullptr, "x"), VORN_E_INVALID);
  EXPECT_EQ(get(kUrl.c_str()).status, 404);
  EXPECT_EQ(vorn_fake_calls(nullptr, kUrl.c_str()), 0);
}

TEST_F(Fake, CountsPerRouteAndInTotal) {
  const std::string other = kUrl + "&other";
  vorn_fake_set("GET", kUrl.c_str(), 200, "g");
  vorn_fake_set("POST", kUrl.c_str(), 200, "p");
  for (int i = 0; i < 3; i++) get(kUrl.c_str());
  post(kUrl.c_str(), "b");
  for (int i = 0; i < 2; i++) get(other.c_str());

  EXPECT_EQ(vorn_fake_calls("GET", kUrl.c_str()), 3);
  EXPECT_EQ(vorn_fake_calls("POST", kUrl.c_str()), 1);
  EXPECT_EQ(vorn_fake_calls(nullptr, kUrl.c_str()), 4);
  EXPECT_EQ(vorn_fake_calls(nullptr, other.c_str()), 0);
  EXPECT_EQ(vorn_fake_calls(nullptr, nullptr), 6);
  EXPECT_EQ(std::string(vorn_fake_last_url()), other);
}

TEST_F(Fake, LastBodyKeepsTheLastNonEmptyPostOfTheRoute) {
  EXPECT_STREQ(vorn_fake_last_body(kUrl.c_str()), "");
  EXPECT_STREQ(vorn_fake_last_url(), "");
  vorn_fake_set("POST", kUrl.c_str(), 200, "");
  post(kUrl.c_str(), "a=1");
  post(kUrl.c_str(), "");
  post(kUrl.c_str(), nullptr);
  post("https://h/unscripted", "lost");
  EXPECT_STREQ(vorn_fake_last_body(kUrl.c_str()), "a=1");
  EXPECT_STREQ(vorn_fake_last_body("https://h/unscripted"), "");
  EXPECT_STREQ(vorn_fake_last_body(nullptr), "");
  EXPECT_STREQ(vorn_fake_last_url(), "https://h/unscripted");

  // A text already handed out survives a reset; the table itself is empty again.
  const char *kept = vorn_fake_last_url();
  vorn_fake_reset();
  EXPECT_STREQ(kept, "https://h/unscripted");
  EXPECT_STREQ(vorn_fake_last_url(), "");
  EXPECT_STREQ(vorn_fake_last_body(kUrl.c_str()), "");
  EXPECT_EQ(vorn_fake_calls(nullptr, nullptr), 0);
  EXPECT_EQ(get(kUrl.c_str()).status, 404);
  get("https://h/r/1");

  // A thread's returned copy goes with the thread (leak checking sees it otherwise).
  std::thread([] { EXPECT_STREQ(vorn_fake_last_url(), "https://h/r/1"); }).join();
}

TEST_F(Fake, TableGrowsPastItsFirstCapacityKeepingRoutes) {
  auto url = [](int i) { return "https://h/r/" + std::to_string(i); };
  for (int i = 0; i < 32; i++) ASSERT_EQ(vorn_fake_set("GET", url(i).c_str(), 200 + i, url(i).c_str()), 0);
  for (int i = 0; i < 32; i++) get(url(i).c_str());
  for (int i = 32; i < 70; i++) ASSERT_EQ(vorn_fake_set("GET", url(i).c_str(), 200 + i, url(i).c_str()), 0);
  for (int i = 0; i < 70; i++) {
    Answer a = get(url(i).c_str());
    EXPECT_EQ(a.status, 200 + i);
    EXPECT_EQ(a.body, url(i));
    EXPECT_EQ(vorn_fake_calls("GET", url(i).c_str()), i < 32 ? 2 : 1);
  }
}

// A scripted failure reaches the caller as a transport failure with the
// redacted URL.
TEST_F(Fake, FailureThroughAnOperationShowsTheRedactedUrl) {
  const std::string user = "https://api.real-debrid.com/rest/1.0/user?auth_token=KEY-4242";
  ASSERT_EQ(vorn_fake_fail("GET", user.c_str(), nullptr), 0);
  vorn_use_fake();
  char dst[512];
  EXPECT_EQ(vorn_validate("{\"APIKey\":\"KEY-4242\"}", dst, sizeof dst), VORN_E_TRANSPORT);
  const std::string line = "GET https://api.real-debrid.com/rest/1.0/user?auth_token=***: connection refused";
  EXPECT_EQ(vorn_last_error(), line);
  EXPECT_EQ(std::string(dst), "{\"error\":\"" + line + "\"}");
  EXPECT_EQ(vorn_fake_calls("GET", user.c_str()), 1);
}

}  // namespace
