// bench_inputs.cpp - the prepared service answers and the host transport
// shared by the benchmark programs.
#include "bench_inputs.h"

#include "url_encode.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string_view>
#include <unordered_map>

namespace vorn_bench {

Inputs g_in;

std::string fmt(const char *format, ...) {
  char area[2048];
  va_list ap;
  va_start(ap, format);
  int n = vsnprintf(area, sizeof area, format, ap);
  va_end(ap);
  return std::string(area, n > 0 ? static_cast<size_t>(n) : 0);
}

namespace {

// ---------------------------------------------------------------------------
// Prepared service answers


std::string hash40(int seed) {
  std::string h;
  uint32_t x = 2166136261u ^ static_cast<uint32_t>(seed);
  for (int i = 0; i < 40; i++) {
    x = x * 16777619u + 12345u;
    h += "0123456789abcdef"[(x >> 13) & 15];
  }
  return h;
}

// One item of the transfer list, shaped like the service's (about 300 bytes).
std::string transfer_row(int i) {
  return fmt(
      "{\"id\":\"TRX%010d\",\"filename\":\"Some.Show.Name.S%02dE%02d.1080p.WEB-DL.DDP5.1.H.264-GROUP.mkv\","
      "\"hash\":\"%s\",\"bytes\":%lld,\"host\":\"real-debrid.com\",\"split\":2000,\"progress\":100,"
      "\"status\":\"downloaded\",\"added\":\"2024-03-01T12:34:56.000Z\","
      "\"links\":[\"https://real-debrid.com/d/LNK%010d\"],\"ended\":\"2024-03-01T12:40:00.000Z\"}",
      i, i % 30 + 1, i % 24 + 1, hash40(i).c_str(), 1000000000LL + 7919LL * i, i);
}

std::string transfer_page(int first, int count) {
  std::string page = "[";
  for (int i = 0; i < count; i++) {
    if (i) page += ',';
    page += transfer_row(first + i);
  }
  return page + "]";
}

std::string pack_file_name(int i) { return fmt("Some.Show.Name.S%02dE%02d.1080p.WEB-DL.mkv", i / 20 + 1, i % 20 + 1); }
std::string pack_link(int i) { return fmt("https://real-debrid.com/d/PKL%010d", i); }

// A transfer description with `files` files and as many links.
std::string transfer_info(const char *id, int files, bool pack) {
  std::string doc = fmt(
      "{\"id\":\"%s\",\"filename\":\"Some.Show.Name.Complete.1080p\",\"original_filename\":"
      "\"Some.Show.Name.Complete.1080p\",\"hash\":\"%s\",\"bytes\":%lld,\"original_bytes\":%lld,"
      "\"host\":\"real-debrid.com\",\"split\":2000,\"progress\":100,\"status\":\"downloaded\","
      "\"added\":\"2024-03-01T12:34:56.000Z\",\"files\":[",
      id, hash40(7).c_str(), 977LL * files * 1000000, 977LL * files * 1000000);
  for (int i = 0; i < files; i++) {
    std::string path = pack ? "/" + pack_file_name(i) : fmt("/Some.Show.Name/Extras/Part.%05d.Sample.1080p.mkv", i);
    doc += fmt("%s{\"id\":%d,\"path\":\"%s\",\"bytes\":%lld,\"selected\":1}", i ? "," : "", i + 1, path.c_str(),
               900000000LL + 3571LL * i);
  }
  doc += "],\"links\":[";
  for (int i = 0; i < files; i++) {
    doc += fmt("%s\"%s\"", i ? "," : "", (pack ? pack_link(i) : fmt("https://real-debrid.com/d/FLD%010d", i)).c_str());
  }
  return doc + "],\"ended\":\"2024-03-01T12:40:00.000Z\"}";
}

std::string unrestrict_answer(int i, const std::string &link, const std::string &name) {
  return fmt(
      "{\"id\":\"UNR%010d\",\"filename\":\"%s\",\"mimeType\":\"video/x-matroska\",\"filesize\":%lld,"
      "\"link\":\"%s\",\"host\":\"real-debrid.com\",\"chunks\":32,\"crc\":1,"
      "\"download\":\"https://abcd-7.download.real-debrid.com/d/UNR%010d/%s\",\"streamable\":1}",
      i, name.c_str(), 1500000000LL + i, link.c_str(), i, name.c_str());
}

// ---------------------------------------------------------------------------
// The host transport: exact-URL routes, read-only while benchmarks run.

struct Reply {
  int32_t status;
  std::string body;
};

struct Routes {
  std::deque<std::string> keys;  // owns the texts the views point into
  std::unordered_map<std::string_view, Reply> get, post;

