// curl_io.h - the HTTPS transport of the vorn tool: a vorn_io table whose
// callbacks perform real exchanges with libcurl.
#ifndef VORN_TOOL_CURL_IO_H
#define VORN_TOOL_CURL_IO_H

#include <string>

#include "vorn.h"

namespace vorn_cli {

struct CurlSettings {
  std::string cacert;           // extra CA file trusted besides the system store; empty for none
  long connect_timeout_s = 10;  // TCP and TLS set-up
  long total_timeout_s = 60;    // whole exchange, redirects included
  bool verbose = false;         // one line per request and per answer on standard error
  // Redacts a URL before it is printed (the plug-in's vorn_redact); NULL prints "<url hidden>".
  const char *(*redact)(const char *url) = nullptr;
};

// Owns the shared connection cache. Call curl_global_init before creating one.
// The table it hands out may be used from any number of threads at once.
class CurlTransport {
 public:
  explicit CurlTransport(CurlSettings settings);
  ~CurlTransport();
  CurlTransport(const CurlTransport &) = delete;
  CurlTransport &operator=(const CurlTransport &) = delete;

  const vorn_io *io() const { return &io_; }
  const CurlSettings &settings() const { return settings_; }

  struct State;  // shared DNS and TLS session caches with their locks
  State *state() const { return state_; }

 private:
  CurlSettings settings_;
  State *state_;
  vorn_io io_;
};

// Most redirects one exchange follows.
constexpr int kMaxRedirects = 5;
// Largest answer body accepted; a longer one fails the exchange.
constexpr size_t kMaxBody = 64u * 1024u * 1024u;

}  // namespace vorn_cli

#endif  // VORN_TOOL_CURL_IO_H
