// The player core on the sim graph: notification window, project, opening a movie (every trace
// line by fault injection), releasing the graph, and destruction.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/dshow/dshow.h"
#include "script/messages.h"
#include "tests/player/alloc_fault.h"
#include "tests/player/player_fixture.h"
#include "tests/project/temp_dir.h"

namespace klp::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Texts = std::vector<std::string>;

const win::HCURSOR kArrow = win::LoadCursorA(nullptr, win::IDC_ARROW);
const win::HCURSOR kWait = win::LoadCursorA(nullptr, win::IDC_WAIT);

// --- Notification window ----------------------------------------------------------------------

TEST_F(PlayerTest, ConstructionHooksAHiddenWindowAndKeepsTheAttributes) {
  Make({.showAnchor = 0, .autoPlay = 1, .autoRepeat = 1});
  const CKLMoviePlay& p = player();
  EXPECT_EQ(p.m_owner, instance->window.get());
  EXPECT_NE(p.m_project, nullptr);
  EXPECT_EQ(p.m_state, MOVIE_NONE);
  EXPECT_EQ(p.m_showAnchor, 0);
  EXPECT_EQ(p.m_autoPlay, 1);
  EXPECT_EQ(p.m_autoRepeat, 1);
  win::HWND hidden = p.m_notifyWnd;
  ASSERT_NE(hidden, nullptr);
  EXPECT_EQ(win::GetPropA(hidden, "this ptr"), &p);
  EXPECT_EQ(p.m_prevNotifyProc, &win::DefWindowProcA);
  EXPECT_EQ(win::WindowFromPoint(win::POINT{0, 0}), nullptr) << "never shown";
  EXPECT_THAT(media.graphs(), IsEmpty()) << "construction releases no graph it never made";
}

TEST_F(PlayerTest, NotificationWindowHandsTicksAndNoticesToThePlayer) {
  win::HWND hidden = player().m_notifyWnd;
  win::PostMessageA(hidden, win::WM_TIMER, IDT_POSITION, 0);
  win::PostMessageA(hidden, win::WM_TIMER, IDT_POSITION + 1, 0);  // not ours: ignored
  win::PostMessageA(hidden, WM_KL_GRAPHNOTIFY, 0, 0);
  desk.RunUntilIdle();
  // Without a movie the tick reads no position and the notice finds no graph.
  EXPECT_EQ(Lines(), (Texts{"! CKLMoviePlay::OnSeeking 01", "! CKLMoviePlay::OnNotify 01"}));
}

TEST_F(PlayerTest, PlayersShareTheNotificationClassUntilTheLastGoes) {
  win::HWND browser2 = desk.CreateBrowserWindow(100, 600, 320, 240);
  auto second = std::make_unique<Instance>(browser2, PlayerOptions{}, "m2");
  win::HWND first = player().m_notifyWnd;
  ASSERT_NE(second->player().m_notifyWnd, nullptr);
  EXPECT_NE(second->player().m_notifyWnd, first);

  win::WNDCLASSA wc{};
  wc.lpfnWndProc = &win::DefWindowProcA;
  wc.lpszClassName = "CKLMoviePlay";
  EXPECT_EQ(win::RegisterClassA(&wc), 0) << "registered while players live";
  instance->Destroy();
  EXPECT_FALSE(win::IsWindow(first));
  EXPECT_EQ(win::RegisterClassA(&wc), 0) << "the second player still holds it";
  Instance third(browser, {});
  EXPECT_NE(third.player().m_notifyWnd, nullptr);
  second.reset();
  third.Destroy();
  EXPECT_NE(win::RegisterClassA(&wc), 0) << "unregistered with the last player";
  EXPECT_TRUE(win::UnregisterClassA("CKLMoviePlay", nullptr));
}

