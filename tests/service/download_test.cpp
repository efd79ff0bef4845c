// The download operation through the download slot: the writes gate, the
// configuration, transfer creation (magnet add, probe, torrent upload, the add
// answer) and the resolution of the new transfer, with the exact sequence of
// requests on every path.
#include <string>
#include <vector>

#include "service_support.h"

using namespace svc;
using vorn_test::ok;
using vorn_test::Reply;

namespace {

const std::string kMagnet = "magnet:?xt=urn:btih:0123456789abcdef0123456789ABCDEF01234567&dn=Show Pack";
const std::string kPayload = R"({"id":"T1","uri":"x"})";
const std::string kTorrent = "d8:announce20:http://t.example/ann4:infod6:lengthi5e4:name1:aee";

std::string unpct(const std::string &s) {
  std::string r;
  for (size_t i = 0; i < s.size(); i++) {
    if (s[i] == '%' && i + 2 < s.size()) {
      r += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      r += s[i];
    }
  }
  return r;
}

bool strip(const std::string &s, const std::string &prefix, const std::string &suffix, std::string *mid) {
  if (s.size() < prefix.size() + suffix.size() || s.compare(0, prefix.size(), prefix) != 0 ||
      s.compare(s.size() - suffix.size(), suffix.size(), suffix) != 0)
    return false;
  *mid = s.substr(prefix.size(), s.size() - prefix.size() - suffix.size());
  return true;
}

// A short name for each request, checking the parts that the name leaves out
// (method, token form, content type, empty bodies).
std::string describe(const vorn_test::Request &q) {
  const std::string form = "application/x-www-form-urlencoded";
  const std::string raw_tail = "?auth_token=" + kToken;
  std::string mid;
  if (q.method == "POST" && strip(q.url, url("/torrents/addMagnet") + "&magnet=", "", &mid)) {
    EXPECT_EQ(q.content_type, form);
    EXPECT_EQ(q.body, "");
    return "magnet " + unpct(mid);
  }
  if (q.method == "POST" && q.url == url("/torrents/addTorrent")) {
    EXPECT_EQ(q.content_type, "application/x-bittorrent");
    return "torrent " + q.body;
  }
  if (q.method == "POST" && strip(q.url, url("/unrestrict/link") + "&link=", "", &mid)) {
    EXPECT_EQ(q.content_type, form);
    EXPECT_EQ(q.body, "");
    return "unr " + unpct(mid);
  }
  if (q.method == "POST" && strip(q.url, kBase + "/torrents/selectFiles/", raw_tail, &mid)) {
    EXPECT_EQ(q.content_type, form);
    return "sel " + mid + " " + q.body;
  }
  if (q.method == "GET" && strip(q.url, kBase + "/torrents/info/", raw_tail, &mid)) return "info " + mid;
  if (q.method == "GET" && strip(q.url, kBase + "/torrents/delete/", raw_tail, &mid)) return "del " + mid;
  if (q.method == "GET") return "probe " + q.url;
  return q.method + " " + q.url;
}

std::string config(const std::string &link, const std::string &extra = "") {
  return R"({"Link":")" + link + "\"" + (extra.empty() ? "" : "," + extra) + "}";
}

class DownloadTest : public ServiceTest {
 protected:
  void SetUp() override { vorn_allow_writes(1); }

  std::vector<std::string> described() const {
    std::vector<std::string> r;
    for (const auto &q : io.requests()) r.push_back(describe(q));
    return r;
  }
  void answer_add(const Reply &r) { io.on("POST", url("/torrents/addMagnet") + "&magnet=" + pct(kMagnet), r); }
};

TEST_F(DownloadTest, WritesOffSendsNothing) {
  vorn_allow_writes(0);
  const std::string magnet = config(kMagnet);
  for (const char *cfg : {magnet.c_str(), "not json", "{}", static_cast<const char *>(nullptr)}) {
    Outcome o = download(cfg);
    EXPECT_EQ(o.code, VORN_E_WRITES_DISABLED);
    EXPECT_EQ(o.error, "download() adds transfers to the account; call vorn_allow_writes(1) first");
    EXPECT_EQ(o.dst, envelope(o.error));
  }
  EXPECT_EQ(io.count(), 0u);
  vorn_allow_writes(1);
}

