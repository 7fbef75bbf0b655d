// The clip tool: make_test_clip CODEC WIDTH HEIGHT FRAMES FPS ASPECT PATH (CODEC as CodecName
// gives it).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/media/clip_maker.h"

int main(int argc, char** argv) {
  klp::test::ClipSpec spec;
  if (argc != 8 || !klp::test::CodecByName(argv[1], &spec.codec)) {
    std::fprintf(stderr, "usage: make_test_clip CODEC WIDTH HEIGHT FRAMES FPS ASPECT PATH\n");
    return 2;
  }
  spec.width = std::atoi(argv[2]);
  spec.height = std::atoi(argv[3]);
  spec.frames = std::atoi(argv[4]);
  spec.fps = std::atoi(argv[5]);
  spec.pixelAspect = std::atoi(argv[6]);
  std::string error;
  if (!klp::test::WriteClip(spec, argv[7], &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  return 0;
}
