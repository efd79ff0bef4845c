// The download configuration of a download call, run through the whole flow
// against a transport that answers every service request sensibly.
#include "fuzz_common.h"

using namespace vorn_fuzz;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  vorn_allow_writes(1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string config = as_text(data, size);
  vorn_io io = RouterIo::table();
  char dst[8192];
  int32_t code = kelda_get()->download(&io, k_settings, config.c_str(), dst, static_cast<int32_t>(sizeof dst));
  check_outcome(code, dst, static_cast<int32_t>(sizeof dst));
  return 0;
}
