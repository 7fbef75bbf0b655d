// Player operations that need the media graph. Without a graph backend every movie fails to
// open, and the transport operations refuse as they do with no movie open.
#include "player/movie_play.h"
#include "script/trace.h"
#include "window/plugin_window.h"

int CKLMoviePlay::CreateGraph() { return 0; }

int CKLMoviePlay::RenderFile(win::HWND, const char*) {
  ReleaseGraph();
  Trace("! CKLMoviePlay::RenderFile 01");
  return 0;
}

void CKLMoviePlay::ReleaseGraph() {
  m_curFrame = -1;
  m_prevFrame = -1;
  m_duration = -1;
  m_state = MOVIE_NONE;
  m_videoWidth = 0;
  m_videoHeight = 0;
}

int CKLMoviePlay::SetVideoSize(int32_t, int32_t) { return 0; }

int CKLMoviePlay::Play(int32_t) {
  Trace("! CKLMoviePlay::Play 01");
  return 0;
}

int CKLMoviePlay::Pause() {
  Trace("! CKLMoviePlay::Pause 01");
  return 0;
}

int CKLMoviePlay::Stop() {
  Trace("! CKLMoviePlay::Stop 01");
  return 0;
}

int CKLMoviePlay::Seek(int32_t) {
  Trace("! CKLMoviePlay::Seek 01");
  return 0;
}

int32_t CKLMoviePlay::GetCurrentFrame() { return -1; }

void CKLMoviePlay::OnNotify() { Trace("! CKLMoviePlay::OnNotify 01"); }

int CKLMoviePlay::SetAnchorInfo() { return 0; }
int CKLMoviePlay::SetShowAnchor(int32_t) { return 0; }
void CKLMoviePlay::SelectAnchor(int32_t index) { m_selected = index; }
bool CKLMoviePlay::GetAnchorRect(int32_t, int32_t, anchors::Rect*) const { return false; }
bool CKLMoviePlay::MapToDisplay(const anchors::Rect&, anchors::Rect*) const { return false; }
int32_t CKLMoviePlay::AnchorAt(int32_t, anchors::Point) const { return -1; }
bool CKLMoviePlay::IsOverAnchor(anchors::Point) { return false; }
bool CKLMoviePlay::SelectAnchorAt(anchors::Point) { return false; }
void CKLMoviePlay::OnSeeking(int32_t) {}
int CKLMoviePlay::GotoAnchor(const char*) { return 0; }
int CKLMoviePlay::GotoMarker(const char*) { return 0; }
