// A fixed-seed mutation run over small movies of each container (movie_bytes.h): thousands of damaged movies, each read
// from memory and from a file, checked as the fuzz target does. Deterministic and quick.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "platform/webgraph/movie_header.h"
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

class Mutator {
 public:
  explicit Mutator(const std::vector<std::string>& seeds) : seeds_(seeds) {}

  std::string Next() {
    std::string bytes = seeds_[Below(seeds_.size())];
    const size_t steps = 1 + Below(6);
    for (size_t i = 0; i < steps; ++i) Mutate(bytes);
    return bytes;
  }

 private:
  size_t Below(size_t n) { return n == 0 ? 0 : random_() % n; }

  void Mutate(std::string& bytes) {
    const size_t at = Below(bytes.size() + 1);
    switch (Below(6)) {
      case 0:
        if (!bytes.empty()) bytes[Below(bytes.size())] = static_cast<char>(random_());
        break;
      case 1:  // a small change to a byte, as to a size or a count
        if (!bytes.empty()) bytes[Below(bytes.size())] += static_cast<char>(Below(5)) - 2;
        break;
      case 2:
        bytes.erase(at, Below(16));
        break;
      case 3:
        bytes.replace(at, Below(5), kTokens[Below(kTokens.size())]);
        break;
      case 4:  // repeat a stretch: more boxes, elements and chunks
        bytes.insert(at, bytes.substr(Below(bytes.size() + 1), Below(64)));
        break;
      case 5:
        bytes.resize(Below(bytes.size() + 1));
        break;
    }
  }

  const std::vector<std::string>& seeds_;
  std::mt19937 random_{20240611};
};

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
  Mutator mutator(seeds);
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
