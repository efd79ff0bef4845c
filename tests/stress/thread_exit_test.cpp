// Threads that come and go (as a host's worker pool does) leave nothing
// behind: the published texts and the scripted transport's returned copy of
// each thread are released when it ends. Runs under AddressSanitizer, whose
// leak check is asked right after the threads are joined.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "leak_check.h"
#include "vorn.h"


namespace {

TEST(ThreadExit, PerThreadTextsAreReleasedWhenThreadsEnd) {
  const std::string user = "https://api.real-debrid.com/rest/1.0/user?auth_token=tok-abcdef";
  vorn_fake_reset();
  vorn_fake_set("GET", user.c_str(), 200, "{\"username\":\"u\"}");
  vorn_fake_set("POST", "https://h.example/p", 200, "");
  vorn_use_fake();
  for (int round = 0; round < 3; ++round) {
    std::vector<std::thread> pool;
    for (int i = 0; i < 6; ++i) {
      pool.emplace_back([&user, i] {
        char dst[1024];
        std::string settings = "{\"APIKey\":\"tok-abcdef\",\"ID\":\"w" + std::to_string(i) + "\"}";
        EXPECT_EQ(vorn_validate(settings.c_str(), dst, sizeof dst), VORN_OK) << dst;
        EXPECT_EQ(vorn_list(settings.c_str(), "nowhere", dst, sizeof dst), VORN_E_NOT_FOUND);
        EXPECT_STREQ(vorn_fake_last_url(), user.c_str());
        EXPECT_STREQ(vorn_fake_last_body("https://h.example/p"), "");
        EXPECT_STREQ(vorn_redact("https://a@h/?token=x"), "https://h/?token=***");
      });
    }
    for (auto &t : pool) t.join();
  }
  vorn_fake_reset();
  vorn_set_io(nullptr);
  EXPECT_EQ(VORN_LEAK_CHECK(), 0);
}

}  // namespace
