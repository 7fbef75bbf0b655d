#include "window/plugin_window.h"

#include <cstring>
#include <new>

#include "player/movie_play.h"
#include "script/instance.h"
#include "script/messages.h"
#include "script/trace.h"

namespace {

constexpr const char* kThisProp = "this ptr";

char* CopyAttribute(const char* text) {
  if (!text) return nullptr;
  size_t n = std::strlen(text);
  char* copy = new (std::nothrow) char[n + 1];
  if (copy) std::memcpy(copy, text, n + 1);
  return copy;
}

bool CarriesName(win::UINT msg) { return msg == WM_KL_ENABLEANCHOR || msg == WM_KL_ENABLEMARKER; }

}  // namespace

CKLPluginWindow* InstanceObject(NPP instance) {
  return instance ? static_cast<CKLPluginWindow*>(instance->pdata) : nullptr;
}
bool TraceEnabled(const CKLPluginWindow& object) { return object.m_debug != 0; }
const char* ScriptName(const CKLPluginWindow& object) { return object.m_name; }
win::HWND CommandWindow(const CKLPluginWindow& object) { return object.m_hwnd; }

CKLPluginWindow::CKLPluginWindow(NPP instance, int32_t fullPage, const char* src, const char* name,
                                 int32_t activateMethod, int32_t changeCursor, int32_t showAnchor,
                                 int32_t autoPlay, int32_t autoRepeat, int32_t debug)
    : m_src(CopyAttribute(src)),
      m_player(new (std::nothrow) CKLMoviePlay(this, showAnchor, autoPlay, autoRepeat)),
      m_activateMethod(activateMethod),
      m_changeCursor(changeCursor),
      m_name(CopyAttribute(name)),
      m_instance(instance),
      m_fullPage(fullPage),
      m_debug(debug) {}

CKLPluginWindow::~CKLPluginWindow() {
  delete[] m_src;
  m_src = nullptr;
  delete[] m_name;
  m_name = nullptr;
  delete m_player;
  m_player = nullptr;
  if (m_prevWndProc) {
    win::SetWindowLongPtrA(m_hwnd, win::GWLP_WNDPROC,
                           reinterpret_cast<win::LONG_PTR>(m_prevWndProc));
    win::RemovePropA(m_hwnd, kThisProp);
    m_prevWndProc = nullptr;
  }
  DiscardQueuedCommands();
}

void CKLPluginWindow::DiscardQueuedCommands() {
  // Script commands still queued for this window would reach no object: free their names.
  if (!m_hwnd) return;
  win::MSG msg;
  while (win::PeekMessageA(&msg, m_hwnd, WM_KL_ENABLEANCHOR, WM_KL_STOP, win::PM_REMOVE))
    if (CarriesName(msg.message)) FreeCommandName(reinterpret_cast<char*>(msg.wParam));
}

void CKLPluginWindow::SetWindow(win::HWND hwnd) {
  SysOut(m_instance, "<SetWindow>");
  m_hwnd = hwnd;
  m_prevWndProc = reinterpret_cast<win::WNDPROC>(win::SetWindowLongPtrA(
      hwnd, win::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(&PluginWndProc)));
  win::SetPropA(hwnd, kThisProp, this);
}

int CKLPluginWindow::OpenSrc(const char* path) {
  SysOut(m_instance, "<OpenSrc>");
  SysOut(m_instance, path);
  if (!m_player) {
    SysOut(m_instance, "! CKLPluginWindow::OpenSrc 01");
    return 0;
  }
  return m_player->OpenProject(path);
}

int CKLPluginWindow::OpenMovie(const char* path) {
  SysOut(m_instance, "<OpenMovie>");
  SysOut(m_instance, path);
  if (!m_player) {
    SysOut(m_instance, "! CKLPluginWindow::OpenMovie 01");
    return 0;
  }
  if (!m_player->OpenMovie(m_hwnd, path)) {
    SysOut(m_instance, "! CKLPluginWindow::OpenMovie 02");
    return 0;
  }
  if (m_fullPage) m_player->SetVideoSize(m_player->m_videoWidth, m_player->m_videoHeight);
  return 1;
}

