// Eight threads run handlers side by side: four through the handler table
// with one shared host transport, four through the flat surface and the
// process-wide selection with the scripted transport. Meanwhile other threads
// switch the selection, reset and script the routes, flip the writes switch
// and redact URLs. Every thread checks its own published result and error
// after each call; the main thread reports what they saw.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "test_io.h"
#include "vorn.h"

namespace {

const std::string kBase = "https://api.real-debrid.com/rest/1.0";
const std::string kMagnet = "magnet:?xt=urn:btih:0123456789abcdef0123456789abcdef01234567";
const std::string kMagnetEnc = "magnet%3A%3Fxt%3Durn%3Abtih%3A0123456789abcdef0123456789abcdef01234567";
constexpr int kWorkers = 8;
constexpr int kRounds = 300;

// How often the flat workers met each outcome (printed, never asserted).
std::atomic<int> g_flat_ok{0}, g_flat_none{0}, g_flat_missing{0}, g_host_refused{0};

std::string token_of(int i) { return "tok-" + std::to_string(i) + "-abcdefgh"; }
std::string settings_of(int i) {
  return "{\"APIKey\":\"" + token_of(i) + "\",\"ID\":\"src-" + std::to_string(i) + "\"}";
}
std::string auth(int i) { return "?auth_token=" + token_of(i); }
std::string user_doc(int i) { return "{\"username\":\"user-" + std::to_string(i) + "\"}"; }
std::string validate_answer(int i) {
  return "{\"RuntimeType\":\"REALDEBRID\",\"ID\":\"src-" + std::to_string(i) + "\",\"Username\":\"user-" +
         std::to_string(i) + "\"}";
}

// Failures seen by one thread, reported by the main thread after the join.
struct Log {
  std::mutex mu;
  std::vector<std::string> problems;
  void add(const std::string &p) {
    std::lock_guard<std::mutex> g(mu);
    if (problems.size() < 20) problems.push_back(p);
  }
};

// The published texts must be exactly what this thread's call produced.
void check_published(Log &log, int i, const char *what, int32_t code, const char *dst, const std::string &want_dst,
                     const std::string &want_error) {
  std::string tag = std::string(what) + " on worker " + std::to_string(i) + ": ";
  if (want_dst != dst) log.add(tag + "area holds " + dst + ", wanted " + want_dst);
  if (want_error != vorn_last_error()) log.add(tag + "error " + vorn_last_error() + ", wanted " + want_error);
  if (code == 0 && want_dst != vorn_result_json()) log.add(tag + "result " + vorn_result_json());
}

void script_routes() {
  for (int i = 0; i < kWorkers; ++i)
    vorn_fake_set("GET", (kBase + "/user" + auth(i)).c_str(), 200, user_doc(i).c_str());
}

// A worker through the handler table and the shared host transport.
void host_worker(int i, vorn_io *io, Log &log) {
  const vorn_handler *h = kelda_get();
  std::string settings = settings_of(i);
  char dst[4096];
  std::string file = "/file-" + std::to_string(i) + ".mkv";
  std::string files_answer = "[{\"name\":\"" + file + "\",\"path\":\"" + file +
                             "\",\"folder\":false,\"size\":700,\"fileid\":1,\"id\":\"" + file + "\"}]";
  for (int r = 0; r < kRounds; ++r) {
    int32_t code = h->validate(io, settings.c_str(), dst, sizeof dst);
    check_published(log, i, "validate", code, dst, validate_answer(i), "");
    code = h->list(io, settings.c_str(), ("tT" + std::to_string(i)).c_str(), dst, sizeof dst);
    check_published(log, i, "list", code, dst, files_answer, "");
    std::string folder = "x-" + std::to_string(i);
    code = h->list(io, settings.c_str(), folder.c_str(), dst, sizeof dst);
    check_published(log, i, "bad folder", code, dst, "{\"error\":\"no such folder: " + folder + "\"}",
                    "no such folder: " + folder);
    std::string config = "{\"Link\":\"" + kMagnet + "\"}";
    code = h->download(io, settings.c_str(), config.c_str(), dst, sizeof dst);
    if (code == VORN_E_WRITES_DISABLED) {
      g_host_refused++;
      const std::string msg = "download() adds transfers to the account; call vorn_allow_writes(1) first";
      check_published(log, i, "download refused", code, dst, "{\"error\":\"" + msg + "\"}", msg);
    } else {
      std::string want = "{\"InstantURL\":\"https://cdn.example/" + std::to_string(i) +
                         ".mkv\",\"InstantName\":\"n" + std::to_string(i) + ".mkv\",\"InstantSize\":700,\"Payload\":"
                         "{\"id\":\"T" + std::to_string(i) + "\"}}";
      check_published(log, i, "download", code, dst, want, "");
    }
  }
}

// A worker through the flat surface: the selection flips between the scripted
// transport and none, and the routes come and go.
void flat_worker(int i, Log &log) {
  std::string settings = settings_of(i);
  char dst[4096];
  const std::string no_transport = "no transport";
  const std::string not_found = "user answered HTTP 404";
  for (int r = 0; r < kRounds * 2; ++r) {
    int32_t code = vorn_validate(settings.c_str(), dst, sizeof dst);
    if (code == VORN_OK) {
      g_flat_ok++;
      check_published(log, i, "flat validate", code, dst, validate_answer(i), "");
    } else if (code == VORN_E_TRANSPORT) {
      g_flat_none++;
      check_published(log, i, "flat validate", code, dst, "{\"error\":\"" + no_transport + "\"}", no_transport);
    } else if (code == VORN_E_NOT_FOUND) {
      g_flat_missing++;
      check_published(log, i, "flat validate", code, dst, "{\"error\":\"" + not_found + "\"}", not_found);
    } else {
      log.add("flat validate on worker " + std::to_string(i) + ": code " + std::to_string(code) + " " + dst);
    }
    // Without an area the answer is read back from the thread's slots.
    code = vorn_list(settings.c_str(), nullptr, nullptr, 0);
    if (code == VORN_OK && std::string(vorn_result_json()).find("\"downloads\"") == std::string::npos)
      log.add("flat root listing lost its answer: " + std::string(vorn_result_json()));
    if (code != VORN_OK && code != VORN_E_TRANSPORT) log.add("flat root listing: code " + std::to_string(code));
    const char *last = vorn_fake_last_url();
    if (!last) log.add("vorn_fake_last_url gave NULL");
    (void)vorn_fake_calls("GET", (kBase + "/user" + auth(i)).c_str());
  }
}

TEST(Stress, HandlersFlatSurfaceAndSwitchesSideBySide) {
  vorn_test::TestIo host;
  for (int i = 0; i < kWorkers / 2; ++i) {
    std::string n = std::to_string(i);
    std::string file = "/file-" + n + ".mkv";
    host.on_get(kBase + "/user" + auth(i), 200, user_doc(i));
    host.on_get(kBase + "/torrents/info/T" + n + auth(i), 200,
                "{\"id\":\"T" + n + "\",\"status\":\"downloaded\",\"files\":[{\"id\":1,\"path\":\"" + file +
                    "\",\"bytes\":700}],\"links\":[\"https://hoster.example/" + n + "\"]}");
    host.on_post(kBase + "/torrents/addMagnet" + auth(i) + "&magnet=" + kMagnetEnc, 201, "{\"id\":\"T" + n + "\"}");
    host.on_post(kBase + "/torrents/selectFiles/T" + n + auth(i), 204, "");
    host.on_post(kBase + "/unrestrict/link" + auth(i) + "&link=https%3A%2F%2Fhoster.example%2F" + n, 200,
                 "{\"download\":\"https://cdn.example/" + n + ".mkv\",\"filename\":\"n" + n +
                     ".mkv\",\"filesize\":700}");
  }
  vorn_io io = host.table();
  vorn_fake_reset();
  script_routes();
  vorn_use_fake();

  Log log;
  std::atomic<bool> done{false};
  std::vector<std::thread> workers;
  for (int i = 0; i < kWorkers; ++i) {
    if (i < kWorkers / 2)
      workers.emplace_back(host_worker, i, &io, std::ref(log));
    else
      workers.emplace_back(flat_worker, i, std::ref(log));
  }
  std::vector<std::thread> movers;
  movers.emplace_back([&] {  // the selection
    for (int r = 0; !done.load(); ++r) {
      if (r % 3 == 2)
        vorn_set_io(nullptr);
      else
        vorn_use_fake();
      if (vorn_use_curl() != VORN_E_UNSUPPORTED) log.add("vorn_use_curl did not refuse");
      std::this_thread::yield();
    }
    vorn_use_fake();
  });
  movers.emplace_back([&] {  // the routes
    for (int r = 0; !done.load(); ++r) {
      if (r % 4 == 3) vorn_fake_reset();
      script_routes();
      vorn_fake_fail("POST", "https://elsewhere.example/x", nullptr);
      std::this_thread::yield();
    }
  });
  movers.emplace_back([&] {  // the writes switch
    for (int r = 0; !done.load(); ++r) {
      vorn_allow_writes(r % 2);
      std::this_thread::yield();
    }
  });
  movers.emplace_back([&] {  // redaction on its own thread buffer
    const std::string url = "https://u:p@host.example/p?auth_token=SECRET&x=1";
    const std::string want = "https://host.example/p?auth_token=***&x=1";
    while (!done.load()) {
      if (want != vorn_redact(url.c_str())) log.add("redaction changed under load");
    }
  });
  for (auto &t : workers) t.join();
  done.store(true);
  for (auto &t : movers) t.join();
  vorn_fake_reset();
  vorn_set_io(nullptr);
  vorn_allow_writes(0);

  printf("[ stress ] flat validate: %d answered, %d without transport, %d without route; %d downloads refused\n",
         g_flat_ok.load(), g_flat_none.load(), g_flat_missing.load(), g_host_refused.load());
  for (const std::string &p : log.problems) ADD_FAILURE() << p;
  EXPECT_EQ(host.outstanding(), 0u);
  EXPECT_EQ(host.bad_frees(), 0);
}

}  // namespace
