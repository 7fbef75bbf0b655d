// A fixed-seed mutation run over the seed corpus: thousands of damaged project files, each read
// and checked as the fuzz target does. Deterministic and quick, so it runs with every test run.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/fuzz/mutator.h"
#include "tests/fuzz/project_read_check.h"

namespace klp::fuzz {
namespace {

std::vector<std::string> LoadSeeds() {
  std::vector<std::string> seeds;
  for (const auto& entry : std::filesystem::directory_iterator(KLP_PROJECT_CORPUS)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    seeds.push_back(bytes.str());
  }
  return seeds;
}

constexpr std::array<std::string_view, 20> kTokens{
    "[HotSpot]\n", "[Marker]\n", "[Event]\n",  "[Link]\n", "[Effect]\n", "[Global]\n",
    "HotSpot=",    ":",          ",",          "-",        "\"",         "\n",
    "\r\n",        ";",          "2147483648", "99999999999999999999", "-2147483649",
    "FFFFFFFF",    std::string_view("\0", 1),  "\xC3\x28"};

TEST(ProjectReadSmoke, MutatedSeedsReadSoundly) {
  const std::vector<std::string> seeds = LoadSeeds();
  ASSERT_FALSE(seeds.empty());
  const ScratchFile file;
  for (const std::string& seed : seeds) ASSERT_EQ(ReadAndCheck(seed, file.path()), "");
  Mutator mutator(seeds, {kTokens.begin(), kTokens.end()}, 20240517, {8, 16, 64});
  for (int i = 0; i < 3000; ++i) {
    const std::string bytes = mutator.Next();
    ASSERT_EQ(ReadAndCheck(bytes, file.path()), "") << "input " << i << ":\n" << bytes;
  }
}

}  // namespace
}  // namespace klp::fuzz
