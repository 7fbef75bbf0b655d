// Mouse input on the plug-in window: the video-area filter, the left-button click state
// machine (single press, double click), anchor activation and the cursor.
#include <cstdlib>

#include "player/movie_play.h"
#include "plugin/module.h"
#include "resources/resources.h"
#include "window/plugin_window.h"
#include "window/window_internal.h"

using window_internal::ToAnchorPoint;

win::POINT CKLPluginWindow::Message::Point() const {
  return win::POINT{static_cast<win::LONG>(win::LOWORD(static_cast<uintptr_t>(lParam))),
                    static_cast<win::LONG>(win::HIWORD(static_cast<uintptr_t>(lParam)))};
}

bool CKLPluginWindow::InVideo(win::POINT point) const {
  anchors::Rect video{0, 0, m_player->m_displayWidth, m_player->m_displayHeight};
  return anchors::PointInShape(ToAnchorPoint(point), video, anchors::SHAPE_RECT);
}

CKLPluginWindow::Handled CKLPluginWindow::OnMouseMove(const Message& m) {
  UpdateCursor(m.wParam, m.Point());
  return std::nullopt;
}

CKLPluginWindow::Handled CKLPluginWindow::OnLButtonPress(const Message& m) {
  win::POINT p = m.Point();
  if (m_clickState == CLICK_RELEASED && std::abs(m_clickX - p.x) <= kDoubleClickDistance &&
      std::abs(m_clickY - p.y) <= kDoubleClickDistance) {
    ResetClick();
    OnLButtonDblClk(p);
    return std::nullopt;
  }
  win::KillTimer(m_hwnd, IDT_CLICK);
  m_clickState = CLICK_DOWN;
  m_clickX = p.x;
  m_clickY = p.y;
  OnLButtonDown(p);
  win::SetTimer(m_hwnd, IDT_CLICK, win::GetDoubleClickTime(), nullptr);
  return std::nullopt;
}

CKLPluginWindow::Handled CKLPluginWindow::OnLButtonRelease(const Message&) {
  if (m_clickState == CLICK_DOWN)
    m_clickState = CLICK_RELEASED;  // the timer keeps running for a second press
  else
    ResetClick();
  return std::nullopt;
}

CKLPluginWindow::Handled CKLPluginWindow::OnLButtonSystemDblClk(const Message& m) {
  ResetClick();
  OnLButtonDblClk(m.Point());
  return std::nullopt;
}

CKLPluginWindow::Handled CKLPluginWindow::OnRButtonDown(const Message& m) {
  ActivateAnchorAt(m.Point());
  return std::nullopt;
}

CKLPluginWindow::Handled CKLPluginWindow::OnRButtonUp(const Message& m) {
  ViewPopupMenu(m.Point());
  return std::nullopt;
}

void CKLPluginWindow::ResetClick() {
  win::KillTimer(m_hwnd, IDT_CLICK);
  m_clickState = CLICK_IDLE;
}

void CKLPluginWindow::OnLButtonDown(win::POINT point) {
  if (m_activateMethod == 0) ActivateAnchorAt(point);
}

// A double click activates in double-click mode; on the video outside every anchor it toggles
// between playing and paused, on an anchor it only pauses.
void CKLPluginWindow::OnLButtonDblClk(win::POINT point) {
  if (m_activateMethod == 1) ActivateAnchorAt(point);
  if (!m_player) return;
  bool onAnchor = m_player->AnchorAt(m_player->GetCurrentFrame(), ToAnchorPoint(point)) != -1;
  if (m_player->m_state == MOVIE_PLAYING)
    m_player->Pause();
  else if (!onAnchor)
    m_player->Play(-1);
}

int CKLPluginWindow::ActivateAnchorAt(win::POINT point) {
  if (!m_player || !m_player->SelectAnchorAt(ToAnchorPoint(point))) return 0;
  m_player->Pause();
  return 1;
}

// With no mouse to double-click, a tap on the video activates whatever the activation method.
CKLPluginWindow::Handled CKLPluginWindow::OnTouchTap(const Message& m) {
  if (!m_player || !InVideo(m.Point())) return 0;
  ActivateAnchorAt(m.Point());
  return 0;
}

int CKLPluginWindow::ActivateAnchor(int32_t index) {
  if (!m_player || index < 0) return 0;
  m_player->SelectAnchor(index);
  m_player->Pause();
  return 1;
}

void CKLPluginWindow::UpdateCursor(win::WPARAM, win::POINT point) {
  if (!m_changeCursor || !m_player || !m_trackCursor) return;
  m_cursor = m_player->IsOverAnchor(ToAnchorPoint(point))
                 ? win::LoadCursorA(ModuleInstance(), win::MAKEINTRESOURCEA(resources::IDC_ANCHOR))
                 : win::LoadCursorA(nullptr, win::IDC_ARROW);
  win::SetCursor(m_cursor);
}
