// Drawing anchor frames: where the outline lies, its colour and width, interpolation, scaling,
// the drawn life of an anchor, ellipses matching the hit test, and clipping.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "overlay/draw.h"
#include "player/anchor_geometry.h"
#include "tests/overlay/frame_image.h"

namespace {

using dshow::AnchorKeyFrame;
using klp::test::FrameImage;
using klp::test::kGrey;
using overlay::Anchor;
using overlay::DrawAnchors;

Anchor MakeAnchor(std::vector<AnchorKeyFrame> keys, int32_t width = 1, int32_t colour = 0xFF0000,
                  int32_t shape = dshow::SHAPE_RECT) {
  Anchor a;
  a.id = 1;
  a.lineWidth = width;
  a.colour = colour;
  a.shape = shape;
  a.keyFrames = std::move(keys);
  return a;
}

// Draws one anchor into a fresh grey picture at frame.
FrameImage Draw(const Anchor& a, int32_t frame, int width = 40, int height = 30) {
  FrameImage img(width, height);
  img.frame().number = frame;
  DrawAnchors(img.frame(), &a, 1);
  return img;
}

TEST(DrawRect, OutlineLiesInsideTheRectangleWithItsSidesIncluded) {
  FrameImage img = Draw(MakeAnchor({{0, 5, 5, 20, 15}}, 2, 0x123456), 0);
  const uint32_t c = 0x123456;
  for (auto [x, y] : {std::pair{5, 5}, {20, 15}, {20, 5}, {5, 15}, {6, 6}, {19, 14}, {12, 6}})
    EXPECT_EQ(img.At(x, y), c) << x << "," << y;
  for (auto [x, y] : {std::pair{4, 5}, {21, 15}, {5, 16}, {7, 7}, {18, 13}, {12, 10}})
    EXPECT_EQ(img.At(x, y), kGrey) << x << "," << y;
  // A 16 x 11 rectangle with a 2-pixel outline.
  EXPECT_EQ(img.Changed(), 16 * 11 - 12 * 7);
}

TEST(DrawRect, ColourIsReadAsRrggbbIntoBgrxBytes) {
  FrameImage img = Draw(MakeAnchor({{0, 0, 0, 3, 3}}, 1, 0x00FF0000 | 0x0000AA), 0);
  const uint8_t* p = img.bytes().data();
  EXPECT_EQ(p[0], 0xAA);  // blue
  EXPECT_EQ(p[1], 0x00);  // green
  EXPECT_EQ(p[2], 0xFF);  // red
  // The top byte of the colour is not a colour.
  FrameImage high = Draw(MakeAnchor({{0, 0, 0, 3, 3}}, 1, static_cast<int32_t>(0xFF0000FF)), 0);
  EXPECT_EQ(high.At(0, 0), 0x0000FFu);
}

TEST(DrawRect, ThickOutlineFillsASmallRectangle) {
  FrameImage img = Draw(MakeAnchor({{0, 10, 10, 15, 14}}, 10), 0);
  EXPECT_EQ(img.Changed(), 6 * 5);
}

TEST(DrawRect, NothingForHiddenAnchorsZeroWidthOrInvertedRectangles) {
  Anchor hidden = MakeAnchor({{0, 1, 1, 10, 10}});
  hidden.shown = false;
  EXPECT_EQ(Draw(hidden, 0).Changed(), 0);
  EXPECT_EQ(Draw(MakeAnchor({{0, 1, 1, 10, 10}}, 0), 0).Changed(), 0);
  EXPECT_EQ(Draw(MakeAnchor({{0, 10, 10, 1, 1}}), 0).Changed(), 0);
  EXPECT_EQ(Draw(MakeAnchor({}), 0).Changed(), 0);
}

TEST(DrawLife, InterpolatedBetweenKeyFramesAndOnlyWithinThem) {
  Anchor a = MakeAnchor({{10, 0, 0, 10, 10}, {20, 20, 0, 30, 10}});
  FrameImage mid = Draw(a, 15);  // (10, 0, 20, 10)
  EXPECT_NE(mid.At(10, 5), kGrey);
  EXPECT_NE(mid.At(20, 5), kGrey);
  EXPECT_EQ(mid.At(9, 5), kGrey);
  EXPECT_EQ(mid.At(21, 5), kGrey);
  EXPECT_NE(Draw(a, 10).At(0, 5), kGrey);
  EXPECT_NE(Draw(a, 20).At(30, 5), kGrey);
  EXPECT_EQ(Draw(a, 9).Changed(), 0);
  EXPECT_EQ(Draw(a, 21).Changed(), 0);
  // A single key frame stands for the whole movie.
  Anchor still = MakeAnchor({{10, 0, 0, 10, 10}});
  EXPECT_NE(Draw(still, 0).Changed(), 0);
  EXPECT_NE(Draw(still, 500).Changed(), 0);
}

TEST(DrawScale, KeyFramesInVideoPixelsAreScaledToTheFrame) {
  // A 20 x 15 video decoded into a 40 x 30 frame: (5, 5, 10, 10) becomes (10, 10, 20, 20).
  FrameImage img(40, 30);
  img.frame().videoWidth = 20;
  img.frame().videoHeight = 15;
  Anchor a = MakeAnchor({{0, 5, 5, 10, 10}});
  DrawAnchors(img.frame(), &a, 1);
  EXPECT_NE(img.At(10, 10), kGrey);
  EXPECT_NE(img.At(20, 20), kGrey);
  EXPECT_EQ(img.At(9, 10), kGrey);
  EXPECT_EQ(img.At(21, 20), kGrey);
  EXPECT_EQ(img.At(11, 11), kGrey);
}

// Every pixel of the ring is in the hit test's ellipse and not in the ellipse of the rectangle
// shrunk by the line width; every other pixel is untouched.
void ExpectEllipseRing(anchors::Rect r, int32_t width) {
  Anchor a = MakeAnchor({{0, r.left, r.top, r.right, r.bottom}}, width, 0x00FF00,
                        dshow::SHAPE_ELLIPSE);
  FrameImage img = Draw(a, 0, 64, 48);
  const bool hollow = 2LL * width <= int64_t{r.right} - r.left &&
                      2LL * width <= int64_t{r.bottom} - r.top;
  anchors::Rect inner{};
  if (hollow) inner = {r.left + width, r.top + width, r.right - width, r.bottom - width};
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) {
      bool ring = anchors::PointInShape({x, y}, r, anchors::SHAPE_ELLIPSE) &&
                  !(hollow && anchors::PointInShape({x, y}, inner, anchors::SHAPE_ELLIPSE));
      ASSERT_EQ(img.At(x, y) == 0x00FF00u, ring)
          << "rect " << r.left << "," << r.top << "," << r.right << "," << r.bottom
          << " width " << width << " at " << x << "," << y;
    }
}

