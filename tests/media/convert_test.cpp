// The graph's conversions between stream time and frames, where an off-by-one shows as the
// wrong picture or a marker fired twice.
#include <gtest/gtest.h>

#include <cstdint>

#include "platform/gst/pipeline.h"

namespace gstgraph {
namespace {

TEST(FrameTime, PositionsRoundToTheNearestFrameStart) {
  EXPECT_EQ(FrameAtTime(1633333333, 30, 1), 49);  // plain floor gives 48
  EXPECT_EQ(FrameAtTime(1633000000, 30, 1), 49);  // WebM: timestamps in whole milliseconds
  EXPECT_EQ(FrameAtTime(1666666666, 30, 1), 50);
  EXPECT_EQ(FrameAtTime(0, 30, 1), 0);
  EXPECT_EQ(FrameAtTime(1001000000, 30000, 1001), 30);
  EXPECT_EQ(FrameAtTime(int64_t{100000} * 3600 * 1000000000, 25, 1), int64_t{100000} * 3600 * 25);
}

TEST(FrameTime, SeeksLandInsideTheirFrameAndReadBack) {
  for (auto [n, d] : {std::pair{30, 1}, {25, 1}, {30000, 1001}, {24000, 1001}, {60, 1}}) {
    for (int64_t frame : {0, 1, 29, 49, 1000, 123456}) {
      int64_t t = SeekTimeOfFrame(frame, n, d);
      EXPECT_GT(t, StartTimeOfFrame(frame, n, d)) << frame << " at " << n << "/" << d;
      EXPECT_LT(t, StartTimeOfFrame(frame + 1, n, d)) << frame << " at " << n << "/" << d;
      // More than a millisecond from either edge: rounded timestamps still hold the frame.
      EXPECT_GT(t - StartTimeOfFrame(frame, n, d), 1000000);
      EXPECT_EQ(FrameAtTime(t, n, d), frame) << frame << " at " << n << "/" << d;
    }
  }
}

TEST(FrameTime, DisplaySizeStretchesTheWidthByThePixelAspect) {
  int32_t w = 0, h = 0;
  DisplaySize(VideoFormat{160, 120, 2, 1, 30, 1}, &w, &h);
  EXPECT_EQ(w, 320);
  EXPECT_EQ(h, 120);
  DisplaySize(VideoFormat{720, 576, 16, 15, 25, 1}, &w, &h);
  EXPECT_EQ(w, 768);
  DisplaySize(VideoFormat{720, 480, 10, 11, 30, 1}, &w, &h);
  EXPECT_EQ(w, 655);  // 654.55 rounded
  DisplaySize(VideoFormat{160, 120, 0, 1, 30, 1}, &w, &h);
  EXPECT_EQ(w, 160);  // no aspect stated
}

}  // namespace
}  // namespace gstgraph
