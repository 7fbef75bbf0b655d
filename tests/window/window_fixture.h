// The fixture of the window tests: a sim desktop with the browser's window of one instance at
// screen (100, 50), 320 x 240, the instance's CKLPluginWindow attached to it (named "m1",
// kldebug on), and a recording script runtime. Messages go through the window's procedure with
// their real numbers; the browser's own procedure logs what is passed on.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/sim/sim_desktop.h"
#include "player/movie_play.h"
#include "plugin/module.h"
#include "script/messages.h"
#include "tests/player/script_recorder.h"
#include "window/plugin_window.h"

namespace window_test {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

inline const win::HINSTANCE kModule = reinterpret_cast<win::HINSTANCE>(0x20000);

struct Settings {
  int32_t fullPage = 0;
  int32_t activateMethod = 0;
  int32_t changeCursor = 1;
  int32_t showAnchor = 1;
  int32_t autoPlay = 0;
  int32_t autoRepeat = 0;
};

class WindowTest : public ::testing::Test {
 protected:
  WindowTest() {
    SetModuleInstance(kModule);
    browser = desk.CreateBrowserWindow(100, 50, 320, 240);
    Make();
  }
  ~WindowTest() override {
    Destroy();
    SetModuleInstance(nullptr);
  }

  void Make(Settings s = {}) {
    Destroy();
    object = std::make_unique<CKLPluginWindow>(&npp, s.fullPage, "http://pages/tour.klp", "m1",
                                               s.activateMethod, s.changeCursor, s.showAnchor,
                                               s.autoPlay, s.autoRepeat, 1);
    npp.pdata = object.get();
    object->SetWindow(browser);
    Forget();
  }
  void Destroy() {
    object.reset();
    npp.pdata = nullptr;
  }
  void Forget() {
    script.Clear();
    desk.ClearBrowserLog();
  }

  // What the window sees of an open movie: the player's state and its video rectangle.
  void Show(int32_t state, int32_t width = 320, int32_t height = 240) {
    player().m_state = state;
    player().m_displayWidth = width;
    player().m_displayHeight = height;
  }
  CKLMoviePlay& player() { return *object->m_player; }

  win::LRESULT Send(win::UINT msg, win::WPARAM wParam = 0, win::LPARAM lParam = 0) {
    return win::SendMessageA(browser, msg, wParam, lParam);
  }
  win::LRESULT Mouse(win::UINT msg, int x, int y) { return Send(msg, 0, win::MAKELPARAM(x, y)); }
  void Click(int x, int y) {
    Mouse(win::WM_LBUTTONDOWN, x, y);
    Mouse(win::WM_LBUTTONUP, x, y);
  }
  void Post(win::UINT msg, win::WPARAM wParam = 0) { win::PostMessageA(browser, msg, wParam, 0); }
  void PostNamed(win::UINT msg, const char* name) {
    Post(msg, reinterpret_cast<win::WPARAM>(CopyCommandName(name)));
  }

  // How many times the browser's own procedure received msg.
  size_t PassedOn(win::UINT msg) const {
    size_t n = 0;
    for (const win::MSG& m : desk.BrowserLog()) n += m.message == msg;
    return n;
  }
  std::vector<std::string> Lines() const { return script.Lines(); }
  std::vector<std::string> Events() const { return script.Events(); }
  bool ClickTimer() const { return desk.TimerActive(browser, IDT_CLICK); }
  win::HCURSOR Arrow() const { return win::LoadCursorA(nullptr, win::IDC_ARROW); }
  win::HCURSOR Hand() const {
    return win::LoadCursorA(kModule, win::MAKEINTRESOURCEA(resources::IDC_ANCHOR));
  }

  sim::SimDesktop desk;
  klp::test::ScriptRecorder script;
  win::HWND browser = nullptr;
  NPP_t npp{};
  std::unique_ptr<CKLPluginWindow> object;
};

}  // namespace window_test