TEST_F(DownloadTest, ConfigurationErrors) {
  const std::string long_link = "https://x.example/" + std::string(3073 - 18, 'a');
  const struct {
    std::string config;
    const char *error;
  } cases[] = {
      {"", "config is not a JSON object"},
      {"[]", "config is not a JSON object"},
      {"null", "config is not a JSON object"},
      {"{} x", "config is not a JSON object"},
      {"{}", "config has no Link"},
      {R"({"Link":""})", "config has no Link"},
      {R"({"link":"magnet:?x"})", "config has no Link"},
      {R"({"Link":5,"Link":"https://x.example/a"})", "config has no Link"},
      {R"({"Link":"\u0000abc"})", "config has no Link"},
      {config(long_link), "Link longer than 3 KiB"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.config.substr(0, 40));
    Outcome o = download(c.config);
    EXPECT_EQ(o.code, VORN_E_INVALID);
    EXPECT_EQ(o.error, c.error);
  }
  Outcome o = download(static_cast<const char *>(nullptr));
  EXPECT_EQ(o.code, VORN_E_INVALID);
  EXPECT_EQ(o.error, "config is NULL");
  EXPECT_EQ(io.count(), 0u);

  // 3072 bytes is still a link: it is probed.
  const std::string at_limit = long_link.substr(0, 3072);
  o = download(config(at_limit));
  EXPECT_EQ(o.error, "Link is not a magnet, a redirect-to-magnet or a torrent file");
  EXPECT_EQ(described(), std::vector<std::string>{"probe " + at_limit});
}

TEST_F(DownloadTest, ProbeOutcomes) {
  const std::string link = "https://files.example/get?id=1";
  const std::string good = "magnet:?xt=urn:btih:ABCDEFGHIJKLMNOPQRSTUVWXYZ234567";
  const std::string not_it = "Link is not a magnet, a redirect-to-magnet or a torrent file";
  const struct {
    const char *name;
    std::string link;
    Reply probe;
    std::vector<std::string> requests;  // the probe, then what it led to
    int32_t code;
    std::string error;
  } cases[] = {
      {"redirect to magnet", link, ok(302, good + "\r\nLocation: elsewhere"), {"probe " + link, "magnet " + good},
       VORN_E_NOT_FOUND, "add torrent answered HTTP 404"},
      {"redirect with LF only", link, ok(200, good + "\nmore"), {"probe " + link, "magnet " + good},
       VORN_E_NOT_FOUND, "add torrent answered HTTP 404"},
      {"invalid magnet first line", link, ok(200, "magnet:?xt=urn:btih:zz\r\n" + good), {"probe " + link},
       VORN_E_FAILED, not_it},
      {"torrent even with 404", link, ok(404, kTorrent), {"probe " + link, "torrent " + kTorrent},
       VORN_E_NOT_FOUND, "add torrent answered HTTP 404"},
      {"leading blank", link, ok(200, " " + good), {"probe " + link}, VORN_E_FAILED, not_it},
      {"html page", link, ok(200, "<html>hello</html>"), {"probe " + link}, VORN_E_FAILED, not_it},
      {"empty body", link, ok(200, ""), {"probe " + link}, VORN_E_FAILED, not_it},
      {"magnet without a hash is probed", "magnet:?xt=urn:btih:123", vorn_test::fail("no route\nx"),
       {"probe magnet:?xt=urn:btih:123"}, VORN_E_TRANSPORT, "GET magnet:?xt=urn:btih:123: no route"},
      {"probe transport failure", link, vorn_test::fail("refused"), {"probe " + link}, VORN_E_TRANSPORT,
       "GET " + link + ": refused"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    vorn_test::TestIo fresh;
    fresh.on("GET", c.link, c.probe);
    Outcome o = download(config(c.link), &fresh);
    EXPECT_EQ(o.code, c.code);
    EXPECT_EQ(o.error, c.error);
    std::vector<std::string> got;
    for (const auto &q : fresh.requests()) got.push_back(describe(q));
    EXPECT_EQ(got, c.requests);
    EXPECT_EQ(fresh.outstanding(), 0u);
  }
}

TEST_F(DownloadTest, AddAnswers) {
  const struct {
    const char *name;
    Reply add;
    int32_t code;
    std::string error;
    std::string next;  // the request after the add, if any
  } cases[] = {
      {"integer id", ok(201, R"({"id":42})"), VORN_E_NOT_FOUND, "torrents/info answered HTTP 404", "info 42"},
      {"empty string id", ok(201, R"({"id":""})"), VORN_E_NOT_FOUND, "torrents/info answered HTTP 404", "info "},
      {"real id", ok(201, R"({"id":4.5})"), VORN_E_FAILED, "add torrent returned no id", ""},
      {"null id", ok(201, R"({"id":null,"id":"T"})"), VORN_E_FAILED, "add torrent returned no id", ""},
      {"array answer", ok(201, R"([{"id":"T"}])"), VORN_E_FAILED, "add torrent returned no id", ""},
      {"array id", ok(201, R"({"id":["T"]})"), VORN_E_FAILED, "add torrent returned no id", ""},
      {"no JSON", ok(201, "created"), VORN_E_FAILED, "add torrent returned no id", ""},
      {"error document", ok(400, R"({"error":"bad","error_code":4})"), VORN_E_FAILED,
       "add torrent: bad (error_code 4, HTTP 400) — Bad parameter value", ""},
      {"503 page", ok(503, "<html>"), VORN_E_TRANSPORT, "add torrent answered HTTP 503", ""},
      {"401", ok(401, R"({"error":"bad_token","error_code":8})"), VORN_E_AUTH,
       "add torrent: bad_token (error_code 8, HTTP 401) — Ressource unreachable", ""},
      {"429", ok(429, ""), VORN_E_RATE_LIMITED, "add torrent answered HTTP 429", ""},
      {"transport failure", vorn_test::fail("down"), VORN_E_TRANSPORT,
       "POST " + url("/torrents/addMagnet").substr(0, url("/torrents/addMagnet").size() - kTokenEnc.size()) +
           "***&magnet=" + pct(kMagnet) + ": down",
       ""},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    vorn_test::TestIo fresh;
    fresh.on("POST", url("/torrents/addMagnet") + "&magnet=" + pct(kMagnet), c.add);
    Outcome o = download(config(kMagnet), &fresh);
    EXPECT_EQ(o.code, c.code);
    EXPECT_EQ(o.error, c.error);
    std::vector<std::string> want{"magnet " + kMagnet};
    if (!c.next.empty()) want.push_back(c.next);
    std::vector<std::string> got;
    for (const auto &q : fresh.requests()) got.push_back(describe(q));
    EXPECT_EQ(got, want);
    EXPECT_EQ(fresh.outstanding(), 0u);
  }
}

TEST_F(DownloadTest, PayloadIsTheWholeAddAnswerMinified) {
  answer_add(ok(201, "{ \"id\" : \"T1\",\n \"uri\" : \"https://x/T1\", \"n\": [1, 2] }"));
  io.on_get(info_url("T1"), 200, R"({"status":"magnet_conversion"})");
  Outcome o = download(config(kMagnet));
  ASSERT_EQ(o.code, VORN_OK) << o.error;
  EXPECT_EQ(o.dst, R"({"id":"T1","uri":"https://x/T1","n":[1,2]})");
}

TEST_F(DownloadTest, TorrentUploadStopsAtTheFirstNul) {
  const std::string link = "https://files.example/t.torrent";
  io.on_get(link, 200, kTorrent + std::string(1, '\0') + "tail");
  io.on_post(url("/torrents/addTorrent"), 201, R"({"id":"T1"})");
  io.on_get(info_url("T1"), 200, R"({"status":"magnet_error"})");
  Outcome o = download(config(link));
  EXPECT_EQ(o.code, VORN_OK) << o.error;
  EXPECT_EQ(described(), (std::vector<std::string>{"probe " + link, "torrent " + kTorrent, "info T1"}));
}

// --- Resolution -------------------------------------------------------------

const char *kD1 =
    R"({"status":"waiting_files_selection","files":[{"id":1,"path":"/a.mkv","bytes":700},)"
    R"({"id":2,"path":"/b.mkv","bytes":700},{"id":3,"path":"/c.nfo","bytes":5}]})";
const char *kReady = R"({"status":"downloaded","files":[{"id":1,"path":"/a.mkv","bytes":700}],"links":["https://h/a"]})";
const char *kBusy = R"({"status":"downloading","files":[{"id":1,"path":"/a.mkv","bytes":700}],"links":[]})";
const char *kD3 = R"({"status":"downloading","files":[{"id":1,"path":"/small.mkv","bytes":10},)"
                  R"({"id":9,"path":"/big \"cut\".mkv","bytes":900}]})";
