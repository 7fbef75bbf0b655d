// Seeds built in code, written out for a libFuzzer run: with KLP_FUZZ_SEEDS=DIR in the
// environment, a target writes its seeds into DIR (as seed-N files) before it starts, so that
// DIR can be passed as its corpus.
#pragma once

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace klp::fuzz {

inline void WriteSeeds(const std::vector<std::string>& seeds) {
  const char* dir = std::getenv("KLP_FUZZ_SEEDS");
  if (!dir) return;
  for (std::size_t i = 0; i < seeds.size(); ++i)
    std::ofstream(std::string(dir) + "/seed-" + std::to_string(i), std::ios::binary) << seeds[i];
}

}  // namespace klp::fuzz
