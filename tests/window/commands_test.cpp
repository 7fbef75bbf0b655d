// Command messages posted by page scripts and menu commands, through the window procedure.
#include <cstdlib>
#include <new>

#include "tests/window/window_fixture.h"

// Counts the array allocations alive, which is how command names are allocated and freed.
namespace {
long g_liveArrays = 0;
}
void* operator new[](size_t n) {
  if (void* p = std::malloc(n ? n : 1)) {
    ++g_liveArrays;
    return p;
  }
  throw std::bad_alloc();
}
void* operator new[](size_t n, const std::nothrow_t&) noexcept {
  void* p = std::malloc(n ? n : 1);
  if (p) ++g_liveArrays;
  return p;
}
void operator delete[](void* p) noexcept {
  if (p) --g_liveArrays;
  std::free(p);
}
void operator delete[](void* p, size_t) noexcept { operator delete[](p); }

namespace window_test {
namespace {

TEST_F(WindowTest, EveryCommandBeforeAMovieRaisesSevenInOrderAndFreesItsName) {
  long before = g_liveArrays;
  PostNamed(WM_KL_ENABLEANCHOR, "a1");
  PostNamed(WM_KL_ENABLEMARKER, "mk");
  Post(WM_KL_PLAY, 5);
  Post(WM_KL_PAUSE);
  Post(WM_KL_STOP);
  EXPECT_EQ(g_liveArrays, before + 2);
  desk.RunUntilIdle();
  EXPECT_EQ(g_liveArrays, before);
  EXPECT_THAT(Lines(), ElementsAre("<WM_KL_ENABLEANCHOR>", "<OnError>", "7",  //
                                   "<WM_KL_ENABLEMARKER>", "<OnError>", "7",  //
                                   "<WM_KL_PLAY>", "<OnError>", "7",          //
                                   "<WM_KL_PAUSE>", "<OnError>", "7",         //
                                   "<WM_KL_STOP>", "<OnError>", "7"));
  ASSERT_EQ(Events().size(), 5u);
  EXPECT_EQ(script.calls()[1].args, (std::vector<std::string>{"m1_OnError", "7"}));
  EXPECT_THAT(desk.BrowserLog(), IsEmpty()) << "command messages are not passed on";
}

TEST_F(WindowTest, UnknownAnchorRaisesFiveAndUnknownMarkerSix) {
  Show(MOVIE_PAUSED);
  long before = g_liveArrays;
  PostNamed(WM_KL_ENABLEANCHOR, "nowhere");
  PostNamed(WM_KL_ENABLEMARKER, "never");
  desk.RunUntilIdle();
  EXPECT_EQ(g_liveArrays, before);
  EXPECT_THAT(Lines(), ElementsAre("<WM_KL_ENABLEANCHOR>", "<OnError>", "5",  //
                                   "<WM_KL_ENABLEMARKER>", "<OnError>", "6"));
  EXPECT_THAT(Events(), ElementsAre("OnError 5", "OnError 6"));
}

TEST_F(WindowTest, OnlyMenuCommandsWithNotificationCodeZeroAreHandled) {
  Send(win::WM_COMMAND, win::MAKEWPARAM(ID_MENU_PLAY, 1));
  Send(win::WM_COMMAND, ID_MENU_PLAY - 1);
  Send(win::WM_COMMAND, ID_MENU_ABOUT + 1);
  EXPECT_EQ(PassedOn(win::WM_COMMAND), 3u);
  EXPECT_THAT(Lines(), IsEmpty());

  // No movie: the player refuses with its own lines and no error event is raised.
  EXPECT_EQ(Send(win::WM_COMMAND, ID_MENU_PLAY), 0);
  Send(win::WM_COMMAND, ID_MENU_PAUSE);
  Send(win::WM_COMMAND, ID_MENU_STOP);
  EXPECT_EQ(PassedOn(win::WM_COMMAND), 3u);
  EXPECT_THAT(Lines(), ElementsAre("<ID_MENU_PLAY>", "! CKLMoviePlay::Play 01",    //
                                   "<ID_MENU_PAUSE>", "! CKLMoviePlay::Pause 01",  //
                                   "<ID_MENU_STOP>", "! CKLMoviePlay::Stop 01"));
  EXPECT_THAT(Events(), IsEmpty());
}

TEST_F(WindowTest, AMissingPlayerIsTolerated) {
  delete object->m_player;
  object->m_player = nullptr;
  EXPECT_EQ(Mouse(win::WM_RBUTTONUP, 0, 0), 0);
  EXPECT_THAT(desk.BrowserLog(), IsEmpty());
  object->ViewPopupMenu(win::POINT{0, 0});
  Send(win::WM_COMMAND, ID_MENU_PLAY);
  PostNamed(WM_KL_ENABLEANCHOR, "a1");
  desk.RunUntilIdle();
  EXPECT_EQ(object->OpenSrc("tour.klp"), 0);
  EXPECT_EQ(object->OpenMovie("tour.mpg"), 0);
  EXPECT_EQ(object->GetMovieName(), nullptr);
  EXPECT_THAT(Lines(), ElementsAre("! CKLPluginWindow::ViewPopupMenu 01", "<ID_MENU_PLAY>",
                                   "<WM_KL_ENABLEANCHOR>", "<OnError>", "7",  //
                                   "<OpenSrc>", "tour.klp", "! CKLPluginWindow::OpenSrc 01",
                                   "<OpenMovie>", "tour.mpg", "! CKLPluginWindow::OpenMovie 01",
                                   "! CKLPluginWindow::GetMovieName 01"));
  EXPECT_THAT(desk.MenusShown(), IsEmpty());
}

TEST_F(WindowTest, DestroyingGivesTheWindowBackAndDropsQueuedCommands) {
  PostNamed(WM_KL_ENABLEMARKER, "mk");
  Post(WM_KL_PLAY, 1);
  Destroy();
  EXPECT_EQ(desk.PendingPosted(), 0u);
  EXPECT_EQ(win::GetPropA(browser, "this ptr"), nullptr);
  Send(win::WM_USER + 7);
  EXPECT_EQ(PassedOn(win::WM_USER + 7), 1u) << "the browser's procedure is back";

  // An instance whose window was never attached leaves every window alone.
  std::vector<win::HWND> windows = desk.Windows();
  Forget();
  {
    CKLPluginWindow loose(&npp, 0, nullptr, nullptr, 0, 1, 1, 0, 0, 1);
  }
  EXPECT_THAT(desk.BrowserLog(), IsEmpty());
  EXPECT_EQ(desk.Windows(), windows);
}

}  // namespace
}  // namespace window_test
