// Anchor frames drawn by the overlay into real decoded frames and painted by the graph's video
// window: place, colour, interpolation, ellipses, hidden anchors, the highlight after a colour
// change, redraws of a paused frame from its undrawn copy, a window twice the clip's size,
// filtered, and the same pixels drawn on demand straight into a picture.
#include <gtest/gtest.h>

#include "tests/media/media_fixture.h"

namespace klp::test {
namespace {

using namespace dshow;

constexpr uint32_t kBlue = 0x0000FF;
constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kGreen = 0x00FF00;

bool IsGreyish(uint32_t p) {
  int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
  return std::abs(r - g) < 40 && std::abs(g - b) < 40;
}

// Neither the grey picture nor the green line, but a mix of the two.
bool IsBlendOfGreen(uint32_t p) {
  int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF;
  return p != kGreen && !IsGreyish(p) && g > r;
}

class AnchorPixels : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(g.Open(Clip(ClipSpec{Codec::kMjpegAvi}), w, h), com::S_OK); }

  int32_t Anchor(int32_t colour, int32_t shape, std::vector<AnchorKeyFrame> keys, int32_t width = 2) {
    int32_t id = g.overlay->CreateAnchor(width, colour, shape);
    EXPECT_EQ(g.overlay->SetKeyFrames(id, keys.data(), static_cast<int32_t>(keys.size())), com::S_OK);
    return id;
  }
  // The pixel at video coordinates, read from the window.
  uint32_t At(int x, int y) { return g.Pixel(x * w / 160, y * h / 120); }

  // On a desktop that draws surfaces on demand, the window leaves its own pixels empty and
  // draws any rectangle straight into a picture, with the pixels it paints into them otherwise.
  void CheckDrawnOnDemand() {
    desk.RunUntilIdle();
    win::Surface* s = g.Screen();
    ASSERT_NE(s, nullptr);
    const std::vector<uint32_t> painted = s->pixels;
    const int sw = s->width, sh = s->height;
    ASSERT_EQ(painted.size(), static_cast<size_t>(sw) * sh);
    s->onDemand = true;
    win::InvalidateRect(g.VideoWindow(), nullptr, win::FALSE);
    win::UpdateWindow(g.VideoWindow());
    ASSERT_TRUE(s->draw);
    EXPECT_TRUE(s->pixels.empty());
    for (win::RECT r : {win::RECT{0, 0, sw, sh}, win::RECT{sw / 4 + 1, sh / 3, sw - 3, sh - 1}}) {
      const size_t pitch = static_cast<size_t>(sw) + 5;
      std::vector<uint32_t> out(pitch * static_cast<size_t>(r.bottom - r.top), 0xDEADBEEF);
      s->draw(*s, r, out.data(), pitch);
      int differ = 0;
      for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x)
          differ += (out[(y - r.top) * pitch + (x - r.left)] & 0xFFFFFF) != painted[y * sw + x];
        EXPECT_EQ(out[(y - r.top) * pitch + (r.right - r.left)], 0xDEADBEEFu);  // past the width
      }
      EXPECT_EQ(differ, 0) << r.left << "," << r.top;
    }
  }

  int w = 160, h = 120;
  sim::SimDesktop desk;
  TestGraph g{desk};
};

TEST_F(AnchorPixels, RectangleMovesWithItsKeyFramesAndInterpolates) {
  Anchor(kGreen, SHAPE_RECT, {{10, 20, 40, 60, 80}, {20, 80, 40, 120, 80}});
  ASSERT_EQ(g.Seek(10), com::S_OK);
  EXPECT_EQ(At(20, 60), kGreen);
  EXPECT_EQ(At(21, 41), kGreen);
  EXPECT_TRUE(IsGreyish(At(22, 60)));
  ASSERT_EQ(g.Seek(15), com::S_OK);  // (50, 40, 90, 80)
  EXPECT_EQ(g.ShownFrame(), 15);
  EXPECT_EQ(At(50, 60), kGreen);
  EXPECT_EQ(At(90, 80), kGreen);
  EXPECT_TRUE(IsGreyish(At(49, 60)));
  EXPECT_TRUE(IsGreyish(At(20, 60)));
  ASSERT_EQ(g.Seek(25), com::S_OK);  // past the last key frame: not drawn
  EXPECT_TRUE(IsGreyish(At(80, 60)));
  EXPECT_TRUE(IsGreyish(At(120, 60)));
}

TEST_F(AnchorPixels, EllipseIsTheRectanglesInscribedOne) {
  Anchor(kBlue, SHAPE_ELLIPSE, {{0, 40, 40, 100, 100}});
  ASSERT_EQ(g.Seek(3), com::S_OK);
  EXPECT_EQ(At(70, 40), kBlue);   // top of the ellipse
  EXPECT_EQ(At(40, 70), kBlue);   // its left
  EXPECT_TRUE(IsGreyish(At(40, 40)));  // the rectangle's corner
  EXPECT_TRUE(IsGreyish(At(70, 70)));  // the middle
}

