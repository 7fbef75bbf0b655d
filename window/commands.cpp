// Commands: the messages page scripts post (WM_KL_ENABLEANCHOR .. WM_KL_STOP) and the context
// menu's commands (ID_MENU_PLAY .. ID_MENU_ABOUT).
#include <memory>

#include "player/movie_play.h"
#include "plugin/module.h"
#include "resources/resources.h"
#include "script/messages.h"
#include "script/trace.h"
#include "window/plugin_window.h"
#include "window/window_internal.h"

namespace {

struct NameDeleter {
  void operator()(char* name) const { FreeCommandName(name); }
};
using OwnedName = std::unique_ptr<char, NameDeleter>;

}  // namespace

// Every command traces its name, then needs an open movie: without one it raises error 7. A
// name posted with the message is freed once the command is done, whatever happened.
win::LRESULT CKLPluginWindow::OnKLMessage(win::UINT msg, win::WPARAM wParam, win::LPARAM) {
  bool named = msg == WM_KL_ENABLEANCHOR || msg == WM_KL_ENABLEMARKER;
  OwnedName owned(named ? reinterpret_cast<char*>(wParam) : nullptr);
  const char* text = owned ? owned.get() : "";

  struct Command {
    win::UINT msg;
    const char* trace;
    void (*run)(CKLPluginWindow& w, win::WPARAM wParam, const char* name);
  };
  static constexpr Command kCommands[] = {
      {WM_KL_ENABLEANCHOR, "<WM_KL_ENABLEANCHOR>",
       [](CKLPluginWindow& w, win::WPARAM, const char* name) {
         if (!w.m_player->GotoAnchor(name)) FireOnError(w.m_instance, ERR_ANCHOR);
       }},
      {WM_KL_ENABLEMARKER, "<WM_KL_ENABLEMARKER>",
       [](CKLPluginWindow& w, win::WPARAM, const char* name) {
         if (!w.m_player->GotoMarker(name)) FireOnError(w.m_instance, ERR_MARKER);
       }},
      {WM_KL_PLAY, "<WM_KL_PLAY>",
       [](CKLPluginWindow& w, win::WPARAM frame, const char*) {
         w.m_player->Play(static_cast<int32_t>(static_cast<uint32_t>(frame)));
       }},
      {WM_KL_PAUSE, "<WM_KL_PAUSE>",
       [](CKLPluginWindow& w, win::WPARAM, const char*) { w.m_player->Pause(); }},
      {WM_KL_STOP, "<WM_KL_STOP>",
       [](CKLPluginWindow& w, win::WPARAM, const char*) { w.m_player->Stop(); }},
  };
  for (const Command& c : kCommands) {
    if (c.msg != msg) continue;
    SysOut(m_instance, c.trace);
    if (MovieOpen())
      c.run(*this, wParam, text);
    else
      FireOnError(m_instance, ERR_NO_MOVIE);
  }
  return 0;
}

// Menu commands check no state: the menu offers only what applies, and the player refuses the
// rest with its own trace lines.
void CKLPluginWindow::OnMenuCommand(win::WPARAM wParam) {
  struct Command {
    win::UINT id;
    const char* trace;
    void (*run)(CKLPluginWindow& w);
  };
  static constexpr Command kCommands[] = {
      {ID_MENU_PLAY, "<ID_MENU_PLAY>",
       [](CKLPluginWindow& w) {
         if (w.m_player) w.m_player->Play(-1);
       }},
      {ID_MENU_PAUSE, "<ID_MENU_PAUSE>",
       [](CKLPluginWindow& w) {
         if (w.m_player) w.m_player->Pause();
       }},
      {ID_MENU_STOP, "<ID_MENU_STOP>",
       [](CKLPluginWindow& w) {
         if (w.m_player) w.m_player->Stop();
       }},
      {ID_MENU_PROPERTIES, "<ID_MENU_PROPERTIES>",
       [](CKLPluginWindow& w) {
         w.RunDialog(resources::IDD_PROPERTIES, &PropertiesDlgProc, reinterpret_cast<win::LPARAM>(&w));
       }},
      {ID_MENU_ABOUT, "<ID_MENU_ABOUT>",
       [](CKLPluginWindow& w) { w.RunDialog(resources::IDD_ABOUT, &AboutDlgProc, 0); }},
  };
  for (const Command& c : kCommands) {
    if (c.id != win::LOWORD(wParam)) continue;
    SysOut(m_instance, c.trace);
    c.run(*this);
  }
}

void CKLPluginWindow::RunDialog(unsigned templateId, win::DLGPROC proc, win::LPARAM initParam) {
  window_internal::CursorTrackingOff off(m_trackCursor);
  win::DialogBoxParamA(ModuleInstance(), win::MAKEINTRESOURCEA(templateId), m_hwnd, proc, initParam);
}
