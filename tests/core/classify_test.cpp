// The video and torrent classifiers, through their exports.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "vorn.h"

namespace {

TEST(Video, TableOfPaths) {
  struct Case {
    const char *path;
    int video;
  };
  const Case cases[] = {
      {nullptr, 0},
      {"", 0},
      {"noext", 0},
      {"Show/Episode.MKV", 1},
      {"movie.mkv.part", 0},
      {"movie.mkv ", 0},
      {"movie.rm", 1},
      {"movie.ts", 0},
      {"playlist.m3u", 1},
      {".mkv", 0},
      {"..mkv", 1},
      {"dir/.mkv", 1},
      {"a.dir/file", 0},
      {"x.", 0},
      {"x.M4v", 1},
      {"x.mp4", 1},
      {"x.avi", 1},
      {"x.RMVB", 1},
      {"x.webm", 1},
      {"x.m2ts", 1},
      {"x.ogv", 1},
      {"x.flv", 1},
      {"x.mpg", 1},
      {"x.mov", 1},
      {"x.vob", 1},
      {"x.mpeg", 1},
      {"x.f4v", 1},
      {"x.mkvv", 0},
      {"x.mk", 0},
      {"x.\xc3\x89mkv", 0},
      {"x.abcdefghijklmn", 0},    // 15 bytes with the dot: compared, no entry
      {"x.abcdefghijklmno", 0},   // 16 bytes: too long
  };
  for (const Case &c : cases) EXPECT_EQ(c.video, vorn_is_video_path(c.path)) << (c.path ? c.path : "(null)");
}

// Pads a block with filler up to at least 16 bytes.
std::string block(std::string s, size_t min = 16) {
  while (s.size() < min) s += 'x';
  return s;
}

TEST(Torrent, TableOfBlocks) {
  struct Case {
    const char *what;
    std::string bytes;
    int torrent;
  };
  const Case cases[] = {
      {"announce then info", block("d8:announce4:info"), 1},
      {"info then announce", block("d4:info8:announce"), 1},
      {"info with length and path", block("d4:infod6:length4:path"), 1},
      {"path and length before info", block("d4:path6:length4:info"), 1},
      {"info and length only", block("d4:infod6:lengthi5e"), 0},
      {"info and path only", block("d4:infod4:path"), 0},
      {"announce without info", block("d8:announce6:length4:path"), 0},
      {"inside a longer key", block("d14:infox8:announce"), 1},
      {"case-sensitive", block("d4:INFO8:announce"), 0},
      {"not a dictionary", block("l4:info8:announce"), 0},
      {"15 bytes", std::string("d4:info8:announ"), 0},
      {"16 bytes, announce cut", std::string("d4:info8:announc"), 0},
      {"17 bytes, complete", std::string("d4:info8:announce"), 1},
      {"length cut by the end", std::string("d4:info4:pathxxx6:lengt"), 0},
      {"announce cut by the end", std::string("d4:infoxxxxxxxx8:announc"), 0},
      {"key at the very end", std::string("d4:infoxxxxxxxx8:announce"), 1},
      {"embedded NUL bytes", std::string("d\0\0\0004:info\0\0008:announce", 22), 1},
  };
  for (const Case &c : cases) {
    // An exact-size heap copy lets the sanitizer catch a read past the end.
    std::vector<char> heap(c.bytes.begin(), c.bytes.end());
    EXPECT_EQ(c.torrent, vorn_is_torrent_file(heap.data(), heap.size())) << c.what;
  }
  EXPECT_EQ(0, vorn_is_torrent_file(nullptr, 1000));
  const char full[] = "d8:announce4:infoxxxxxx";
  EXPECT_EQ(0, vorn_is_torrent_file(full, 0));
  EXPECT_EQ(1, vorn_is_torrent_file(full, strlen(full)));
}

}  // namespace
