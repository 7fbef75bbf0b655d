// The win layer over SimDesktop: windows, subclassing, properties, timers on the virtual clock,
// the posted-message queue and painting.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/sim/sim_desktop.h"
#include "platform/win/win.h"

namespace {

std::vector<win::MSG> g_log;

win::LRESULT LogProc(win::HWND h, win::UINT m, win::WPARAM w, win::LPARAM l) {
  g_log.push_back(win::MSG{h, m, w, l, 0, {0, 0}});
  return win::DefWindowProcA(h, m, w, l);
}

class WinTest : public ::testing::Test {
 protected:
  WinTest() {
    g_log.clear();
    win::WNDCLASSA wc{};
    wc.lpfnWndProc = &LogProc;
    wc.lpszClassName = "Logged";
    win::RegisterClassA(&wc);
  }
  win::HWND Make() {
    return win::CreateWindowExA(0, "logged", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                nullptr);
  }
  std::vector<win::UINT> Messages(win::UINT only = 0) {
    std::vector<win::UINT> out;
    for (auto& m : g_log)
      if (!only || m.message == only) out.push_back(m.message);
    return out;
  }
  sim::SimDesktop desk;
};

TEST_F(WinTest, ClassesRegisterOnceAndUnregisterWhenUnused) {
  win::WNDCLASSA wc{};
  wc.lpfnWndProc = &LogProc;
  wc.lpszClassName = "LOGGED";
  EXPECT_EQ(win::RegisterClassA(&wc), 0) << "class names compare without case";
  win::HWND h = Make();
  ASSERT_NE(h, nullptr);
  EXPECT_FALSE(win::UnregisterClassA("Logged", nullptr)) << "a window still uses it";
  win::DestroyWindow(h);
  EXPECT_TRUE(win::UnregisterClassA("Logged", nullptr));
  EXPECT_EQ(Make(), nullptr);
}

TEST_F(WinTest, SubclassingChainsToThePreviousProcedure) {
  static win::WNDPROC prev;
  static int seen;
  seen = 0;
  win::HWND h = Make();
  prev = reinterpret_cast<win::WNDPROC>(win::SetWindowLongPtrA(
      h, win::GWLP_WNDPROC,
      reinterpret_cast<win::LONG_PTR>(+[](win::HWND w, win::UINT m, win::WPARAM a, win::LPARAM b) {
        ++seen;
        return win::CallWindowProcA(prev, w, m, a, b);
      })));
  EXPECT_EQ(prev, &LogProc);
  g_log.clear();
  win::SendMessageA(h, win::WM_USER + 1, 7, 9);
  EXPECT_EQ(seen, 1);
  ASSERT_EQ(g_log.size(), 1u);
  EXPECT_EQ(g_log[0].wParam, 7u);
  win::SetWindowLongPtrA(h, win::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(prev));
  win::SendMessageA(h, win::WM_USER + 1, 0, 0);
  EXPECT_EQ(seen, 1);
}

TEST_F(WinTest, PropertiesByNameWithoutCase) {
  win::HWND h = Make();
  int value = 0;
  EXPECT_TRUE(win::SetPropA(h, "this ptr", &value));
  EXPECT_EQ(win::GetPropA(h, "THIS PTR"), &value);
  EXPECT_EQ(win::RemovePropA(h, "this ptr"), &value);
  EXPECT_EQ(win::GetPropA(h, "this ptr"), nullptr);
  EXPECT_FALSE(win::SetPropA(nullptr, "x", &value));
}

TEST_F(WinTest, DestroyWindowSendsDestroyAndForgetsTheHandle) {
  win::HWND h = Make();
  g_log.clear();
  EXPECT_TRUE(win::DestroyWindow(h));
  EXPECT_EQ(Messages(), (std::vector<win::UINT>{win::WM_DESTROY, win::WM_NCDESTROY}));
  EXPECT_FALSE(win::IsWindow(h));
  EXPECT_FALSE(win::DestroyWindow(h));
  EXPECT_FALSE(win::PostMessageA(h, win::WM_USER, 0, 0));
}

TEST_F(WinTest, TimersRepeatOnTheVirtualClockUntilKilled) {
  win::HWND h = Make();
  win::SetTimer(h, 21, 100, nullptr);
  desk.RunFor(99);
  EXPECT_TRUE(Messages(win::WM_TIMER).empty());
  desk.RunFor(1);
  EXPECT_EQ(Messages(win::WM_TIMER).size(), 1u);
  desk.RunFor(250);
  EXPECT_EQ(Messages(win::WM_TIMER).size(), 3u);
  EXPECT_TRUE(win::KillTimer(h, 21));
  EXPECT_FALSE(win::KillTimer(h, 21));
  desk.RunFor(1000);
  EXPECT_EQ(Messages(win::WM_TIMER).size(), 3u);
}

TEST_F(WinTest, SetTimerAgainRestartsTheInterval) {
  win::HWND h = Make();
  win::SetTimer(h, 11, 500, nullptr);
  desk.RunFor(400);
  win::SetTimer(h, 11, 500, nullptr);
  desk.RunFor(400);
  EXPECT_TRUE(Messages(win::WM_TIMER).empty());
  desk.RunFor(100);
  EXPECT_EQ(Messages(win::WM_TIMER).size(), 1u);
}

TEST_F(WinTest, DestroyingAWindowEndsItsTimers) {
  win::HWND h = Make();
  win::SetTimer(h, 21, 100, nullptr);
  win::DestroyWindow(h);
  g_log.clear();
  desk.RunFor(1000);
  EXPECT_TRUE(g_log.empty());
  EXPECT_FALSE(desk.TimerActive(h, 21));
}

TEST_F(WinTest, PostedMessagesArriveInOrderAndCanBePeekedOut) {
  win::HWND a = Make();
  win::HWND b = Make();
  g_log.clear();
  win::PostMessageA(a, win::WM_USER + 1, 1, 0);
  win::PostMessageA(b, win::WM_USER + 2, 2, 0);
  win::PostMessageA(a, win::WM_USER + 3, 3, 0);
  win::MSG m;
  EXPECT_TRUE(win::PeekMessageA(&m, b, 0, 0, win::PM_NOREMOVE));
  EXPECT_EQ(m.message, win::WM_USER + 2u);
  EXPECT_TRUE(win::PeekMessageA(&m, a, win::WM_USER + 3, win::WM_USER + 3, win::PM_REMOVE));
  EXPECT_EQ(m.wParam, 3u);
  EXPECT_TRUE(g_log.empty()) << "nothing is dispatched before the loop runs";
  desk.RunUntilIdle();
  ASSERT_EQ(g_log.size(), 2u);
  EXPECT_EQ(g_log[0].message, win::WM_USER + 1u);
  EXPECT_EQ(g_log[1].message, win::WM_USER + 2u);
}

TEST_F(WinTest, MessagesForADestroyedWindowAreDropped) {
  win::HWND h = Make();
  win::PostMessageA(h, win::WM_USER, 0, 0);
  win::DestroyWindow(h);
  g_log.clear();
  desk.RunUntilIdle();
  EXPECT_TRUE(g_log.empty());
  EXPECT_EQ(desk.PendingPosted(), 0u);
}

TEST_F(WinTest, PostMessageIsSafeFromOtherThreads) {
  win::HWND h = Make();
  g_log.clear();
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([h, t] {
      for (int i = 0; i < 250; ++i) win::PostMessageA(h, win::WM_USER, t, i);
    });
  for (auto& t : threads) t.join();
  desk.RunUntilIdle();
  ASSERT_EQ(g_log.size(), 1000u);
  std::vector<win::LPARAM> last(4, -1);
  for (auto& m : g_log) {
    EXPECT_GT(m.lParam, last[m.wParam]) << "each thread's messages stay in order";
    last[m.wParam] = m.lParam;
  }
}

TEST_F(WinTest, InvalidatedWindowsPaintOnUpdate) {
  win::HWND h = Make();
  win::UpdateWindow(h);
  EXPECT_TRUE(Messages(win::WM_PAINT).empty());
  win::InvalidateRect(h, nullptr, win::TRUE);
  win::UpdateWindow(h);
  win::UpdateWindow(h);
  EXPECT_EQ(Messages(win::WM_PAINT).size(), 1u) << "painting validates the window";
  EXPECT_EQ(desk.SurfaceOf(h)->paints, 1);
}

TEST_F(WinTest, CoordinatesFollowTheParentChain) {
  win::HWND top = win::CreateWindowExA(0, "logged", "", win::WS_VISIBLE, 100, 50, 300, 200,
                                       nullptr, nullptr, nullptr, nullptr);
  win::HWND child = win::CreateWindowExA(0, "logged", "", win::WS_CHILD | win::WS_VISIBLE, 10, 20,
                                         50, 50, top, nullptr, nullptr, nullptr);
  win::POINT p{5, 6};
  EXPECT_TRUE(win::ClientToScreen(child, &p));
  EXPECT_EQ(p.x, 115);
  EXPECT_EQ(p.y, 76);
  EXPECT_TRUE(win::ScreenToClient(top, &p));
  EXPECT_EQ(p.x, 15);
  EXPECT_EQ(win::WindowFromPoint(win::POINT{115, 76}), child);
  EXPECT_EQ(win::WindowFromPoint(win::POINT{105, 55}), top);
  EXPECT_EQ(win::WindowFromPoint(win::POINT{5, 5}), nullptr);
  EXPECT_TRUE(win::IsChild(top, child));
  EXPECT_FALSE(win::IsChild(child, top));
  EXPECT_FALSE(win::IsChild(top, top));
  win::RECT r;
  EXPECT_TRUE(win::GetClientRect(top, &r));
  EXPECT_EQ(r.right, 300);
  EXPECT_EQ(r.bottom, 200);
  win::DestroyWindow(top);
  EXPECT_FALSE(win::IsWindow(child)) << "children go with their parent";
}

TEST_F(WinTest, CursorChangesAreRecorded) {
  win::HCURSOR arrow = win::LoadCursorA(nullptr, win::IDC_ARROW);
  win::HCURSOR wait = win::LoadCursorA(nullptr, win::IDC_WAIT);
  ASSERT_NE(arrow, nullptr);
  EXPECT_EQ(win::LoadCursorA(nullptr, win::MAKEINTRESOURCEA(105)), nullptr)
      << "module cursors need the module";
  win::SetCursor(wait);
  win::SetCursor(arrow);
  EXPECT_EQ(desk.CursorHistory(), (std::vector<win::HCURSOR>{wait, arrow}));
  EXPECT_EQ(desk.cursor(), arrow);
}

TEST(CodePage, SingleByteByDefaultShiftJisOnRequest) {
  EXPECT_FALSE(win::IsDBCSLeadByte(0x81));
  win::SetAnsiCodePage(932);
  EXPECT_TRUE(win::IsDBCSLeadByte(0x81));
  EXPECT_TRUE(win::IsDBCSLeadByte(0xFC));
  EXPECT_FALSE(win::IsDBCSLeadByte(0xA0));
  EXPECT_TRUE(win::IsDBCSTrailByte('\\'));
  EXPECT_FALSE(win::IsDBCSTrailByte(0x7F));
  win::SetAnsiCodePage(1252);
  EXPECT_FALSE(win::IsDBCSTrailByte('\\'));
}

TEST(CodePage, WideConversionKeepsEveryByte) {
  char16_t wide[8];
  EXPECT_EQ(win::MultiByteToWideChar(win::CP_ACP, 0, "a\xE9z", -1, wide, 8), 4);
  EXPECT_EQ(wide[1], 0xE9);
  EXPECT_EQ(wide[3], 0);
  EXPECT_EQ(win::MultiByteToWideChar(win::CP_ACP, 0, "abcd", -1, nullptr, 0), 5);
  EXPECT_EQ(win::MultiByteToWideChar(win::CP_ACP, 0, "abcd", -1, wide, 4), 0) << "too small";
}

}  // namespace
