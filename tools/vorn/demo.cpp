// demo.cpp - the scripted account and the tour over it.
//
// The account lives in the plug-in's own scripted transport (vorn_fake_set
// with vorn_use_fake), so the tour needs no key and no network, and the
// "add" step changes nothing real.
#include "demo.h"

#include <yyjson.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "host.h"

namespace vorn_cli {

namespace {

const char kKey[] = "demo-key";
const char kBase[] = "https://api.real-debrid.com/rest/1.0";
const char kSettings[] = "{\"APIKey\":\"demo-key\",\"ID\":\"demo-account\",\"CustomName\":\"Demo account\"}";
const char kPack[] =
    "magnet:?xt=urn:btih:3b245504cf5f11bbdbe1201cea6a6bf45aee1bc0&dn=Demo.Show.S01.1080p";

std::string url(const std::string &path) { return std::string(kBase) + path + "?auth_token=" + kKey; }
std::string list_url(const std::string &path) { return url(path) + "&limit=5000&page=1"; }
std::string unrestrict_url(const std::string &link) { return url("/unrestrict/link") + "&link=" + percent_encode(link); }

struct Route {
  const char *method;
  std::string url;
  int32_t status;
  const char *body;
};

const Route *routes(size_t &count) {
  static const Route k_routes[] = {
      {"GET", url("/user"), 200,
       R"({"id":4242,"username":"demo","email":"demo@example.invalid","points":120,"locale":"en",)"
       R"("type":"premium","premium":30,"expiration":"2026-12-31T00:00:00.000Z"})"},
      {"GET", list_url("/torrents"), 200,
       R"([{"id":"DEMO1","filename":"Big.Buck.Bunny.2008.1080p","bytes":928670754,"status":"downloaded",)"
       R"("progress":100},{"id":"DEMO2","filename":"Sintel.2010.720p","bytes":652360810,"status":"downloaded",)"
       R"("progress":100}])"},
      {"GET", list_url("/downloads"), 200,
       R"([{"id":"DL1","filename":"Big.Buck.Bunny.2008.1080p.mkv","filesize":928670754,)"
       R"("link":"https://hoster.example/f/bbb","download":"https://download.example/d/DL1/Big.Buck.Bunny.2008.1080p.mkv"},)"
       R"({"id":"DL2","filename":"Sintel.2010.720p.mkv","filesize":652360810,)"
       R"("link":"https://hoster.example/f/sintel","download":"https://download.example/d/DL2/Sintel.2010.720p.mkv"}])"},
      {"GET", url("/torrents/info/DEMO1"), 200,
       R"({"id":"DEMO1","filename":"Big.Buck.Bunny.2008.1080p","status":"downloaded","files":[)"
       R"({"id":1,"path":"/Big.Buck.Bunny.2008.1080p.mkv","bytes":928670754,"selected":1},)"
       R"({"id":2,"path":"/Big.Buck.Bunny.nfo","bytes":2048,"selected":0}],"links":["https://hoster.example/f/bbb"]})"},
      {"POST", unrestrict_url("https://download.example/d/DL1/Big.Buck.Bunny.2008.1080p.mkv"), 200,
       R"({"id":"U1","filename":"Big.Buck.Bunny.2008.1080p.mkv","filesize":928670754,)"
       R"("download":"https://stream.example/DL1/Big.Buck.Bunny.2008.1080p.mkv","streamable":1})"},
      {"POST", url("/torrents/addMagnet") + "&magnet=" + percent_encode(kPack), 201,
       R"({"id":"DEMO3","uri":"https://api.real-debrid.com/rest/1.0/torrents/info/DEMO3"})"},
      // The pack is already held by the service, so it is ready as soon as its files are chosen.
      {"GET", url("/torrents/info/DEMO3"), 200,
       R"({"id":"DEMO3","filename":"Demo.Show.S01.1080p","status":"downloaded","files":[)"
       R"({"id":1,"path":"/Demo.Show.S01E01.1080p.mkv","bytes":1503238553,"selected":1},)"
       R"({"id":2,"path":"/Demo.Show.S01E02.1080p.mkv","bytes":1449551462,"selected":1},)"
       R"({"id":3,"path":"/Demo.Show.S01E03.1080p.mkv","bytes":1610612736,"selected":1},)"
       R"({"id":4,"path":"/Readme.txt","bytes":512,"selected":0}],)"
       R"("links":["https://hoster.example/f/show-e01","https://hoster.example/f/show-e02","https://hoster.example/f/show-e03"]})"},
      {"POST", url("/torrents/selectFiles/DEMO3"), 204, ""},
      {"POST", unrestrict_url("https://hoster.example/f/show-e01"), 200,
       R"({"id":"U2","filename":"Demo.Show.S01E01.1080p.mkv","filesize":1503238553,)"
       R"("download":"https://stream.example/DEMO3/Demo.Show.S01E01.1080p.mkv","streamable":1})"},
      {"POST", unrestrict_url("https://hoster.example/f/show-e02"), 200,
       R"({"id":"U3","filename":"Demo.Show.S01E02.1080p.mkv","filesize":1449551462,)"
       R"("download":"https://stream.example/DEMO3/Demo.Show.S01E02.1080p.mkv","streamable":1})"},
  };
  count = sizeof k_routes / sizeof k_routes[0];
  return k_routes;
}

// The first entry of a listing, written back as compact JSON; empty when there is none.
std::string first_entry(const std::string &listing) {
  std::unique_ptr<yyjson_doc, void (*)(yyjson_doc *)> doc(yyjson_read(listing.data(), listing.size(), 0),
                                                          yyjson_doc_free);
  yyjson_val *first = doc ? yyjson_arr_get_first(yyjson_doc_get_root(doc.get())) : nullptr;
  if (!yyjson_is_obj(first)) return std::string();
  size_t len = 0;
  char *text = yyjson_val_write(first, 0, &len);
  if (!text) return std::string();
  std::string out(text, len);
  std::free(text);
  return out;
}

class Tour {
 public:
  Tour(const Plugin &p, bool json, bool verbose) : p_(p), json_(json), verbose_(verbose) {}

  // Explains the step in one line, runs it and prints its answer; false when it failed.
  bool step(const char *what, const std::function<int32_t(char *, int32_t)> &op, Outcome *keep = nullptr) {
    std::printf("\n%d. %s\n", ++n_, what);
    int before = p_.fake_calls(nullptr, nullptr);
    Outcome o = call_plugin(p_, op);
    if (verbose_) {
      int made = p_.fake_calls(nullptr, nullptr) - before;
      std::fflush(stdout);
      std::fprintf(stderr, "   (%d scripted request%s%s%s)\n", made, made == 1 ? "" : "s",
                   made > 0 ? ", the last: " : "", made > 0 ? p_.redact(p_.fake_last_url()) : "");
    }
    status_ = report(o, json_);
    if (keep) *keep = o;
    return status_ == kExitOk;
  }

  int status() const { return status_; }

 private:
  const Plugin &p_;
  bool json_;
  bool verbose_;
  int n_ = 0;
  int status_ = kExitOk;
};

bool script_account(const Plugin &p) {
  p.fake_reset();
  size_t n = 0;
  const Route *r = routes(n);
  for (size_t i = 0; i < n; ++i)
    if (p.fake_set(r[i].method, r[i].url.c_str(), r[i].status, r[i].body) != 0) return false;
  return p.use_fake() == VORN_OK;
}

}  // namespace

int run_demo(const Plugin &p, bool json, bool verbose) {
  if (!script_account(p)) {
    print_error("VORN_E_FAILED", "the plug-in's scripted transport refused the demo account");
    return kExitFailed;
  }
  std::printf("vorn demo: plug-in %s, version %s.\n", p.path.c_str(), p.version());
  std::printf("The account below is scripted inside the plug-in: no key, no network, nothing real changes.\n");

  Tour t(p, json, verbose);
  const char *s = kSettings;
  Outcome downloads;
  bool ok = t.step("validate: checks the key and describes the account behind it (GET /user).",
                   [&](char *d, int32_t n) { return p.validate(s, d, n); }) &&
            t.step("ls: the root folder holds two fixed folders; no request is needed.",
                   [&](char *d, int32_t n) { return p.list(s, "", d, n); }) &&
            t.step("ls torrents: the transfers (torrents) on the account (GET /torrents, paged).",
                   [&](char *d, int32_t n) { return p.list(s, "torrents", d, n); }) &&
            t.step("ls downloads: the files ready for download (GET /downloads, paged).",
                   [&](char *d, int32_t n) { return p.list(s, "downloads", d, n); }, &downloads) &&
            t.step("ls tDEMO1: the files of one transfer (GET /torrents/info/DEMO1).",
                   [&](char *d, int32_t n) { return p.list(s, "tDEMO1", d, n); });
  if (!ok) return t.status();

  std::string entry = first_entry(downloads.answer);
  ok = t.step("stream: the first download becomes a direct, playable URL (POST /unrestrict/link).",
              [&](char *d, int32_t n) { return p.stream_url(s, entry.c_str(), d, n); });
  if (!ok) return t.status();

  std::string config = std::string("{\"Link\":") + json_quote(kPack) +
                       ",\"FullSeason\":true,\"Season\":1,\"Episode\":2}";
  p.allow_writes(1);  // the demo account is scripted, so adding to it is harmless
  ok = t.step("add --full-season --season 1 --episode 2: adds a season pack and returns episode 2's instant URL "
              "(addMagnet, info, selectFiles, info, unrestrict).",
              [&](char *d, int32_t n) { return p.download(s, config.c_str(), d, n); });
  p.allow_writes(0);
  if (!ok) return t.status();

  std::printf("\nThat was every operation. Try your own account with VORN_API_KEY=<your key> vorn validate;\n"
              "see tools/vorn/README.md.\n");
  return kExitOk;
}

}  // namespace vorn_cli
