// The text buffer, its JSON and URL escaping, the copy helpers and the UTF-8 test.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "vorn_internal.h"

namespace {

// A buffer that releases itself, so a failing assertion leaks nothing.
struct Buf {
  vorn_buf b{};
  ~Buf() { vorn_buf_free(&b); }
  std::string str() const { return b.data ? std::string(b.data, b.len) : std::string(); }
};

TEST(Buf, CapacityStartsAt256AndDoubles) {
  struct Case {
    std::vector<size_t> appends;
    std::vector<size_t> caps;  // capacity after each append
  };
  const Case cases[] = {
      {{0}, {256}},
      {{3}, {256}},
      {{255}, {256}},
      {{256}, {512}},
      {{300, 300}, {512, 1024}},
      {{1000}, {1024}},
      {{100, 100, 100}, {256, 256, 512}},
  };
  for (const Case &c : cases) {
    Buf buf;
    std::string expect;
    for (size_t i = 0; i < c.appends.size(); i++) {
      std::string piece(c.appends[i], static_cast<char>('a' + i));
      ASSERT_EQ(0, vorn_buf_add(&buf.b, piece.data(), piece.size()));
      expect += piece;
      EXPECT_EQ(c.caps[i], buf.b.cap) << "append #" << i << " of " << c.appends[i];
      ASSERT_NE(nullptr, buf.b.data);
      EXPECT_EQ(expect.size(), buf.b.len);
      EXPECT_EQ('\0', buf.b.data[buf.b.len]);
      EXPECT_EQ(expect, buf.str());
    }
  }
}

TEST(Buf, EmptyAppendGivesEmptyTextAndFreeResets) {
  vorn_buf b{};
  ASSERT_EQ(0, vorn_buf_add(&b, "", 0));
  ASSERT_NE(nullptr, b.data);
  EXPECT_STREQ("", b.data);
  EXPECT_EQ(0u, b.len);
  EXPECT_EQ(256u, b.cap);
  vorn_buf_free(&b);
  EXPECT_EQ(nullptr, b.data);
  EXPECT_EQ(0u, b.len);
  EXPECT_EQ(0u, b.cap);
  vorn_buf_free(&b);  // a second release does nothing
  ASSERT_EQ(0, vorn_buf_adds(&b, "abc"));  // and the buffer is usable again
  EXPECT_STREQ("abc", b.data);
  vorn_buf_free(&b);
  EXPECT_EQ(-1, vorn_buf_add(nullptr, "x", 1));
}

// Sizes whose capacity computation would wrap around, or need a capacity
// beyond the signed 64-bit range, are refused and leave the text intact.
TEST(Buf, RefusesSizesThatOverflow) {
  Buf buf;
  ASSERT_EQ(0, vorn_buf_adds(&buf.b, "abc"));
  const char src[8] = "xyz";
  const size_t sizes[] = {SIZE_MAX, SIZE_MAX - 3, SIZE_MAX - 4, (size_t{1} << 62) + 1, (size_t{1} << 63)};
  for (size_t n : sizes) {
    EXPECT_EQ(-1, vorn_buf_add(&buf.b, src, n)) << n;
    EXPECT_EQ("abc", buf.str());
    EXPECT_EQ(256u, buf.b.cap);
  }
}

TEST(Buf, AddfAppendsWholeTextOnBothSidesOfTheStackArea) {
  for (size_t n : {0u, 1u, 510u, 511u, 512u, 513u, 5000u}) {
    Buf buf;
    ASSERT_EQ(0, vorn_buf_adds(&buf.b, "<"));
    std::string body(n, 'q');
    ASSERT_EQ(0, vorn_buf_addf(&buf.b, "%s", body.c_str())) << n;
    EXPECT_EQ("<" + body, buf.str()) << n;
  }
  Buf buf;
  ASSERT_EQ(0, vorn_buf_addf(&buf.b, "%lld/%s/%d", (long long)INT64_MIN, "x", 7));
  std::string big(600, 'z');
  ASSERT_EQ(0, vorn_buf_addf(&buf.b, "[%s|%lld]", big.c_str(), (long long)42));
  EXPECT_EQ("-9223372036854775808/x/7[" + big + "|42]", buf.str());
}

TEST(Buf, JsonStringEscaping) {
  struct Case {
    const char *in;
    const char *out;
  };
  const Case cases[] = {
      {nullptr, "null"},
      {"", "\"\""},
      {"plain text", "\"plain text\""},
      {"q\"b\\t\tn\nr\r", "\"q\\\"b\\\\t\\tn\\nr\\r\""},
      {"\x01", "\"\\u0001\""},
      {"\b\f", "\"\\u0008\\u000c\""},
      {"\x1b\x1f", "\"\\u001b\\u001f\""},
      {"a\x7f" "b", "\"a\\u007fb\""},
      {"/caf\xc3\xa9 \xff", "\"/caf\xc3\xa9 \xff\""},
      {"\"\"", "\"\\\"\\\"\""},
  };
  for (const Case &c : cases) {
    Buf buf;
    ASSERT_EQ(0, vorn_buf_adds(&buf.b, "x="));
    ASSERT_EQ(0, vorn_buf_json_str(&buf.b, c.in));
    EXPECT_EQ(std::string("x=") + c.out, buf.str()) << (c.in ? c.in : "(null)");
  }
}

TEST(Buf, QueryChoosesSeparatorAndPercentEncodes) {
  Buf buf;
  ASSERT_EQ(0, vorn_buf_adds(&buf.b, "/user"));
  ASSERT_EQ(0, vorn_buf_query(&buf.b, "link", "a b/c?d"));
  EXPECT_EQ("/user?link=a%20b%2Fc%3Fd", buf.str());
  ASSERT_EQ(0, vorn_buf_query(&buf.b, "limit", "5000"));
  EXPECT_EQ("/user?link=a%20b%2Fc%3Fd&limit=5000", buf.str());

  struct Case {
    const char *value;
    const char *encoded;
  };
  const Case cases[] = {
      {nullptr, ""},
      {"", ""},
      {"AZaz09-._~", "AZaz09-._~"},
      {"&=+", "%26%3D%2B"},
      {"\xe9", "%E9"},
      {"\x01\x7f\xff", "%01%7F%FF"},
  };
  for (const Case &c : cases) {
    Buf fresh;
    ASSERT_EQ(0, vorn_buf_query(&fresh.b, "auth_token", c.value));
    EXPECT_EQ(std::string("?auth_token=") + c.encoded, fresh.str());
  }
}

TEST(Str, CopiesExactly) {
  char *p = vorn_strndup("abc", 2);
  ASSERT_NE(nullptr, p);
  EXPECT_STREQ("ab", p);
  free(p);
  p = vorn_strndup("a\0b", 3);  // a NUL among the bytes does not stop the copy
  ASSERT_NE(nullptr, p);
  EXPECT_EQ(0, memcmp(p, "a\0b\0", 4));
  free(p);
  p = vorn_strdup("hello");
  ASSERT_NE(nullptr, p);
  EXPECT_STREQ("hello", p);
  free(p);
  EXPECT_EQ(nullptr, vorn_strdup(nullptr));
  EXPECT_EQ(nullptr, vorn_strndup(nullptr, 3));
}

TEST(Str, Utf8Validity) {
  struct Case {
    std::string bytes;
    int ok;
  };
  const Case cases[] = {
      {"", 1},
      {"plain", 1},
      {std::string("a\0b", 3), 1},
      {"\xc3\xa9", 1},
      {"\xe2\x82\xac", 1},
      {"\xf0\x9f\x98\x80", 1},
      {"\xf4\x8f\xbf\xbf", 1},  // U+10FFFF
      {"\xed\x9f\xbf", 1},      // U+D7FF
      {"\xc0\xaf", 0},          // overlong '/'
      {"\xc1\xbf", 0},
      {"\xe0\x80\xaf", 0},
      {"\xf0\x80\x80\xaf", 0},
      {"\xed\xa0\x80", 0},  // surrogate
      {"\xed\xbf\xbf", 0},
      {"\xf4\x90\x80\x80", 0},  // above U+10FFFF
      {"\x80", 0},
      {"\xe2\x82", 0},  // cut short
      {"\xc3", 0},
      {"\xc3\x28", 0},  // bad continuation
      {"\xf8\x88\x80\x80\x80", 0},
      {"\xff", 0},
  };
  for (const Case &c : cases) {
    // An exact-size heap copy lets the sanitizer catch a read past the end.
    std::vector<char> heap(c.bytes.begin(), c.bytes.end());
    EXPECT_EQ(c.ok, vorn_utf8_ok(heap.data(), heap.size())) << testing::PrintToString(c.bytes);
  }
}

}  // namespace
