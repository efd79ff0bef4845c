// curl_io.cpp - HTTPS exchanges for the plug-in's transport table.
//
// Every exchange runs on its own easy handle, so any number of threads may
// call the table at once; they share only the DNS and TLS session caches,
// which libcurl guards through the lock callbacks below. Redirects are
// followed here rather than by libcurl, so that a redirect to a magnet link
// can be handed back to the plug-in as the answer body.
#include "curl_io.h"

#include <curl/curl.h>

#include <strings.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <utility>

#ifndef VORN_TOOL_VERSION
#define VORN_TOOL_VERSION "0"
#endif

namespace vorn_cli {

struct CurlTransport::State {
  CURLSH *share = nullptr;
  std::mutex locks[CURL_LOCK_DATA_LAST];
  std::mutex print;  // keeps verbose lines of concurrent exchanges whole
};

namespace {

const char kUserAgent[] = "vorn/" VORN_TOOL_VERSION;
const char kSystemCaPath[] = "/etc/ssl/certs";

void share_lock(CURL *, curl_lock_data data, curl_lock_access, void *user) {
  static_cast<CurlTransport::State *>(user)->locks[data].lock();
}

void share_unlock(CURL *, curl_lock_data data, void *user) {
  static_cast<CurlTransport::State *>(user)->locks[data].unlock();
}

// What one request/answer round trip collected.
struct Answer {
  std::string body;
  std::string location;  // Location header of the last response seen
  bool too_big = false;
  bool no_memory = false;
};

size_t on_body(char *data, size_t size, size_t count, void *user) {
  Answer *a = static_cast<Answer *>(user);
  size_t n = size * count;
  if (a->body.size() + n > kMaxBody) {
    a->too_big = true;
    return 0;
  }
  try {
    a->body.append(data, n);
  } catch (...) {
    a->no_memory = true;
    return 0;
  }
  return n;
}

bool starts_with_nocase(const std::string &text, const char *prefix) {
  size_t n = std::strlen(prefix);
  return text.size() >= n && strncasecmp(text.c_str(), prefix, n) == 0;
}

std::string trimmed(const std::string &s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return std::string();
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

size_t on_header(char *data, size_t size, size_t count, void *user) {
  Answer *a = static_cast<Answer *>(user);
  size_t n = size * count;
  try {
    std::string line(data, n);
    if (starts_with_nocase(line, "HTTP/")) {
      a->location.clear();  // a new response (after 100 Continue, say) starts over
    } else if (starts_with_nocase(line, "location:")) {
      a->location = trimmed(line.substr(9));
    }
  } catch (...) {
    a->no_memory = true;
    return 0;
  }
  return n;
}

bool is_redirect(long status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The outcome handed back to the plug-in.
struct Result {
  bool ok = false;
  long status = 0;
  std::string body;
  std::string error;
};

Result failure(std::string text) {
  Result r;
  r.error = std::move(text);
  return r;
}

Result success(long status, std::string body) {
  Result r;
  r.ok = true;
  r.status = status;
  r.body = std::move(body);
  return r;
}

class Exchange {
 public:
  Exchange(const CurlTransport &t, const char *method, const char *url, const char *body, const char *content_type)
      : t_(t), post_(std::strcmp(method, "POST") == 0), url_(url), body_(body ? body : ""),
        content_type_(content_type ? content_type : "") {}

  Result run() {
    std::unique_ptr<CURL, void (*)(CURL *)> h(curl_easy_init(), curl_easy_cleanup);
    if (!h) return failure("curl: cannot start a transfer");
    std::unique_ptr<curl_slist, void (*)(curl_slist *)> headers(nullptr, curl_slist_free_all);
    if (post_) {
      std::string ct = "Content-Type: " + content_type_;
      curl_slist *list = curl_slist_append(nullptr, ct.c_str());
      curl_slist *more = list ? curl_slist_append(list, "Expect:") : nullptr;  // no 100-continue round trip
      if (!more) {
        curl_slist_free_all(list);
        return failure("out of memory");
      }
      headers.reset(more);
    }
    char errbuf[CURL_ERROR_SIZE];
    configure(h.get(), errbuf);

    std::string current = url_;
    bool post = post_;
    for (int hop = 0;; ++hop) {
      Answer a;
      errbuf[0] = '\0';
      curl_easy_setopt(h.get(), CURLOPT_URL, current.c_str());
      if (post) {
        curl_easy_setopt(h.get(), CURLOPT_POST, 1L);
        curl_easy_setopt(h.get(), CURLOPT_POSTFIELDS, body_.c_str());
        curl_easy_setopt(h.get(), CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body_.size()));
        curl_easy_setopt(h.get(), CURLOPT_HTTPHEADER, headers.get());
      } else {
        curl_easy_setopt(h.get(), CURLOPT_HTTPGET, 1L);
        curl_easy_setopt(h.get(), CURLOPT_HTTPHEADER, static_cast<curl_slist *>(nullptr));
      }
      curl_easy_setopt(h.get(), CURLOPT_WRITEDATA, &a);
      curl_easy_setopt(h.get(), CURLOPT_HEADERDATA, &a);
      say("> %s %s", post ? "POST" : "GET", shown(current).c_str());

      CURLcode rc = curl_easy_perform(h.get());
      if (rc != CURLE_OK) {
        std::string why = a.too_big     ? "answer larger than 64 MiB"
                          : a.no_memory ? "out of memory"
                                        : std::string("curl: ") + (errbuf[0] ? errbuf : curl_easy_strerror(rc));
        say("< failed: %s", why.c_str());
        return failure(why);
      }
      long status = 0;
      curl_easy_getinfo(h.get(), CURLINFO_RESPONSE_CODE, &status);
      if (!is_redirect(status) || a.location.empty()) {
        say("< %ld, %zu bytes", status, a.body.size());
        return success(status, std::move(a.body));
      }
      if (starts_with_nocase(a.location, "magnet:")) {
        say("< %ld, redirect to a magnet link, handed back as the answer", status);
        return success(status, std::move(a.location));
      }
      char *next = nullptr;
      curl_easy_getinfo(h.get(), CURLINFO_REDIRECT_URL, &next);
      if (!next) {
        say("< %ld, %zu bytes (redirect without a usable target)", status, a.body.size());
        return success(status, std::move(a.body));
      }
      std::string target = next;
      if (!starts_with_nocase(target, "http://") && !starts_with_nocase(target, "https://")) {
        say("< %ld, redirect to an unsupported scheme", status);
        return failure("redirect to a location that is neither http nor https");
      }
      if (hop == kMaxRedirects) {
        say("< %ld, one redirect too many", status);
        return failure("more than 5 redirects");
      }
      say("< %ld, redirect to %s", status, shown(target).c_str());
      // A POST answered with 301, 302 or 303 continues as a GET, as browsers do.
      if (post && status != 307 && status != 308) post = false;
      current = std::move(target);
    }
  }

 private:
  void configure(CURL *h, char *errbuf) {
    const CurlSettings &s = t_.settings();
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errbuf);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, s.connect_timeout_s);
    curl_easy_setopt(h, CURLOPT_TIMEOUT, s.total_timeout_s);
    curl_easy_setopt(h, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(h, CURLOPT_ACCEPT_ENCODING, "");  // every encoding this libcurl can decode
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!s.cacert.empty()) {
      // The private CA comes in addition to the system store, not instead of it.
      curl_easy_setopt(h, CURLOPT_CAINFO, s.cacert.c_str());
      curl_easy_setopt(h, CURLOPT_CAPATH, kSystemCaPath);
    }
    if (t_.state()->share) curl_easy_setopt(h, CURLOPT_SHARE, t_.state()->share);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, on_body);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, on_header);
  }

  std::string shown(const std::string &url) const {
    const CurlSettings &s = t_.settings();
    if (!s.redact) return "<url hidden>";
    const char *r = s.redact(url.c_str());
    return r ? r : "";
  }

  void say(const char *fmt, ...) __attribute__((format(printf, 2, 3))) {
    if (!t_.settings().verbose) return;
    char line[2600];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(line, sizeof line, fmt, ap);
    va_end(ap);
    std::lock_guard<std::mutex> g(t_.state()->print);
    std::fprintf(stderr, "%s\n", line);
  }

  const CurlTransport &t_;
  bool post_;
  std::string url_;
  std::string body_;
  std::string content_type_;
};

