// Operations on several threads while another thread rescripts the scripted
// transport and switches the process-wide selection and the writes switch.
// Each worker checks that what it reads back is its own, self-consistent
// outcome; ThreadSanitizer checks the rest.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "vorn.h"

namespace {

std::atomic<int> g_failures{0};

#define CHECK(cond)                                                            \
  do {                                                                         \
    if (!(cond)) {                                                             \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      g_failures.fetch_add(1);                                                 \
    }                                                                          \
  } while (0)

const char kSettings[] = "{\"APIKey\":\"KEY-4242\"}";
const char kTorrents[] = "https://api.real-debrid.com/rest/1.0/torrents?auth_token=KEY-4242&limit=5000&page=1";
const char kGate[] = "download() adds transfers to the account; call vorn_allow_writes(1) first";

// A host transport shared by every thread: answers every request with "[]".
std::atomic<int> g_host_calls{0};

char *copy_text(const char *s) {
  size_t n = std::strlen(s) + 1;
  char *p = static_cast<char *>(std::malloc(n));
  if (p) std::memcpy(p, s, n);
  return p;
}

int host_get(void *, const char *, char **body_out, int32_t *status_out, char **) {
  g_host_calls.fetch_add(1);
  *body_out = copy_text("[]");
  *status_out = 200;
  return 0;
}

int host_post(void *, const char *, const char *, const char *, char **body_out, int32_t *status_out, char **) {
  g_host_calls.fetch_add(1);
  *body_out = copy_text("{}");
  *status_out = 200;
  return 0;
}

void host_free(void *, char *p) { std::free(p); }

const vorn_io kHost = {nullptr, host_get, host_post, host_free};

std::string envelope(const std::string &error) {
  std::string out = "{\"error\":\"";
  for (char c : error) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"}";
}

// The area, the code and the thread's published texts must tell one story.
void check_outcome(int32_t code, const char *dst) {
  std::string result = vorn_result_json();
  std::string error = vorn_last_error();
  if (code == VORN_OK) {
    CHECK(result == dst);
    CHECK(error.empty());
  } else {
    CHECK(!error.empty());
    CHECK(envelope(error) == dst);
  }
}

void worker(int id, int rounds) {
  char dst[4096];
  for (int i = 0; i < rounds; i++) {
    // Flat operation on whatever is selected at this moment.
    int32_t code = vorn_list(kSettings, "torrents", dst, sizeof dst);
    check_outcome(code, dst);
    if (code == VORN_OK) CHECK(std::strcmp(dst, "[]") == 0);

    // Handler slot with the caller's own table.
    code = kelda_get()->list(&kHost, kSettings, "downloads", dst, sizeof dst);
    CHECK(code == VORN_OK);
    check_outcome(code, dst);

    // The writes switch flips under the download calls.
    code = kelda_get()->download(&kHost, kSettings, nullptr, dst, sizeof dst);
    check_outcome(code, dst);
    CHECK(code == VORN_E_WRITES_DISABLED || code == VORN_E_INVALID);
    if (code == VORN_E_WRITES_DISABLED) CHECK(std::strcmp(vorn_last_error(), kGate) == 0);
    if (code == VORN_E_INVALID) CHECK(std::strcmp(vorn_last_error(), "config is NULL") == 0);

    // No area: the answer is read back from this thread's slot.
    std::string folder = "x" + std::to_string(id) + "-" + std::to_string(i);
    code = vorn_list(kSettings, folder.c_str(), nullptr, 0);
    if (code == VORN_E_NOT_FOUND) CHECK(std::string(vorn_last_error()) == "no such folder: " + folder);
    else CHECK(code == VORN_E_TRANSPORT && std::strcmp(vorn_last_error(), "no transport") == 0);

    // Scripted transport controls and per-thread texts.
    const char *last = vorn_fake_last_url();
    CHECK(last != nullptr);
    CHECK(vorn_fake_calls(nullptr, nullptr) >= 0);
    CHECK(vorn_fake_last_body(kTorrents) != nullptr);
    CHECK(std::strcmp(vorn_redact("https://u:p@h/?token=abc"), "https://h/?token=***") == 0);
  }
}

void controller(const std::atomic<bool> &done) {
  char url[64];
  for (int i = 0; !done.load() && i < 2000000; i++) {
    switch (i % 8) {
      case 0: vorn_fake_set("GET", kTorrents, 200, "[]"); break;
      case 1: vorn_use_fake(); break;
      case 2: vorn_fake_fail("GET", kTorrents, nullptr); break;
      case 3: vorn_set_io(&kHost); break;
      case 4: CHECK(vorn_use_curl() == VORN_E_UNSUPPORTED); break;
      case 5: vorn_set_io(nullptr); break;
      case 6:
        std::snprintf(url, sizeof url, "https://h/route/%d", i);
        vorn_fake_set("POST", url, 200, "x");  // grows the table now and then
        if (i % 400 == 6) vorn_fake_reset();
        break;
      case 7: vorn_allow_writes(i % 16 == 7); break;
    }
  }
}

}  // namespace

int main() {
  std::atomic<bool> done{false};
  std::thread ctl(controller, std::cref(done));
  // Two waves, so threads end (and release their published texts) while
  // others still run.
  for (int wave = 0; wave < 2; wave++) {
    std::vector<std::thread> workers;
    for (int id = 0; id < 4; id++) workers.emplace_back(worker, wave * 4 + id, 150);
    for (std::thread &t : workers) t.join();
  }
  done.store(true);
  ctl.join();
  vorn_set_io(nullptr);
  vorn_fake_reset();
  vorn_allow_writes(0);
  if (g_failures.load() != 0) {
    std::fprintf(stderr, "%d checks failed\n", g_failures.load());
    return 1;
  }
  std::printf("ok\n");
  return 0;
}
