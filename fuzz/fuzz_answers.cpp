// Runs one operation against a transport whose answers come from the input:
// byte 0 picks the operation, byte 1 holds flags, and the rest is split at
// NUL bytes into successive answers (see decode_answer), so the later
// requests of a listing or a download are reached as well.
#include "fuzz_common.h"

using namespace vorn_fuzz;

namespace {

enum : unsigned { kKeepInstant = 1, kNoId = 2, kSmallArea = 4, kFlat = 8, kNoFree = 16 };

const char *config_for(unsigned op, unsigned flags, std::string *buf) {
  const char *keep = (flags & kKeepInstant) ? ",\"KeepInstantOnly\":true" : "";
  switch (op) {
    case 5:
      *buf = std::string("{\"Link\":\"magnet:?xt=urn:btih:0123456789abcdef0123456789abcdef01234567&dn=Show\"") +
             keep + "}";
      break;
    case 6:
      *buf = std::string("{\"Link\":\"https://files.example/get/show.torrent\"") + keep + "}";
      break;
    default:
      *buf = std::string("{\"Link\":\"magnet:?xt=urn:btih:ABCDEFGHIJKLMNOPQRSTUVWXYZ234567\",\"FullSeason\":true,"
                         "\"Season\":1,\"Episode\":2") +
             keep + "}";
      break;
  }
  return buf->c_str();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  vorn_allow_writes(1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 2) return 0;
  unsigned op = data[0] % 10;
  unsigned flags = data[1];
  ByteIo byte_io;
  byte_io.load(data + 2, size - 2);
  vorn_io io = byte_io.table(!(flags & kNoFree));
  const vorn_handler *h = kelda_get();
  const char *settings = (flags & kNoId) ? k_settings_no_id : k_settings;
  std::string config;
  static char area[1 << 16];
  char small[48];
  char *dst = (flags & kSmallArea) ? small : area;
  int32_t dst_len = (flags & kSmallArea) ? static_cast<int32_t>(sizeof small) : static_cast<int32_t>(sizeof area);
  bool flat = flags & kFlat;
  if (flat) {
    if (vorn_set_io(&io) != 0) finding("vorn_set_io refused a full table", nullptr);
    dst = nullptr;
    dst_len = 0;
  }
  int32_t code = 0;
  switch (op) {
    case 0:
      code = flat ? vorn_validate(settings, dst, dst_len) : h->validate(&io, settings, dst, dst_len);
      break;
    case 1:
    case 2:
    case 3:
    case 8: {
      static const char *const k_folder[] = {"torrents", "downloads", "t42", nullptr, nullptr,
                                             nullptr,    nullptr,     nullptr, "/downloads"};
      const char *folder = k_folder[op];
      code = flat ? vorn_list(settings, folder, dst, dst_len) : h->list(&io, settings, folder, dst, dst_len);
      break;
    }
    case 4: {
      const char *entry = "{\"name\":\"a.mkv\",\"locator\":\"https://hoster.example/d/ABC?x=1&y=2\"}";
      code = flat ? vorn_stream_url(settings, entry, dst, dst_len) : h->stream_url(&io, settings, entry, dst, dst_len);
      break;
    }
    default:
      config_for(op, flags, &config);
      code = flat ? vorn_download(settings, config.c_str(), dst, dst_len)
                  : h->download(&io, settings, config.c_str(), dst, dst_len);
      break;
  }
  check_outcome(code, dst, dst_len);
  if (flat) {
    if (code == 0 && vorn_last_error()[0]) finding("flat success with an error text", vorn_last_error());
    vorn_set_io(nullptr);
  }
  if (byte_io.requests > 4096 + 16) finding("unbounded number of requests", nullptr);
  return 0;
}