const char *kNoFiles = R"({"status":"magnet_conversion"})";
const char *kArchive = R"({"status":"x","files":[{"id":1,"path":"/ep.mkv","bytes":10},{"id":5,"path":"/all.rar","bytes":99}]})";

const char *kPackD1 =
    R"({"status":"waiting_files_selection","files":[{"id":1,"path":"/S1/Show.S01E01.mkv","bytes":100},)"
    R"({"id":2,"path":"/S1/Show.S01E02.mkv","bytes":200},{"id":3,"path":"/S1/Show.S01E03.mkv","bytes":300},)"
    R"({"id":4,"path":"/S1/readme.txt","bytes":5000}]})";
const char *kPackReady =
    R"({"status":"downloaded","files":[{"id":1,"path":"/S1/Show.S01E01.mkv","bytes":100}],)"
    R"("links":["https://h/1","https://h/2","https://h/3"]})";
const char *kPackNoVideo = R"({"status":"waiting_files_selection","files":[{"id":4,"path":"/readme.txt","bytes":5}]})";

const std::string kFallbackMsg = "the transfer never became ready; the legacy returned the largest file's path";
const std::string kNoFilesMsg = "the transfer never became ready and holds no files";
const std::string kSeason12 = R"("FullSeason":true,"Season":1,"Episode":2)";

