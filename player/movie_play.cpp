#include "player/movie_play.h"

#include <cstring>
#include <new>

#include "plugin/module.h"
#include "script/messages.h"
#include "script/trace.h"
#include "window/plugin_window.h"

namespace {

constexpr const char* kNotifyClass = "CKLMoviePlay";
constexpr const char* kThisProp = "this ptr";

// Players share the one registration of the notification window class: the first registers
// it, the last unregisters it, so that every player gets its own notification window.
int g_classUsers = 0;

bool UseNotifyClass() {
  if (g_classUsers == 0) {
    win::WNDCLASSA wc{};
    wc.lpfnWndProc = &win::DefWindowProcA;
    wc.hInstance = ModuleInstance();
    wc.lpszClassName = kNotifyClass;
    if (!win::RegisterClassA(&wc)) return false;
  }
  ++g_classUsers;
  return true;
}

void UnuseNotifyClass() {
  if (g_classUsers > 0 && --g_classUsers == 0)
    win::UnregisterClassA(kNotifyClass, ModuleInstance());
}

char* CopyText(const char* text) {
  size_t n = std::strlen(text);
  char* copy = new (std::nothrow) char[n + 1];
  if (copy) std::memcpy(copy, text, n + 1);
  return copy;
}

}  // namespace

CKLMoviePlay::CKLMoviePlay(CKLPluginWindow* owner, int32_t showAnchor, int32_t autoPlay,
                           int32_t autoRepeat)
    : m_project(new (std::nothrow) CProjectInfo()),
      m_owner(owner),
      m_showAnchor(showAnchor),
      m_autoPlay(autoPlay),
      m_autoRepeat(autoRepeat) {
  if (UseNotifyClass()) {
    m_notifyWnd = win::CreateWindowExA(0, kNotifyClass, kNotifyClass, 0, 0, 0, 0, 0, nullptr,
                                       nullptr, ModuleInstance(), nullptr);
    if (m_notifyWnd) {
      m_prevNotifyProc = reinterpret_cast<win::WNDPROC>(win::SetWindowLongPtrA(
          m_notifyWnd, win::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(&NotifyProc)));
      win::SetPropA(m_notifyWnd, kThisProp, this);
    } else {
      UnuseNotifyClass();
    }
  }
  ReleaseGraph();
}

CKLMoviePlay::~CKLMoviePlay() {
  ReleaseGraph();
  delete[] m_anchorIds;
  m_anchorIds = nullptr;
  delete[] m_moviePath;
  m_moviePath = nullptr;
  if (m_notifyWnd) {
    if (m_prevNotifyProc)
      win::SetWindowLongPtrA(m_notifyWnd, win::GWLP_WNDPROC,
                             reinterpret_cast<win::LONG_PTR>(m_prevNotifyProc));
    win::RemovePropA(m_notifyWnd, kThisProp);
    win::DestroyWindow(m_notifyWnd);
    m_notifyWnd = nullptr;
    UnuseNotifyClass();
  }
  delete m_project;
  m_project = nullptr;
  delete[] m_projectPath;
  m_projectPath = nullptr;
}

NPP CKLMoviePlay::Instance() const { return m_owner ? m_owner->m_instance : nullptr; }

void CKLMoviePlay::Trace(const char* text) const { SysOut(Instance(), text); }

win::LRESULT CKLMoviePlay::NotifyProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam,
                                      win::LPARAM lParam) {
  auto* player = static_cast<CKLMoviePlay*>(win::GetPropA(hwnd, kThisProp));
  if (player) {
    if (msg == win::WM_DESTROY) {
      win::KillTimer(hwnd, IDT_POSITION);
      player->ReleaseGraph();
    } else if (msg == win::WM_TIMER && wParam == IDT_POSITION) {
      win::KillTimer(hwnd, IDT_POSITION);
      player->OnSeeking(player->GetCurrentFrame());
    } else if (msg == WM_KL_GRAPHNOTIFY) {
      player->OnNotify();
    }
  }
  return win::DefWindowProcA(hwnd, msg, wParam, lParam);
}

int CKLMoviePlay::OpenProject(const char* path) {
  if (!m_project || !path) return 0;
  char* copy = CopyText(path);
  if (!copy) return 0;
  delete[] m_projectPath;
  m_projectPath = copy;
  if (m_project->Read(path) != 0) return 0;
  m_projectRead = true;
  m_hotSpotCount = m_project->hotSpotCount;
  return 1;
}

const char* CKLMoviePlay::GetMovieName() const {
  // Only a project that was read names a movie: a failed read leaves the reader's default.
  if (!m_project || !m_projectRead || m_project->source.empty()) return nullptr;
  return m_project->source.c_str();
}

int CKLMoviePlay::OpenMovie(win::HWND window, const char* path) {
  int opened = Outcome([&]() -> const char* {
    if (!window) return "! CKLMoviePlay::OpenMovie 01";
    if (!path) return "! CKLMoviePlay::OpenMovie 02";
    delete[] m_moviePath;
    m_moviePath = CopyText(path);
    if (!m_moviePath) return "! CKLMoviePlay::OpenMovie 03";
    if (!RenderFile(window, path)) return "! CKLMoviePlay::OpenMovie 04";
    return nullptr;
  });
  if (opened && m_autoPlay) Play(-1);  // the movie is open whatever Play answers
  return opened;
}
