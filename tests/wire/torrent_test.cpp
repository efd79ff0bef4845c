// Transfer info decoding: fields, file and link rules, limits, failures.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "vorn_internal.h"

namespace {

// Decodes body; the record is released by the destructor.
struct Decoded {
  vorn_torrent t = {};
  int32_t rc = 0;
  char err[VORN_ERR_SIZE] = "";
  explicit Decoded(const std::string &body) { rc = vorn_parse_torrent(body.data(), body.size(), &t, err, sizeof err); }
  ~Decoded() { vorn_torrent_free(&t); }
};

void expect_zeroed(const vorn_torrent &t) {
  EXPECT_EQ(t.status, nullptr);
  EXPECT_EQ(t.filename, nullptr);
  EXPECT_EQ(t.id, 0);
  EXPECT_EQ(t.files.items, nullptr);
  EXPECT_EQ(t.files.count, 0u);
  EXPECT_EQ(t.files.cap, 0u);
  EXPECT_EQ(t.links, nullptr);
  EXPECT_EQ(t.nlinks, 0u);
  EXPECT_EQ(t.raw, nullptr);
}

std::string files_json(size_t n) {
  std::string s = R"({"files":[)";
  for (size_t i = 0; i < n; i++) s += (i ? "," : "") + std::string(R"({"id":)") + std::to_string(i) + R"(,"path":"/f"})";
  return s + "]}";
}

TEST(Torrent, DecodesFullAnswer) {
  const std::string body = R"({ "id": "ABC123", "filename": "Show.S01", "hash": "ff", "status": "downloaded",
    "files": [ {"id": 1, "path": "/Show.S01E01.mkv", "bytes": 1000, "selected": true},
               {"id": "2", "path": "/Show.S01E02.mkv", "bytes": 2000, "selected": false},
               7 ],
    "links": ["https://l/1", 5, "https://l/2"], "progress": 100.0 })";
  Decoded d(body);
  ASSERT_EQ(d.rc, VORN_OK) << d.err;
  EXPECT_STREQ(d.err, "");
  EXPECT_STREQ(d.t.status, "downloaded");
  EXPECT_STREQ(d.t.filename, "Show.S01");
  EXPECT_EQ(d.t.id, 0);  // "ABC123" has no leading digits
  ASSERT_EQ(d.t.files.count, 2u);
  EXPECT_EQ(d.t.files.cap, 16u);
  EXPECT_EQ(d.t.files.items[0].id, 1);
  EXPECT_STREQ(d.t.files.items[0].path, "/Show.S01E01.mkv");
  EXPECT_EQ(d.t.files.items[0].bytes, 1000);
  EXPECT_EQ(d.t.files.items[0].selected, 1);
  EXPECT_EQ(d.t.files.items[1].id, 2);
  EXPECT_EQ(d.t.files.items[1].bytes, 2000);
  EXPECT_EQ(d.t.files.items[1].selected, 0);
  ASSERT_EQ(d.t.nlinks, 2u);
  EXPECT_STREQ(d.t.links[0], "https://l/1");
  EXPECT_STREQ(d.t.links[1], "https://l/2");
  EXPECT_STREQ(d.t.raw,
               R"({"id":"ABC123","filename":"Show.S01","hash":"ff","status":"downloaded","files":[{"id":1,)"
               R"("path":"/Show.S01E01.mkv","bytes":1000,"selected":true},{"id":"2","path":"/Show.S01E02.mkv",)"
               R"("bytes":2000,"selected":false},7],"links":["https://l/1",5,"https://l/2"],"progress":100.0})");
}

TEST(Torrent, IdForms) {
  struct {
    const char *id_member;
    int64_t id;
  } cases[] = {
      {R"("id":"123abc",)", 123}, {R"("id":"abc",)", 0},     {R"("id":42,)", 42},
      {R"("id":4.5,)", -1},       {"", -1},                   {R"("id":" -7",)", -7},
      {R"("id":true,)", -1},      {R"("id":"99999999999999999999",)", INT64_MAX},
      {R"("id":"-99999999999999999999",)", INT64_MIN},        {R"("id":7,"id":"8",)", 7},
  };
  for (const auto &c : cases) {
    Decoded d(std::string("{") + c.id_member + R"("status":"queued"})");
    ASSERT_EQ(d.rc, VORN_OK) << c.id_member;
    EXPECT_EQ(d.t.id, c.id) << c.id_member;
  }
}

TEST(Torrent, FailuresLeaveRecordZeroed) {
  struct Case {
    std::string body;
    const char *err;
  };
  std::vector<Case> cases = {
      {"", "torrents/info returned an empty body"},
      {"not json", "torrents/info is not a JSON object"},
      {"   ", "torrents/info is not a JSON object"},
      {R"(["status"])", "torrents/info is not a JSON object"},
      {R"({"id":"5"})", "torrents/info carries no recognisable fields"},
      {R"({"id":5,"status":1,"filename":null,"files":{"id":1,"path":"p"},"links":"x"})",
       "torrents/info carries no recognisable fields"},
      {R"({"files":[{"id":-1,"path":"p"},{"path":"p"},{"id":1}],"links":[1,2]})",
       "torrents/info carries no recognisable fields"},
  };
  // 65537 numbers are refused as a whole, after status and filename were taken.
  std::string big = R"({"status":"ok","filename":"f","files":[1)";
  for (int i = 1; i <= 65536; i++) big += ",1";
  cases.push_back({big + "]}", "torrent has more than 65536 files"});
  for (const auto &c : cases) {
    Decoded d(c.body);
    EXPECT_EQ(d.rc, VORN_E_FAILED) << c.body.substr(0, 60);
    EXPECT_STREQ(d.err, c.err) << c.body.substr(0, 60);
    expect_zeroed(d.t);
  }
  vorn_torrent t = {};
  char err[64] = "";
  EXPECT_EQ(vorn_parse_torrent(nullptr, 5, &t, err, sizeof err), VORN_E_FAILED);
  EXPECT_STREQ(err, "torrents/info returned an empty body");
  expect_zeroed(t);
}

