// The handler frame and the result protocol, seen through the handler table.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "host_support.h"
#include "test_io.h"
#include "vorn.h"

namespace {

using namespace host_test;

const vorn_handler *H() { return kelda_get(); }

// Outcome of one call: code, the output area's text, and the thread's published slots.
struct Outcome {
  int32_t code;
  std::string dst;
  std::string result;
  std::string error;
};

Outcome list(const vorn_io *io, const char *settings, const char *folder, int32_t dst_len = 4096) {
  std::vector<char> dst(dst_len > 0 ? dst_len : 1, 'Z');
  int32_t code = H()->list(io, settings, folder, dst.data(), dst_len);
  return {code, std::string(dst.data(), strnlen(dst.data(), dst.size())), vorn_result_json(), vorn_last_error()};
}

// The envelope a plain error text gives (only the escapes these tests need).
std::string envelope(const std::string &error) {
  std::string out = "{\"error\":\"";
  for (char c : error) {
    if (c == '"' || c == '\\') out += '\\';
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    out += c;
  }
  return out + "\"}";
}

TEST(Handler, TableIsConstantAndDescribesTheHandler) {
  const vorn_handler *h = kelda_get();
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h, kelda_get());
  EXPECT_STREQ(h->runtime_type, "REALDEBRID");
  EXPECT_EQ(h->caps, 47u);
  EXPECT_EQ(h->caps, vorn_caps());
  EXPECT_NE(h->validate, nullptr);
  EXPECT_NE(h->list, nullptr);
  EXPECT_NE(h->stream_url, nullptr);
  EXPECT_NE(h->download, nullptr);
}

// Bad settings fail the same way whatever transport is given, on every slot,
// and without a single request.
TEST(Handler, BadSettingsAreRefusedWithTheirTextBeforeTheTransportCheck) {
  std::string huge = "{\"APIKey\":\"k\",\"pad\":\"";
  huge += std::string(1048577 - huge.size() - 2, 'x') + "\"}";
  ASSERT_EQ(huge.size(), 1048577u);
  struct Case {
    const char *settings;
    const char *error;
  } cases[] = {
      {nullptr, "settings are NULL"},
      {huge.c_str(), "settings are larger than 1 MiB"},
      {"[]", "settings are not a JSON object"},
      {"not json", "settings are not a JSON object"},
      {"{\"APIKey\":\"k\",\"RuntimeType\":\"Realdebrid\"}",
       "RuntimeType is \"Realdebrid\", this handler is \"REALDEBRID\""},
      {"{\"ClientId\":\"c\",\"ClientSecret\":\"s\",\"refresh_token\":\"r\"}", "OAuth settings need an access_token"},
      {"{\"APIKey\":\" \\t \"}", "APIKey is empty and the OAuth tuple is incomplete"},
      {"{\"ClientId\":\"c\",\"ClientSecret\":\"s\"}", "APIKey is empty and the OAuth tuple is incomplete"},
  };
  vorn_test::TestIo io;
  vorn_io table = io.table();
  for (const vorn_io *transport : {static_cast<const vorn_io *>(&table), static_cast<const vorn_io *>(nullptr)}) {
    for (const Case &c : cases) {
      SCOPED_TRACE(c.error);
      char dst[512];
      std::string expected = envelope(c.error);
      int32_t codes[] = {H()->validate(transport, c.settings, dst, sizeof dst),
                         H()->list(transport, c.settings, "", dst, sizeof dst),
                         H()->stream_url(transport, c.settings, "{\"link\":\"x\"}", dst, sizeof dst),
                         H()->download(transport, c.settings, "{}", dst, sizeof dst)};
      for (int32_t code : codes) EXPECT_EQ(code, VORN_E_INVALID);
      EXPECT_EQ(dst, expected);
      EXPECT_STREQ(vorn_result_json(), "");
      EXPECT_STREQ(vorn_last_error(), c.error);
    }
  }
  EXPECT_EQ(io.count(), 0u);
}

TEST(Handler, ValidSettingsWithoutTransportGiveNoTransportOnEverySlot) {
  char dst[256];
  int32_t codes[] = {H()->validate(nullptr, kSettings.c_str(), dst, sizeof dst),
                     H()->list(nullptr, kSettings.c_str(), nullptr, dst, sizeof dst),
                     H()->stream_url(nullptr, kSettings.c_str(), "not an entry", dst, sizeof dst),
                     H()->download(nullptr, kSettings.c_str(), nullptr, dst, sizeof dst)};
  for (int32_t code : codes) EXPECT_EQ(code, VORN_E_TRANSPORT);
  EXPECT_STREQ(dst, "{\"error\":\"no transport\"}");
  EXPECT_STREQ(vorn_last_error(), "no transport");
  EXPECT_STREQ(vorn_result_json(), "");
}

