// The fixed-seed mutator of the smoke runs: each input is a seed changed a few times by byte
// edits and nudges, erasures, inserted or overwritten tokens, repeated stretches, splices with
// other seeds and truncation. Deterministic, so a smoke run is the same on every machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace klp::fuzz {

// The most of each kind of change: edits per input, bytes erased, bytes repeated.
struct MutatorLimits {
  std::size_t steps = 6;
  std::size_t erase = 8;
  std::size_t repeat = 32;
};

class Mutator {
 public:
  Mutator(std::vector<std::string> seeds, std::vector<std::string_view> tokens, uint32_t seed,
          MutatorLimits limits = {})
      : seeds_(std::move(seeds)), tokens_(std::move(tokens)), limits_(limits), random_(seed) {}

  std::string Next() {
    std::string bytes = seeds_[Below(seeds_.size())];
    const std::size_t steps = 1 + Below(limits_.steps);
    for (std::size_t i = 0; i < steps; ++i) Mutate(bytes);
    return bytes;
  }

 private:
  std::size_t Below(std::size_t n) { return n == 0 ? 0 : random_() % n; }

  void Mutate(std::string& bytes) {
    const std::size_t at = Below(bytes.size() + 1);
    switch (Below(9)) {
      case 0:
        if (!bytes.empty()) bytes[Below(bytes.size())] = static_cast<char>(random_());
        break;
      case 1:  // a size or count one or two off
        if (!bytes.empty()) bytes[Below(bytes.size())] += static_cast<char>(Below(5)) - 2;
        break;
      case 2:
        bytes.insert(at, 1, static_cast<char>(random_()));
        break;
      case 3:
        bytes.erase(at, Below(limits_.erase));
        break;
      case 4:
        if (!tokens_.empty()) bytes.insert(at, tokens_[Below(tokens_.size())]);
        break;
      case 5:  // over what stood there, keeping what follows in place
        if (!tokens_.empty()) bytes.replace(at, Below(5), tokens_[Below(tokens_.size())]);
        break;
      case 6:  // more blocks, lines and digits
        bytes.insert(at, bytes.substr(Below(bytes.size() + 1), Below(limits_.repeat)));
        break;
      case 7: {
        const std::string& other = seeds_[Below(seeds_.size())];
        bytes = bytes.substr(0, at) + other.substr(Below(other.size() + 1));
        break;
      }
      case 8:
        bytes.resize(Below(bytes.size() + 1));
        break;
    }
  }

  std::vector<std::string> seeds_;
  std::vector<std::string_view> tokens_;
  MutatorLimits limits_;
  std::mt19937 random_;
};

}  // namespace klp::fuzz