Reply unr(const std::string &url, const std::string &name, int size) {
  return ok(200, R"({"download":")" + url + R"(","filename":")" + name + R"(","filesize":)" + std::to_string(size) +
                     "}");
}
const std::vector<std::pair<std::string, Reply>> kPackLinks = {
    {"https://h/1", unr("https://dl/1", "Show.S01E01.mkv", 100)},
    {"https://h/2", unr("https://dl/2", "Show.S01E02.mkv", 200)},
    {"https://h/3", unr("https://dl/3", "Show.S01E03.mkv", 300)},
};

std::string instant(const std::string &url, const std::string &name_json, int size) {
  return R"({"InstantURL":")" + url + R"(","InstantName":)" + name_json + R"(,"InstantSize":)" +
         std::to_string(size) + R"(,"Payload":)" + kPayload + "}";
}
const std::string kFallback = R"({"FallbackPath":"/big \"cut\".mkv","Payload":)" + kPayload + "}";

struct Flow {
  const char *name;
  std::string extra;                                     // configuration members besides Link
  std::vector<Reply> infos;                              // successive answers of the info request
  std::vector<std::pair<std::string, Reply>> unrestricts;  // hoster link -> answer
  std::vector<std::string> after_add;                    // the requests after the add, in order
  int32_t code;
  std::string result;  // the published result
  std::string error;
  Reply select = ok(204, "");
  Reply remove = ok(204, "");
};

const std::string M = "magnet " + kMagnet;
const std::string kSel1 = "sel T1 files=1";