TEST(Torrent, FileElementRules) {
  struct {
    const char *elem;
    bool kept;
    int64_t id;
    const char *path;
    int64_t bytes;
    int32_t selected;
  } cases[] = {
      {R"({"id":"3","path":"/a.mkv","bytes":5,"selected":true})", true, 3, "/a.mkv", 5, 1},
      {R"({"id":0,"path":""})", true, 0, "", -1, 0},
      {R"({"id":1,"path":"p","bytes":"5","selected":1})", true, 1, "p", -1, 0},
      {R"({"id":1,"path":"p","bytes":2.0,"selected":"true"})", true, 1, "p", -1, 0},
      {R"({"id":"12x","path":"p","bytes":-4})", true, 12, "p", -4, 0},
      {R"({"path":"p","id":2,"path":3})", true, 2, "p", -1, 0},
      {R"({"id":-1,"path":"p"})", false, 0, nullptr, 0, 0},
      {R"({"id":"-2","path":"p"})", false, 0, nullptr, 0, 0},
      {R"({"id":1})", false, 0, nullptr, 0, 0},
      {R"({"id":1,"path":9})", false, 0, nullptr, 0, 0},
      {R"({"id":1.0,"path":"p"})", false, 0, nullptr, 0, 0},
      {R"({"path":"p"})", false, 0, nullptr, 0, 0},
      {R"({"path":"p","id":3,"path":"q"})", true, 3, "p", -1, 0},
      {R"({"path":1,"id":3,"path":"q"})", false, 0, nullptr, 0, 0},
      {R"("p")", false, 0, nullptr, 0, 0},
  };
  for (const auto &c : cases) {
    Decoded d(std::string(R"({"status":"s","files":[)") + c.elem + "]}");
    ASSERT_EQ(d.rc, VORN_OK) << c.elem;
    ASSERT_EQ(d.t.files.count, c.kept ? 1u : 0u) << c.elem;
    if (!c.kept) continue;
    const vorn_file &f = d.t.files.items[0];
    EXPECT_EQ(f.id, c.id) << c.elem;
    EXPECT_STREQ(f.path, c.path) << c.elem;
    EXPECT_EQ(f.bytes, c.bytes) << c.elem;
    EXPECT_EQ(f.selected, c.selected) << c.elem;
  }
}

TEST(Torrent, FileArrayGrowth) {
  const struct {
    size_t files;
    uint64_t cap;
  } cases[] = {{1, 16}, {16, 16}, {17, 32}, {33, 64}, {65536, 65536}};
  for (const auto &c : cases) {
    Decoded d(files_json(c.files));
    ASSERT_EQ(d.rc, VORN_OK) << c.files << ": " << d.err;
    EXPECT_EQ(d.t.files.count, c.files);
    EXPECT_EQ(d.t.files.cap, c.cap) << c.files;
    EXPECT_EQ(d.t.files.items[c.files - 1].id, static_cast<int64_t>(c.files - 1));
  }
}

TEST(Torrent, LinksKeepTheFirst4096) {
  std::string body = R"({"links":[)";
  for (int i = 0; i < 5000; i++) body += (i ? ",\"l" : "\"l") + std::to_string(i) + "\",0";
  Decoded d(body + "]}");
  ASSERT_EQ(d.rc, VORN_OK) << d.err;
  ASSERT_EQ(d.t.nlinks, 4096u);
  EXPECT_STREQ(d.t.links[0], "l0");
  EXPECT_STREQ(d.t.links[4095], "l4095");
}

TEST(Torrent, MemberRulesAndReuse) {
  const std::string body = R"({"status":"","status":"second","filename":7,"filename":"late",)"
                           R"("files":{"id":1,"path":"p"},"links":["a\u0000b"]})";
  vorn_torrent t = {};
  char err[VORN_ERR_SIZE] = "";
  // The text need not end after the document: only the given length is read.
  std::string padded = body + "trailing";
  ASSERT_EQ(vorn_parse_torrent(padded.data(), body.size(), &t, err, sizeof err), VORN_OK) << err;
  EXPECT_STREQ(t.status, "");  // the first member decides, empty counts
  EXPECT_EQ(t.filename, nullptr);
  EXPECT_EQ(t.files.count, 0u);
  ASSERT_EQ(t.nlinks, 1u);
  EXPECT_STREQ(t.links[0], "a");
  vorn_torrent_free(&t);
  expect_zeroed(t);
  vorn_torrent_free(&t);  // a second release does nothing
  ASSERT_EQ(vorn_parse_torrent(body.data(), body.size(), &t, err, sizeof err), VORN_OK);
  vorn_torrent_free(&t);

  vorn_files files = {};
  vorn_files_free(&files);
  files.items = static_cast<vorn_file *>(malloc(2 * sizeof(vorn_file)));
  files.cap = 2;
  files.count = 1;
  files.items[0] = vorn_file{1, vorn_strdup("x"), 1, 0};
  vorn_files_free(&files);
  EXPECT_EQ(files.items, nullptr);
  EXPECT_EQ(files.count, 0u);
  EXPECT_EQ(files.cap, 0u);
}

}  // namespace
