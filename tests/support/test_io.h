// test_io.h - a host transport for tests: answers from queues of scripted
// replies, records every request, and tracks every text it hands out so a
// test can prove each was released exactly once, through the right free.
#ifndef VORN_TEST_IO_H
#define VORN_TEST_IO_H

#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "vorn.h"

namespace vorn_test {

// One scripted answer. rc != 0 is a transport failure; body/error absent means
// the transport stores NULL there.
struct Reply {
  int rc = 0;
  int32_t status = 200;
  std::optional<std::string> body;
  std::optional<std::string> error;
};

inline Reply ok(int32_t status, std::string body) { return Reply{0, status, std::move(body), std::nullopt}; }
inline Reply fail(std::string error) { return Reply{-1, 0, std::nullopt, std::move(error)}; }

struct Request {
  std::string method;
  std::string url;
  std::string body;          // POST only
  std::string content_type;  // POST only
};

// Replies are queued per (method, url): each request takes the next reply of
// its queue, and the last reply of a queue answers every later request until
// a new reply is scripted for that route, which then replaces it.
// A request without a script gets status 404 and an empty JSON-less body.
class TestIo {
 public:
  TestIo() = default;
  TestIo(const TestIo &) = delete;
  TestIo &operator=(const TestIo &) = delete;
  ~TestIo() = default;

  void on(const std::string &method, const std::string &url, Reply r) {
    std::lock_guard<std::mutex> g(mu_);
    Queue &q = routes_[{method, url}];
    if (q.last_used) {  // the sticky last reply has answered already: a new script replaces it
      q.replies.clear();
      q.last_used = false;
    }
    q.replies.push_back(std::move(r));
  }
  void on_get(const std::string &url, int32_t status, const std::string &body) { on("GET", url, ok(status, body)); }
  void on_post(const std::string &url, int32_t status, const std::string &body) { on("POST", url, ok(status, body)); }

  // Every answer comes from this reply, whatever the URL (routes still win).
  void set_default(Reply r) {
    std::lock_guard<std::mutex> g(mu_);
    default_ = std::move(r);
  }

  std::vector<Request> requests() const {
    std::lock_guard<std::mutex> g(mu_);
    return requests_;
  }
  size_t count() const {
    std::lock_guard<std::mutex> g(mu_);
    return requests_.size();
  }
  // Texts handed out and not released yet.
  size_t outstanding() const {
    std::lock_guard<std::mutex> g(mu_);
    return live_.size();
  }
  // Releases of a pointer this transport never handed out (or already released).
  int bad_frees() const {
    std::lock_guard<std::mutex> g(mu_);
    return bad_frees_;
  }
  int frees() const {
    std::lock_guard<std::mutex> g(mu_);
    return frees_;
  }

  // The table to hand to the library. Without a free member the library must
  // release texts with the C library's free (tracking is then not possible).
  vorn_io table(bool with_free = true) {
    vorn_io io{};
    io.user = this;
    io.get = &TestIo::get_cb;
    io.post = &TestIo::post_cb;
    io.free = with_free ? &TestIo::free_cb : nullptr;
    track_ = with_free;
    return io;
  }

 private:
  static int get_cb(void *user, const char *url, char **body_out, int32_t *status_out, char **error_out) {
    return static_cast<TestIo *>(user)->answer("GET", url, "", "", body_out, status_out, error_out);
  }
  static int post_cb(void *user, const char *url, const char *body, const char *content_type, char **body_out,
                     int32_t *status_out, char **error_out) {
    return static_cast<TestIo *>(user)->answer("POST", url, body, content_type, body_out, status_out, error_out);
  }
  static void free_cb(void *user, char *ptr) { static_cast<TestIo *>(user)->release(ptr); }

  char *hand_out(const std::string &s) {
    char *p = static_cast<char *>(std::malloc(s.size() + 1));
    std::memcpy(p, s.c_str(), s.size() + 1);
    if (track_) live_.insert(p);
    return p;
  }

  void release(char *p) {
    std::lock_guard<std::mutex> g(mu_);
    frees_++;
    if (live_.erase(p) == 0) {
      bad_frees_++;
      return;  // never free a pointer we do not own
    }
    std::free(p);
  }

  int answer(const char *method, const char *url, const char *body, const char *ctype, char **body_out,
             int32_t *status_out, char **error_out) {
    std::lock_guard<std::mutex> g(mu_);
    requests_.push_back(Request{method, url ? url : "", body ? body : "", ctype ? ctype : ""});
    Reply r;
    auto it = routes_.find({method, url ? url : ""});
    if (it != routes_.end() && !it->second.replies.empty()) {
      Queue &q = it->second;
      r = q.replies.front();
      if (q.replies.size() > 1)
        q.replies.pop_front();
      else
        q.last_used = true;
    } else if (default_) {
      r = *default_;
    } else {
      r = ok(404, "");
    }
    if (r.body) *body_out = hand_out(*r.body);
    if (r.error) *error_out = hand_out(*r.error);
    *status_out = r.status;
    return r.rc;
  }

  struct Queue {
    std::deque<Reply> replies;
    bool last_used = false;  // the only reply left has been handed out at least once
  };

  mutable std::mutex mu_;
  std::map<std::pair<std::string, std::string>, Queue> routes_;
  std::optional<Reply> default_;
  std::vector<Request> requests_;
  std::set<char *> live_;
  int bad_frees_ = 0;
  int frees_ = 0;
  bool track_ = true;
};

// Settings JSON with the given API key (and optional extra members, already JSON).
inline std::string settings_with_key(const std::string &key, const std::string &extra = "") {
  std::string s = "{\"APIKey\":\"" + key + "\"";
  if (!extra.empty()) s += "," + extra;
  return s + "}";
}

}  // namespace vorn_test

#endif  // VORN_TEST_IO_H
