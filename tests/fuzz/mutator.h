// The fixed-seed mutator of the smoke runs: each input is a seed changed a few times by byte
// edits, inserted tokens, repeated stretches and splices with other seeds. Deterministic, so a
// smoke run is the same on every machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace klp::fuzz {

class Mutator {
 public:
  Mutator(std::vector<std::string> seeds, std::vector<std::string_view> tokens, uint32_t seed)
      : seeds_(std::move(seeds)), tokens_(std::move(tokens)), random_(seed) {}

  std::string Next() {
    std::string bytes = seeds_[Below(seeds_.size())];
    const std::size_t steps = 1 + Below(6);
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
        bytes.erase(at, Below(8));
        break;
      case 3:
        if (!tokens_.empty()) bytes.insert(at, tokens_[Below(tokens_.size())]);
        break;
      case 4:
        bytes.insert(at, bytes.substr(Below(bytes.size() + 1), Below(32)));
        break;
      case 5: {
        const std::string& other = seeds_[Below(seeds_.size())];
        bytes = bytes.substr(0, at) + other.substr(Below(other.size() + 1));
        break;
      }
    }
  }

  std::vector<std::string> seeds_;
  std::vector<std::string_view> tokens_;
  std::mt19937 random_;
};

}  // namespace klp::fuzz
