// URL redaction: the exported form and the internal one with small area
// sizes. In the redacted text every credential parameter after a '?' or '&'
// holds "***" alone, and a shorter area receives a prefix of the full text.
#include "fuzz_common.h"

#include <ctype.h>

#include "vorn_internal.h"

using namespace vorn_fuzz;

static bool starts_nocase(const std::string &s, size_t at, const char *name) {
  for (size_t i = 0; name[i]; ++i)
    if (at + i >= s.size() || tolower(static_cast<unsigned char>(s[at + i])) != name[i]) return false;
  return true;
}

static void check_masked(const std::string &out) {
  static const char *const k_names[] = {"auth_token=", "apikey=", "token="};
  for (size_t i = 0; i < out.size(); ++i) {
    if (out[i] != '?' && out[i] != '&') continue;
    for (const char *name : k_names) {
      if (!starts_nocase(out, i + 1, name)) continue;
      size_t v = i + 1 + strlen(name);
      bool masked = out.compare(v, 3, "***") == 0 && (v + 3 == out.size() || out[v + 3] == '&' || out[v + 3] == '#');
      if (!masked) finding("credential parameter not masked", out.c_str());
      break;
    }
  }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string url = as_text(data, size);
  std::string once = vorn_redact(url.c_str());
  if (once.size() > 2047) finding("redaction longer than its area", nullptr);
  if (once.size() < 2047) check_masked(once);
  char out[64];
  size_t sizes[] = {0, 1, 2, 7, 12, sizeof out};
  for (size_t s : sizes) {
    memset(out, 'Z', sizeof out);
    vorn_redact_into(url.c_str(), out, s);
    if (s == 0) {
      if (out[0] != 'Z') finding("size 0 wrote into the area", nullptr);
      continue;
    }
    size_t n = strnlen(out, s);
    if (n >= s) finding("redaction area not terminated", nullptr);
    if (once.compare(0, n, out, n) != 0 || (n < once.size() && n != s - 1)) finding("cut is no prefix", out);
  }
  if (vorn_redact(nullptr)[0] != 0) finding("NULL gave a text", nullptr);
  return 0;
}
