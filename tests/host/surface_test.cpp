// The flat exports over the process-wide transport selection.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host_support.h"
#include "test_io.h"
#include "vorn.h"

namespace {

using namespace host_test;

// Every test starts with no transport selected and an empty scripted table.
class Surface : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(vorn_set_io(nullptr), VORN_OK);
    vorn_fake_reset();
  }
  void TearDown() override {
    vorn_set_io(nullptr);
    vorn_fake_reset();
    vorn_allow_writes(0);
  }

  // Names the transport a flat call runs on: "none", "fake" or "io".
  static std::string selected(const vorn_test::TestIo &io) {
    size_t before_io = io.count();
    int before_fake = vorn_fake_calls(nullptr, nullptr);
    char dst[256];
    vorn_list(kSettings.c_str(), "torrents", dst, sizeof dst);
    if (std::string(vorn_last_error()) == "no transport") return "none";
    if (vorn_fake_calls(nullptr, nullptr) > before_fake) return "fake";
    if (io.count() > before_io) return "io";
    return "?";
  }
};

TEST_F(Surface, ConstantsDescribeTheLibrary) {
  EXPECT_STREQ(vorn_version(), "1.0.0");
  EXPECT_STREQ(vorn_runtime_type(), "REALDEBRID");
  EXPECT_EQ(vorn_caps(), 47u);
  EXPECT_STREQ(vorn_base_url(), "https://api.real-debrid.com/rest/1.0");
}

TEST_F(Surface, WithoutSelectionEveryOperationHasNoTransport) {
  char dst[256];
  EXPECT_EQ(vorn_validate(kSettings.c_str(), dst, sizeof dst), VORN_E_TRANSPORT);
  EXPECT_STREQ(dst, "{\"error\":\"no transport\"}");
  EXPECT_EQ(vorn_list(kSettings.c_str(), "", dst, sizeof dst), VORN_E_TRANSPORT);
  EXPECT_EQ(vorn_stream_url(kSettings.c_str(), "{}", dst, sizeof dst), VORN_E_TRANSPORT);
  EXPECT_EQ(vorn_download(kSettings.c_str(), "{}", dst, sizeof dst), VORN_E_TRANSPORT);
  EXPECT_STREQ(vorn_last_error(), "no transport");
  // Bad settings still win.
  EXPECT_EQ(vorn_validate(nullptr, dst, sizeof dst), VORN_E_INVALID);
  EXPECT_STREQ(dst, "{\"error\":\"settings are NULL\"}");
}

TEST_F(Surface, SelectionFollowsSetIoUseFakeAndRefusals) {
  vorn_test::TestIo io;
  EXPECT_EQ(selected(io), "none");

  EXPECT_EQ(vorn_use_fake(), VORN_OK);
  EXPECT_EQ(selected(io), "fake");

  // The built-in network transport does not exist: refused, nothing changes.
  EXPECT_EQ(vorn_use_curl(), VORN_E_UNSUPPORTED);
  EXPECT_EQ(selected(io), "fake");

  vorn_io table = io.table();
  vorn_io no_get = table;
  no_get.get = nullptr;
  vorn_io no_post = table;
  no_post.post = nullptr;
  EXPECT_EQ(vorn_set_io(&no_get), VORN_E_INVALID);
  EXPECT_EQ(vorn_set_io(&no_post), VORN_E_INVALID);
  EXPECT_EQ(selected(io), "fake");

  {
    // The library keeps its own copy: the caller's table may go away.
    vorn_io scratch = table;
    EXPECT_EQ(vorn_set_io(&scratch), VORN_OK);
    memset(&scratch, 0, sizeof scratch);
  }
  EXPECT_EQ(selected(io), "io");
  EXPECT_EQ(vorn_use_curl(), VORN_E_UNSUPPORTED);
  EXPECT_EQ(selected(io), "io");

  EXPECT_EQ(vorn_set_io(nullptr), VORN_OK);
  EXPECT_EQ(selected(io), "none");
  EXPECT_EQ(io.outstanding(), 0u);
}

TEST_F(Surface, TableWithoutFreeIsAcceptedAndReleasedWithFree) {
  vorn_test::TestIo io;
  vorn_io table = io.table(false);
  EXPECT_EQ(vorn_set_io(&table), VORN_OK);
  io.set_default(vorn_test::ok(200, "[]"));
  char dst[256];
  EXPECT_EQ(vorn_list(kSettings.c_str(), "torrents", dst, sizeof dst), VORN_OK);
  EXPECT_STREQ(dst, "[]");
  EXPECT_EQ(io.frees(), 0);  // released by the library with free(); LSan sees any leak
}

TEST_F(Surface, OperationsWithoutAreaReportSuccessAndPublish) {
  vorn_use_fake();
  char dst[8];
  memset(dst, 'Z', sizeof dst);
  EXPECT_EQ(vorn_list(kSettings.c_str(), "", nullptr, 0), VORN_OK);
  EXPECT_EQ(vorn_result_json(), kRoot);
  EXPECT_STREQ(vorn_last_error(), "");
  for (int32_t len : {0, -1}) {
    EXPECT_EQ(vorn_list(kSettings.c_str(), "", dst, len), VORN_OK);
    EXPECT_EQ(dst[0], 'Z');
    EXPECT_EQ(vorn_result_json(), kRoot);
    EXPECT_STREQ(vorn_last_error(), "");
  }

  // A too-small area is the caller's mistake and is reported as such.
  EXPECT_EQ(vorn_list(kSettings.c_str(), "", dst, 2), VORN_E_BUFFER_TOO_SMALL);
  EXPECT_EQ(dst[0], '\0');
  EXPECT_EQ(vorn_result_json(), kRoot);
  EXPECT_STREQ(vorn_last_error(), "output buffer too small");

  // A failure keeps its own code and its masked text.
  std::string folder = "x" + kKey;
  memset(dst, 'Z', sizeof dst);
  EXPECT_EQ(vorn_list(kSettings.c_str(), folder.c_str(), dst, 0), VORN_E_NOT_FOUND);
  EXPECT_EQ(dst[0], 'Z');
  EXPECT_STREQ(vorn_last_error(), "no such folder: x********");
  EXPECT_STREQ(vorn_result_json(), "");
}

// Each flat operation hands its own argument to the matching slot.
TEST_F(Surface, OperationsPassTheirArgumentToTheirSlot) {
  vorn_use_fake();
  char dst[512];

  EXPECT_EQ(vorn_stream_url(kSettings.c_str(), "{\"link\":\"https://host/f\"}", dst, sizeof dst),
            VORN_E_NOT_FOUND);
  EXPECT_EQ(std::string(vorn_fake_last_url()), kBase + "/unrestrict/link?auth_token=" + kKey +
                                                   "&link=https%3A%2F%2Fhost%2Ff");

  vorn_allow_writes(1);
  EXPECT_EQ(vorn_download(kSettings.c_str(), nullptr, dst, sizeof dst), VORN_E_INVALID);
  EXPECT_STREQ(vorn_last_error(), "config is NULL");
  EXPECT_EQ(vorn_download(kSettings.c_str(), "[]", dst, sizeof dst), VORN_E_INVALID);
  EXPECT_STREQ(vorn_last_error(), "config is not a JSON object");

  vorn_fake_set("GET", (kBase + "/user?auth_token=" + kKey).c_str(), 401, "");
  EXPECT_EQ(vorn_validate(kSettings.c_str(), dst, sizeof dst), VORN_E_AUTH);
  EXPECT_EQ(vorn_fake_calls("GET", (kBase + "/user?auth_token=" + kKey).c_str()), 1);
}

}  // namespace