TEST_F(PlayerTest, TwoConcurrentPlayersEachGetTheirTicksEventsAndEnd) {
  media.AddMovie("short.sim", "frames=30\nfps=30");
  win::HWND browser2 = desk.CreateBrowserWindow(100, 600, 320, 240);
  Instance second(browser2, {}, "m2");
  AddMarker("a", 10);
  klp::test::AddMarker(second.player(), "b", 20);
  ASSERT_EQ(Open(), 1);
  ASSERT_EQ(second.player().OpenMovie(browser2, "short.sim"), 1);
  ASSERT_EQ(player().Play(-1), 1);
  ASSERT_EQ(second.player().Play(-1), 1);
  desk.RunFor(2000);

  EXPECT_EQ(script.Lines(&second.npp), (Texts{"<OnMarker>", "b", "<EC_COMPLETE>"}));
  EXPECT_EQ(second.player().m_state, MOVIE_STOPPED);
  EXPECT_EQ(script.Lines(npp()), (Texts{"<OnMarker>", "a"}));
  EXPECT_EQ(player().m_state, MOVIE_PLAYING);
  EXPECT_TRUE(Ticking());
  // Each event goes to its own instance under its own name.
  for (const ScriptCall& c : script.calls()) {
    if (c.method != "OnMarker") continue;
    EXPECT_EQ(c.args[0], c.instance == npp() ? "m1_OnMarker" : "m2_OnMarker");
  }
  second.Destroy();
}

TEST_F(PlayerTest, DestroyingTheNotificationWindowReleasesTheGraph) {
  OpenQuietly();
  ASSERT_EQ(player().Play(-1), 1);
  win::DestroyWindow(player().m_notifyWnd);
  EXPECT_EQ(player().m_state, MOVIE_NONE);
  EXPECT_EQ(player().m_graph, nullptr);
  EXPECT_EQ(media.graph()->RefCount(), 0u);
  desk.RunFor(1000);
  EXPECT_THAT(Lines(), IsEmpty());
}

// --- Project ----------------------------------------------------------------------------------

TEST_F(PlayerTest, OpenProjectReadsTheFileAndOnlyThenNamesTheMovie) {
  TempDir dir;
  EXPECT_EQ(player().GetMovieName(), nullptr);
  std::string missing = dir.Path("missing.klp");
  EXPECT_EQ(player().OpenProject(missing.c_str()), 0);
  EXPECT_STREQ(player().m_projectPath, missing.c_str());
  EXPECT_EQ(player().GetMovieName(), nullptr);

  Make();
  std::string path = dir.Write("p.klp",
                               "[Global]\r\nSource=tour.sim\r\nHotSpot=1\r\n[HotSpot]\r\n"
                               "(door:x:R:0-10:1)\r\n0:1,2,3,4\r\n");
  EXPECT_EQ(player().OpenProject(path.c_str()), 1);
  EXPECT_STREQ(player().GetMovieName(), "tour.sim");
  EXPECT_EQ(player().m_hotSpotCount, 1);
  EXPECT_THAT(Lines(), IsEmpty());
}

// --- Opening a movie --------------------------------------------------------------------------

