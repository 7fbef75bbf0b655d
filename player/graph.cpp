// The media graph of CKLMoviePlay: building an empty graph with the anchor overlay filter in it,
// rendering a movie into it, and releasing it again.
#include <cstring>

#include "platform/com/com.h"
#include "platform/dshow/dshow.h"
#include "player/movie_play.h"
#include "script/messages.h"

namespace {

using com::FAILED;
using com::SUCCEEDED;

constexpr int kMaxPath = 260;  // wide characters, the terminating zero included

// Asks from for iid; *out is set only on success.
template <class I>
com::HRESULT Query(com::IUnknown* from, const com::IID& iid, I** out) {
  void* p = nullptr;
  com::HRESULT hr = from->QueryInterface(iid, &p);
  if (SUCCEEDED(hr)) *out = static_cast<I*>(p);
  return hr;
}

template <class I>
com::HRESULT Create(const com::CLSID& clsid, const com::IID& iid, I** out) {
  void* p = nullptr;
  com::HRESULT hr = com::CoCreateInstance(clsid, nullptr, com::CLSCTX_INPROC_SERVER, iid, &p);
  if (SUCCEEDED(hr)) *out = static_cast<I*>(p);
  return hr;
}

// Releases *p and clears it; a null pointer is skipped.
template <class I>
void ReleaseField(I*& p) {
  if (p) p->Release();
  p = nullptr;
}

// A reference held for the length of a scope.
struct FilterRef {
  dshow::IBaseFilter* p = nullptr;
  ~FilterRef() { ReleaseField(p); }
};

dshow::OAHWND OaWindow(win::HWND hwnd) { return reinterpret_cast<dshow::OAHWND>(hwnd); }

}  // namespace

int CKLMoviePlay::CreateGraph() {
  if (m_graph) ReleaseGraph();
  return Outcome([&]() -> const char* {
    if (FAILED(Create(dshow::CLSID_FilterGraph, dshow::IID_IGraphBuilder, &m_graph)))
      return "! CKLMoviePlay::CreateGraph 01";
    // The graph and m_overlay keep the filter alive; this reference goes on every path.
    FilterRef filter;
    if (FAILED(Create(dshow::CLSID_AnchorOverlay, dshow::IID_IBaseFilter, &filter.p)))
      return "! CKLMoviePlay::CreateGraph 02";
    if (FAILED(m_graph->AddFilter(filter.p, nullptr))) return "! CKLMoviePlay::CreateGraph 03";
    if (FAILED(Query(filter.p, dshow::IID_IAnchorOverlay, &m_overlay)))
      return "! CKLMoviePlay::CreateGraph 04";
    ReleaseField(filter.p);
    if (FAILED(Query(m_graph, dshow::IID_IBasicVideo, &m_basicVideo)))
      return "! CKLMoviePlay::CreateGraph 05";
    if (FAILED(Query(m_graph, dshow::IID_IVideoWindow, &m_videoWindow)))
      return "! CKLMoviePlay::CreateGraph 06";
    if (FAILED(Query(m_graph, dshow::IID_IMediaEventEx, &m_events)))
      return "! CKLMoviePlay::CreateGraph 07";
    if (FAILED(Query(m_graph, dshow::IID_IMediaSeeking, &m_seeking)))
      return "! CKLMoviePlay::CreateGraph 08";
    if (FAILED(Query(m_graph, dshow::IID_IMediaControl, &m_control)))
      return "! CKLMoviePlay::CreateGraph 09";
    return nullptr;
  });
}

