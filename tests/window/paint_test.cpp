// The idle picture: centred, clipped in a small window, only while no movie is open.
#include "resources/resources.h"
#include "tests/window/window_fixture.h"

namespace window_test {
namespace {

// Pixels of the window that differ from the idle picture placed at (x0, y0).
int Mismatches(const win::Surface& s, int x0, int y0) {
  const resources::Bitmap& b = *resources::FindBitmap(resources::IDB_IDLE);
  int bad = 0;
  for (int y = 0; y < s.height; ++y) {
    for (int x = 0; x < s.width; ++x) {
      int bx = x - x0, by = y - y0;
      bool inside = bx >= 0 && bx < b.width && by >= 0 && by < b.height;
      bad += s.pixels[static_cast<size_t>(y * s.width + x)] != (inside ? b.Rgb(bx, by) : 0u);
    }
  }
  return bad;
}

class PaintTest : public WindowTest {
 protected:
  const win::Surface& Paint() {
    win::InvalidateRect(browser, nullptr, win::TRUE);
    win::UpdateWindow(browser);
    return *desk.SurfaceOf(browser);
  }
};

TEST_F(PaintTest, TheIdlePictureIsCentredAndPassedOn) {
  EXPECT_EQ(Mismatches(Paint(), 99, 101), 0);
  EXPECT_EQ(PassedOn(win::WM_PAINT), 1u);
  EXPECT_EQ(desk.GdiObjects(), 0u) << "bitmap and memory DC deleted";
}

TEST_F(PaintTest, ASmallWindowShowsTheCentreOfThePicture) {
  win::MoveWindow(browser, 100, 50, 100, 20, win::FALSE);
  EXPECT_EQ(Mismatches(Paint(), -11, -9), 0);
}

TEST_F(PaintTest, NothingIsPaintedWhileAMovieIsOpenButAlwaysWithoutAPlayer) {
  Show(MOVIE_PAUSED);
  EXPECT_EQ(Mismatches(Paint(), 1000, 1000), 0) << "left to the video";
  EXPECT_EQ(PassedOn(win::WM_PAINT), 1u);
  delete object->m_player;
  object->m_player = nullptr;
  EXPECT_EQ(Mismatches(Paint(), 99, 101), 0);
}

}  // namespace
}  // namespace window_test
