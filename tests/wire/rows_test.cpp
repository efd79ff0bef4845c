// Listing rows: member fallbacks, dropped items, growth, failures.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "vorn_internal.h"

namespace {

struct Rows {
  vorn_rows r = {};
  int32_t rc = 0;
  char err[VORN_ERR_SIZE] = "";
  explicit Rows(const std::string &body) { rc = vorn_parse_rows(body.data(), body.size(), &r, err, sizeof err); }
  ~Rows() { vorn_rows_free(&r); }
};

const char *or_null(const char *s) { return s ? s : "(null)"; }

TEST(Rows, ItemRules) {
  struct {
    const char *elem;
    bool kept;
    const char *id, *name;
    int64_t size;
    const char *link, *status;
  } cases[] = {
      {R"({"id":"AB","filename":"f.mkv","bytes":10,"download":"https://d","status":"downloaded"})", true, "AB",
       "f.mkv", 10, "https://d", "downloaded"},
      {R"({"id":123,"name":"n"})", true, "123", "n", -1, nullptr, nullptr},
      {R"({"id":-5,"name":""})", true, "-5", "", -1, nullptr, nullptr},
      {R"({"id":"","filename":1,"name":"n"})", true, "", "n", -1, nullptr, nullptr},
      {R"({"id":"1","filename":"f","name":"n"})", true, "1", "f", -1, nullptr, nullptr},
      {R"({"id":"1","name":"n","bytes":"5","filesize":7})", true, "1", "n", 7, nullptr, nullptr},
      {R"({"id":"1","name":"n","filesize":2.5})", true, "1", "n", -1, nullptr, nullptr},
      {R"({"id":"1","name":"n","bytes":0,"filesize":9})", true, "1", "n", 0, nullptr, nullptr},
      {R"({"id":"1","name":"n","download":5,"downloadUrl":"u"})", true, "1", "n", -1, "u", nullptr},
      {R"({"id":"1","name":"n","download":"","downloadUrl":"u"})", true, "1", "n", -1, "", nullptr},
      {R"({"id":"1","name":"n","status":3})", true, "1", "n", -1, nullptr, nullptr},
      {R"({"id":"1","id":2,"name":"n","name":"m"})", true, "1", "n", -1, nullptr, nullptr},
      {R"({"id":1.5,"name":"n"})", false, nullptr, nullptr, 0, nullptr, nullptr},
      {R"({"id":true,"name":"n"})", false, nullptr, nullptr, 0, nullptr, nullptr},
      {R"({"name":"n"})", false, nullptr, nullptr, 0, nullptr, nullptr},
      {R"({"id":"1","filename":null})", false, nullptr, nullptr, 0, nullptr, nullptr},
      {R"({"id":null,"id":"1","name":"n"})", false, nullptr, nullptr, 0, nullptr, nullptr},
  };
  for (const auto &c : cases) {
    Rows rows(std::string("[") + c.elem + "]");
    ASSERT_EQ(rows.rc, VORN_OK) << c.elem;
    ASSERT_EQ(rows.r.count, c.kept ? 1u : 0u) << c.elem;
    if (!c.kept) continue;
    const vorn_row &row = rows.r.items[0];
    EXPECT_STREQ(row.id, c.id) << c.elem;
    EXPECT_STREQ(row.name, c.name) << c.elem;
    EXPECT_EQ(row.size, c.size) << c.elem;
    EXPECT_STREQ(or_null(row.link), or_null(c.link)) << c.elem;
    EXPECT_STREQ(or_null(row.status), or_null(c.status)) << c.elem;
  }
}

TEST(Rows, SkipsNonObjectsAndKeepsOrder) {
  Rows rows(R"([1,"s",null,{"id":"a","name":"A"},[],{"id":"b","filename":"B"}])");
  ASSERT_EQ(rows.rc, VORN_OK);
  ASSERT_EQ(rows.r.count, 2u);
  EXPECT_STREQ(rows.r.items[0].id, "a");
  EXPECT_STREQ(rows.r.items[1].name, "B");
}

TEST(Rows, EmptyAndFailures) {
  vorn_rows r = {};
  char err[64] = "untouched";
  EXPECT_EQ(vorn_parse_rows(nullptr, 0, &r, err, sizeof err), VORN_OK);
  EXPECT_EQ(vorn_parse_rows("[]", 0, &r, err, sizeof err), VORN_OK);
  EXPECT_STREQ(err, "untouched");
  {
    Rows rows("[ ]");
    EXPECT_EQ(rows.rc, VORN_OK);
    EXPECT_EQ(rows.r.count, 0u);
    EXPECT_EQ(rows.r.items, nullptr);
  }
  for (const char *body : {R"({"error":"bad_token","error_code":8})", "nope", "  ", "\"[]\""}) {
    Rows rows(body);
    EXPECT_EQ(rows.rc, VORN_E_FAILED) << body;
    EXPECT_STREQ(rows.err, "the list is not a JSON array") << body;
    EXPECT_EQ(rows.r.items, nullptr);
    EXPECT_EQ(rows.r.count, 0u);
    EXPECT_EQ(rows.r.cap, 0u);
  }
}

TEST(Rows, GrowthDoublesFrom16) {
  const struct {
    int n;
    uint64_t cap;
  } cases[] = {{16, 16}, {17, 32}, {1000, 1024}};
  for (const auto &c : cases) {
    std::string body = "[";
    for (int i = 0; i < c.n; i++) body += (i ? "," : "") + std::string(R"({"id":)") + std::to_string(i) + R"(,"name":"n"})";
    Rows rows(body + "]");
    ASSERT_EQ(rows.rc, VORN_OK);
    EXPECT_EQ(rows.r.count, static_cast<uint64_t>(c.n));
    EXPECT_EQ(rows.r.cap, c.cap) << c.n;
    EXPECT_STREQ(rows.r.items[c.n - 1].id, std::to_string(c.n - 1).c_str());
  }
}

TEST(Rows, ReleaseTwiceIsHarmless) {
  vorn_rows r = {};
  char err[64] = "";
  ASSERT_EQ(vorn_parse_rows(R"([{"id":"1","name":"n","download":"d","status":"s"}])", 51, &r, err, sizeof err),
            VORN_OK);
  vorn_rows_free(&r);
  EXPECT_EQ(r.items, nullptr);
  EXPECT_EQ(r.count, 0u);
  EXPECT_EQ(r.cap, 0u);
  vorn_rows_free(&r);
}

}  // namespace