int CKLMoviePlay::RenderFile(win::HWND window, const char* path) {
  ReleaseGraph();
  return Outcome([&]() -> const char* {
    if (!CreateGraph()) return "! CKLMoviePlay::RenderFile 01";
    if (!path || std::strlen(path) >= kMaxPath) return "! CKLMoviePlay::RenderFile 02";
    char16_t wide[kMaxPath];
    if (!win::MultiByteToWideChar(win::CP_ACP, 0, path, -1, wide, kMaxPath))
      return "! CKLMoviePlay::RenderFile 02";
    win::SetCursor(win::LoadCursorA(nullptr, win::IDC_WAIT));
    com::HRESULT rendered = m_graph->RenderFile(wide, nullptr);
    win::SetCursor(win::LoadCursorA(nullptr, win::IDC_ARROW));
    if (FAILED(rendered)) return "! CKLMoviePlay::RenderFile 03";
    if (FAILED(m_events->SetNotifyWindow(OaWindow(m_notifyWnd), WM_KL_GRAPHNOTIFY, 0)))
      return "! CKLMoviePlay::RenderFile 04";
    if (FAILED(m_events->SetNotifyFlags(0))) return "! CKLMoviePlay::RenderFile 05";
    if (m_seeking->SetTimeFormat(&dshow::TIME_FORMAT_FRAME) != com::S_OK)
      return "! CKLMoviePlay::RenderFile 06";
    dshow::LONGLONG duration = 0;
    if (FAILED(m_seeking->GetDuration(&duration))) return "! CKLMoviePlay::RenderFile 06-01";
    m_duration = LowFrame(duration);
    dshow::LONG width = 0, height = 0;
    if (FAILED(m_basicVideo->GetVideoSize(&width, &height))) return "! CKLMoviePlay::RenderFile 07";
    m_videoWidth = width;
    m_videoHeight = height;
    if (FAILED(m_videoWindow->put_Owner(OaWindow(window)))) return "! CKLMoviePlay::RenderFile 08";
    constexpr win::DWORD kStyle = win::WS_CHILD | win::WS_CLIPSIBLINGS | win::WS_CLIPCHILDREN;
    if (FAILED(m_videoWindow->put_WindowStyle(static_cast<dshow::LONG>(kStyle))))
      return "! CKLMoviePlay::RenderFile 09";
    // The video fills the plug-in window's client area.
    win::RECT client{};
    win::GetClientRect(window, &client);
    m_displayWidth = client.right;
    m_displayHeight = client.bottom;
    if (FAILED(
            m_videoWindow->SetWindowPosition(client.left, client.top, client.right, client.bottom)))
      return "! CKLMoviePlay::RenderFile 10";
    if (FAILED(m_videoWindow->put_MessageDrain(OaWindow(window))))
      return "! CKLMoviePlay::RenderFile 11";
    if (FAILED(m_videoWindow->put_AutoShow(dshow::OATRUE))) return "! CKLMoviePlay::RenderFile 12";
    if (!SetAnchorInfo()) return "! CKLMoviePlay::RenderFile 13";
    m_overlay->ShowAllAnchors(m_showAnchor);
    // Stopped on frame 0: a paused graph showing the first picture.
    m_state = MOVIE_PAUSED;
    Stop();
    return nullptr;
  });
}

void CKLMoviePlay::ReleaseGraph() {
  // A released graph has no position to tick for (the timer is off without a movie).
  StopPositionTimer();
  ReleaseField(m_basicVideo);
  if (m_videoWindow) {
    m_videoWindow->put_Visible(dshow::OAFALSE);
    m_videoWindow->put_Owner(0);
  }
  ReleaseField(m_videoWindow);
  ReleaseField(m_events);
  ReleaseField(m_seeking);
  if (m_control) {
    m_control->Pause();
    // Waits for the pause to complete: every graph backend must return from this wait.
    dshow::OAFilterState state;
    m_control->GetState(static_cast<dshow::LONG>(dshow::INFINITE), &state);
  }
  ReleaseField(m_control);
  if (m_overlay) m_overlay->RemoveAllAnchors();
  ReleaseField(m_overlay);
  ReleaseField(m_graph);
  m_curFrame = -1;
  m_prevFrame = -1;
  m_duration = -1;
  m_state = MOVIE_NONE;
  m_videoWidth = 0;
  m_videoHeight = 0;
}
