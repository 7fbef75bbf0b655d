// The mouse filter, the left-button click state machine and the cursor, through the window
// procedure. Double clicks are seen through their action with no movie open: Play(-1), which
// the player refuses with its trace line.
#include "tests/window/window_fixture.h"

namespace window_test {
namespace {

TEST_F(WindowTest, BeforeAMovieOnlyTheOriginIsOnTheVideo) {
  for (win::UINT msg = win::WM_MOUSEMOVE; msg <= win::WM_RBUTTONDBLCLK; ++msg)
    for (win::POINT p : {win::POINT{1, 0}, win::POINT{0, 1}, win::POINT{160, 120}})
      EXPECT_EQ(Mouse(msg, p.x, p.y), 0);
  EXPECT_THAT(desk.BrowserLog(), IsEmpty()) << "consumed, not passed on";
  EXPECT_THAT(desk.CursorHistory(), IsEmpty());
  EXPECT_THAT(Lines(), IsEmpty());

  Mouse(win::WM_RBUTTONDOWN, 0, 0);
  Mouse(win::WM_RBUTTONUP, 0, 0);
  EXPECT_EQ(PassedOn(win::WM_RBUTTONUP), 1u);
  EXPECT_THAT(desk.MenusShown(), IsEmpty()) << "no menu before a movie is open";
}

TEST_F(WindowTest, TheVideoRectangleIncludesBothBounds) {
  Show(MOVIE_STOPPED, 320, 240);
  Mouse(win::WM_MOUSEMOVE, 320, 240);
  Mouse(win::WM_MOUSEMOVE, 0, 0);
  EXPECT_EQ(PassedOn(win::WM_MOUSEMOVE), 2u);
  Mouse(win::WM_MOUSEMOVE, 321, 240);
  Mouse(win::WM_MOUSEMOVE, 320, 241);
  Mouse(win::WM_MOUSEMOVE, 0xFFFF, 5);  // x = -1 from a capture, read unsigned
  EXPECT_EQ(PassedOn(win::WM_MOUSEMOVE), 2u);
}

class ClickTest : public WindowTest {
 protected:
  ClickTest() {
    Show(MOVIE_NONE, 320, 240);
    desk.SetDoubleClickTime(300);
  }
  size_t DoubleClicks() const {
    size_t n = 0;
    for (const std::string& line : Lines()) n += line == "! CKLMoviePlay::Play 01";
    return n;
  }
};

TEST_F(ClickTest, PressesSixteenPixelsApartAreADoubleClickSeventeenAreNot) {
  Click(10, 10);
  EXPECT_EQ(object->m_clickState, CLICK_RELEASED);
  EXPECT_TRUE(ClickTimer());
  Mouse(win::WM_LBUTTONDOWN, 26, 26);
  EXPECT_EQ(DoubleClicks(), 1u);
  EXPECT_EQ(object->m_clickState, CLICK_IDLE);
  EXPECT_FALSE(ClickTimer());
  Mouse(win::WM_LBUTTONUP, 26, 26);

  for (win::POINT far : {win::POINT{27, 10}, win::POINT{10, 27}}) {
    Click(10, 10);
    Mouse(win::WM_LBUTTONDOWN, far.x, far.y);
    EXPECT_EQ(object->m_clickState, CLICK_DOWN) << "a new first press";
    EXPECT_EQ(object->m_clickX, far.x);
    EXPECT_EQ(object->m_clickY, far.y);
    Mouse(win::WM_LBUTTONUP, far.x, far.y);
    desk.RunFor(300);
  }
  EXPECT_EQ(DoubleClicks(), 1u);
  EXPECT_EQ(PassedOn(win::WM_LBUTTONDOWN), 6u);
  EXPECT_EQ(PassedOn(win::WM_LBUTTONUP), 6u);
}

TEST_F(ClickTest, HoldingPastTheDoubleClickTimeMakesTheNextPressAFirstPress) {
  Mouse(win::WM_LBUTTONDOWN, 10, 10);
  desk.RunFor(300);
  EXPECT_EQ(object->m_clickState, CLICK_IDLE);
  EXPECT_FALSE(ClickTimer());
  ASSERT_EQ(PassedOn(win::WM_TIMER), 1u);
  EXPECT_EQ(desk.BrowserLog().back().wParam, IDT_CLICK);
  Mouse(win::WM_LBUTTONUP, 10, 10);
  EXPECT_EQ(object->m_clickState, CLICK_IDLE);
  Mouse(win::WM_LBUTTONDOWN, 10, 10);
  EXPECT_EQ(object->m_clickState, CLICK_DOWN);
  EXPECT_EQ(DoubleClicks(), 0u);
}

TEST_F(ClickTest, TheDoubleClickTimeIsReadAtEachFirstPress) {
  Click(10, 10);
  desk.SetDoubleClickTime(1000);
  desk.RunFor(299);
  EXPECT_EQ(object->m_clickState, CLICK_RELEASED);
  desk.RunFor(1);
  EXPECT_EQ(object->m_clickState, CLICK_IDLE) << "the first press read 300 ms";
  Click(10, 10);
  desk.RunFor(900);
  Mouse(win::WM_LBUTTONDOWN, 10, 10);
  EXPECT_EQ(DoubleClicks(), 1u);
}

TEST_F(ClickTest, ThreeQuickPressesAreADoubleClickThenAFirstPress) {
  Click(10, 10);
  Click(12, 12);
  Mouse(win::WM_LBUTTONDOWN, 12, 12);
  EXPECT_EQ(DoubleClicks(), 1u);
  EXPECT_EQ(object->m_clickState, CLICK_DOWN);
  EXPECT_TRUE(ClickTimer());
}

TEST_F(ClickTest, APressWhileDownStartsOverAndTheSystemDoubleClickActsAtOnce) {
  Mouse(win::WM_LBUTTONDOWN, 10, 10);
  Mouse(win::WM_LBUTTONDOWN, 11, 11);
  EXPECT_EQ(DoubleClicks(), 0u);
  EXPECT_EQ(object->m_clickX, 11);
  Mouse(win::WM_LBUTTONDBLCLK, 200, 200);
  EXPECT_EQ(DoubleClicks(), 1u);
  EXPECT_EQ(object->m_clickState, CLICK_IDLE);
  EXPECT_FALSE(ClickTimer());
  EXPECT_EQ(PassedOn(win::WM_LBUTTONDBLCLK), 1u);
}

TEST_F(WindowTest, TheCursorChosenOnTheVideoIsReappliedUntilTheNextChoice) {
  Show(MOVIE_STOPPED);
  Send(win::WM_SETCURSOR);
  EXPECT_EQ(PassedOn(win::WM_SETCURSOR), 1u) << "nothing chosen yet";
  Mouse(win::WM_MOUSEMOVE, 10, 10);
  EXPECT_THAT(desk.CursorHistory(), ElementsAre(Arrow()));
  win::SetCursor(nullptr);  // the browser's own choice
  EXPECT_EQ(Send(win::WM_SETCURSOR), 1);
  EXPECT_EQ(desk.cursor(), Arrow());
  EXPECT_EQ(PassedOn(win::WM_SETCURSOR), 1u);
  Mouse(win::WM_MOUSEMOVE, 400, 10);  // off the video: consumed, the choice stays
  EXPECT_EQ(object->m_cursor, Arrow());
}

TEST_F(WindowTest, WithChangeCursorOffTheCursorIsLeftToTheBrowser) {
  Make({.changeCursor = 0});
  Show(MOVIE_STOPPED);
  Mouse(win::WM_MOUSEMOVE, 10, 10);
  Send(win::WM_SETCURSOR);
  EXPECT_THAT(desk.CursorHistory(), IsEmpty());
  EXPECT_EQ(PassedOn(win::WM_SETCURSOR), 1u);
}

}  // namespace
}  // namespace window_test