TEST_F(PlayerTest, OpeningBuildsTheGraphAndStopsOnFrameZero) {
  AddHotSpot("door", "R", 0, 100, {{0, 1, 2, 3, 4}, {50, 5, 6, 7, 8}});
  ASSERT_EQ(Open(), 1);
  EXPECT_THAT(Lines(), IsEmpty());
  const std::string notify = Handle(player().m_notifyWnd), owner = Handle(browser);
  EXPECT_EQ(Calls(), (Texts{
                         "graph.AddFilter(overlay#1, null)",
                         "graph.RenderFile(\"movie.sim\", null)",
                         "graph.SetNotifyWindow(" + notify + ", 1125, 0)",
                         "graph.SetNotifyFlags(0)",
                         "graph.SetTimeFormat(TIME_FORMAT_FRAME)",
                         "graph.GetDuration()",
                         "graph.GetVideoSize()",
                         "graph.put_Owner(" + owner + ")",
                         "graph.put_WindowStyle(1174405120)",  // WS_CHILD|CLIPSIBLINGS|CLIPCHILDREN
                         "graph.SetWindowPosition(0, 0, 640, 480)",
                         "graph.put_MessageDrain(" + owner + ")",
                         "graph.put_AutoShow(-1)",
                         "overlay.CreateAnchor(3, 255, 0)",
                         "overlay.SetKeyFrames(1, 2)",
                         "overlay.ShowAllAnchors(1)",
                         "graph.StopWhenReady()",
                         "graph.Pause()",
                         "graph.SetPositions(0, 1, 300, 1)",
                         "graph.Pause()",
                     }));
  EXPECT_THAT(desk.CursorHistory(), ElementsAre(kWait, kArrow));

  const CKLMoviePlay& p = player();
  EXPECT_EQ(p.m_state, MOVIE_STOPPED);
  EXPECT_STREQ(p.m_moviePath, kMovie);
  EXPECT_EQ(p.m_duration, 300);
  EXPECT_EQ(p.m_videoWidth, 320);
  EXPECT_EQ(p.m_videoHeight, 240);
  EXPECT_EQ(p.m_displayWidth, 640);
  EXPECT_EQ(p.m_displayHeight, 480);
  EXPECT_EQ(p.m_curFrame, -1);
  EXPECT_FALSE(Ticking());

  sim::SimGraph* g = media.graph();
  EXPECT_EQ(g->state(), dshow::State_Paused);
  EXPECT_EQ(g->ShownFrame(), 0);
  EXPECT_EQ(g->videoWindow().visible, dshow::OATRUE);
  // One reference per interface held; the overlay by the graph and by m_overlay only.
  EXPECT_EQ(g->RefCount(), 6u);
  EXPECT_EQ(media.overlay()->RefCount(), 2u);
  EXPECT_EQ(media.overlay()->InterfaceRefs("IAnchorOverlay"), 1);
}

TEST_F(PlayerTest, OpenMovieRefusesAMissingWindowOrPath) {
  EXPECT_EQ(player().OpenMovie(nullptr, kMovie), 0);
  EXPECT_EQ(player().OpenMovie(browser, nullptr), 0);
  EXPECT_EQ(Lines(), (Texts{"! CKLMoviePlay::OpenMovie 01", "! CKLMoviePlay::OpenMovie 02"}));
  EXPECT_THAT(media.graphs(), IsEmpty());
}

