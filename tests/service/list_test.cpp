// Folder listings through the list slot: the transfers and downloads lists
// with their paging, and the files of one transfer.
#include <string>

#include "service_support.h"

using namespace svc;

namespace {

std::string page_url(const std::string &path, int page) {
  return url(path) + "&limit=5000&page=" + std::to_string(page);
}

// A list answer of n rows whose ids run from first.
std::string rows(int first, int n) {
  std::string s = "[";
  for (int i = 0; i < n; i++) {
    if (i) s += ",";
    int id = first + i;
    s += R"({"id":")" + std::to_string(id) + R"(","filename":"n)" + std::to_string(id) + R"(","bytes":1})";
  }
  return s + "]";
}

TEST_F(ServiceTest, TorrentsListShape) {
  io.on_get(page_url("/torrents", 1), 200,
            R"([{"id":"ABC","filename":"Show \"x\"","bytes":10,"status":"downloaded"},)"
            R"({"id":77,"name":"Other"},{"filename":"no id"},7])");
  Outcome o = list("torrents");
  ASSERT_EQ(o.code, VORN_OK) << o.error;
  EXPECT_EQ(o.dst,
            R"([{"name":"Show \"x\"","path":"tABC","folder":true,"size":10,"id":"tABC","locator":"tABC"},)"
            R"({"name":"Other","path":"t77","folder":true,"size":-1,"id":"t77","locator":"t77"}])");
  EXPECT_EQ(urls(), std::vector<std::string>{"GET " + page_url("/torrents", 1)});
}

// The transfer id goes into "t<id>" escaped like a JSON string's content, so
// an id with quotes, backslashes or control bytes still gives valid JSON.
TEST_F(ServiceTest, TorrentsListEscapesTheTransferId) {
  io.on_get(page_url("/torrents", 1), 200, R"([{"id":"a\"b\\c\u0001d\n","filename":"n"}])");
  Outcome o = list("/torrents");
  ASSERT_EQ(o.code, VORN_OK) << o.error;
  const std::string id = R"(ta\"b\\c\u0001d\n)";
  EXPECT_EQ(o.dst, R"([{"name":"n","path":")" + id + R"(","folder":true,"size":-1,"id":")" + id +
                       R"(","locator":")" + id + R"("}])");
  Json j(o.dst);
  ASSERT_TRUE(yyjson_is_arr(j.root()));
  yyjson_val *entry = yyjson_arr_get(j.root(), 0);
  for (const char *key : {"path", "id", "locator"})
    EXPECT_EQ(std::string(yyjson_get_str(yyjson_obj_get(entry, key))), std::string("ta\"b\\c\x01" "d\n")) << key;
}

TEST_F(ServiceTest, DownloadsListShape) {
  io.on_get(page_url("/downloads", 1), 200,
            R"([{"id":"D1","filename":"a \"b\".mkv","filesize":5,"download":"https://h.example/d/1"},)"
            R"({"id":"D2","filename":"c.mkv"}])");
  Outcome o = list("downloads");
  ASSERT_EQ(o.code, VORN_OK) << o.error;
  EXPECT_EQ(o.dst,
            R"([{"name":"a \"b\".mkv","path":"a \"b\".mkv","folder":false,"size":5,)"
            R"("locator":"https://h.example/d/1","id":"a \"b\".mkv"},)"
            R"({"name":"c.mkv","path":"c.mkv","folder":false,"size":-1,"locator":"","id":"c.mkv"}])");
  EXPECT_EQ(list("/downloads").code, VORN_OK);
  EXPECT_EQ(io.count(), 2u);
}

struct PagingCase {
  const char *folder;
  std::vector<int> page_sizes;  // rows the service returns per page
  size_t requests;
  int entries;
  int nameless_on_last = 0;  // rows without a name added to the last page (dropped by the decoder)
};

