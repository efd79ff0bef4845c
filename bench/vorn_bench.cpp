// vorn_bench.cpp - what the library costs on top of the transport, measured
// beside what yyjson alone needs for the same bytes.
//
// Every library figure runs through the handler table, as a host calls it,
// with the prepared host transport of bench_inputs.h. Each figure has a
// baseline benchmark that does the yyjson work on the same texts in the same
// run.
//
// --vorn_table prints one summary table instead of the per-benchmark lines
// (bench/run.sh uses it); --vorn_peak=<bytes> hands it the peak heap that the
// heap program (heap_main.cpp) measured, since an allocation-counting
// allocator would slow every timing here.
// The program fails when any benchmark reports an error, so a short run
// (--benchmark_min_time=0) doubles as a check that every path still works.
#include <benchmark/benchmark.h>
#include <yyjson.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench_inputs.h"
#include "vorn.h"

namespace {

using namespace vorn_bench;

// ---------------------------------------------------------------------------
// Shared pieces of the benchmarks

// Runs one call outside the timed loop and checks its answer; false skips the benchmark.
template <typename Call>
bool check_once(benchmark::State &state, Call call, const char *must_start, const char *needle, size_t needed) {
  int32_t code = call();
  const char *answer = vorn_result_json();
  std::string why;
  if (code != VORN_OK) {
    why = fmt("code %d: %s", code, vorn_last_error());
  } else if (strncmp(answer, must_start, strlen(must_start)) != 0) {
    why = "unexpected answer: " + std::string(answer).substr(0, 120);
  } else if (needle && count_of(answer, needle) != needed) {
    why = fmt("expected %zu of %s, got %zu", needed, needle, count_of(answer, needle));
  }
  if (why.empty()) return true;
  state.SkipWithError(why.c_str());
  return false;
}

// yyjson's own read and write of a text, the floor for each answer read.
void json_round_trip(const std::string &text) {
  yyjson_doc *doc = yyjson_read(text.data(), text.size(), 0);
  size_t len = 0;
  char *out = yyjson_write(doc, 0, &len);
  benchmark::DoNotOptimize(out);
  free(out);
  yyjson_doc_free(doc);
}

void json_read(const std::string &text) {
  yyjson_doc *doc = yyjson_read(text.data(), text.size(), 0);
  benchmark::DoNotOptimize(doc);
  yyjson_doc_free(doc);
}

// ---------------------------------------------------------------------------
// The benchmarks

void listing_library(benchmark::State &state) {
  std::vector<char> dst(32u << 20);
  if (!check_once(state, [&] { return list(g_in.settings, "torrents", dst); }, "[{\"name\":", "\"locator\":",
                  kListed))
    return;
  for (auto _ : state) benchmark::DoNotOptimize(list(g_in.settings, "torrents", dst));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g_in.page_bytes));
}

void listing_yyjson(benchmark::State &state) {
  for (auto _ : state)
    for (const std::string &page : g_in.pages) json_round_trip(page);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g_in.page_bytes));
}

void root_library(benchmark::State &state) {
  std::vector<char> dst(4096);
  if (!check_once(state, [&] { return list(g_in.settings, "", dst); }, g_in.root_answer.c_str(), nullptr, 0)) return;
  for (auto _ : state) benchmark::DoNotOptimize(list(g_in.settings, "", dst));
  state.SetItemsProcessed(state.iterations());
}

void root_yyjson(benchmark::State &state) {
  std::vector<char> dst(4096);
  for (auto _ : state) {
    json_read(g_in.settings);
    memcpy(dst.data(), g_in.root_answer.c_str(), g_in.root_answer.size() + 1);
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}

void folder_library(benchmark::State &state) {
  std::vector<char> dst(16u << 20);
  const std::string folder = std::string("t") + kFolderId;
  if (!check_once(state, [&] { return list(g_in.settings, folder.c_str(), dst); }, "[{\"name\":", "\"fileid\":",
                  kFolderFiles))
    return;
  for (auto _ : state) benchmark::DoNotOptimize(list(g_in.settings, folder.c_str(), dst));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g_in.folder_info.size()));
}

