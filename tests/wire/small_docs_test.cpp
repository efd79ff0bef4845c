// Unrestricted link, account, token and host entry documents.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "vorn_internal.h"

namespace {

std::string take(char *s) {
  std::string out = s ? s : "(null)";
  free(s);
  return out;
}

// A poisoned pointer shows that an output is reset on entry.
char *poison() { return reinterpret_cast<char *>(0x1); }

TEST(Unrestrict, Table) {
  struct {
    const char *body;
    int32_t rc;
    const char *err, *link, *name;
    int64_t size;
  } cases[] = {
      {R"({"download":"https://d/1","filename":"a.mkv","filesize":99})", VORN_OK, "", "https://d/1", "a.mkv", 99},
      {R"({"download":"https://d/1"})", VORN_OK, "", "https://d/1", "(null)", -1},
      {R"({"download":"d","filename":"","filesize":-7})", VORN_OK, "", "d", "", -7},
      {R"({"download":"d","filesize":1.5})", VORN_OK, "", "d", "(null)", -1},
      {R"({"download":"d","filesize":"15"})", VORN_OK, "", "d", "(null)", -1},
      {R"({"download":"d","filesize":9223372036854775808})", VORN_OK, "", "d", "(null)", INT64_MIN},
      {R"({"download":1,"download":"https://d/1"})", VORN_E_NOT_FOUND, "unrestrict/link returned no download",
       "(null)", "(null)", -1},
      {R"({"download":"","filename":"a.mkv","filesize":5})", VORN_E_NOT_FOUND,
       "unrestrict/link returned no download", "(null)", "(null)", 5},
      {R"({"download":"\u0000x"})", VORN_E_NOT_FOUND, "unrestrict/link returned no download", "(null)", "(null)",
       -1},
      {"", VORN_E_FAILED, "unrestrict/link returned an empty body", "(null)", "(null)", -1},
      {"   ", VORN_E_FAILED, "unrestrict/link is not a JSON object", "(null)", "(null)", -1},
      {R"(["download"])", VORN_E_FAILED, "unrestrict/link is not a JSON object", "(null)", "(null)", -1},
  };
  for (const auto &c : cases) {
    char *link = poison(), *name = poison();
    int64_t size = 0;
    char err[VORN_ERR_SIZE] = "";
    EXPECT_EQ(vorn_parse_unrestrict(c.body, strlen(c.body), &link, &name, &size, err, sizeof err), c.rc) << c.body;
    EXPECT_STREQ(err, c.err) << c.body;
    EXPECT_EQ(take(link), c.link) << c.body;
    EXPECT_EQ(take(name), c.name) << c.body;
    EXPECT_EQ(size, c.size) << c.body;
  }
}

TEST(User, Table) {
  struct {
    const char *body;
    int32_t rc;
    const char *err, *username, *email, *expiration;
    int64_t premium;
  } cases[] = {
      {R"({"username":"u","email":"e@x","premium":30,"expiration":"2030-01-01T00:00:00.000Z"})", VORN_OK, "", "u",
       "e@x", "2030-01-01T00:00:00.000Z", 30},
      {R"({"email":"e@x","premium":true})", VORN_OK, "", "(null)", "e@x", "(null)", 1},
      {R"({"username":"","premium":false})", VORN_OK, "", "", "(null)", "(null)", 0},
      {R"({"username":"u","premium":3.0})", VORN_OK, "", "u", "(null)", "(null)", -1},
      {R"({"username":"u","premium":"30"})", VORN_OK, "", "u", "(null)", "(null)", -1},
      {R"({"username":"u","premium":30,"premium":true})", VORN_OK, "", "u", "(null)", "(null)", 30},
      {R"({"username":1,"username":"late","expiration":5})", VORN_E_FAILED, "user carries no username", "(null)",
       "(null)", "(null)", -1},
      {R"({"expiration":"x","premium":12})", VORN_E_FAILED, "user carries no username", "(null)", "(null)",
       "(null)", 12},
      {"{}", VORN_E_FAILED, "user carries no username", "(null)", "(null)", "(null)", -1},
      {"", VORN_E_FAILED, "user returned an empty body", "(null)", "(null)", "(null)", -1},
      {"[1]", VORN_E_FAILED, "user is not a JSON object", "(null)", "(null)", "(null)", -1},
  };
  for (const auto &c : cases) {
    char *username = poison(), *email = poison(), *expiration = poison();
    int64_t premium = 0;
    char err[VORN_ERR_SIZE] = "";
    EXPECT_EQ(vorn_parse_user(c.body, strlen(c.body), &username, &email, &premium, &expiration, err, sizeof err),
              c.rc)
        << c.body;
    EXPECT_STREQ(err, c.err) << c.body;
    EXPECT_EQ(take(username), c.username) << c.body;
    EXPECT_EQ(take(email), c.email) << c.body;
    EXPECT_EQ(take(expiration), c.expiration) << c.body;
    EXPECT_EQ(premium, c.premium) << c.body;
  }
}

TEST(Token, Table) {
  struct {
    const char *body;
    int32_t rc;
    const char *err, *access, *refresh;
  } cases[] = {
      {R"({"access_token":"A","refresh_token":"R","expires_in":3600})", VORN_OK, "", "A", "R"},
      {R"({"access_token":""})", VORN_OK, "", "", "(null)"},
      {R"({"access_token":"a\u0000b"})", VORN_OK, "", "a", "(null)"},
      {R"({"refresh_token":"R","access_token":null})", VORN_E_AUTH, "oauth token returned no access_token",
       "(null)", "(null)"},
      {"", VORN_E_FAILED, "oauth token returned an empty body", "(null)", "(null)"},
      {"   ", VORN_E_FAILED, "oauth token is not a JSON object", "(null)", "(null)"},
  };
  for (const auto &c : cases) {
    char *access = poison(), *refresh = poison();
    char err[VORN_ERR_SIZE] = "";
    EXPECT_EQ(vorn_parse_token(c.body, strlen(c.body), &access, &refresh, err, sizeof err), c.rc) << c.body;
    EXPECT_STREQ(err, c.err) << c.body;
    EXPECT_EQ(take(access), c.access) << c.body;
    EXPECT_EQ(take(refresh), c.refresh) << c.body;
  }
}

TEST(Entry, Table) {
  struct {
    const char *entry;
    int32_t rc;
    const char *err, *link;
  } cases[] = {
      {R"({"locator":"https://d/1","link":"l","path":"p"})", VORN_OK, "", "https://d/1"},
      {R"({"locator":"","link":"https://l"})", VORN_OK, "", "https://l"},
      {R"({"locator":5,"path":"/a.mkv"})", VORN_OK, "", "/a.mkv"},
      {R"({"label":"t","path":"t42","locator":"t42"})", VORN_OK, "", "t42"},
      {R"({"link":""})", VORN_E_NOT_FOUND, "entry carries no link", "(null)"},
      {R"({"locator":null,"locator":"late"})", VORN_E_NOT_FOUND, "entry carries no link", "(null)"},
      {"[]", VORN_E_INVALID, "entry is not a JSON object", "(null)"},
      {"{bad", VORN_E_INVALID, "entry is not a JSON object", "(null)"},
      {"", VORN_E_NOT_FOUND, "entry is empty", "(null)"},
  };
  for (const auto &c : cases) {
    char *link = poison();
    char err[VORN_ERR_SIZE] = "";
    EXPECT_EQ(vorn_entry_link(c.entry, &link, err, sizeof err), c.rc) << c.entry;
    EXPECT_STREQ(err, c.err) << c.entry;
    EXPECT_EQ(take(link), c.link) << c.entry;
  }
  char *link = poison();
  char err[64] = "";
  EXPECT_EQ(vorn_entry_link(nullptr, &link, err, sizeof err), VORN_E_NOT_FOUND);
  EXPECT_STREQ(err, "entry is empty");
  EXPECT_EQ(link, nullptr);
}

TEST(SmallDocs, ErrorTextIsCutToTheArea) {
  char *link = nullptr, *name = nullptr;
  int64_t size = 0;
  char err[8];
  EXPECT_EQ(vorn_parse_unrestrict("{}", 2, &link, &name, &size, err, sizeof err), VORN_E_NOT_FOUND);
  EXPECT_STREQ(err, "unrestr");
}

}  // namespace
