// bench_inputs.h - the inputs every benchmark program shares: prepared
// service answers shaped like the service's, and a host transport that
// answers from them. The transport looks each URL up in a read-only table (no
// lock) and hands back a fresh malloc'ed copy, which the library releases
// with free().
#ifndef VORN_BENCH_INPUTS_H
#define VORN_BENCH_INPUTS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "vorn.h"

namespace vorn_bench {

constexpr const char *kBase = "https://api.real-debrid.com/rest/1.0";
constexpr const char *kToken = "BENCHTOKEN7QX2ZK4M9PLA3VWD8RJ5HN6TYC1BGF0E";
constexpr const char *kPackId = "PACKX7Q2ZK4M9";
constexpr const char *kFolderId = "FOLDQ4M9PLA3V";

constexpr int kPageRows = 5000;
constexpr int kPages = 8;
constexpr int kListed = 20000;
constexpr int kFolderFiles = 5000;
constexpr int kPackLinks = 100;
constexpr int kSmallPageRows = 100;

struct Inputs {
  std::string settings;       // the user's settings, about 150 bytes
  std::string small_settings; // settings naming a host whose list is one 100-row page
  std::vector<std::string> pages;
  std::string small_page;  // the 100-row page of the threaded figure
  size_t page_bytes = 0;
  std::string folder_info;
  std::string stream_entry;
  std::string stream_answer;
  std::string pack_config;
  std::string pack_added;
  std::string pack_info;
  std::vector<std::string> pack_answers;
  std::string root_answer;
};

// Filled by prepare(), read-only afterwards.
extern Inputs g_in;
// The host transport over the prepared answers.
extern const vorn_io g_io;

// Builds every input and its routes, and allows downloads.
void prepare();
std::string fmt(const char *format, ...) __attribute__((format(printf, 1, 2)));
size_t count_of(std::string_view text, std::string_view needle);
// The list slot of the handler table with the prepared transport.
int32_t list(const std::string &settings, const char *folder, std::vector<char> &dst);

}  // namespace vorn_bench

#endif  // VORN_BENCH_INPUTS_H
