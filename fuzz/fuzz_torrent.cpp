// The torrent file classifier, on an exactly sized heap copy so that any read
// past the block is caught.
#include "fuzz_common.h"

using namespace vorn_fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::vector<uint8_t> block(data, data + size);
  int yes = vorn_is_torrent_file(block.empty() ? nullptr : block.data(), block.size());
  if (yes != 0 && yes != 1) finding("classifier answered neither 0 nor 1", nullptr);
  if (yes && (size < 16 || data[0] != 'd' ||
              !memmem(block.data(), block.size(), "4:info", 6)))
    finding("torrent without the dictionary or the info key", nullptr);
  return 0;
}
