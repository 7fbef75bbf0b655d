// A fixed-seed mutation run over small movies of each container (movie_bytes.h): thousands of damaged movies, each read
// from memory and from a file, checked as the fuzz target does. Deterministic and quick.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <string>
#include <string_view>
#include <vector>

#include "platform/webgraph/movie_header.h"
#include "tests/fuzz/mutator.h"
#include "tests/webgraph/movie_bytes.h"

namespace {

using webgraph::MovieTiming;

// Sizes and names that steer the readers into their edge cases.
constexpr std::array<std::string_view, 16> kTokens{std::string_view("\0\0\0\0", 4),
                                                   std::string_view("\0\0\0\x01", 4),
                                                   "\xFF\xFF\xFF\xFF",
                                                   "\x01\xFF\xFF\xFF\xFF\xFF\xFF\xFF",
                                                   "\x80",
                                                   "moov",
                                                   "trak",
                                                   "mdia",
                                                   "stts",
                                                   "vide",
                                                   "\x18\x53\x80\x67",
                                                   "\x16\x54\xAE\x6B",
                                                   "\x1F\x43\xB6\x75",
                                                   "\x23\xE3\x83",
                                                   "LIST",
                                                   "vids"};

// What a read must leave: a reduced rate within bounds and a sane count, or *out untouched.
std::string Check(bool ok, const MovieTiming& t) {
  if (!ok)
    return t.frameNum == -7 && t.frameDen == -7 && t.frames == -7 ? "" : "changed on failure";
  if (t.frameNum <= 0 || t.frameDen <= 0 || std::gcd(t.frameNum, t.frameDen) != 1)
    return "bad rate";
  if (t.frameNum > 1000 * t.frameDen || t.frameDen > 1000 * t.frameNum) return "rate out of bounds";
  if (t.frames != -1 && t.frames <= 0) return "bad frame count";
  return "";
}

TEST(MovieHeaderSmoke, MutatedSeedsReadSoundly) {
  const std::vector<std::string> seeds = movie_bytes::Seeds();
  ASSERT_FALSE(seeds.empty());
  std::string dir = (std::filesystem::temp_directory_path() / "klp_movie_XXXXXX").string();
  ASSERT_NE(mkdtemp(dir.data()), nullptr);
  const std::string path = dir + "/movie";
  klp::fuzz::Mutator mutator(seeds, {kTokens.begin(), kTokens.end()}, 20240611, {6, 16, 64});
  int read = 0;
  for (int i = 0; i < 4000; ++i) {
    const std::string bytes = i < int(seeds.size()) ? seeds[i] : mutator.Next();
    MovieTiming fromMemory{-7, -7, -7}, fromFile{-7, -7, -7};
    const std::vector<uint8_t> exact(bytes.begin(), bytes.end());  // overreads reach no slack
    const bool ok = webgraph::ReadMovieTiming(exact.data(), exact.size(), &fromMemory);
    std::remove(path.c_str());  // a new file: truncating one in place may wait for the disk
    std::ofstream(path, std::ios::binary) << bytes;
    const bool okFile = webgraph::ReadMovieTimingFromFile(path.c_str(), &fromFile);
    ASSERT_EQ(Check(ok, fromMemory), "") << "input " << i;
    ASSERT_EQ(ok, okFile) << "input " << i;
    ASSERT_TRUE(fromMemory.frameNum == fromFile.frameNum &&
                fromMemory.frameDen == fromFile.frameDen && fromMemory.frames == fromFile.frames)
        << "input " << i;
    if (i < int(seeds.size())) {
      EXPECT_TRUE(ok) << "seed " << i;
    }
    read += ok;
  }
  std::filesystem::remove_all(dir);
  // The mutations must leave enough movies readable to reach past the container headers.
  EXPECT_GT(read, 200);
}

}  // namespace
