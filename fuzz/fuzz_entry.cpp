// The host's entry object of a stream call.
#include "fuzz_common.h"

using namespace vorn_fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string entry = as_text(data, size);
  vorn_io io = RouterIo::table();
  char dst[4096];
  int32_t code = kelda_get()->stream_url(&io, k_settings, entry.c_str(), dst, static_cast<int32_t>(sizeof dst));
  check_outcome(code, dst, static_cast<int32_t>(sizeof dst));
  return 0;
}