std::vector<Flow> flows() {
  const std::string keep = R"("KeepInstantOnly":true)";
  std::vector<Flow> f = {
      {"single instant", "", {ok(200, kD1), ok(200, kReady)}, {{"https://h/a", unr("https://dl/a", "a.mkv", 700)}},
       {"info T1", kSel1, "info T1", "unr https://h/a"}, VORN_OK, instant("https://dl/a", R"("a.mkv")", 700), ""},
      {"single instant keeps the transfer", keep, {ok(200, kD1), ok(200, kReady)},
       {{"https://h/a", ok(200, R"({"download":"https://dl/a"})")}},
       {"info T1", kSel1, "info T1", "unr https://h/a"}, VORN_OK, instant("https://dl/a", "null", -1), ""},
      {"single not instant falls back", "", {ok(200, kD1), ok(200, kBusy), ok(200, kD3)}, {},
       {"info T1", kSel1, "info T1", "info T1"}, VORN_E_NOT_FOUND, kFallback, kFallbackMsg},
      {"single not instant, removed, gone", keep, {ok(200, kD1), ok(200, kBusy), ok(404, "")}, {},
       {"info T1", kSel1, "info T1", "del T1", "info T1"}, VORN_E_NOT_FOUND, "", kNoFilesMsg},
      {"single not instant, removed, still listed", keep, {ok(200, kD1), ok(200, kBusy), ok(200, kD3)}, {},
       {"info T1", kSel1, "info T1", "del T1", "info T1"}, VORN_E_NOT_FOUND, kFallback, kFallbackMsg},
      {"single status case matters", "",
       {ok(200, kD1), ok(200, R"({"status":"Downloaded","links":["https://h/a"]})"), ok(200, kNoFiles)}, {},
       {"info T1", kSel1, "info T1", "info T1"}, VORN_E_NOT_FOUND, "", kNoFilesMsg},
      {"single downloaded without links", "",
       {ok(200, kD1), ok(200, R"({"status":"downloaded","files":[{"id":1,"path":"/a","bytes":1}]})"), ok(200, kD3)},
       {}, {"info T1", kSel1, "info T1", "info T1"}, VORN_E_NOT_FOUND, kFallback, kFallbackMsg},
      {"single ready without files is instant", "",
       {ok(200, kD1), ok(200, R"({"status":"downloaded","links":["https://h/a"]})")},
       {{"https://h/a", unr("https://dl/a", "a.mkv", 700)}}, {"info T1", kSel1, "info T1", "unr https://h/a"}, VORN_OK,
       instant("https://dl/a", R"("a.mkv")", 700), ""},
      {"single without files", "", {ok(200, kNoFiles)}, {}, {"info T1"}, VORN_OK, kPayload, ""},
      {"single without files, removed", keep, {ok(200, kNoFiles)}, {}, {"info T1", "del T1"}, VORN_OK, kPayload, ""},
      {"single selects the largest file, video or not", "", {ok(200, kArchive), ok(200, kBusy), ok(404, "")}, {},
       {"info T1", "sel T1 files=5", "info T1", "info T1"}, VORN_E_NOT_FOUND, "", kNoFilesMsg},
      {"full season without episode is a single file", R"("FullSeason":true,"Season":1,"Episode":0)",
       {ok(200, kPackD1), ok(200, kBusy), ok(404, "")}, {},
       {"info T1", "sel T1 files=4", "info T1", "info T1"}, VORN_E_NOT_FOUND, "", kNoFilesMsg},
      {"failed first info", keep, {ok(503, "<html>")}, {}, {"info T1"}, VORN_E_TRANSPORT, "",
       "torrents/info answered HTTP 503"},
      {"failed unrestrict keeps the transfer", keep, {ok(200, kD1), ok(200, kReady)},
       {{"https://h/a", ok(503, R"({"error":"hoster_unavailable","error_code":19})")}},
       {"info T1", kSel1, "info T1", "unr https://h/a"}, VORN_E_TRANSPORT, "",
       "unrestrict/link: hoster_unavailable (error_code 19, HTTP 503) — Hoster in maintenance"},
      {"failed removal ends the download", keep, {ok(200, kD1), ok(200, kBusy), ok(200, kD3)}, {},
       {"info T1", kSel1, "info T1", "del T1"}, VORN_E_NOT_FOUND, "", "torrents/delete answered HTTP 404",
       ok(204, ""), ok(404, "<html>")},
      {"season pack matches the second link", kSeason12 + "," + keep, {ok(200, kPackD1), ok(200, kPackReady)},
       kPackLinks, {"info T1", "sel T1 files=1,2,3", "info T1", "unr https://h/1", "unr https://h/2"}, VORN_OK,
       instant("https://dl/2", R"("Show.S01E02.mkv")", 200), ""},
      {"season 0 never matches", R"("FullSeason":true,"Season":0,"Episode":2)",
       {ok(200, kPackD1), ok(200, kPackReady), ok(200, kD3)}, kPackLinks,
       {"info T1", "sel T1 files=1,2,3", "info T1", "unr https://h/1", "unr https://h/2", "unr https://h/3",
        "info T1"},
       VORN_E_NOT_FOUND, kFallback, kFallbackMsg},
      {"season pack without a match, removed", R"("FullSeason":true,"Season":3,"Episode":2,)" + keep,
       {ok(200, kPackD1), ok(200, kPackReady), ok(404, "")}, kPackLinks,
       {"info T1", "sel T1 files=1,2,3", "info T1", "unr https://h/1", "unr https://h/2", "unr https://h/3",
        "del T1", "info T1"},
       VORN_OK, kPayload, ""},
      {"season pack matches on the link's last component", kSeason12,
       {ok(200, kPackD1),
        ok(200, R"({"status":"downloaded","files":[{"id":1,"path":"/x","bytes":1}],)"
                R"("links":["https://h/S01E02/Show.S01E01.mkv","https://h/x/Show.S01E02.mkv"]})")},
       {{"https://h/S01E02/Show.S01E01.mkv", ok(200, R"({"download":"https://dl/1"})")},
        {"https://h/x/Show.S01E02.mkv", ok(200, R"({"download":"https://dl/2","filesize":5})")}},
       {"info T1", "sel T1 files=1,2,3", "info T1", "unr https://h/S01E02/Show.S01E01.mkv",
        "unr https://h/x/Show.S01E02.mkv"},
       VORN_OK, instant("https://dl/2", "null", 5), ""},
      {"season pack matches on the name's last component", R"("FullSeason":true,"Season":2,"Episode":5)",
       {ok(200, kPackD1), ok(200, R"({"status":"downloaded","files":[{"id":1,"path":"/x"}],"links":["https://h/1"]})")},
       {{"https://h/1", unr("https://dl/1", "Show.S01E02/Show.S02E05.mkv", 9)}},
       {"info T1", "sel T1 files=1,2,3", "info T1", "unr https://h/1"}, VORN_OK,
       instant("https://dl/1", R"("Show.S01E02/Show.S02E05.mkv")", 9), ""},
      {"season pack without video files sends no selection", kSeason12,
       {ok(200, kPackNoVideo), ok(200, kBusy), ok(200, kD3)}, {}, {"info T1", "info T1", "info T1"},
       VORN_E_NOT_FOUND, kFallback, kFallbackMsg},
      {"season pack downloaded without files is not ready", kSeason12,
       {ok(200, kPackD1), ok(200, R"({"status":"downloaded","links":["https://h/1","https://h/2"]})"), ok(200, kD3)},
       kPackLinks, {"info T1", "sel T1 files=1,2,3", "info T1", "info T1"}, VORN_E_NOT_FOUND, kFallback,
       kFallbackMsg},
      {"season pack not ready", kSeason12, {ok(200, kPackD1), ok(200, kBusy), ok(200, kNoFiles)}, {},
       {"info T1", "sel T1 files=1,2,3", "info T1", "info T1"}, VORN_OK, kPayload, ""},
      {"season pack unrestrict failure mid-walk keeps the transfer", kSeason12 + "," + keep,
       {ok(200, kPackD1), ok(200, kPackReady)},
       {{"https://h/1", kPackLinks[0].second}, {"https://h/2", ok(503, "<html>")}},
       {"info T1", "sel T1 files=1,2,3", "info T1", "unr https://h/1", "unr https://h/2"}, VORN_E_TRANSPORT, "",
       "unrestrict/link answered HTTP 503"},
      {"failed selection keeps the transfer", kSeason12 + "," + keep, {ok(200, kPackD1)}, {},
       {"info T1", "sel T1 files=1,2,3"}, VORN_E_FAILED, "",
       "selectFiles: bad (error_code 4, HTTP 400) — Bad parameter value", ok(400, R"({"error":"bad","error_code":4})")},
  };
  return f;
}

TEST_F(DownloadTest, ResolutionPaths) {
  for (const Flow &f : flows()) {
    SCOPED_TRACE(f.name);
    vorn_test::TestIo fresh;
    fresh.on("POST", url("/torrents/addMagnet") + "&magnet=" + pct(kMagnet), ok(201, kPayload));
    for (const Reply &r : f.infos) fresh.on("GET", info_url("T1"), r);
    for (const auto &u : f.unrestricts) fresh.on("POST", unrestrict_url(u.first), u.second);
    fresh.on("POST", url_id("/torrents/selectFiles/", "T1"), f.select);
    fresh.on("GET", url_id("/torrents/delete/", "T1"), f.remove);
    Outcome o = download(config(kMagnet, f.extra), &fresh);
    EXPECT_EQ(o.code, f.code);
    EXPECT_EQ(o.result, f.result);
    EXPECT_EQ(o.error, f.error);
    EXPECT_EQ(o.dst, f.code == VORN_OK ? f.result : envelope(f.error));
    std::vector<std::string> want{M};
    want.insert(want.end(), f.after_add.begin(), f.after_add.end());
    std::vector<std::string> got;
    for (const auto &q : fresh.requests()) got.push_back(describe(q));
    EXPECT_EQ(got, want);
    EXPECT_EQ(fresh.outstanding(), 0u);
    EXPECT_EQ(fresh.bad_frees(), 0);
  }
}

}  // namespace
