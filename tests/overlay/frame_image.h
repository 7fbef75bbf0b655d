// A BGRx picture in memory for drawing tests: filled with one grey, read back as 0xRRGGBB.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/gst/frame_filter.h"

namespace klp::test {

inline constexpr uint32_t kGrey = 0x808080;

class FrameImage {
 public:
  // stridePad extra bytes end every row; they must stay untouched.
  FrameImage(int width, int height, int stridePad = 0)
      : stride_(width * 4 + stridePad), pixels_(static_cast<size_t>(stride_) * height, 0x80) {
    frame_.pixels = pixels_.data();
    frame_.width = width;
    frame_.height = height;
    frame_.stride = stride_;
    frame_.videoWidth = width;
    frame_.videoHeight = height;
  }

  media::VideoFrame& frame() { return frame_; }
  const std::vector<uint8_t>& bytes() const { return pixels_; }

  uint32_t At(int x, int y) const {
    const uint8_t* p = pixels_.data() + static_cast<size_t>(y) * stride_ + x * 4;
    return static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
  }

  // Pixels that are no longer grey.
  int Changed() const {
    int n = 0;
    for (int y = 0; y < frame_.height; ++y)
      for (int x = 0; x < frame_.width; ++x) n += At(x, y) != kGrey;
    return n;
  }

 private:
  int stride_;
  std::vector<uint8_t> pixels_;
  media::VideoFrame frame_;
};

}  // namespace klp::test
