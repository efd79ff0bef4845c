// Season and episode recognition through the exported parser.
#include <gtest/gtest.h>

#include "vorn.h"

namespace {

struct Case {
  const char *name;
  int found;
  int season;
  int episode;
};

const Case kCases[] = {
    {"Show.Name.S01E05.1080p.mkv", 1, 1, 5},
    {"show.s02e10.mkv", 1, 2, 10},
    {"S1 E1", 1, 1, 1},
    {"Show.S01.E05", 1, 1, 5},
    {"Show.E5.S2", 1, 2, 5},
    {"Show.Se7en.S01E02", 1, 1, 7},
    {"Show.S01Ep05", 1, 1, 5},
    {"Show.S00E05", 1, 1, 5},
    {"Show.S100E01", 1, 1, 1},
    {"Show.S01E00", 0, 0, 0},
    {"Show.S1E100", 0, 0, 0},
    {"Season 2 Episode 11", 1, 2, 11},
    {"SEASON 02 EPISODE 03", 1, 2, 3},
    {"Season 2 Episode 11 S03E04", 1, 3, 4},
    {"Season 1, Episode 2", 0, 0, 0},
    {"Season 1 Episode 0", 0, 0, 0},
    {"Show 3x07", 1, 3, 7},
    {"Show.12x03.HDTV", 1, 12, 3},
    {"Show 2019x01", 1, 19, 1},
    {"Show.123x45", 1, 23, 45},
    {"1920x1080", 0, 0, 0},
    {"Show 0x05", 0, 0, 0},
    {"Show 1X07", 0, 0, 0},
    {"Pirates 1015 1080p", 1, 21, 1015},
    {"Show 891 end", 1, 1, 891},
    {"Show 892 end", 1, 21, 892},
    {"Show 1199 end", 1, 21, 1199},
    {"Show 1200 end", 1, 1, 1200},
    {"Movie 2019 1080p", 1, 1, 2019},
    {"Show 12345 6 end", 1, 1, 6},
    {"Show 0 5 end", 0, 0, 0},
    {"Show - 05 [720p]", 1, 1, 5},
    {"Show-05", 0, 0, 0},
    {"Show Ep05", 1, 1, 5},
    {"Show.E05", 1, 1, 5},
    {"Episode 5", 0, 0, 0},
    {"Show EP05", 0, 0, 0},
    {"Show.S01EP05", 1, 1, 5},
    {"Show.s1ep2", 1, 1, 2},
    {"Show.S01EP00", 0, 0, 0},
    {"Show Season 1 Ep 5", 0, 0, 0},
    {"season finale E5", 0, 0, 0},
    {"Show.E0.S1", 0, 0, 0},
    {"Movie.2019.mkv", 0, 0, 0},
    {"", 0, 0, 0},
    // Beyond the reference names: the rule boundaries that are easy to get wrong.
    {"Show.S2.E0.Ep7", 0, 0, 0},        // an E-marker of 0 still counts: "Ep" is never asked
    {"Show S0 S3E04", 1, 1, 4},         // only the first S-number counts: S0 fails rule 1, not S3
    {"Show sEaSoN 4 ePiSoDe 9", 1, 4, 9},
    {"Season 3  Episode 4", 0, 0, 0},   // two blanks break the spelled-out form
    {"Show 3x100 4x05", 1, 4, 5},       // a three-digit episode is no match; the next one is
    {"Show 0007 end", 1, 1, 7},
    {"Show.s01Ep02", 1, 1, 2},
};

class SeasonTable : public ::testing::TestWithParam<Case> {};

TEST_P(SeasonTable, ReadsNumbersOrNothing) {
  const Case &c = GetParam();
  int season = -99, episode = -99;
  ASSERT_EQ(vorn_parse_season_episode(c.name, &season, &episode), c.found) << c.name;
  if (c.found) {
    EXPECT_EQ(season, c.season) << c.name;
    EXPECT_EQ(episode, c.episode) << c.name;
  } else {
    EXPECT_EQ(season, -99) << c.name << ": written on no result";
    EXPECT_EQ(episode, -99) << c.name << ": written on no result";
  }
}

INSTANTIATE_TEST_SUITE_P(Names, SeasonTable, ::testing::ValuesIn(kCases));

TEST(SeasonOutputs, EitherOutputMayBeNull) {
  int season = -1, episode = -1;
  EXPECT_EQ(vorn_parse_season_episode("Show.S03E08", nullptr, nullptr), 1);
  EXPECT_EQ(vorn_parse_season_episode("Show.S03E08", &season, nullptr), 1);
  EXPECT_EQ(season, 3);
  EXPECT_EQ(vorn_parse_season_episode("Show.S03E09", nullptr, &episode), 1);
  EXPECT_EQ(episode, 9);
  EXPECT_EQ(vorn_parse_season_episode("Movie.mkv", nullptr, nullptr), 0);
}

TEST(SeasonOutputs, NullNameGivesNothing) {
  int season = -99, episode = -99;
  EXPECT_EQ(vorn_parse_season_episode(nullptr, &season, &episode), 0);
  EXPECT_EQ(season, -99);
  EXPECT_EQ(episode, -99);
}

}  // namespace
