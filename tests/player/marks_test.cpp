// Markers and events on the position tick, the cursor under a resting mouse, and seeking by
// anchor or marker name.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/dshow/dshow.h"
#include "resources/resources.h"
#include "tests/player/player_fixture.h"

namespace klp::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Texts = std::vector<std::string>;

using MarksTest = PlayerTest;

TEST_F(MarksTest, TheWindowIsOpenBelowAndClosedAbove) {
  AddMarker("m0", 0);
  AddMarker("m5", 5);
  AddMarker("m10", 10);
  OpenQuietly();  // stopped: both frames at -1
  player().OnSeeking(3);
  EXPECT_EQ(Lines(), (Texts{"<OnMarker>", "m0"}));
  player().OnSeeking(10);
  player().OnSeeking(10);
  EXPECT_EQ(Lines(), (Texts{"<OnMarker>", "m0", "<OnMarker>", "m5", "<OnMarker>", "m10"}));
  EXPECT_EQ(player().m_prevFrame, 3);
  EXPECT_EQ(player().m_curFrame, 10);
  player().OnSeeking(4);
  EXPECT_EQ(Events().size(), 3u) << "going back fires nothing";
}

TEST_F(MarksTest, AllMarkersFireBeforeAllEventsEachInProjectOrder) {
  AddMarker("late", 5);
  AddMarker("early", 2);
  AddMarker("after", 6);
  AddEvent("e1", 1);
  AddEvent("e0", 0);
  OpenQuietly();
  player().OnSeeking(5);
  EXPECT_THAT(Events(),
              ElementsAre("OnMarker late", "OnMarker early", "OnKLEvent e1", "OnKLEvent e0"));
  EXPECT_EQ(Lines(), (Texts{"<OnMarker>", "late", "<OnMarker>", "early", "<OnKLEvent>", "e1",
                            "<OnKLEvent>", "e0"}));
}

TEST_F(MarksTest, AMarkOnTheSeekTargetDoesNotFire) {
  AddMarker("on", 5);
  AddMarker("next", 6);
  OpenQuietly();
  ASSERT_EQ(player().Seek(5), 1);
  player().OnSeeking(8);
  EXPECT_THAT(Events(), ElementsAre("OnMarker next"));
}

TEST_F(MarksTest, TicksWhilePlayingFireAsTheMoviePasses) {
  AddMarker("m0", 0);
  AddMarker("m4", 4);
  AddEvent("e7", 7);
  OpenQuietly();
  ASSERT_EQ(player().Play(-1), 1);
  desk.RunFor(100);  // frame 3
  EXPECT_THAT(Events(), ElementsAre("OnMarker m0"));
  desk.RunFor(200);  // frames 6 and 9
  EXPECT_THAT(Events(), ElementsAre("OnMarker m0", "OnMarker m4", "OnKLEvent e7"));
}

TEST_F(MarksTest, TheTimerIsSetAgainOnlyWhilePlaying) {
  OpenQuietly();
  player().OnSeeking(5);
  EXPECT_FALSE(Ticking());
  ASSERT_EQ(player().Play(-1), 1);
  win::KillTimer(player().m_notifyWnd, IDT_POSITION);
  player().OnSeeking(-1);
  EXPECT_EQ(Lines(), (Texts{"! CKLMoviePlay::OnSeeking 01"}));
  EXPECT_FALSE(Ticking());
  player().OnSeeking(7);
  EXPECT_TRUE(Ticking());
  player().OnSeeking(7);
  EXPECT_TRUE(Ticking()) << "also when the frame has not changed";
}

TEST_F(MarksTest, TheCursorFollowsAnchorsUnderARestingMouse) {
  const win::HCURSOR anchor =
      win::LoadCursorA(kModule, win::MAKEINTRESOURCEA(resources::IDC_ANCHOR));
  const win::HCURSOR arrow = win::LoadCursorA(nullptr, win::IDC_ARROW);
  // Moves from (0, 0, 20, 20) to (100, 0, 120, 20) in video pixels; shown at twice the size.
  AddHotSpot("runner", "R", 0, 300, {{0, 0, 0, 20, 20}, {30, 100, 0, 120, 20}});
  OpenQuietly();
  // The cursor is chosen at the graph's own position.
  auto graphAt = [this](dshow::LONGLONG frame) {
    player().m_seeking->SetPositions(&frame, dshow::AM_SEEKING_AbsolutePositioning, nullptr,
                                     dshow::AM_SEEKING_NoPositioning);
  };
  desk.SetPointer({100 + 20, 50 + 20});  // client (20, 20)
  player().OnSeeking(0);
  EXPECT_EQ(desk.cursor(), anchor);
  graphAt(30);
  player().OnSeeking(30);
  EXPECT_EQ(desk.cursor(), arrow);
  // Nothing to follow: the frame did not change, or the mouse is not over the window.
  const size_t changes = desk.CursorHistory().size();
  graphAt(0);
  player().OnSeeking(30);
  desk.SetPointer({5, 5});
  player().OnSeeking(31);
  EXPECT_EQ(desk.CursorHistory().size(), changes);
  desk.SetPointer({100 + 20, 50 + 20});
  player().OnSeeking(32);
  EXPECT_EQ(desk.cursor(), anchor);
}

