// libFuzzer target: any bytes as a project file.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "tests/fuzz/project_read_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const klp::fuzz::ScratchFile file;
  const std::string problem =
      klp::fuzz::ReadAndCheck({reinterpret_cast<const char*>(data), size}, file.path());
  if (!problem.empty()) {
    std::fprintf(stderr, "%s\n", problem.c_str());
    std::abort();
  }
  return 0;
}