void folder_yyjson(benchmark::State &state) {
  for (auto _ : state) json_round_trip(g_in.folder_info);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g_in.folder_info.size()));
}

int32_t stream_call(std::vector<char> &dst) {
  return kelda_get()->stream_url(&g_io, g_in.settings.c_str(), g_in.stream_entry.c_str(), dst.data(),
                                 static_cast<int32_t>(dst.size()));
}

void stream_library(benchmark::State &state) {
  std::vector<char> dst(4096);
  if (!check_once(state, [&] { return stream_call(dst); }, "{\"url\":", nullptr, 0)) return;
  for (auto _ : state) benchmark::DoNotOptimize(stream_call(dst));
  state.SetItemsProcessed(state.iterations());
}

// The floor of a stream call: read the settings, the entry and the answer, copy the result out.
void stream_yyjson(benchmark::State &state) {
  std::vector<char> dst(4096);
  for (auto _ : state) {
    json_read(g_in.settings);
    json_read(g_in.stream_entry);
    json_read(g_in.stream_answer);
    memcpy(dst.data(), g_in.stream_answer.c_str(), 200);
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}

int32_t pack_call(std::vector<char> &dst) {
  return kelda_get()->download(&g_io, g_in.settings.c_str(), g_in.pack_config.c_str(), dst.data(),
                               static_cast<int32_t>(dst.size()));
}

void pack_library(benchmark::State &state) {
  std::vector<char> dst(64 * 1024);
  if (!check_once(state, [&] { return pack_call(dst); }, "{\"InstantURL\":", "S05E20", 2)) return;
  for (auto _ : state) benchmark::DoNotOptimize(pack_call(dst));
  state.SetItemsProcessed(state.iterations());
}

// The floor of the download: one read of every JSON text the call receives.
void pack_yyjson(benchmark::State &state) {
  for (auto _ : state) {
    json_read(g_in.settings);
    json_read(g_in.pack_config);
    json_read(g_in.pack_added);
    json_read(g_in.pack_info);
    json_read(g_in.pack_info);
    for (const std::string &answer : g_in.pack_answers) json_read(answer);
  }
  state.SetItemsProcessed(state.iterations());
}

void threads_library(benchmark::State &state) {
  std::vector<char> dst(256 * 1024);
  if (!check_once(state, [&] { return list(g_in.small_settings, "torrents", dst); }, "[{\"name\":", "\"locator\":",
                  kSmallPageRows))
    return;
  for (auto _ : state) benchmark::DoNotOptimize(list(g_in.small_settings, "torrents", dst));
  state.SetItemsProcessed(state.iterations());
}

// How far yyjson alone scales on this machine with the same page.
void threads_yyjson(benchmark::State &state) {
  for (auto _ : state) json_round_trip(g_in.small_page);
  state.SetItemsProcessed(state.iterations());
}

void register_all() {
  benchmark::RegisterBenchmark("listing_8x5000/library", listing_library)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("listing_8x5000/yyjson", listing_yyjson)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("root_listing/library", root_library);
  benchmark::RegisterBenchmark("root_listing/yyjson", root_yyjson);
  benchmark::RegisterBenchmark("transfer_5000_files/library", folder_library)->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("transfer_5000_files/yyjson", folder_yyjson)->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("stream/library", stream_library);
  benchmark::RegisterBenchmark("stream/yyjson", stream_yyjson);
  benchmark::RegisterBenchmark("season_pack_100/library", pack_library)->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("season_pack_100/yyjson", pack_yyjson)->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("listing_100_rows/library", threads_library)
      ->Unit(benchmark::kMicrosecond)
      ->Threads(1)
      ->Threads(2)
      ->UseRealTime();
  benchmark::RegisterBenchmark("listing_100_rows/yyjson", threads_yyjson)
      ->Unit(benchmark::kMicrosecond)
      ->Threads(1)
      ->Threads(2)
      ->UseRealTime();
}

// ---------------------------------------------------------------------------
// Collecting the runs and printing the table

struct Figure {
  double seconds = 0;     // best CPU time per call over the repetitions
  double throughput = 0;  // best calls per second of wall time (all threads together)
  std::map<std::string, double> counters;
};

// Prints the usual console lines unless quiet (the table alone is wanted), and
// keeps the best figure of every benchmark for the table.
class TableReporter : public benchmark::ConsoleReporter {
 public:
  explicit TableReporter(bool quiet) : quiet_(quiet) {}
  bool failed = false;
  std::map<std::string, Figure> figures;

  bool ReportContext(const Context &context) override {
    return quiet_ ? true : ConsoleReporter::ReportContext(context);
  }

  void ReportRuns(const std::vector<Run> &runs) override {
    if (!quiet_) ConsoleReporter::ReportRuns(runs);
    for (const Run &run : runs) {
      if (run.error_occurred) {
        failed = true;
        fprintf(stderr, "%s: %s\n", run.benchmark_name().c_str(), run.error_message.c_str());
        continue;
      }
      if (run.run_type != Run::RT_Iteration || run.iterations <= 0 || run.real_accumulated_time <= 0) continue;
      std::string key = run.run_name.function_name + "#" + std::to_string(run.threads);
      // CPU time of the calling thread: the figures compare work done, and a
      // busy machine's waiting would otherwise blur the ratios.
      double seconds = run.cpu_accumulated_time / static_cast<double>(run.iterations);
      auto found = figures.find(key);
      Figure &f = figures[key];
      if (found == figures.end() || seconds < f.seconds) f.seconds = seconds;
      f.throughput = std::max(f.throughput, static_cast<double>(run.iterations) / run.real_accumulated_time);
      for (const auto &counter : run.counters) f.counters[counter.first] = counter.second.value;
    }
  }

 private:
  bool quiet_;
};

std::string time_text(double seconds) {
  if (seconds >= 1e-3) return fmt("%.2f ms", seconds * 1e3);
  if (seconds >= 1e-6) return fmt("%.1f µs", seconds * 1e6);
  return fmt("%.0f ns", seconds * 1e9);
}

struct Row {
  std::string figure, value, baseline, ratio, goal, met;
};

void print_table(const TableReporter &rep, double peak_bytes) {
  auto get = [&](const std::string &name, int threads = 1) -> const Figure * {
    auto it = rep.figures.find(name + "#" + std::to_string(threads));
    return it == rep.figures.end() ? nullptr : &it->second;
  };
  std::vector<Row> rows;
  auto add_ratio = [&](const std::string &figure, const char *name, double input_bytes, double goal) {
    const Figure *lib = get(std::string(name) + "/library");
    const Figure *base = get(std::string(name) + "/yyjson");
    Row row{figure, "n/a", "n/a", "n/a", goal > 0 ? fmt("≤ %.1f×", goal) : "report", goal > 0 ? "n/a" : "—"};
    if (lib && base) {
      double ratio = lib->seconds / base->seconds;
      if (input_bytes > 0) {
        row.value = fmt("%s, %.0f MB/s", time_text(lib->seconds).c_str(), input_bytes / lib->seconds / 1e6);
        row.baseline = fmt("%s, %.0f MB/s", time_text(base->seconds).c_str(), input_bytes / base->seconds / 1e6);
      } else {
        row.value = fmt("%s (%.0f calls/s)", time_text(lib->seconds).c_str(), 1 / lib->seconds);
        row.baseline = fmt("%s (%.0f calls/s)", time_text(base->seconds).c_str(), 1 / base->seconds);
      }
      row.ratio = fmt("%.2f×", ratio);
      if (goal > 0) row.met = ratio <= goal ? "met" : "not met";
    }
    rows.push_back(row);
  };
  add_ratio("Large listing, 8 pages × 5000 rows (20000 listed)", "listing_8x5000", static_cast<double>(g_in.page_bytes),
            2.0);
  add_ratio(fmt("Per-call overhead, root listing (%zu-byte settings)", g_in.settings.size()), "root_listing", 0, 3.0);
  add_ratio("Transfer folder, 5000 files", "transfer_5000_files", static_cast<double>(g_in.folder_info.size()), 0);
  add_ratio("Stream call", "stream", 0, 0);
  add_ratio("Season-pack download, 100 links, match at the last", "season_pack_100", 0, 0);

  auto add_threads = [&](const std::string &figure, const char *name, double goal) {
    const Figure *one = get(name, 1);
    const Figure *two = get(name, 2);
    Row row{figure, "n/a", "n/a", "n/a", goal > 0 ? fmt("≥ %.1f×", goal) : "reference", goal > 0 ? "n/a" : "—"};
    if (one && two) {
      double ratio = two->throughput / one->throughput;
      row.value = fmt("%.0f calls/s", two->throughput);
      row.baseline = fmt("%.0f calls/s", one->throughput);
      row.ratio = fmt("%.2f×", ratio);
      if (goal > 0) row.met = ratio >= goal ? "met" : "not met";
    }
    rows.push_back(row);
  };
  add_threads("Threads, 100-row listing, 2 threads vs 1", "listing_100_rows/library", 1.8);
  add_threads("Threads, yyjson alone on that page, 2 threads vs 1", "listing_100_rows/yyjson", 0);

  Row heap{"Peak heap, 20000-entry listing", "not measured", "n/a", "n/a", "≤ 3.0×", "n/a"};
  if (peak_bytes > 0) {
    double input = static_cast<double>(g_in.page_bytes);
    heap.value = fmt("%.1f MB", peak_bytes / 1e6);
    heap.baseline = fmt("%.1f MB input", input / 1e6);
    heap.ratio = fmt("%.2f×", peak_bytes / input);
    heap.met = peak_bytes <= 3 * input ? "met" : "not met";
  }
  rows.push_back(heap);

  printf("\n| figure | value | baseline | ratio | goal | met |\n|---|---|---|---|---|---|\n");
  for (const Row &r : rows)
    printf("| %s | %s | %s | %s | %s | %s |\n", r.figure.c_str(), r.value.c_str(), r.baseline.c_str(), r.ratio.c_str(),
           r.goal.c_str(), r.met.c_str());
  printf("\nBaselines: yyjson_read + yyjson_write of the same pages (listing, transfer folder); one yyjson_read of "
         "the settings plus one copy of the answer (root listing); yyjson_read of the settings, the entry and the "
         "answer plus one copy (stream); one yyjson_read of every JSON text the call receives (season pack); one "
         "thread (threads: throughput in wall time; the yyjson row shows how far this machine lets two threads "
         "scale); the input bytes, %.1f MB (heap). Times are CPU time of the calling thread, best of the "
         "repetitions.\n",
         static_cast<double>(g_in.page_bytes) / 1e6);
}

// Removes the arguments that start with prefix and returns the value after
// the prefix of the last one ("" when there is none, nullptr when absent).
const char *take_flag(int *argc, char **argv, const char *prefix) {
  const char *value = nullptr;
  size_t n = strlen(prefix);
  int out = 1;
  for (int i = 1; i < *argc; i++) {
    if (strncmp(argv[i], prefix, n) == 0) {
      value = argv[i] + n;
    } else {
      argv[out++] = argv[i];
    }
  }
  *argc = out;
  return value;
}

}  // namespace

int main(int argc, char **argv) {
  bool table = take_flag(&argc, argv, "--vorn_table") != nullptr;
  const char *peak = take_flag(&argc, argv, "--vorn_peak=");
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
  prepare();
  register_all();
  TableReporter reporter(table);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  if (table) print_table(reporter, peak ? atof(peak) : 0);
  benchmark::Shutdown();
  return reporter.failed ? 1 : 0;
}
