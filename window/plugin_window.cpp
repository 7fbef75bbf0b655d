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
  switch (msg) {
    case win::WM_PAINT:
      self->OnPaint(hwnd);
      break;
    case WM_KL_ENABLEANCHOR:
    case WM_KL_ENABLEMARKER:
    case WM_KL_PLAY:
    case WM_KL_PAUSE:
    case WM_KL_STOP:
      return self->OnKLMessage(msg, wParam, lParam);
    default:
      break;
  }
  return win::CallWindowProcA(self->m_prevWndProc, hwnd, msg, wParam, lParam);
}

void CKLPluginWindow::OnPaint(win::HWND) {}

win::LRESULT CKLPluginWindow::OnKLMessage(win::UINT msg, win::WPARAM wParam, win::LPARAM) {
  if (CarriesName(msg)) FreeCommandName(reinterpret_cast<char*>(wParam));
  return 0;
}
