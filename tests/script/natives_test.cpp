// The natives as a script runtime calls them: what each posts to the instance's window.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "platform/sim/sim_desktop.h"
#include "script/messages.h"
#include "script/natives.h"
#include "tests/player/script_recorder.h"
#include "window/plugin_window.h"

namespace {

class Natives : public ::testing::Test {
 protected:
  Natives() {
    npp.pdata = &object;
    AddLiveInstance(&npp);
    // A window that keeps the messages for the test to look at.
    object.m_hwnd = desk.CreateBrowserWindow(0, 0, 320, 240);
  }
  ~Natives() override {
    RemoveLiveInstance(&npp);
    win::MSG m;
    while (win::PeekMessageA(&m, nullptr, 0, 0, win::PM_REMOVE))
      if (m.message == WM_KL_ENABLEANCHOR || m.message == WM_KL_ENABLEMARKER)
        FreeCommandName(reinterpret_cast<char*>(m.wParam));
  }
  // The oldest posted message, taken from the queue.
  win::MSG Take() {
    win::MSG m{};
    EXPECT_TRUE(win::PeekMessageA(&m, object.m_hwnd, 0, 0, win::PM_REMOVE));
    return m;
  }
  bool Empty() {
    win::MSG m;
    return !win::PeekMessageA(&m, nullptr, 0, 0, win::PM_NOREMOVE);
  }

  sim::SimDesktop desk;
  klp::test::ScriptRecorder script;
  NPP_t npp{};
  CKLPluginWindow object{&npp, 0, nullptr, "m1", 0, 1, 1, 1, 0, 0};
  JRIEnv* env = script.env();
};

TEST_F(Natives, PlayPostsTheFrameUnchanged) {
  EXPECT_EQ(native_NPKLOD32_Play(env, &npp, 25), 1);
  EXPECT_EQ(native_NPKLOD32_Play(env, &npp, -1), 1);
  win::MSG a = Take(), b = Take();
  EXPECT_EQ(a.message, WM_KL_PLAY);
  EXPECT_EQ(static_cast<int32_t>(a.wParam), 25);
  EXPECT_EQ(a.lParam, 0);
  EXPECT_EQ(static_cast<int32_t>(b.wParam), -1);
}

TEST_F(Natives, PauseThenPlayArriveInThatOrder) {
  EXPECT_EQ(native_NPKLOD32_Pause(env, &npp), 1);
  EXPECT_EQ(native_NPKLOD32_Play(env, &npp, 0), 1);
  EXPECT_EQ(native_NPKLOD32_Stop(env, &npp), 1);
  EXPECT_EQ(Take().message, WM_KL_PAUSE);
  EXPECT_EQ(Take().message, WM_KL_PLAY);
  win::MSG stop = Take();
  EXPECT_EQ(stop.message, WM_KL_STOP);
  EXPECT_EQ(stop.wParam, 0u);
}

TEST_F(Natives, NamesTravelAsExactCopies) {
  jstring text = script.String("intro");
  EXPECT_EQ(native_NPKLOD32_EnableMarker(env, &npp, text), 1);
  EXPECT_EQ(native_NPKLOD32_EnableAnchor(env, &npp, script.String("")), 1);
  win::MSG marker = Take(), anchor = Take();
  EXPECT_EQ(marker.message, WM_KL_ENABLEMARKER);
  auto* copy = reinterpret_cast<char*>(marker.wParam);
  EXPECT_STREQ(copy, "intro");
  EXPECT_NE(copy, static_cast<std::string*>(text)->c_str()) << "a copy, not the runtime's text";
  EXPECT_EQ(anchor.message, WM_KL_ENABLEANCHOR);
  EXPECT_STREQ(reinterpret_cast<char*>(anchor.wParam), "");
  FreeCommandName(copy);
  FreeCommandName(reinterpret_cast<char*>(anchor.wParam));
}

TEST_F(Natives, RefuseWithoutALiveInstance) {
  NPP_t other{};
  EXPECT_EQ(native_NPKLOD32_Play(env, &other, 1), 0);
  npp.pdata = nullptr;  // the slot is empty
  EXPECT_EQ(native_NPKLOD32_Stop(env, &npp), 0);
  EXPECT_EQ(native_NPKLOD32_EnableMarker(env, &npp, script.String("x")), 0);
  npp.pdata = &object;
  EXPECT_TRUE(Empty());
}

TEST_F(Natives, ACommandWithoutAWindowIsDropped) {
  win::HWND window = object.m_hwnd;
  object.m_hwnd = nullptr;
  EXPECT_EQ(native_NPKLOD32_EnableAnchor(env, &npp, script.String("door")), 1);
  EXPECT_EQ(native_NPKLOD32_Pause(env, &npp), 1);
  object.m_hwnd = window;
  EXPECT_TRUE(Empty());  // and the copied name was freed (the sanitizer build checks)
  win::DestroyWindow(window);
  EXPECT_EQ(native_NPKLOD32_EnableMarker(env, &npp, script.String("gone")), 1);
  EXPECT_TRUE(Empty()) << "posting to a destroyed window fails and frees the name";
}

}  // namespace
