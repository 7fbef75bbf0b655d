// libFuzzer target: any bytes as the start of a movie file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <numeric>

#include "platform/webgraph/movie_header.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  webgraph::MovieTiming t{-7, -7, -7};
  if (!webgraph::ReadMovieTiming(data, size, &t)) {
    if (t.frameNum != -7 || t.frameDen != -7 || t.frames != -7) std::abort();
    return 0;
  }
  const bool sound = t.frameNum > 0 && t.frameDen > 0 && std::gcd(t.frameNum, t.frameDen) == 1 &&
                     t.frameNum <= 1000 * t.frameDen && t.frameDen <= 1000 * t.frameNum &&
                     (t.frames == -1 || t.frames > 0);
  if (!sound) std::abort();
  return 0;
}