const char* CKLPluginWindow::GetMovieName() {
  if (!m_player) {
    SysOut(m_instance, "! CKLPluginWindow::GetMovieName 01");
    return nullptr;
  }
  return m_player->GetMovieName();
}

win::LRESULT CKLPluginWindow::PluginWndProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam,
                                            win::LPARAM lParam) {
  auto* self = static_cast<CKLPluginWindow*>(win::GetPropA(hwnd, kThisProp));
  if (!self) {
    if (CarriesName(msg)) FreeCommandName(reinterpret_cast<char*>(wParam));
    return win::DefWindowProcA(hwnd, msg, wParam, lParam);
  }
  const Message m{hwnd, msg, wParam, lParam};
  // Mouse input counts only on the video; elsewhere, and without a player, it is consumed.
  if (msg >= win::WM_MOUSEMOVE && msg <= win::WM_RBUTTONDBLCLK &&
      (!self->m_player || !self->InVideo(m.Point())))
    return 0;

  struct Route {
    win::UINT first;
    win::UINT last;
    Handled (CKLPluginWindow::*handler)(const Message&);
  };
  static constexpr Route kRoutes[] = {
      {win::WM_KILLFOCUS, win::WM_KILLFOCUS, &CKLPluginWindow::OnKillFocus},
      {win::WM_PAINT, win::WM_PAINT, &CKLPluginWindow::OnPaintMessage},
      {win::WM_SETCURSOR, win::WM_SETCURSOR, &CKLPluginWindow::OnSetCursor},
      {win::WM_KEYDOWN, win::WM_KEYDOWN, &CKLPluginWindow::OnKeyDown},
      {win::WM_COMMAND, win::WM_COMMAND, &CKLPluginWindow::OnCommand},
      {win::WM_TIMER, win::WM_TIMER, &CKLPluginWindow::OnTimer},
      {win::WM_MOUSEMOVE, win::WM_MOUSEMOVE, &CKLPluginWindow::OnMouseMove},
      {win::WM_LBUTTONDOWN, win::WM_LBUTTONDOWN, &CKLPluginWindow::OnLButtonPress},
      {win::WM_LBUTTONUP, win::WM_LBUTTONUP, &CKLPluginWindow::OnLButtonRelease},
      {win::WM_LBUTTONDBLCLK, win::WM_LBUTTONDBLCLK, &CKLPluginWindow::OnLButtonSystemDblClk},
      {win::WM_RBUTTONDOWN, win::WM_RBUTTONDOWN, &CKLPluginWindow::OnRButtonDown},
      {win::WM_RBUTTONUP, win::WM_RBUTTONUP, &CKLPluginWindow::OnRButtonUp},
      {WM_KL_ENABLEANCHOR, WM_KL_STOP, &CKLPluginWindow::OnCommandMessage},
      {win::WM_TOUCHTAP, win::WM_TOUCHTAP, &CKLPluginWindow::OnTouchTap},
  };
  win::WNDPROC previous = self->m_prevWndProc;
  for (const Route& r : kRoutes) {
    if (msg < r.first || msg > r.last) continue;
    if (Handled result = (self->*r.handler)(m)) return *result;
    break;
  }
  return win::CallWindowProcA(previous, hwnd, msg, wParam, lParam);
}

bool CKLPluginWindow::MovieOpen() const { return m_player && m_player->m_state != MOVIE_NONE; }

CKLPluginWindow::Handled CKLPluginWindow::OnSetCursor(const Message&) {
  if (!m_cursor || !m_trackCursor) return std::nullopt;
  win::SetCursor(m_cursor);
  return 1;
}

CKLPluginWindow::Handled CKLPluginWindow::OnCommand(const Message& m) {
  unsigned id = win::LOWORD(m.wParam);
  if (win::HIWORD(m.wParam) != 0 || id < ID_MENU_PLAY || id > ID_MENU_ABOUT) return std::nullopt;
  OnMenuCommand(m.wParam);
  return 0;
}

CKLPluginWindow::Handled CKLPluginWindow::OnTimer(const Message& m) {
  if (m.wParam == IDT_CLICK) ResetClick();
  return std::nullopt;
}

CKLPluginWindow::Handled CKLPluginWindow::OnCommandMessage(const Message& m) {
  OnKLMessage(m.msg, m.wParam, m.lParam);
  return 0;
}