TEST_F(PlayerTest, EveryFailureWhileOpeningTracesItsLinesAndLeavesNoMovie) {
  media.AddMovie("broken.sim", "cannot-render");
  media.AddMovie("audio.sim", "novideo");
  auto graphFault = [this](std::string call, com::HRESULT hr = com::E_FAIL) {
    return [this, call, hr] { media.graphFaults().FailNext(call, hr); };
  };
  auto overlayFault = [this](std::string call) {
    return [this, call] { media.overlayFaults().FailNext(call); };
  };
  auto none = [] {};
  struct Case {
    std::function<void()> inject;
    const char* path;
    Texts lines;
  };
  const std::string render = "! CKLMoviePlay::RenderFile ";
  const std::string create = "! CKLMoviePlay::CreateGraph ";
  const std::string open4 = "! CKLMoviePlay::OpenMovie 04";
  const Case cases[] = {
      {graphFault("CoCreateInstance"), kMovie, {create + "01", render + "01", open4}},
      {overlayFault("CoCreateInstance"), kMovie, {create + "02", render + "01", open4}},
      {graphFault("AddFilter"), kMovie, {create + "03", render + "01", open4}},
      {overlayFault("QueryInterface(IAnchorOverlay)"),
       kMovie,
       {create + "04", render + "01", open4}},
      {graphFault("QueryInterface(IBasicVideo)"), kMovie, {create + "05", render + "01", open4}},
      {graphFault("QueryInterface(IVideoWindow)"), kMovie, {create + "06", render + "01", open4}},
      {graphFault("QueryInterface(IMediaEventEx)"), kMovie, {create + "07", render + "01", open4}},
      {graphFault("QueryInterface(IMediaSeeking)"), kMovie, {create + "08", render + "01", open4}},
      {graphFault("QueryInterface(IMediaControl)"), kMovie, {create + "09", render + "01", open4}},
      {none, "broken.sim", {render + "03", open4}},
      {graphFault("RenderFile", sim::kFileNotFound), kMovie, {render + "03", open4}},
      {graphFault("SetNotifyWindow"), kMovie, {render + "04", open4}},
      {graphFault("SetNotifyFlags"), kMovie, {render + "05", open4}},
      {graphFault("SetTimeFormat", com::S_FALSE), kMovie, {render + "06", open4}},
      {graphFault("GetDuration"), kMovie, {render + "06-01", open4}},
      {none, "audio.sim", {render + "07", open4}},
      {graphFault("put_Owner"), kMovie, {render + "08", open4}},
      {graphFault("put_WindowStyle"), kMovie, {render + "09", open4}},
      {graphFault("SetWindowPosition"), kMovie, {render + "10", open4}},
      {graphFault("put_MessageDrain"), kMovie, {render + "11", open4}},
      {graphFault("put_AutoShow"), kMovie, {render + "12", open4}},
      // Allocations while opening: the path copy, the anchor-id table, a key-frame array.
      {[] { FailArrayAllocation(1); }, kMovie, {"! CKLMoviePlay::OpenMovie 03"}},
      {[] { FailArrayAllocation(2); },
       kMovie,
       {"! CKLMoviePlay::SetAnchorInfo 01", render + "13", open4}},
      {[] { FailArrayAllocation(3); },
       kMovie,
       {"! CKLMoviePlay::SetAnchorInfo 02", render + "13", open4}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lines.front());
    Make();
    AddHotSpot("door", "R", 0, 10, {{0, 0, 0, 10, 10}});
    c.inject();
    EXPECT_EQ(Open(c.path), 0);
    FailArrayAllocation(0);
    EXPECT_EQ(Lines(), c.lines);
    EXPECT_EQ(player().m_state, MOVIE_NONE);
    // Nothing plays until a movie opens.
    script.Clear();
    EXPECT_EQ(player().Play(-1), 0);
    EXPECT_EQ(Lines(), (Texts{"! CKLMoviePlay::Play 01"}));
    EXPECT_FALSE(Ticking());
    media.graphFaults().Clear();
    media.overlayFaults().Clear();
    script.Clear();
    instance->Destroy();
    ExpectAllReleased();
  }
}

TEST_F(PlayerTest, TheWaitCursorShowsOnlyAroundRendering) {
  media.AddMovie("broken.sim", "cannot-render");
  EXPECT_EQ(Open("broken.sim"), 0);
  EXPECT_THAT(desk.CursorHistory(), ElementsAre(kWait, kArrow));
  EXPECT_EQ(media.graph()->Log()[1], "RenderFile(\"broken.sim\", null)");
}

TEST_F(PlayerTest, PathsOpenUpTo259Bytes) {
  const std::string fits(259, 'm'), tooLong(260, 'm');
  media.AddMovie(fits, kMovieFixture);
  media.AddMovie(tooLong, kMovieFixture);
  EXPECT_EQ(Open(fits.c_str()), 1);
  Make();
  EXPECT_EQ(Open(tooLong.c_str()), 0);
  EXPECT_EQ(Lines(), (Texts{"! CKLMoviePlay::RenderFile 02", "! CKLMoviePlay::OpenMovie 04"}));
  EXPECT_FALSE(media.graph()->movie().has_value()) << "nothing was rendered";
}

