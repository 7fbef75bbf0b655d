// Keyboard access to the anchors, for hosts that send keys (the web runtime): Tab and Shift-Tab
// move the focus through the anchors a click could hit on the current frame, in the hit test's
// order, and out of the window past either end; Enter or Space activates the focused anchor as
// a click on it does; Space with no anchor focused toggles between playing and paused. The
// focus ring and the anchor's name go to the desktop (ShowFocusRect); nothing is drawn into the
// picture, so what a mouse user sees stays the same.
#include <algorithm>
#include <vector>

#include "player/movie_play.h"
#include "window/plugin_window.h"

namespace {

// An anchor's rectangle includes its right and bottom edges; a RECT's does not.
win::RECT ToRect(const anchors::Rect& r) {
  return win::RECT{r.left, r.top, r.right + 1, r.bottom + 1};
}

}  // namespace

CKLPluginWindow::Handled CKLPluginWindow::OnKeyDown(const Message& m) {
  if (!m_player) return std::nullopt;
  std::vector<CKLMoviePlay::ShownAnchor> shown = m_player->ShownAnchors();
  auto at = std::find_if(shown.begin(), shown.end(), [this](const CKLMoviePlay::ShownAnchor& a) {
    return a.index == m_focusAnchor;
  });
  const bool focused = at != shown.end();
  switch (m.wParam) {
    case win::VK_TAB: {
      const bool back = win::GetKeyState(win::VK_SHIFT) < 0;
      if (back && !focused) return std::nullopt;  // out, backwards
      if (back) {
        FocusAnchor(at == shown.begin() ? -1 : (at - 1)->index);
        return 1;
      }
      auto next = focused ? at + 1 : shown.begin();
      if (next == shown.end()) {
        FocusAnchor(-1);
        return std::nullopt;  // out, forwards
      }
      FocusAnchor(next->index);
      return 1;
    }
    case win::VK_RETURN:
    case win::VK_SPACE:
      if (focused) {
        ActivateAnchor(m_focusAnchor);
        return 1;
      }
      if (m.wParam == win::VK_RETURN || !MovieOpen()) return std::nullopt;
      if (m_player->m_state == MOVIE_PLAYING)
        m_player->Pause();
      else
        m_player->Play(-1);
      return 1;
    default:
      return std::nullopt;
  }
}

CKLPluginWindow::Handled CKLPluginWindow::OnKillFocus(const Message&) {
  FocusAnchor(-1);
  return std::nullopt;
}

void CKLPluginWindow::FocusAnchor(int32_t index) {
  m_focusAnchor = index;
  if (index < 0)
    win::ShowFocusRect(m_hwnd, nullptr, win::FALSE, nullptr);
  else
    RefreshFocus();
}

void CKLPluginWindow::RefreshFocus() {
  if (m_focusAnchor < 0) return;
  std::vector<CKLMoviePlay::ShownAnchor> shown =
      m_player ? m_player->ShownAnchors() : std::vector<CKLMoviePlay::ShownAnchor>{};
  for (const CKLMoviePlay::ShownAnchor& a : shown) {
    if (a.index != m_focusAnchor) continue;
    win::RECT r = ToRect(a.display);
    win::ShowFocusRect(m_hwnd, &r, a.ellipse ? win::TRUE : win::FALSE, a.name);
    return;
  }
  FocusAnchor(-1);  // off the frame
}
