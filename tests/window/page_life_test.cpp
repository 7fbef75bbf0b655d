// An open movie on the sim media graph: the page's whole life, anchor activation in both modes,
// the cursor over anchors, settings that take effect at once, full-page input and script
// commands.
#include "tests/window/movie_fixture.h"

namespace window_test {
namespace {

using Script = sim::SimDesktop::DialogScript;
using resources::IDC_AUTOREPEAT;
using resources::IDC_CHANGECURSOR;
using resources::IDC_DOUBLECLICK;
using resources::IDC_SHOWANCHOR;

TEST_F(MovieTest, APageLivesFromItsAttributesToItsDestruction) {
  Open({{"autorepeat", "false"}});
  EXPECT_EQ(State(), MOVIE_STOPPED);
  EXPECT_EQ(player().m_displayWidth, 320);
  EXPECT_EQ(player().m_displayHeight, 240);

  ScriptPlay(-1);
  EXPECT_EQ(State(), MOVIE_PLAYING);
  desk.RunFor(2600);  // frame 78
  EXPECT_THAT(Events(), ElementsAre("OnMarker start", "OnKLEvent bell"));

  // On frame 78 the door spans x 96 to 176: the cursor shows it and a click activates it.
  Mouse(win::WM_MOUSEMOVE, 130, 120);
  EXPECT_EQ(desk.cursor(), Hand());
  Mouse(win::WM_MOUSEMOVE, 20, 220);
  EXPECT_EQ(desk.cursor(), Arrow());
  Forget();
  Click(130, 120);
  EXPECT_EQ(State(), MOVIE_PAUSED);
  EXPECT_THAT(Events(), ElementsAre("OnActivateAnchor door"));

  // The script's EnableMarker: to the marker's frame, still paused, the marker not fired.
  PostNamed(WM_KL_ENABLEMARKER, "hall");
  desk.RunUntilIdle();
  EXPECT_EQ(Frame(), 120);
  EXPECT_EQ(State(), MOVIE_PAUSED);

  // Play from the context menu, off the anchors; at the end the movie stops on frame 0.
  desk.QueueMenuChoice(ID_MENU_PLAY);
  Mouse(win::WM_RBUTTONDOWN, 20, 220);
  Mouse(win::WM_RBUTTONUP, 20, 220);
  desk.RunUntilIdle();
  EXPECT_EQ(State(), MOVIE_PLAYING);
  desk.RunFor(7000);
  EXPECT_EQ(State(), MOVIE_STOPPED);
  EXPECT_EQ(Frame(), 0);
  EXPECT_THAT(Events(), ElementsAre("OnActivateAnchor door"));

  // Auto Repeat from the Properties dialog: the next end plays on from frame 0.
  desk.QueueDialog(Script().Click(IDC_AUTOREPEAT).Click(win::IDOK));
  Send(win::WM_COMMAND, ID_MENU_PROPERTIES);
  Forget();
  DoubleClick(20, 220);  // off the anchors: play
  EXPECT_EQ(State(), MOVIE_PLAYING);
  desk.RunFor(10500);
  EXPECT_EQ(State(), MOVIE_PLAYING);
  EXPECT_LT(Frame(), 30);
  EXPECT_THAT(Events(),
              ElementsAre("OnMarker start", "OnKLEvent bell", "OnMarker hall", "OnMarker start"));
  EXPECT_THAT(Lines(), ::testing::Contains("<EC_COMPLETE>"));

  Destroy();
  EXPECT_EQ(win::GetPropA(browser, "this ptr"), nullptr);
  Send(win::WM_USER + 7);
  EXPECT_EQ(PassedOn(win::WM_USER + 7), 1u);
}

TEST_F(MovieTest, SingleClickModeActivatesOnThePressAndTheSecondPressAddsNothing) {
  Open({});
  ScriptPlay(-1);
  desk.RunFor(300);
  Forget();
  DoubleClick(250, 35);
  EXPECT_THAT(Events(), ElementsAre("OnActivateAnchor sign"));
  EXPECT_EQ(State(), MOVIE_PAUSED);
}

TEST_F(MovieTest, DoubleClickModeActivatesOnADoubleClickAndTogglesOffTheAnchors) {
  Open({{"activatemethod", "1"}});
  ScriptPlay(-1);
  desk.RunFor(300);
  Forget();
  Click(250, 35);
  desk.RunFor(600);
  EXPECT_THAT(Events(), IsEmpty());
  EXPECT_EQ(State(), MOVIE_PLAYING);
  DoubleClick(250, 35);
  EXPECT_THAT(Events(), ElementsAre("OnActivateAnchor sign"));
  EXPECT_EQ(State(), MOVIE_PAUSED);
  desk.RunFor(600);
  DoubleClick(20, 220);
  EXPECT_EQ(State(), MOVIE_PLAYING);
  desk.RunFor(600);
  DoubleClick(20, 220);
  EXPECT_EQ(State(), MOVIE_PAUSED);
  EXPECT_EQ(Events().size(), 1u);
}

TEST_F(MovieTest, ARightPressActivatesInEitherModeAndTheReleaseOpensTheMenu) {
  for (const char* mode : {"0", "1"}) {
    Open({{"activatemethod", mode}});
    ScriptPlay(-1);
    desk.RunFor(300);
    Forget();
    Mouse(win::WM_RBUTTONDOWN, 250, 35);
    EXPECT_THAT(Events(), ElementsAre("OnActivateAnchor sign")) << "mode " << mode;
    EXPECT_EQ(State(), MOVIE_PAUSED);
    size_t menus = desk.MenusShown().size();
    Mouse(win::WM_RBUTTONUP, 250, 35);
    ASSERT_EQ(desk.MenusShown().size(), menus + 1);
    EXPECT_EQ(desk.MenusShown().back().items[1].flags, win::MF_GRAYED) << "Pause, when paused";
  }
}

TEST_F(MovieTest, TheCursorShowsAnchorsUnlessTurnedOffOrAMenuIsOpen) {
  Open({});
  Mouse(win::WM_MOUSEMOVE, 250, 35);
  EXPECT_EQ(desk.cursor(), Hand());
  Mouse(win::WM_MOUSEMOVE, 20, 220);
  EXPECT_EQ(desk.cursor(), Arrow());
  desk.QueueMenuChoice(0, [&] { Mouse(win::WM_MOUSEMOVE, 250, 35); });
  Mouse(win::WM_RBUTTONUP, 20, 220);
  EXPECT_EQ(desk.cursor(), Arrow());

  desk.QueueDialog(Script().Click(IDC_CHANGECURSOR).Click(win::IDOK));
  Send(win::WM_COMMAND, ID_MENU_PROPERTIES);
  Mouse(win::WM_MOUSEMOVE, 250, 35);
  EXPECT_EQ(desk.cursor(), Arrow());

  Open({{"changecursor", "false"}});
  size_t cursors = desk.CursorHistory().size();
  Mouse(win::WM_MOUSEMOVE, 250, 35);
  EXPECT_EQ(desk.CursorHistory().size(), cursors);
}

TEST_F(MovieTest, PropertiesTakeEffectAtOnce) {
  Open({});
  int refreshes = overlay().refreshes();
  desk.QueueDialog(Script().Click(IDC_SHOWANCHOR).Click(IDC_DOUBLECLICK).Click(win::IDOK));
  Send(win::WM_COMMAND, ID_MENU_PROPERTIES);
  EXPECT_FALSE(overlay().allShown());
  EXPECT_GT(overlay().refreshes(), refreshes) << "redrawn at once";
  Click(250, 35);
  desk.RunFor(600);
  EXPECT_THAT(Events(), IsEmpty()) << "a single press no longer activates";
  DoubleClick(250, 35);
  EXPECT_THAT(Events(), ElementsAre("OnActivateAnchor sign"));

  desk.QueueDialog(Script().Click(IDC_SHOWANCHOR).Enter());
  Send(win::WM_COMMAND, ID_MENU_PROPERTIES);
  EXPECT_TRUE(overlay().allShown());
  EXPECT_EQ(player().m_showAnchor, 1);
}

TEST_F(MovieTest, InFullPageModeOnlyTheMoviesOwnSizeTakesInput) {
  win::MoveWindow(browser, 100, 50, 640, 480, win::FALSE);
  Open({}, 1);
  EXPECT_EQ(player().m_displayWidth, 320);
  EXPECT_EQ(player().m_displayHeight, 240);
  Mouse(win::WM_RBUTTONUP, 321, 100);
  Mouse(win::WM_RBUTTONUP, 100, 241);
  EXPECT_THAT(desk.MenusShown(), IsEmpty());
  Mouse(win::WM_RBUTTONUP, 320, 240);
  EXPECT_EQ(desk.MenusShown().size(), 1u);
}

TEST_F(MovieTest, ScriptCommandsDriveThePlayerOneAfterAnother) {
  Open({});
  Post(WM_KL_PAUSE);
  desk.RunUntilIdle();
  EXPECT_THAT(Lines(), ElementsAre("<WM_KL_PAUSE>", "! CKLMoviePlay::Pause 01"));
  EXPECT_THAT(Events(), IsEmpty()) << "a refusal is not an error event";

  ScriptPlay(-1);
  desk.RunFor(1000);
  Post(WM_KL_PAUSE);
  desk.RunUntilIdle();
  EXPECT_EQ(Frame(), 30);
  ScriptPlay(5);
  EXPECT_EQ(State(), MOVIE_PLAYING);
  EXPECT_EQ(Frame(), 5);
  PostNamed(WM_KL_ENABLEANCHOR, "door");
  desk.RunUntilIdle();
  EXPECT_EQ(Frame(), 30) << "the anchor's first frame";
  EXPECT_EQ(State(), MOVIE_PLAYING);
  Forget();
  PostNamed(WM_KL_ENABLEANCHOR, "Door");
  desk.RunUntilIdle();
  EXPECT_THAT(Events(), ElementsAre("OnError 5"));
  EXPECT_EQ(Frame(), 30);

  Post(WM_KL_PAUSE);
  Post(WM_KL_PLAY, 100);
  Post(WM_KL_STOP);
  desk.RunUntilIdle();
  EXPECT_EQ(State(), MOVIE_STOPPED);
  EXPECT_EQ(Frame(), 0);
  std::vector<std::string> entries;
  for (const std::string& line : Lines())
    if (line.rfind("<WM_KL_", 0) == 0) entries.push_back(line);
  EXPECT_THAT(entries, ElementsAre("<WM_KL_ENABLEANCHOR>", "<WM_KL_PAUSE>", "<WM_KL_PLAY>",
                                   "<WM_KL_STOP>"));
}

}  // namespace
}  // namespace window_test
