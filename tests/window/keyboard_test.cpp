// Keyboard and touch on an open movie: Tab and Shift-Tab through the anchors on the frame and
// out, Enter and Space activating as a click does, Space toggling playback, the focus ring
// following its anchor, what is announced, and a tap activating in either mode.
#include "tests/window/movie_fixture.h"

namespace window_test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class KeyboardTest : public MovieTest {
 protected:
  win::LRESULT Key(win::UINT vk, bool shift = false) {
    desk.HoldShift(shift);
    win::LRESULT handled = Send(win::WM_KEYDOWN, vk);
    desk.HoldShift(false);
    return handled;
  }
  std::string Ring() const {
    return desk.FocusRings().empty() ? std::string() : desk.FocusRings().back();
  }
  // Paused on frame 78: the door spans x 96 to 176.
  void PausedOn78() {
    ScriptPlay(-1);
    desk.RunFor(2600);
    Post(WM_KL_PAUSE);
    desk.RunUntilIdle();
    ASSERT_EQ(Frame(), 78);
    Forget();
  }
};

TEST_F(KeyboardTest, TabGoesThroughTheAnchorsOnTheFrameInHitOrderAndOutAtEitherEnd) {
  Open({});
  PausedOn78();
  EXPECT_EQ(Key(win::VK_TAB, /*shift=*/true), 0) << "no anchor focused: out backwards";
  EXPECT_EQ(Key(win::VK_TAB), 1);
  EXPECT_EQ(Ring(), "200,20,301,51 sign");
  EXPECT_EQ(Key(win::VK_TAB), 1);
  EXPECT_EQ(Ring(), "96,60,177,201 door");
  EXPECT_EQ(Key(win::VK_TAB), 0) << "past the last: out, the ring gone";
  EXPECT_EQ(Ring(), "none");
  EXPECT_EQ(Key(win::VK_TAB), 1);
  EXPECT_EQ(Key(win::VK_TAB), 1);
  EXPECT_EQ(Key(win::VK_TAB, true), 1);
  EXPECT_EQ(Ring(), "200,20,301,51 sign");
  EXPECT_EQ(Key(win::VK_TAB, true), 1) << "back on the player itself";
  EXPECT_EQ(Ring(), "none");
  EXPECT_EQ(PassedOn(win::WM_KEYDOWN), 2u) << "what is not taken goes to the browser";
  EXPECT_THAT(Events(), IsEmpty());
}

TEST_F(KeyboardTest, EnterAndSpaceActivateTheFocusedAnchorAsAClickDoesInEitherMode) {
  for (const char* method : {"0", "1"}) {
    Open({{"activatemethod", method}});
    ScriptPlay(-1);
    desk.RunFor(2600);
    Key(win::VK_TAB);
    Key(win::VK_TAB);
    Forget();
    EXPECT_EQ(Key(win::VK_RETURN), 1);
    EXPECT_THAT(Events(), ElementsAre("OnActivateAnchor door")) << "activatemethod " << method;
    EXPECT_EQ(State(), MOVIE_PAUSED);
    EXPECT_EQ(Key(win::VK_SPACE), 1) << "already the active anchor: nothing more";
    EXPECT_THAT(Events(), ElementsAre("OnActivateAnchor door"));
    EXPECT_EQ(State(), MOVIE_PAUSED);
  }
}

TEST_F(KeyboardTest, SpaceWithNoAnchorFocusedTogglesPlayingAndEnterIsLeftToThePage) {
  Open({});
  EXPECT_EQ(Key(win::VK_SPACE), 1);
  EXPECT_EQ(State(), MOVIE_PLAYING);
  EXPECT_EQ(Key(win::VK_SPACE), 1);
  EXPECT_EQ(State(), MOVIE_PAUSED);
  EXPECT_EQ(Key(win::VK_RETURN), 0);
  EXPECT_EQ(Key('A'), 0);
  EXPECT_EQ(State(), MOVIE_PAUSED);

  Make();  // no movie: nothing to toggle
  EXPECT_EQ(Key(win::VK_SPACE), 0);
  EXPECT_EQ(Key(win::VK_TAB), 0);
}

TEST_F(KeyboardTest, TheRingFollowsItsAnchorAndGoesWhenTheAnchorDoesOrTheFocusLeaves) {
  Open({});
  PausedOn78();
  Key(win::VK_TAB);
  Key(win::VK_TAB);
  ScriptPlay(-1);
  desk.RunFor(300);  // frame 87
  EXPECT_EQ(Ring(), "106,60,187,201 door");
  desk.RunFor(2400);  // past frame 150: the door is gone
  EXPECT_EQ(Ring(), "none");
  EXPECT_EQ(Key(win::VK_TAB), 1);
  EXPECT_EQ(Ring(), "200,20,301,51 sign") << "from the start again";
  Send(win::WM_KILLFOCUS);
  EXPECT_EQ(Ring(), "none");
  EXPECT_EQ(Key(win::VK_SPACE), 1);
  EXPECT_EQ(State(), MOVIE_PAUSED) << "no anchor focused: Space paused the movie";
  EXPECT_THAT(Events(), ElementsAre("OnMarker hall"));
}

TEST_F(KeyboardTest, ATapActivatesInDoubleClickModeToo) {
  Open({{"activatemethod", "1"}});
  PausedOn78();
  ScriptPlay(-1);
  Mouse(win::WM_TOUCHTAP, 20, 220);  // beside the anchors
  EXPECT_EQ(State(), MOVIE_PLAYING);
  Mouse(win::WM_TOUCHTAP, 130, 120);
  EXPECT_THAT(Events(), ElementsAre("OnActivateAnchor door"));
  EXPECT_EQ(State(), MOVIE_PAUSED);
  EXPECT_EQ(PassedOn(win::WM_TOUCHTAP), 0u);
}

TEST_F(KeyboardTest, MarkersAndEventsPassedAreAnnouncedAsTheyFire) {
  Open({});
  ScriptPlay(-1);
  desk.RunFor(4200);
  EXPECT_THAT(Events(), ElementsAre("OnMarker start", "OnKLEvent bell", "OnMarker hall"));
  EXPECT_THAT(desk.Announcements(), ElementsAre("marker start", "event bell", "marker hall"));
}

}  // namespace
}  // namespace window_test
