// The exported classifiers answer exactly as their internal forms, a zero
// season or episode ends a parser rule on either side, and the numeric
// transfer listing names the transfer by its decimal id.
#include <gtest/gtest.h>

#include <string>

#include "test_io.h"
#include "vorn.h"
#include "vorn_internal.h"

namespace {

TEST(Exports, ClassifiersAnswerThroughTheExportedNames) {
  const std::string hex = "magnet:?xt=urn:btih:0123456789abcdef0123456789abcdef01234567";
  struct MagnetCase {
    const char *text;
    int want;
  } magnets[] = {{hex.c_str(), 1},
                 {"magnet:?dn=x&xt=urn:btih:ABCDEFGHIJKLMNOPQRSTUVWXYZ234567", 1},
                 {"magnet:?xt=urn:btih:&dn=x", 0},
                 {"MAGNET:?xt=urn:btih:0123456789abcdef0123456789abcdef01234567", 0},
                 {nullptr, 0}};
  for (const MagnetCase &c : magnets) EXPECT_EQ(vorn_is_magnet_link(c.text), c.want) << (c.text ? c.text : "NULL");
  EXPECT_EQ(vorn_is_video_path("Show/Episode.MKV"), 1);
  EXPECT_EQ(vorn_is_video_path("movie.mkv.part"), 0);
  const char torrent[] = "d8:announce9:udp://x:14:infod4:name1:xee";
  EXPECT_EQ(vorn_is_torrent_file(torrent, sizeof torrent - 1), 1);
  EXPECT_EQ(vorn_is_torrent_file(torrent, 15), 0);
}

// A zero on either side ends a rule's first full match, whichever side it is.
TEST(SeasonEpisode, ZeroOnEitherSideAbandonsTheRule) {
  const char *const none[] = {"Season 0 Episode 5", "Show 3x00", "Show.S00EP05", "Show.S01EP00"};
  for (const char *name : none) {
    int season = -1, episode = -1;
    EXPECT_EQ(vorn_parse_season_episode(name, &season, &episode), 0) << name;
    EXPECT_EQ(season, -1) << name;
    EXPECT_EQ(episode, -1) << name;
  }
}

TEST(TransferListing, NumericIdNamesTheTransferInDecimal) {
  vorn_test::TestIo io;
  io.on_get("https://api.real-debrid.com/rest/1.0/torrents/info/-42?auth_token=tok-abcd", 200,
            "{\"status\":\"downloaded\",\"files\":[{\"id\":3,\"path\":\"/a.mkv\",\"bytes\":9}]}");
  vorn_io table = io.table();
  vorn_cfg cfg{};
  char err[VORN_ERR_SIZE] = "";
  ASSERT_EQ(vorn_cfg_parse("{\"APIKey\":\"tok-abcd\"}", 1, &cfg, err, sizeof err), VORN_OK);
  vorn_sess sess{};
  ASSERT_EQ(vorn_sess_open(&sess, &table, &cfg, err, sizeof err), VORN_OK);
  vorn_buf out{};
  EXPECT_EQ(vorn_do_list_torrent(&sess, -42, &out, err, sizeof err), VORN_OK) << err;
  EXPECT_STREQ(out.data,
               "[{\"name\":\"/a.mkv\",\"path\":\"/a.mkv\",\"folder\":false,\"size\":9,\"fileid\":3,\"id\":\"/a.mkv\"}]");
  vorn_buf_free(&out);
  vorn_sess_close(&sess);
  vorn_cfg_free(&cfg);
  EXPECT_EQ(io.outstanding(), 0u);
}

}  // namespace