TEST(Handler, RootListingIsAnsweredWithoutRequests) {
  vorn_test::TestIo io;
  vorn_io table = io.table();
  for (const char *folder : {static_cast<const char *>(nullptr), ""}) {
    Outcome o = list(&table, kSettings.c_str(), folder);
    EXPECT_EQ(o.code, VORN_OK);
    EXPECT_EQ(o.dst, kRoot);
    EXPECT_EQ(o.result, kRoot);
    EXPECT_EQ(o.error, "");
  }
  EXPECT_EQ(io.count(), 0u);
}

// Which request each folder text leads to (an empty URL: no request at all).
TEST(Handler, FolderTextChoosesTheListing) {
  const std::string torrents = kBase + "/torrents?auth_token=" + kKey + "&limit=5000&page=1";
  const std::string downloads = kBase + "/downloads?auth_token=" + kKey + "&limit=5000&page=1";
  struct Case {
    const char *folder;
    std::string url;
    int32_t code;  // checked only for folders that send nothing
    const char *error;
  } cases[] = {
      {"torrents", torrents, 0, nullptr},
      {"/torrents", torrents, 0, nullptr},
      {"downloads", downloads, 0, nullptr},
      {"/downloads", downloads, 0, nullptr},
      {"t123", kBase + "/torrents/info/123?auth_token=" + kKey, 0, nullptr},
      {"T123", kBase + "/torrents/info/123?auth_token=" + kKey, 0, nullptr},
      {"Torrents", kBase + "/torrents/info/orrents?auth_token=" + kKey, 0, nullptr},
      {"t", "", VORN_E_NOT_FOUND, "no such folder"},
      {"x", "", VORN_E_NOT_FOUND, "no such folder: x"},
      {"Downloads", "", VORN_E_NOT_FOUND, "no such folder: Downloads"},
      {"/t1", "", VORN_E_NOT_FOUND, "no such folder: /t1"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.folder);
    vorn_test::TestIo io;
    io.set_default(vorn_test::ok(200, "[]"));
    vorn_io table = io.table();
    Outcome o = list(&table, kSettings.c_str(), c.folder);
    std::vector<vorn_test::Request> sent = io.requests();
    if (c.url.empty()) {
      EXPECT_EQ(sent.size(), 0u);
      EXPECT_EQ(o.code, c.code);
      EXPECT_EQ(o.error, c.error);
      EXPECT_EQ(o.dst, "{\"error\":\"" + std::string(c.error) + "\"}");
    } else {
      ASSERT_GE(sent.size(), 1u);
      EXPECT_EQ(sent[0].method, "GET");
      EXPECT_EQ(sent[0].url, c.url);
    }
    EXPECT_EQ(io.outstanding(), 0u);
  }
}

TEST(Handler, SuccessIsCopiedOnlyWhenItFitsWithItsNul) {
  vorn_test::TestIo io;
  vorn_io table = io.table();
  const int32_t exact = static_cast<int32_t>(kRoot.size()) + 1;

  Outcome fits = list(&table, kSettings.c_str(), "", exact);
  EXPECT_EQ(fits.code, VORN_OK);
  EXPECT_EQ(fits.dst, kRoot);
  EXPECT_EQ(fits.error, "");

  std::vector<char> dst(exact - 1, 'Z');
  EXPECT_EQ(H()->list(&table, kSettings.c_str(), "", dst.data(), exact - 1), VORN_E_BUFFER_TOO_SMALL);
  EXPECT_EQ(dst[0], '\0');
  EXPECT_EQ(dst[1], 'Z');
  EXPECT_EQ(vorn_result_json(), kRoot);
  EXPECT_STREQ(vorn_last_error(), "output buffer too small");
}

TEST(Handler, SuccessWithoutAreaLeavesDstUntouchedAndPublishes) {
  vorn_test::TestIo io;
  vorn_io table = io.table();
  char dst[8];
  for (int32_t len : {0, -1, -4096}) {
    memset(dst, 'Z', sizeof dst);
    EXPECT_EQ(H()->list(&table, kSettings.c_str(), "", dst, len), VORN_E_BUFFER_TOO_SMALL);
    EXPECT_EQ(dst[0], 'Z');
    EXPECT_EQ(vorn_result_json(), kRoot);
    EXPECT_STREQ(vorn_last_error(), "output buffer too small");
  }
  EXPECT_EQ(H()->list(&table, kSettings.c_str(), "", nullptr, 4096), VORN_E_BUFFER_TOO_SMALL);
  EXPECT_EQ(vorn_result_json(), kRoot);
}

