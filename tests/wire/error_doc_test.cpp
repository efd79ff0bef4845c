// Service error documents: which bodies are error documents and the exact line.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "vorn_internal.h"

namespace {

struct ErrCase {
  const char *body;
  int32_t status;
  const char *line;  // nullptr: not an error document
};

const ErrCase kErrCases[] = {
    {R"({"error":"x","error_code":7})", 429, "x (error_code 7, HTTP 429) \xE2\x80\x94 Slow down"},
    {R"({"error":"x","error_code":2})", 400, "x (error_code 2, HTTP 400)"},
    {R"({"error_code":16,"error":"x"})", 403, "x (error_code 16, HTTP 403) \xE2\x80\x94 Account locked"},
    {R"({"error":"","error_code":8})", 503, " (error_code 8, HTTP 503) \xE2\x80\x94 Ressource unreachable"},
    {R"({"error":"bad","error_code":39,"extra":[1]})", 400, "bad (error_code 39, HTTP 400)"},
    {R"({"error":"a","error":"b","error_code":1})", 500, "a (error_code 1, HTTP 500) \xE2\x80\x94 Internal error"},
    {R"({"error":"x","error_code":9,"error_code":"y"})", 404, "x (error_code 9, HTTP 404) \xE2\x80\x94 Resource not found"},
    {R"({"error":"x","error_code":4294967297})", 400, "x (error_code 4294967297, HTTP 400)"},
    {" \t\r\n{\"error\":\"x\",\"error_code\":10}\n", 401, "x (error_code 10, HTTP 401) \xE2\x80\x94 Bad token"},
    {"<html><body>502 Bad Gateway</body></html>", 502, nullptr},
    {"[]", 400, nullptr},
    {R"("error")", 400, nullptr},
    {R"({"error_code":7})", 429, nullptr},
    {R"({"error":"x"})", 429, nullptr},
    {R"({"error":"x","error_code":"7"})", 429, nullptr},
    {R"({"error":"x","error_code":7.0})", 429, nullptr},
    {R"({"error":"x","error_code":7e0})", 429, nullptr},
    {R"({"error":7,"error_code":7})", 429, nullptr},
    {R"({"error":"x","error_code":0})", 400, nullptr},
    {R"({"error":"x","error_code":-3})", 400, nullptr},
    {R"({"error":"x","error_code":18446744073709551615})", 400, nullptr},  // -1 as signed 64-bit
    {R"({"error":"x","error_code":"7","error_code":7})", 429, nullptr},
    {R"({"Error":"x","error_code":7})", 429, nullptr},
    {R"({"error":"x","error_code":7,})", 429, nullptr},  // strict JSON only
};

TEST(ErrorDoc, DecodesOnlyErrorDocuments) {
  for (const ErrCase &c : kErrCases) {
    char out[VORN_MSG_SIZE];
    memset(out, 'Z', sizeof out);
    int got = vorn_parse_error(c.body, strlen(c.body), c.status, out, sizeof out);
    if (c.line) {
      EXPECT_EQ(got, 1) << c.body;
      EXPECT_STREQ(out, c.line) << c.body;
    } else {
      EXPECT_EQ(got, 0) << c.body;
      EXPECT_EQ(out[0], 'Z') << c.body << ": area touched";
      EXPECT_EQ(out[sizeof out - 1], 'Z') << c.body << ": area touched";
    }
  }
}

TEST(ErrorDoc, EmptyBodyAndLengthBound) {
  char out[64] = "keep";
  EXPECT_EQ(vorn_parse_error(nullptr, 10, 500, out, sizeof out), 0);
  EXPECT_EQ(vorn_parse_error("{}", 0, 500, out, sizeof out), 0);
  EXPECT_STREQ(out, "keep");
  // Only len bytes are read: the document ends before the trailing garbage.
  std::string body = R"({"error":"x","error_code":10})" "garbage";
  EXPECT_EQ(vorn_parse_error(body.data(), body.size() - 7, 401, out, sizeof out), 1);
  EXPECT_STREQ(out, "x (error_code 10, HTTP 401) \xE2\x80\x94 Bad token");
}

TEST(ErrorDoc, LongLineIsCutAndStillCounts) {
  std::string body = R"({"error":")" + std::string(100, 'a') + R"(","error_code":7})";
  char out[16];
  EXPECT_EQ(vorn_parse_error(body.data(), body.size(), 429, out, sizeof out), 1);
  EXPECT_EQ(std::string(out), std::string(15, 'a'));
}

TEST(ErrorDoc, MessageTable) {
  const char *const expected[] = {
      nullptr, "Internal error", nullptr, "Missing parameter", "Bad parameter value", "Unknown method",
      "Method not allowed", "Slow down", "Ressource unreachable", "Resource not found", "Bad token",
      "Permission denied", "Two-Factor authentication needed", "Two-Factor authentication pending",
      "Invalid login", "Invalid password", "Account locked", "Account not activated", "Unsupported hoster",
      "Hoster in maintenance", "Hoster limit reached", "Hoster temporarily unavailable",
      "Hoster not available for free users", "Too many active downloads", "IP Address not allowed",
      "Traffic exhausted", "File unavailable", "Service unavailable", "Upload too big", "Upload error",
      "File not allowed", "Torrent too big", "Torrent file invalid", "Action already done",
      "Image resolution error", "Torrent already active", "Too many requests", "Infringing file",
      "Fair Usage Limit", nullptr};
  for (int32_t code = 0; code <= 39; code++) {
    const char *got = vorn_error_message(code);
    if (expected[code]) {
      EXPECT_STREQ(got, expected[code]) << code;
    } else {
      EXPECT_EQ(got, nullptr) << code;
    }
  }
  EXPECT_EQ(vorn_error_message(-1), nullptr);
  EXPECT_EQ(vorn_error_message(INT32_MIN), nullptr);
}

}  // namespace