TEST_F(ServiceTest, ListsPageWhileEveryPageCameBackFull) {
  const PagingCase cases[] = {
      {"torrents", {4999}, 1, 4999},
      {"torrents", {5000, 0}, 2, 5000},
      {"downloads", {5000, 3}, 2, 5003},
      {"torrents", {5000, 5000, 5000, 5000, 5000, 5000, 5000, 5000, 5000}, 8, 20000},
      // Only usable rows count towards a full page, also past the listed 20000.
      {"torrents", {5000, 5000, 5000, 5000, 4999, 5000}, 5, 20000, 1},
  };
  for (const PagingCase &c : cases) {
    SCOPED_TRACE(std::string(c.folder) + " pages " + std::to_string(c.page_sizes.size()));
    vorn_test::TestIo fresh;
    const std::string path = std::string("/") + c.folder;
    int first = 0;
    for (size_t p = 0; p < c.page_sizes.size(); p++) {
      std::string page = rows(first, c.page_sizes[p]);
      if (c.nameless_on_last && p + 1 == c.requests)
        for (int i = 0; i < c.nameless_on_last; i++) page.insert(page.size() - 1, R"(,{"id":"x"})");
      fresh.on_get(page_url(path, (int)p + 1), 200, page);
      first += c.page_sizes[p];
    }
    Outcome o = list(c.folder, &fresh);
    ASSERT_EQ(o.code, VORN_OK) << o.error;
    auto reqs = fresh.requests();
    ASSERT_EQ(reqs.size(), c.requests);
    for (size_t p = 0; p < reqs.size(); p++) EXPECT_EQ(reqs[p].url, page_url(path, (int)p + 1));
    Json j(area.data());
    ASSERT_TRUE(yyjson_is_arr(j.root()));
    EXPECT_EQ((int)yyjson_arr_size(j.root()), c.entries);
    yyjson_val *last = yyjson_arr_get(j.root(), yyjson_arr_size(j.root()) - 1);
    EXPECT_EQ(std::string(yyjson_get_str(yyjson_obj_get(last, "name"))), "n" + std::to_string(c.entries - 1));
    EXPECT_EQ(fresh.outstanding(), 0u);
  }
}

TEST_F(ServiceTest, ListFailuresReleaseTheGatheredRows) {
  io.on_get(page_url("/torrents", 1), 200, rows(0, 5000));
  io.on_get(page_url("/torrents", 2), 503, "<html>");
  Outcome o = list("torrents");
  EXPECT_EQ(o.code, VORN_E_TRANSPORT);
  EXPECT_EQ(o.error, "torrents answered HTTP 503");
  EXPECT_EQ(o.dst, envelope("torrents answered HTTP 503"));

  io.on_get(page_url("/downloads", 1), 200, R"({"error":"x","error_code":0})");
  o = list("downloads");
  EXPECT_EQ(o.code, VORN_E_FAILED);
  EXPECT_EQ(o.error, "the list is not a JSON array");

  vorn_test::TestIo refusing;
  refusing.on_get(page_url("/downloads", 1), 401, R"({"error":"bad_token","error_code":8})");
  o = list("downloads", &refusing);
  EXPECT_EQ(o.code, VORN_E_AUTH);
  EXPECT_EQ(o.error, "downloads: bad_token (error_code 8, HTTP 401) — Ressource unreachable");
}

TEST_F(ServiceTest, TransferFolderListsEveryFile) {
  io.on_get(info_url("42"), 200,
            R"({"id":"42","status":"downloaded","files":[{"id":1,"path":"/S01/a \"1\".mkv","bytes":100,"selected":1},)"
            R"({"id":2,"path":"/b.nfo","selected":0},{"id":-1,"path":"/bad"}]})");
  for (const char *folder : {"t42", "T42"}) {
    Outcome o = list(folder);
    ASSERT_EQ(o.code, VORN_OK) << o.error;
    EXPECT_EQ(o.dst,
              R"([{"name":"/S01/a \"1\".mkv","path":"/S01/a \"1\".mkv","folder":false,"size":100,"fileid":1,)"
              R"("id":"/S01/a \"1\".mkv"},)"
              R"({"name":"/b.nfo","path":"/b.nfo","folder":false,"size":-1,"fileid":2,"id":"/b.nfo"}])");
  }
  EXPECT_EQ(urls(), (std::vector<std::string>{"GET " + info_url("42"), "GET " + info_url("42")}));

  io.on_get(info_url("7"), 200, R"({"status":"magnet_error","files":[]})");
  EXPECT_EQ(list("t7").dst, "[]");
}

TEST_F(ServiceTest, TransferFolderFailures) {
  Outcome o = list("t");
  EXPECT_EQ(o.code, VORN_E_NOT_FOUND);
  EXPECT_EQ(o.error, "no such folder");
  EXPECT_EQ(io.count(), 0u);

  o = list("t9");  // unscripted: 404 without a document
  EXPECT_EQ(o.code, VORN_E_NOT_FOUND);
  EXPECT_EQ(o.error, "torrents/info answered HTTP 404");

  io.on_get(info_url("8"), 200, "[1]");
  o = list("t8");
  EXPECT_EQ(o.code, VORN_E_FAILED);
  EXPECT_EQ(o.error, "torrents/info is not a JSON object");
}

}  // namespace
