// The context menu: transport commands enabled by the player's state, Properties and About.
#include <memory>

#include "player/movie_play.h"
#include "plugin/module.h"
#include "resources/resources.h"
#include "script/trace.h"
#include "window/plugin_window.h"
#include "window/window_internal.h"

namespace {

struct MenuDeleter {
  void operator()(win::HMENU menu) const { win::DestroyMenu(menu); }
};
using OwnedMenu = std::unique_ptr<win::HMENU__, MenuDeleter>;

struct MenuEntry {
  win::UINT command;  // 0: a separator
  unsigned text;
  bool (*enabled)(int32_t state);
};

constexpr bool Always(int32_t) { return true; }

constexpr MenuEntry kMenu[] = {
    {ID_MENU_PLAY, resources::IDS_MENU_PLAY,
     [](int32_t s) { return s == MOVIE_STOPPED || s == MOVIE_PAUSED; }},
    {ID_MENU_PAUSE, resources::IDS_MENU_PAUSE, [](int32_t s) { return s == MOVIE_PLAYING; }},
    {ID_MENU_STOP, resources::IDS_MENU_STOP,
     [](int32_t s) { return s == MOVIE_PAUSED || s == MOVIE_PLAYING; }},
    {0, 0, nullptr},
    {ID_MENU_PROPERTIES, resources::IDS_MENU_PROPERTIES, &Always},
    {0, 0, nullptr},
    {ID_MENU_ABOUT, resources::IDS_MENU_ABOUT, &Always},
};

}  // namespace

// The chosen command comes back to the window as a posted WM_COMMAND once the menu has closed.
// No menu is shown before a movie is open: it would offer nothing to play.
void CKLPluginWindow::ViewPopupMenu(win::POINT point) {
  if (!m_player) {
    SysOut(m_instance, "! CKLPluginWindow::ViewPopupMenu 01");
    return;
  }
  if (m_player->m_state == MOVIE_NONE) return;
  OwnedMenu menu(win::CreatePopupMenu());
  if (!menu) {
    SysOut(m_instance, "! CKLPluginWindow::ViewPopupMenu 02");
    return;
  }
  for (const MenuEntry& e : kMenu) {
    if (!e.command) {
      win::AppendMenuA(menu.get(), win::MF_SEPARATOR, 0, nullptr);
      continue;
    }
    char text[resources::kStringBufferSize];
    win::LoadStringA(ModuleInstance(), e.text, text, sizeof text);
    win::UINT state = e.enabled(m_player->m_state) ? win::MF_ENABLED : win::MF_GRAYED;
    win::AppendMenuA(menu.get(), win::MF_STRING | state, e.command, text);
  }
  win::POINT screen = point;
  win::ClientToScreen(m_hwnd, &screen);
  window_internal::CursorTrackingOff off(m_trackCursor);
  win::TrackPopupMenu(menu.get(), win::TPM_RIGHTBUTTON, screen.x, screen.y, 0, m_hwnd, nullptr);
}
