// The season and episode parser.
#include "fuzz_common.h"

using namespace vorn_fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string name = as_text(data, size);
  int season = -77, episode = -77;
  int found = vorn_parse_season_episode(name.c_str(), &season, &episode);
  if (found != 0 && found != 1) finding("parser answered neither 0 nor 1", name.c_str());
  if (!found && (season != -77 || episode != -77)) finding("no result but outputs written", name.c_str());
  if (found && (season < 1 || season > 99 || episode < 1 || episode > 9999)) finding("numbers out of range", name.c_str());
  if (vorn_parse_season_episode(name.c_str(), nullptr, nullptr) != found) finding("NULL outputs changed the answer", nullptr);
  return 0;
}
