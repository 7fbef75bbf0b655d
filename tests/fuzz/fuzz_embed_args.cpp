// libFuzzer target: any bytes as EMBED attributes and a movie name (embed_args_check.h).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "tests/fuzz/seeds.h"
#include "tests/fuzz/embed_args_check.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  klp::fuzz::WriteSeeds(klp::fuzz::EmbedArgsSeeds());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string problem =
      klp::fuzz::CheckEmbedArgs({reinterpret_cast<const char*>(data), size});
  if (!problem.empty()) {
    std::fprintf(stderr, "%s\n", problem.c_str());
    std::abort();
  }
  return 0;
}
