// The magnet link classifier.
#include "fuzz_common.h"

using namespace vorn_fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string text = as_text(data, size);
  int yes = vorn_is_magnet_link(text.c_str());
  if (yes != 0 && yes != 1) finding("classifier answered neither 0 nor 1", nullptr);
  if (yes && (strncmp(text.c_str(), "magnet:?", 8) != 0 || !strstr(text.c_str(), "xt=urn:btih:")))
    finding("magnet link without prefix or hash", text.c_str());
  return 0;
}
