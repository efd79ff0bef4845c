// The video path classifier.
#include "fuzz_common.h"

using namespace vorn_fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string path = as_text(data, size);
  int yes = vorn_is_video_path(path.c_str());
  if (yes != 0 && yes != 1) finding("classifier answered neither 0 nor 1", nullptr);
  if (yes) {
    const char *dot = strrchr(path.c_str(), '.');
    if (!dot || dot == path.c_str() || strlen(dot) > 5) finding("video without a short extension", path.c_str());
  }
  return 0;
}