TEST_F(AnchorPixels, HiddenAnchorsAreNotDrawn) {
  int32_t shown = Anchor(kBlue, SHAPE_RECT, {{0, 10, 40, 50, 80}});
  int32_t hidden = Anchor(kGreen, SHAPE_RECT, {{0, 100, 40, 140, 80}});
  g.overlay->ShowAnchor(hidden, 0);
  ASSERT_EQ(g.Seek(1), com::S_OK);
  EXPECT_EQ(At(10, 60), kBlue);
  EXPECT_TRUE(IsGreyish(At(100, 60)));
  g.overlay->ShowAllAnchors(0);
  ASSERT_EQ(g.Seek(2), com::S_OK);
  EXPECT_TRUE(IsGreyish(At(10, 60)));
  (void)shown;
}

TEST_F(AnchorPixels, RefreshRedrawsThePausedFrameFromItsUndrawnCopy) {
  int32_t id = Anchor(kBlue, SHAPE_RECT, {{0, 10, 40, 50, 80}});
  ASSERT_EQ(g.Seek(7), com::S_OK);
  ASSERT_EQ(At(10, 60), kBlue);
  // Activation: the highlight colour, then Refresh, as the player's SelectAnchor does.
  g.overlay->SetAnchorColor(id, kRed);
  EXPECT_EQ(At(10, 60), kBlue);  // nothing redrawn before Refresh
  g.overlay->Refresh();
  EXPECT_EQ(At(10, 60), kRed);
  EXPECT_EQ(g.ShownFrame(), 7);
  // Hiding all and refreshing leaves no trace of the outline: the redraw starts undrawn.
  g.overlay->ShowAllAnchors(0);
  g.overlay->Refresh();
  EXPECT_TRUE(IsGreyish(At(10, 60)));
  EXPECT_TRUE(IsGreyish(At(50, 80)));
  EXPECT_EQ(g.ShownFrame(), 7);
  EXPECT_EQ(g.Position(), 7);
}

class AnchorPixelsScaled : public AnchorPixels {
 protected:
  void SetUp() override {
    w = 320;
    h = 240;
    AnchorPixels::SetUp();
  }
};

// Scaled with filtering: the anchor's 2-pixel lines cover twice the pixels, in their place, and
// their edges blend into the picture as a player's scaled picture would.
TEST_F(AnchorPixelsScaled, FramesAndAnchorsScaleWithTheWindowFiltered) {
  Anchor(kGreen, SHAPE_RECT, {{0, 20, 40, 60, 80}});
  ASSERT_EQ(g.Seek(33), com::S_OK);
  EXPECT_EQ(g.ShownFrame(), 33);
  EXPECT_EQ(g.Screen()->width, 320);
  // The left line, video columns 20 and 21 of row 60: window columns 40 to 43.
  EXPECT_EQ(g.Pixel(41, 120), kGreen);
  EXPECT_EQ(g.Pixel(42, 120), kGreen);
  for (int x : {39, 40, 43, 44}) EXPECT_TRUE(IsBlendOfGreen(g.Pixel(x, 120))) << x;
  EXPECT_TRUE(IsGreyish(g.Pixel(37, 120)));
  EXPECT_TRUE(IsGreyish(g.Pixel(46, 120)));
  // The bottom line, video rows 79 and 80: window rows 158 to 161.
  EXPECT_EQ(g.Pixel(100, 159), kGreen);
  EXPECT_EQ(g.Pixel(100, 160), kGreen);
  EXPECT_TRUE(IsBlendOfGreen(g.Pixel(100, 162)));
  EXPECT_TRUE(IsGreyish(g.Pixel(100, 164)));
  CheckDrawnOnDemand();
}

TEST_F(AnchorPixels, AtItsOwnSizeTheFrameIsDrawnOnDemandAsPainted) {
  Anchor(kGreen, SHAPE_RECT, {{0, 20, 40, 60, 80}});
  ASSERT_EQ(g.Seek(5), com::S_OK);
  ASSERT_EQ(At(20, 60), kGreen);
  CheckDrawnOnDemand();
}

// Pixels twice as wide as high: the video's own size is 320 x 120, in which the key frames are
// given, while the decoder hands over 160 x 120.
TEST(AnchorPixelsWide, KeyFramesFollowThePixelAspect) {
  sim::SimDesktop desk;
  TestGraph g(desk);
  ClipSpec spec{Codec::kH264Mp4};
  spec.pixelAspect = 2;
  ASSERT_EQ(g.Open(Clip(spec)), com::S_OK);
  EXPECT_EQ(g.videoWidth, 320);
  EXPECT_EQ(g.videoHeight, 120);
  int32_t id = g.overlay->CreateAnchor(2, kGreen, SHAPE_RECT);
  AnchorKeyFrame key{0, 100, 40, 180, 80};  // the frame's (50, 40, 90, 80)
  g.overlay->SetKeyFrames(id, &key, 1);
  ASSERT_EQ(g.Seek(12), com::S_OK);
  EXPECT_EQ(g.ShownFrame(), 12);
  EXPECT_EQ(g.Screen()->width, 320);  // the window takes the video's own size
  EXPECT_EQ(g.Pixel(101, 60), kGreen);  // the frame's columns 50 and 51
  EXPECT_EQ(g.Pixel(102, 60), kGreen);
  EXPECT_EQ(g.Pixel(179, 60), kGreen);  // 89 and 90
  EXPECT_EQ(g.Pixel(180, 60), kGreen);
  EXPECT_TRUE(IsGreyish(g.Pixel(96, 60)));
  EXPECT_TRUE(IsGreyish(g.Pixel(186, 60)));
}

}  // namespace
}  // namespace klp::test