TEST(DrawEllipse, RingMatchesTheHitTestsEllipse) {
  ExpectEllipseRing({10, 10, 20, 20}, 1);
  ExpectEllipseRing({10, 10, 21, 20}, 2);
  ExpectEllipseRing({3, 5, 60, 40}, 3);
  ExpectEllipseRing({0, 0, 1, 1}, 1);
  ExpectEllipseRing({-20, -10, 30, 25}, 2);  // clipped at the top left
  ExpectEllipseRing({30, 20, 90, 70}, 4);    // clipped at the bottom right
  ExpectEllipseRing({5, 5, 25, 9}, 8);       // solid: the line is wider than the ellipse
  ExpectEllipseRing({5, 5, 25, 30}, INT_MAX);  // solid, however wide the line
}

TEST(DrawEllipse, CornersOfTheRectangleStayUntouched) {
  FrameImage img = Draw(MakeAnchor({{0, 10, 10, 20, 20}}, 1, 0x0000FF, dshow::SHAPE_ELLIPSE), 0);
  EXPECT_EQ(img.At(15, 10), 0x0000FFu);
  EXPECT_EQ(img.At(10, 15), 0x0000FFu);
  EXPECT_EQ(img.At(10, 10), kGrey);
  EXPECT_EQ(img.At(20, 20), kGrey);
}

TEST(DrawClip, RectanglesBeyondTheFrameStayInsideItsRowsAndStride) {
  FrameImage img(16, 8, /*stridePad=*/8);
  img.frame().number = 0;
  std::vector<Anchor> as = {
      MakeAnchor({{0, -5, -5, 3, 3}}),
      MakeAnchor({{0, 10, 4, 40, 40}}, 3),
      MakeAnchor({{0, INT_MIN, INT_MIN, INT_MAX, INT_MAX}}, 2),
      MakeAnchor({{0, INT_MIN, 2, INT_MAX, 5}}, 1, 0xFF0000, dshow::SHAPE_ELLIPSE),
      MakeAnchor({{0, 100, 100, 200, 200}}),
      MakeAnchor({{0, -200, -200, -100, -100}}),
  };
  DrawAnchors(img.frame(), as.data(), as.size());
  EXPECT_EQ(img.At(3, 0), 0xFF0000u);   // right side of the first
  EXPECT_EQ(img.At(10, 7), 0xFF0000u);  // left side of the second
  for (int y = 0; y < 8; ++y)
    for (int i = 64; i < 72; ++i) EXPECT_EQ(img.bytes()[y * 72 + i], 0x80) << "row " << y;
}

}  // namespace