TEST_F(PlayerTest, ASecondOpenReleasesTheFirstGraphFirst) {
  OpenQuietly();
  sim::SimGraph* first = media.graph();
  media.graphFaults().FailNext("put_WindowStyle");
  EXPECT_EQ(Open(), 0);
  EXPECT_EQ(first->RefCount(), 0u);
  EXPECT_EQ(first->videoWindow().visible, dshow::OAFALSE);
  EXPECT_EQ(first->videoWindow().owner, 0);
  // The first graph was released before the second was made.
  const auto& calls = media.log().calls();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.front().serial, 1);
  EXPECT_EQ(calls.front().text, "Release(IBasicVideo)");
  EXPECT_EQ(player().m_state, MOVIE_NONE);

  script.Clear();
  EXPECT_EQ(Open(), 1);
  EXPECT_EQ(player().m_state, MOVIE_STOPPED);
  EXPECT_EQ(media.graphs().size(), 3u);
  EXPECT_EQ(media.graphs()[1]->RefCount(), 0u);
}

TEST_F(PlayerTest, ASecondOpenWhilePlayingEndsTheTicks) {
  AddMarker("start", 0);
  OpenQuietly();
  ASSERT_EQ(player().Play(-1), 1);
  ASSERT_EQ(Open(), 1);
  EXPECT_FALSE(Ticking());
  desk.RunFor(1000);
  EXPECT_THAT(Events(), IsEmpty()) << "the new movie stands stopped: no tick fires frame 0";
}

// --- Releasing the graph ----------------------------------------------------------------------

TEST_F(PlayerTest, ReleaseGraphHidesDetachesWaitsAndReleasesInOrder) {
  AddHotSpot("door", "R", 0, 10, {{0, 0, 0, 10, 10}});
  OpenQuietly();
  const int32_t* ids = player().m_anchorIds;
  player().ReleaseGraph();
  EXPECT_EQ(media.log().Texts(true),
            (Texts{
                "graph.Release(IBasicVideo)", "graph.put_Visible(0)", "graph.put_Owner(0)",
                "graph.Release(IVideoWindow)", "graph.Release(IMediaEventEx)",
                "graph.Release(IMediaSeeking)", "graph.Pause()",
                "graph.GetState(-1)",  // INFINITE: the sim answers at once
                "graph.Release(IMediaControl)", "overlay.RemoveAllAnchors()",
                "overlay.Release(IAnchorOverlay)", "graph.Release(IGraphBuilder)",
                "overlay.Release(IBaseFilter)",  // the graph's own
            }));
  const CKLMoviePlay& p = player();
  EXPECT_EQ(p.m_graph, nullptr);
  EXPECT_EQ(p.m_overlay, nullptr);
  EXPECT_EQ(p.m_state, MOVIE_NONE);
  EXPECT_EQ(p.m_duration, -1);
  EXPECT_EQ(p.m_videoWidth, 0);
  EXPECT_EQ(p.m_videoHeight, 0);
  EXPECT_EQ(p.m_displayWidth, 640) << "kept";
  EXPECT_EQ(p.m_anchorIds, ids) << "kept until replaced or destroyed";
  Forget();
  player().ReleaseGraph();
  EXPECT_THAT(media.log().Texts(true), IsEmpty());
}

TEST_F(PlayerTest, DestroyingAPlayingPlayerFiresNothingMore) {
  AddMarker("later", 60);
  OpenQuietly();
  ASSERT_EQ(player().Play(-1), 1);
  desk.RunFor(1000);
  sim::SimGraph* g = media.graph();
  win::HWND hidden = player().m_notifyWnd;
  Forget();
  instance->Destroy();
  EXPECT_THAT(Calls(), ::testing::IsSupersetOf({"graph.put_Visible(0)", "graph.put_Owner(0)"}));
  EXPECT_EQ(g->videoWindow().owner, 0);
  EXPECT_EQ(g->RefCount(), 0u);
  EXPECT_FALSE(win::IsWindow(hidden));
  EXPECT_FALSE(desk.TimerActive(hidden, IDT_POSITION));
  desk.RunFor(5000);
  EXPECT_THAT(Events(), IsEmpty());
}

}  // namespace
}  // namespace klp::test
