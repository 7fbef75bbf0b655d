// A fixed-seed mutation run over the seed corpus: thousands of damaged project files, each read
// and checked as the fuzz target does. Deterministic and quick, so it runs with every test run.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

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

class Mutator {
 public:
  explicit Mutator(const std::vector<std::string>& seeds) : seeds_(seeds) {}

  std::string Next() {
    std::string bytes = seeds_[Below(seeds_.size())];
    const std::size_t steps = 1 + Below(8);
    for (std::size_t i = 0; i < steps; ++i) Mutate(bytes);
    return bytes;
  }

 private:
  std::size_t Below(std::size_t n) { return n == 0 ? 0 : random_() % n; }

  void Mutate(std::string& bytes) {
    const std::size_t at = Below(bytes.size() + 1);
    switch (Below(6)) {
      case 0:
        if (!bytes.empty()) bytes[Below(bytes.size())] = static_cast<char>(random_());
        break;
      case 1:
        bytes.insert(at, 1, static_cast<char>(random_()));
        break;
      case 2:
        bytes.erase(at, Below(16));
        break;
      case 3:
        bytes.insert(at, kTokens[Below(kTokens.size())]);
        break;
      case 4:  // repeat a stretch, which makes more blocks, lines and digits
        bytes.insert(at, bytes.substr(Below(bytes.size() + 1), Below(64)));
        break;
      case 5: {
        const std::string& other = seeds_[Below(seeds_.size())];
        bytes = bytes.substr(0, at) + other.substr(Below(other.size() + 1));
        break;
      }
    }
  }

  const std::vector<std::string>& seeds_;
  std::mt19937 random_{20240517};
};

TEST(ProjectReadSmoke, MutatedSeedsReadSoundly) {
  const std::vector<std::string> seeds = LoadSeeds();
  ASSERT_FALSE(seeds.empty());
  const ScratchFile file;
  for (const std::string& seed : seeds) ASSERT_EQ(ReadAndCheck(seed, file.path()), "");
  Mutator mutator(seeds);
  for (int i = 0; i < 3000; ++i) {
    const std::string bytes = mutator.Next();
    ASSERT_EQ(ReadAndCheck(bytes, file.path()), "") << "input " << i << ":\n" << bytes;
  }
}

}  // namespace
}  // namespace klp::fuzz
