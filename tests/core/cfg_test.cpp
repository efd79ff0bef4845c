// The settings parse: error texts, member rendering, trimming and the mode rules.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "vorn_internal.h"

namespace {

struct Cfg {
  vorn_cfg c{};
  ~Cfg() { vorn_cfg_free(&c); }
};

const char *kNoCreds = "APIKey is empty and the OAuth tuple is incomplete";
const char *kNeedAccess = "OAuth settings need an access_token";
const char *kNotObject = "settings are not a JSON object";

struct Expect {
  const char *token;
  const char *id;
  const char *host;
  const char *custom_name;
  const char *refresh_token;
  int32_t auth;
};

struct Case {
  const char *what;
  std::string json;
  int32_t require;
  const char *err;  // nullptr: success, and `ok` is checked
  Expect ok;
};

std::string field(const char *p) { return p ? std::string(p) : std::string("(none)"); }

const std::string kTuple = "\"ClientId\":\"cid\",\"ClientSecret\":\"sec\",";

const Case kCases[] = {
    // Texts that are no JSON object.
    {"empty", "", 1, kNotObject, {}},
    {"array", "[]", 1, kNotObject, {}},
    {"string", "\"x\"", 1, kNotObject, {}},
    {"trailing comma", "{\"APIKey\":\"k\",}", 1, kNotObject, {}},
    {"two values", "{} {}", 1, kNotObject, {}},
    // Credentials.
    {"no credentials", "{}", 1, kNoCreds, {}},
    {"no credentials, not required", "{}", 0, nullptr, {nullptr, nullptr, nullptr, nullptr, nullptr, 0}},
    {"key", "{\"APIKey\":\"abc\"}", 1, nullptr, {"abc", nullptr, nullptr, nullptr, nullptr, 0}},
    {"key trimmed", "{\"APIKey\":\" \\t\\r\\nabc \\n\"}", 1, nullptr, {"abc", nullptr, nullptr, nullptr, nullptr, 0}},
    {"vertical tab stays", "{\"APIKey\":\"\\u000babc\\f\"}", 1, nullptr,
     {"\vabc\f", nullptr, nullptr, nullptr, nullptr, 0}},
    {"blank key", "{\"APIKey\":\" \\t \"}", 1, kNoCreds, {}},
    {"integer key", "{\"APIKey\":123456789012}", 1, nullptr,
     {"123456789012", nullptr, nullptr, nullptr, nullptr, 0}},
    {"negative key", "{\"APIKey\":-5}", 1, nullptr, {"-5", nullptr, nullptr, nullptr, nullptr, 0}},
    {"unsigned key read as signed", "{\"APIKey\":18446744073709551615}", 1, nullptr,
     {"-1", nullptr, nullptr, nullptr, nullptr, 0}},
    {"real key", "{\"APIKey\":1.5}", 1, kNoCreds, {}},
    {"exponent key", "{\"APIKey\":1e3}", 1, kNoCreds, {}},
    {"bool key", "{\"APIKey\":false}", 1, nullptr, {"false", nullptr, nullptr, nullptr, nullptr, 0}},
    {"array key", "{\"APIKey\":[\"k\"]}", 1, kNoCreds, {}},
    {"first member wins though null", "{\"APIKey\":null,\"APIKey\":\"k\"}", 1, kNoCreds, {}},
    {"first member wins", "{\"APIKey\":\"one\",\"APIKey\":\"two\"}", 1, nullptr,
     {"one", nullptr, nullptr, nullptr, nullptr, 0}},
    {"key case-sensitive", "{\"apikey\":\"k\"}", 1, kNoCreds, {}},
    {"nested key ignored", "{\"x\":{\"APIKey\":\"k\"}}", 1, kNoCreds, {}},
    {"string up to its NUL", "{\"APIKey\":\"ab\\u0000cd\"}", 1, nullptr,
     {"ab", nullptr, nullptr, nullptr, nullptr, 0}},
    // Other members.
    {"id integer, name bool", "{\"APIKey\":\"k\",\"ID\":42,\"CustomName\":true}", 1, nullptr,
     {"k", "42", nullptr, "true", nullptr, 0}},
    {"host trimmed", "{\"APIKey\":\"k\",\"Host\":\"  h.example \"}", 1, nullptr,
     {"k", nullptr, "h.example", nullptr, nullptr, 0}},
    {"blank host falls back", "{\"APIKey\":\"k\",\"Host\":\" \",\"REALDEBRIDHost\":\"alt\"}", 1, nullptr,
     {"k", nullptr, "alt", nullptr, nullptr, 0}},
    {"host wins over fallback", "{\"APIKey\":\"k\",\"Host\":\"h\",\"REALDEBRIDHost\":\"alt\"}", 1, nullptr,
     {"k", nullptr, "h", nullptr, nullptr, 0}},
    {"no host", "{\"APIKey\":\"k\",\"Host\":null}", 1, nullptr, {"k", nullptr, nullptr, nullptr, nullptr, 0}},
    // RuntimeType.
    {"runtime wrong case", "{\"APIKey\":\"k\",\"RuntimeType\":\"Realdebrid\"}", 1,
     "RuntimeType is \"Realdebrid\", this handler is \"REALDEBRID\"", {}},
    {"runtime integer", "{\"APIKey\":\"k\",\"RuntimeType\":5}", 1,
     "RuntimeType is \"5\", this handler is \"REALDEBRID\"", {}},
    {"runtime untrimmed", "{\"RuntimeType\":\" REALDEBRID\"}", 0,
     "RuntimeType is \" REALDEBRID\", this handler is \"REALDEBRID\"", {}},
    {"runtime checked before credentials", "{\"RuntimeType\":\"X\"}", 1,
     "RuntimeType is \"X\", this handler is \"REALDEBRID\"", {}},
    {"runtime right", "{\"APIKey\":\"k\",\"RuntimeType\":\"REALDEBRID\"}", 1, nullptr,
     {"k", nullptr, nullptr, nullptr, nullptr, 0}},
    {"runtime empty", "{\"APIKey\":\"k\",\"RuntimeType\":\"\"}", 1, nullptr,
     {"k", nullptr, nullptr, nullptr, nullptr, 0}},
    {"runtime null", "{\"APIKey\":\"k\",\"RuntimeType\":null}", 1, nullptr,
     {"k", nullptr, nullptr, nullptr, nullptr, 0}},
    // OAuth mode.
    {"tuple without access token", "{" + kTuple + "\"refresh_token\":\"r\"}", 1, kNeedAccess, {}},
    {"tuple without access token, not required", "{" + kTuple + "\"refresh_token\":\"r\"}", 0, nullptr,
     {nullptr, nullptr, nullptr, nullptr, "r", 1}},
    {"tuple with access token", "{" + kTuple + "\"RefreshToken\":\"r\",\"access_token\":\" at \"}", 1, nullptr,
     {"at", nullptr, nullptr, nullptr, "r", 1}},
    {"blank refresh_token falls back", "{" + kTuple + "\"refresh_token\":\"\",\"RefreshToken\":\"r2\",\"access_token\":\"at\"}",
     1, nullptr, {"at", nullptr, nullptr, nullptr, "r2", 1}},
    {"blank access token", "{" + kTuple + "\"refresh_token\":\"r\",\"access_token\":\"  \"}", 1, kNeedAccess, {}},
    {"key wins over tuple", "{\"APIKey\":\"key\"," + kTuple + "\"refresh_token\":\"r\",\"access_token\":\"at\"}", 1,
     nullptr, {"key", nullptr, nullptr, nullptr, "r", 0}},
    {"incomplete tuple", "{\"ClientId\":\"cid\",\"refresh_token\":\"r\",\"access_token\":\"at\"}", 1, kNoCreds, {}},
    {"access token alone", "{\"access_token\":\"at\"}", 1, kNoCreds, {}},
};

TEST(Cfg, TableOfSettings) {
  for (const Case &c : kCases) {
    SCOPED_TRACE(c.what);
    Cfg cfg;
    char err[VORN_ERR_SIZE] = "untouched";
    int32_t rc = vorn_cfg_parse(c.json.c_str(), c.require, &cfg.c, err, sizeof err);
    if (c.err) {
      EXPECT_EQ(VORN_E_INVALID, rc);
      EXPECT_STREQ(c.err, err);
      // A failed parse leaves nothing behind.
      vorn_cfg zero{};
      EXPECT_EQ(0, memcmp(&zero, &cfg.c, sizeof zero));
      continue;
    }
    ASSERT_EQ(VORN_OK, rc) << err;
    EXPECT_EQ(field(c.ok.token), field(cfg.c.token));
    EXPECT_EQ(field(c.ok.id), field(cfg.c.id));
    EXPECT_EQ(field(c.ok.host), field(cfg.c.host));
    EXPECT_EQ(field(c.ok.custom_name), field(cfg.c.custom_name));
    EXPECT_EQ(field(c.ok.refresh_token), field(cfg.c.refresh_token));
    EXPECT_EQ(c.ok.auth, cfg.c.auth);
  }
}

TEST(Cfg, NullAndSizeLimit) {
  char err[VORN_ERR_SIZE];
  Cfg cfg;
  EXPECT_EQ(VORN_E_INVALID, vorn_cfg_parse(nullptr, 1, &cfg.c, err, sizeof err));
  EXPECT_STREQ("settings are NULL", err);

  // {"APIKey":"k","pad":"xxx..."} padded to exactly 1 MiB is read.
  const size_t limit = 1048576;
  std::string head = "{\"APIKey\":\"k\",\"pad\":\"";
  std::string text = head + std::string(limit - head.size() - 2, 'x') + "\"}";
  ASSERT_EQ(limit, text.size());
  EXPECT_EQ(VORN_OK, vorn_cfg_parse(text.c_str(), 1, &cfg.c, err, sizeof err)) << err;
  EXPECT_STREQ("k", cfg.c.token);
  vorn_cfg_free(&cfg.c);
  text.insert(1, " ");
  EXPECT_EQ(VORN_E_INVALID, vorn_cfg_parse(text.c_str(), 1, &cfg.c, err, sizeof err));
  EXPECT_STREQ("settings are larger than 1 MiB", err);
}

TEST(Cfg, AccessTokenCutTo255Bytes) {
  std::string at(300, 'a');
  at[254] = 'b';
  at[255] = 'c';
  std::string json = "{" + kTuple + "\"refresh_token\":\"r\",\"access_token\":\"" + at + "\"}";
  Cfg cfg;
  char err[VORN_ERR_SIZE];
  ASSERT_EQ(VORN_OK, vorn_cfg_parse(json.c_str(), 1, &cfg.c, err, sizeof err)) << err;
  EXPECT_EQ(at.substr(0, 255), cfg.c.token);
  EXPECT_EQ(1, cfg.c.auth);
  vorn_cfg_free(&cfg.c);

  // The cut comes before the trim: blanks at byte 255 and later are gone anyway,
  // blanks just before the cut are trimmed.
  std::string padded = std::string(250, 'z') + "     " + "tail";
  json = "{" + kTuple + "\"refresh_token\":\"r\",\"access_token\":\"" + padded + "\"}";
  ASSERT_EQ(VORN_OK, vorn_cfg_parse(json.c_str(), 1, &cfg.c, err, sizeof err)) << err;
  EXPECT_EQ(std::string(250, 'z'), cfg.c.token);
}

TEST(Cfg, ErrorTextIsCutToTheArea) {
  Cfg cfg;
  char err[8];
  EXPECT_EQ(VORN_E_INVALID, vorn_cfg_parse("{}", 1, &cfg.c, err, sizeof err));
  EXPECT_STREQ("APIKey ", err);
  EXPECT_EQ(VORN_E_INVALID, vorn_cfg_parse("{}", 1, &cfg.c, nullptr, 0));  // no area: nothing written
}

}  // namespace