TEST_F(MarksTest, TheCursorFollowsAnchorsOverTheVideoWindow) {
  const win::HCURSOR anchor =
      win::LoadCursorA(kModule, win::MAKEINTRESOURCEA(resources::IDC_ANCHOR));
  AddHotSpot("runner", "R", 0, 300, {{0, 0, 0, 20, 20}, {30, 100, 0, 120, 20}});
  OpenQuietly();
  // A real graph's video window: a visible child covering the owner's client area.
  win::RECT client;
  win::GetClientRect(browser, &client);
  win::HWND video = win::CreateWindowExA(0, "SimBrowserWindow", "", win::WS_CHILD | win::WS_VISIBLE,
                                         0, 0, client.right, client.bottom, browser, nullptr,
                                         nullptr, nullptr);
  ASSERT_NE(video, nullptr);
  desk.SetPointer({100 + 20, 50 + 20});
  ASSERT_EQ(win::WindowFromPoint({120, 70}), video);
  player().OnSeeking(0);
  EXPECT_EQ(desk.cursor(), anchor);
  win::DestroyWindow(video);
}

// --- Seeking by name --------------------------------------------------------------------------

TEST_F(MarksTest, GotoMarkerWhilePlayingContinuesThereWithoutFiringIt) {
  AddMarker("m50", 50);
  AddMarker("m51", 51);
  OpenQuietly();
  ASSERT_EQ(player().Play(-1), 1);
  EXPECT_EQ(player().GotoMarker("m50"), 1);
  EXPECT_EQ(player().m_state, MOVIE_PLAYING);
  desk.RunFor(100);  // frame 53
  EXPECT_THAT(Events(), ElementsAre("OnMarker m51"));
  EXPECT_THAT(Lines(), ElementsAre("<OnMarker>", "m51"));
}

TEST_F(MarksTest, GotoAnchorShowsItsFirstFrameInAnyState) {
  AddHotSpot("door", "R", 40, 90, {{40, 0, 0, 10, 10}});
  OpenQuietly();
  EXPECT_EQ(player().GotoAnchor("door"), 1);
  EXPECT_THAT(Calls(), ElementsAre("graph.SetPositions(40, 1, 300, 1)"));
  EXPECT_EQ(player().m_state, MOVIE_STOPPED);
  EXPECT_EQ(player().m_curFrame, 40);
  EXPECT_THAT(Lines(), IsEmpty());
}

TEST_F(MarksTest, GotoFailures) {
  AddHotSpot("door", "R", 40, 90, {});
  AddHotSpot("before", "R", -3, 90, {});
  AddMarker("m", 7);
  AddMarker("minus", -1);
  // A name that matches nothing, or no name, is the caller's to report.
  for (const char* name : {"Door", "", "x"}) {
    EXPECT_EQ(player().GotoAnchor(name), 0) << name;
    EXPECT_EQ(player().GotoMarker(name), 0) << name;
  }
  EXPECT_EQ(player().GotoAnchor(nullptr), 0);
  EXPECT_THAT(Lines(), IsEmpty());
  EXPECT_EQ(player().GotoAnchor("before"), 0);
  EXPECT_EQ(player().GotoMarker("minus"), 0);
  EXPECT_EQ(Lines(), (Texts{"! CKLMoviePlay::GotoAnchor 02", "! CKLMoviePlay::GotoMarker 02"}));
  // Found: 1 even when the seek itself is refused.
  script.Clear();
  EXPECT_EQ(player().GotoAnchor("door"), 1);
  EXPECT_EQ(player().GotoMarker("m"), 1);
  EXPECT_EQ(Lines(), (Texts{"! CKLMoviePlay::Seek 01", "! CKLMoviePlay::Seek 01"}));
}

}  // namespace
}  // namespace klp::test
