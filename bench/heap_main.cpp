// heap_main.cpp - the peak heap of the large listing, measured with the
// allocation-counting allocator of heap_hook.cpp. Prints the peak and the
// input bytes ("<peak> <input>"); bench/run.sh hands the peak to vorn_bench.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "bench_inputs.h"
#include "heap_hook.h"
#include "vorn.h"

using namespace vorn_bench;

// Peak live heap of one 20000-entry listing: the transport's copies, the
// library's working memory and the published answer, not the host's area.
// The highest of three calls; -1 when the listing fails.
static int64_t listing_peak_heap() {
  std::vector<char> dst(32u << 20);
  int64_t peak = 0;
  for (int i = 0; i < 3; i++) {
    list(g_in.settings, "", dst);  // leaves only a small published answer behind
    heap_count_begin();
    int32_t code = list(g_in.settings, "torrents", dst);
    int64_t used = heap_count_end();
    if (code != VORN_OK || count_of(vorn_result_json(), "\"locator\":") != static_cast<size_t>(kListed)) return -1;
    peak = std::max(peak, used);
  }
  return peak;
}

int main() {
  prepare();
  int64_t peak = listing_peak_heap();
  if (peak < 0) {
    fprintf(stderr, "the listing failed: %s\n", vorn_last_error());
    return 1;
  }
  printf("%lld %zu\n", static_cast<long long>(peak), g_in.page_bytes);
  return 0;
}
