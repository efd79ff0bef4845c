// The settings text of a handler call: parsed by the frame, then used for the
// session host, the request URLs and the token masking of a validate call.
#include "fuzz_common.h"

using namespace vorn_fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string settings = as_text(data, size);
  vorn_io io = RouterIo::table();
  const vorn_handler *h = kelda_get();
  char dst[4096];
  int32_t code = h->validate(&io, settings.c_str(), dst, static_cast<int32_t>(sizeof dst));
  check_outcome(code, dst, static_cast<int32_t>(sizeof dst), nullptr);
  // The root listing sends nothing; it only needs the settings to parse.
  code = h->list(nullptr, settings.c_str(), "", dst, static_cast<int32_t>(sizeof dst));
  check_outcome(code, dst, static_cast<int32_t>(sizeof dst), nullptr);
  if (code != VORN_E_INVALID && code != VORN_E_TRANSPORT) finding("settings without transport", dst);
  return 0;
}