// Copies n bytes and a NUL into memory from malloc, as the plug-in releases it.
char *malloc_copy(const char *data, size_t n) {
  char *p = static_cast<char *>(std::malloc(n + 1));
  if (!p) return nullptr;
  std::memcpy(p, data, n);
  p[n] = '\0';
  return p;
}

char *malloc_copy(const std::string &s) { return malloc_copy(s.data(), s.size()); }

// The plug-in is built without exceptions: nothing may escape into it.
int deliver(const CurlTransport *t, const char *method, const char *url, const char *body, const char *content_type,
            char **body_out, int32_t *status_out, char **error_out) {
  try {
    if (!url) {
      *error_out = malloc_copy(std::string("no URL"));
      return -1;
    }
    Result r = Exchange(*t, method, url, body, content_type).run();
    if (!r.ok) {
      *error_out = malloc_copy(r.error);
      return -1;
    }
    *body_out = malloc_copy(r.body);
    if (!*body_out) {
      *error_out = malloc_copy(std::string("out of memory"));
      return -1;
    }
    *status_out = static_cast<int32_t>(r.status);
    return 0;
  } catch (...) {
    *error_out = malloc_copy(std::string("out of memory"));
    return -1;
  }
}

int io_get(void *user, const char *url, char **body_out, int32_t *status_out, char **error_out) {
  return deliver(static_cast<const CurlTransport *>(user), "GET", url, nullptr, nullptr, body_out, status_out,
                 error_out);
}

int io_post(void *user, const char *url, const char *body, const char *content_type, char **body_out,
            int32_t *status_out, char **error_out) {
  return deliver(static_cast<const CurlTransport *>(user), "POST", url, body, content_type, body_out, status_out,
                 error_out);
}

void io_free(void *, char *ptr) { std::free(ptr); }

}  // namespace

CurlTransport::CurlTransport(CurlSettings settings)
    : settings_(std::move(settings)), state_(new State), io_{this, io_get, io_post, io_free} {
  CURLSH *share = curl_share_init();
  if (!share) return;  // exchanges then simply run without the shared caches
  curl_share_setopt(share, CURLSHOPT_LOCKFUNC, share_lock);
  curl_share_setopt(share, CURLSHOPT_UNLOCKFUNC, share_unlock);
  curl_share_setopt(share, CURLSHOPT_USERDATA, state_);
  curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
  curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
  state_->share = share;
}

CurlTransport::~CurlTransport() {
  if (state_->share) curl_share_cleanup(state_->share);
  delete state_;
}

}  // namespace vorn_cli