  void add(std::unordered_map<std::string_view, Reply> &table, const std::string &url, int32_t status,
           std::string body) {
    keys.push_back(url);
    table[std::string_view(keys.back())] = Reply{status, std::move(body)};
  }
};

Routes g_routes;
const Reply kMissing{404, "{\"error\":\"unknown_ressource\",\"error_code\":7}"};

char *hand_out(const std::string &text) {
  char *copy = static_cast<char *>(malloc(text.size() + 1));
  if (copy) memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

int answer(const std::unordered_map<std::string_view, Reply> &table, const char *url, char **body_out,
           int32_t *status_out) {
  auto it = table.find(std::string_view(url));
  const Reply &reply = it != table.end() ? it->second : kMissing;
  *body_out = hand_out(reply.body);
  *status_out = reply.status;
  return *body_out ? 0 : -1;
}

int io_get(void *user, const char *url, char **body_out, int32_t *status_out, char **) {
  return answer(static_cast<Routes *>(user)->get, url, body_out, status_out);
}

int io_post(void *user, const char *url, const char *, const char *, char **body_out, int32_t *status_out, char **) {
  return answer(static_cast<Routes *>(user)->post, url, body_out, status_out);
}

}  // namespace

// No free member: the library releases the copies with the C library's free.
const vorn_io g_io = {&g_routes, io_get, io_post, nullptr};

static std::string settings_for(const char *host) {
  std::string s = fmt("{\"RuntimeType\":\"REALDEBRID\",\"ID\":\"realdebrid-main-account\",\"CustomName\":\"Real-Debrid Premium Account\","
                      "\"APIKey\":\"%s\"",
                      kToken);
  if (host) s += fmt(",\"Host\":\"%s\"", host);
  return s + "}";
}

void prepare() {
  g_in.settings = settings_for(nullptr);
  g_in.small_settings = settings_for("small.api.real-debrid.com");
  const std::string token_q = std::string("?auth_token=") + vorn_test::url_encode(kToken);

  // Eight full pages of the transfer list.
  for (int p = 1; p <= kPages; p++) {
    g_in.pages.push_back(transfer_page((p - 1) * kPageRows, kPageRows));
    g_in.page_bytes += g_in.pages.back().size();
    g_routes.add(g_routes.get, fmt("%s/torrents%s&limit=5000&page=%d", kBase, token_q.c_str(), p), 200,
                 g_in.pages.back());
  }
  // One short page on another host, for the threaded figure.
  g_in.small_page = transfer_page(0, kSmallPageRows);
  g_routes.add(g_routes.get,
               fmt("https://small.api.real-debrid.com/rest/1.0/torrents%s&limit=5000&page=1", token_q.c_str()), 200,
               g_in.small_page);

  // One transfer with 5000 files.
  g_in.folder_info = transfer_info(kFolderId, kFolderFiles, false);
  g_routes.add(g_routes.get, fmt("%s/torrents/info/%s?auth_token=%s", kBase, kFolderId, kToken), 200,
               g_in.folder_info);

  // One stream call.
  const std::string stream_link = "https://real-debrid.com/d/STRM4M9PLA3VW";
  const std::string stream_name = "Some.Show.Name.S01E01.1080p.WEB-DL.mkv";
  g_in.stream_entry = fmt(
      "{\"name\":\"%s\",\"path\":\"%s\",\"folder\":false,\"size\":1500000000,\"locator\":\"%s\",\"id\":\"%s\"}",
      stream_name.c_str(), stream_name.c_str(), stream_link.c_str(), stream_name.c_str());
  g_in.stream_answer = unrestrict_answer(0, stream_link, stream_name);
  g_routes.add(g_routes.post,
               fmt("%s/unrestrict/link%s&link=%s", kBase, token_q.c_str(), vorn_test::url_encode(stream_link).c_str()), 200,
               g_in.stream_answer);

  // A season pack of 100 episodes; the wanted one (S05E20) is the last link.
  const std::string magnet = "magnet:?xt=urn:btih:" + hash40(99) + "&dn=Some.Show.Name.Complete.1080p";
  g_in.pack_config = fmt("{\"Link\":\"%s\",\"FullSeason\":true,\"Season\":5,\"Episode\":20}", magnet.c_str());
  g_in.pack_added = fmt("{\"id\":\"%s\",\"uri\":\"%s/torrents/info/%s\"}", kPackId, kBase, kPackId);
  g_routes.add(g_routes.post, fmt("%s/torrents/addMagnet%s&magnet=%s", kBase, token_q.c_str(), vorn_test::url_encode(magnet).c_str()),
               201, g_in.pack_added);
  g_in.pack_info = transfer_info(kPackId, kPackLinks, true);
  g_routes.add(g_routes.get, fmt("%s/torrents/info/%s?auth_token=%s", kBase, kPackId, kToken), 200, g_in.pack_info);
  g_routes.add(g_routes.post, fmt("%s/torrents/selectFiles/%s?auth_token=%s", kBase, kPackId, kToken), 204, "");
  for (int i = 0; i < kPackLinks; i++) {
    g_in.pack_answers.push_back(unrestrict_answer(i + 1, pack_link(i), pack_file_name(i)));
    g_routes.add(g_routes.post,
                 fmt("%s/unrestrict/link%s&link=%s", kBase, token_q.c_str(), vorn_test::url_encode(pack_link(i)).c_str()), 200,
                 g_in.pack_answers.back());
  }

  g_in.root_answer =
      "[{\"name\":\"downloads\",\"path\":\"downloads\",\"folder\":true,\"size\":-1},"
      "{\"name\":\"torrents\",\"path\":\"torrents\",\"folder\":true,\"size\":-1}]";
  vorn_allow_writes(1);
}

size_t count_of(std::string_view text, std::string_view needle) {
  size_t n = 0;
  for (size_t at = text.find(needle); at != std::string_view::npos; at = text.find(needle, at + needle.size())) n++;
  return n;
}

int32_t list(const std::string &settings, const char *folder, std::vector<char> &dst) {
  return kelda_get()->list(&g_io, settings.c_str(), folder, dst.data(), static_cast<int32_t>(dst.size()));
}

}  // namespace vorn_bench
