#include <gtest/gtest.h>

#include <vector>

#include "player/anchor_geometry.h"

namespace {

using anchors::Rect;

struct KF {
  int32_t frame, left, top, right, bottom;
};

Rect At(const std::vector<KF>& kf, int32_t frame) {
  Rect r{-1, -1, -1, -1};
  EXPECT_TRUE(anchors::RectAtFrame(kf.data(), kf.size(), frame, &r));
  return r;
}

TEST(RectAtFrame, InterpolatesBetweenKeyFrames) {
  std::vector<KF> kf{{10, 0, 0, 100, 100}, {20, 100, 0, 200, 100}};
  EXPECT_EQ(At(kf, 15), (Rect{50, 0, 150, 100}));
  EXPECT_EQ(At(kf, 12).left, 20);
  EXPECT_EQ(At(kf, 5), (Rect{0, 0, 100, 100}));
  EXPECT_EQ(At(kf, 25), (Rect{100, 0, 200, 100}));
  EXPECT_EQ(At(kf, 20), (Rect{100, 0, 200, 100}));
  Rect r;
  EXPECT_FALSE(anchors::RectAtFrame<KF>(nullptr, 0, 15, &r));
}

TEST(RectAtFrame, TruncatesTowardZero) {
  std::vector<KF> kf{{0, 0, 0, 0, 0}, {3, -10, 10, 1, -1}};
  EXPECT_EQ(At(kf, 1), (Rect{-3, 3, 0, 0}));
}

TEST(RectAtFrame, LargeSpansDoNotOverflow) {
  // 32-bit arithmetic multiplying first would overflow here: 1e6 * 1e5.
  std::vector<KF> kf{{0, 0, 0, 0, 0}, {2000000, 100000, 100000, 100000, 100000}};
  EXPECT_EQ(At(kf, 1000000), (Rect{50000, 50000, 50000, 50000}));
}

TEST(RectAtFrame, OutOfOrderKeyFramesFallBackToThePrevious) {
  std::vector<KF> kf{{20, 1, 1, 1, 1}, {10, 2, 2, 2, 2}, {30, 3, 3, 3, 3}};
  EXPECT_EQ(At(kf, 15), (Rect{1, 1, 1, 1})) << "first beyond 15 is 20 at index 0";
  EXPECT_EQ(At(kf, 25), (Rect{2, 2, 2, 2})) << "previous is 10 at index 1, next 30: 10 < 30";
}

TEST(MapToDisplay, ScalesAndRefusesAnEmptyVideo) {
  Rect out;
  ASSERT_TRUE(anchors::MapToDisplay(Rect{10, 10, 20, 20}, 320, 240, 640, 480, &out));
  EXPECT_EQ(out, (Rect{20, 20, 40, 40}));
  ASSERT_TRUE(anchors::MapToDisplay(Rect{10, 10, 20, 20}, 300, 200, 100, 100, &out));
  EXPECT_EQ(out, (Rect{3, 5, 6, 10}));
  EXPECT_FALSE(anchors::MapToDisplay(Rect{10, 10, 20, 20}, 0, 0, 640, 480, &out));
}

TEST(PointInShape, RectangleSidesAndTheInscribedEllipse) {
  Rect r{10, 10, 20, 20};
  EXPECT_TRUE(anchors::PointInShape({10, 10}, r, anchors::SHAPE_RECT));
  EXPECT_TRUE(anchors::PointInShape({20, 20}, r, anchors::SHAPE_RECT));
  EXPECT_FALSE(anchors::PointInShape({21, 20}, r, anchors::SHAPE_RECT));
  EXPECT_TRUE(anchors::PointInShape({15, 10}, r, anchors::SHAPE_ELLIPSE));
  EXPECT_FALSE(anchors::PointInShape({10, 10}, r, anchors::SHAPE_ELLIPSE));
  EXPECT_TRUE(anchors::PointInShape({15, 15}, r, anchors::SHAPE_ELLIPSE));
  EXPECT_FALSE(anchors::PointInShape({15, 15}, r, anchors::SHAPE_NONE));
}

TEST(Shapes, LettersAreComparedWhole) {
  EXPECT_EQ(anchors::HitShape("r"), anchors::SHAPE_RECT);
  EXPECT_EQ(anchors::HitShape("C"), anchors::SHAPE_ELLIPSE);
  EXPECT_EQ(anchors::HitShape("X"), anchors::SHAPE_NONE);
  EXPECT_EQ(anchors::HitShape("RR"), anchors::SHAPE_NONE);
  EXPECT_EQ(anchors::DrawShape("X"), anchors::SHAPE_RECT);
  EXPECT_EQ(anchors::DrawShape("c"), anchors::SHAPE_ELLIPSE);
}

}  // namespace