TEST(Handler, FailureKeepsItsCodeWhenTheEnvelopeDoesNotFit) {
  vorn_test::TestIo io;
  vorn_io table = io.table();
  const std::string env = "{\"error\":\"no such folder: x\"}";
  const int32_t exact = static_cast<int32_t>(env.size()) + 1;
  EXPECT_EQ(list(&table, kSettings.c_str(), "x", exact).dst, env);

  Outcome cut = list(&table, kSettings.c_str(), "x", exact - 1);
  EXPECT_EQ(cut.code, VORN_E_NOT_FOUND);
  EXPECT_EQ(cut.dst, "");
  EXPECT_EQ(cut.error, "no such folder: x");
  EXPECT_EQ(cut.result, "");

  EXPECT_EQ(H()->list(&table, kSettings.c_str(), "x", nullptr, 0), VORN_E_NOT_FOUND);
  EXPECT_STREQ(vorn_last_error(), "no such folder: x");
}

TEST(Handler, TokenIsMaskedInEveryOccurrenceOfTheErrorText) {
  vorn_test::TestIo io;
  vorn_io table = io.table();
  std::string folder = "x/" + kKey + "/y/" + kKey;
  Outcome o = list(&table, kSettings.c_str(), folder.c_str());
  const std::string masked = "no such folder: x/********/y/********";
  EXPECT_EQ(o.code, VORN_E_NOT_FOUND);
  EXPECT_EQ(o.error, masked);
  EXPECT_EQ(o.dst, envelope(masked));

  // A token of three bytes would mask too much ordinary text: it stays.
  Outcome shortkey = list(&table, vorn_test::settings_with_key("abc").c_str(), "xabcabc");
  EXPECT_EQ(shortkey.error, "no such folder: xabcabc");
}

TEST(Handler, EnvelopeEscapesTheErrorText) {
  vorn_test::TestIo io;
  vorn_io table = io.table();
  Outcome o = list(&table, kSettings.c_str(), "x\"q\\b\nz");
  EXPECT_EQ(o.error, "no such folder: x\"q\\b\nz");
  EXPECT_EQ(o.dst, "{\"error\":\"no such folder: x\\\"q\\\\b\\nz\"}");
}

TEST(Handler, WritesSwitchIsHandedToTheDownloadOperation) {
  const std::string gate = "download() adds transfers to the account; call vorn_allow_writes(1) first";
  vorn_test::TestIo io;
  vorn_io table = io.table();
  char dst[512];
  auto download = [&] { return H()->download(&table, kSettings.c_str(), nullptr, dst, sizeof dst); };

  EXPECT_EQ(vorn_allow_writes(0), 0);
  EXPECT_EQ(download(), VORN_E_WRITES_DISABLED);
  EXPECT_EQ(vorn_last_error(), gate);
  EXPECT_EQ(dst, envelope(gate));

  EXPECT_EQ(vorn_allow_writes(5), 0);
  EXPECT_NE(download(), VORN_E_WRITES_DISABLED);
  EXPECT_NE(vorn_last_error(), gate);

  EXPECT_EQ(vorn_allow_writes(0), 0);
  EXPECT_EQ(download(), VORN_E_WRITES_DISABLED);
  EXPECT_EQ(io.count(), 0u);
}

// Each thread reads back its own outcome while the other runs side by side.
TEST(Handler, PublishedResultAndErrorArePerThread) {
  vorn_test::TestIo io;
  vorn_io table = io.table();
  auto worker = [&](const char *folder, int32_t want_code, std::string want_result, std::string want_error,
                    int *mismatches) {
    for (int i = 0; i < 200; i++) {
      char dst[512];
      int32_t code = H()->list(&table, kSettings.c_str(), folder, dst, sizeof dst);
      if (code != want_code || want_result != vorn_result_json() || want_error != vorn_last_error()) ++*mismatches;
    }
  };
  int bad_a = 0, bad_b = 0;
  std::thread a(worker, "", VORN_OK, kRoot, "", &bad_a);
  std::thread b(worker, "nowhere", VORN_E_NOT_FOUND, "", "no such folder: nowhere", &bad_b);
  a.join();
  b.join();
  EXPECT_EQ(bad_a, 0);
  EXPECT_EQ(bad_b, 0);
}

}  // namespace
