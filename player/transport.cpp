// Transport control of CKLMoviePlay: play, pause, stop and seek, the graph's position, its
// notifications and the end of the movie.
//
// Allowed transitions: Play from MOVIE_STOPPED or MOVIE_PAUSED, Pause from MOVIE_PLAYING, Stop
// from MOVIE_PAUSED or MOVIE_PLAYING, Seek in any state but MOVIE_NONE. A failing operation
// leaves m_state as it was, even where the graph has changed already.
#include <algorithm>

#include "platform/dshow/dshow.h"
#include "player/movie_play.h"

namespace {

using com::FAILED;

// Seeks graph to frame, with the stop position at duration; both absolute and sign-extended.
com::HRESULT SeekGraph(dshow::IMediaSeeking* seeking, int32_t frame, int32_t duration) {
  dshow::LONGLONG current = frame;
  dshow::LONGLONG stop = duration;
  return seeking->SetPositions(&current, dshow::AM_SEEKING_AbsolutePositioning, &stop,
                               dshow::AM_SEEKING_AbsolutePositioning);
}

}  // namespace

void CKLMoviePlay::ArmPositionTimer() {
  win::SetTimer(m_notifyWnd, IDT_POSITION, kPositionIntervalMs, nullptr);
}

void CKLMoviePlay::StopPositionTimer() { win::KillTimer(m_notifyWnd, IDT_POSITION); }

int CKLMoviePlay::SetVideoSize(int32_t width, int32_t height) {
  if (!m_videoWindow || FAILED(m_videoWindow->put_Width(width))) return 0;
  m_displayWidth = width;
  if (FAILED(m_videoWindow->put_Height(height))) return 0;
  m_displayHeight = height;
  return 1;
}

int CKLMoviePlay::Seek(int32_t frame) {
  return Outcome([&]() -> const char* {
    if (m_state == MOVIE_NONE) return "! CKLMoviePlay::Seek 01";
    frame = std::max(frame, 0);  // no upper bound: the graph decides
    if (FAILED(SeekGraph(m_seeking, frame, m_duration))) return "! CKLMoviePlay::Seek 03";
    SelectAnchor(-1);
    m_prevFrame = -1;
    m_curFrame = frame;
    return nullptr;
  });
}

int CKLMoviePlay::Play(int32_t frame) {
  return Outcome([&]() -> const char* {
    if (m_state != MOVIE_STOPPED && m_state != MOVIE_PAUSED) return "! CKLMoviePlay::Play 01";
    if (frame >= 0 && !Seek(frame)) return "! CKLMoviePlay::Play 02";
    if (FAILED(m_control->Run())) return "! CKLMoviePlay::Play 03";
    m_state = MOVIE_PLAYING;
    SelectAnchor(-1);
    ArmPositionTimer();
    return nullptr;
  });
}

int CKLMoviePlay::Pause() {
  return Outcome([&]() -> const char* {
    if (m_state != MOVIE_PLAYING) return "! CKLMoviePlay::Pause 01";
    if (FAILED(m_control->StopWhenReady())) return "! CKLMoviePlay::Pause 02";
    if (FAILED(m_control->Pause())) return "! CKLMoviePlay::Pause 03";
    int32_t frame = GetCurrentFrame();
    if (frame < 0) return "! CKLMoviePlay::Pause 04";
    // Settles the picture on exactly that frame.
    if (FAILED(SeekGraph(m_seeking, frame, m_duration))) return "! CKLMoviePlay::Pause 05-02";
    if (FAILED(m_control->Pause())) return "! CKLMoviePlay::Pause 06";
    m_state = MOVIE_PAUSED;
    OnSeeking(frame);  // fires what lies up to the paused frame; no longer playing: no re-arm
    StopPositionTimer();
    return nullptr;
  });
}

int CKLMoviePlay::Stop() {
  return Outcome([&]() -> const char* {
    if (m_state != MOVIE_PAUSED && m_state != MOVIE_PLAYING) return "! CKLMoviePlay::Stop 01";
    // The graph is never stopped: a stopped player is a graph paused on frame 0.
    if (FAILED(m_control->StopWhenReady())) return "! CKLMoviePlay::Stop 02";
    if (FAILED(m_control->Pause())) return "! CKLMoviePlay::Stop 03";
    if (!Seek(0)) return "! CKLMoviePlay::Stop 04";
    if (FAILED(m_control->Pause())) return "! CKLMoviePlay::Stop 05";
    // With both frames at -1 the next tick fires what lies on frame 0 too.
    m_prevFrame = -1;
    m_curFrame = -1;
    m_state = MOVIE_STOPPED;
    StopPositionTimer();
    return nullptr;
  });
}

int32_t CKLMoviePlay::GetCurrentFrame() {
  dshow::LONGLONG position = 0;
  if (!m_graph || !m_seeking || FAILED(m_seeking->GetCurrentPosition(&position))) return -1;
  return LowFrame(position);
}

void CKLMoviePlay::OnNotify() {
  if (!m_graph || !m_events) {
    Trace("! CKLMoviePlay::OnNotify 01");
    return;
  }
  // Takes events without waiting up to the end of the movie; every other code is discarded and
  // events behind the end stay queued for the next notice.
  for (;;) {
    dshow::LONG code = 0;
    dshow::LONG_PTR param1 = 0, param2 = 0;
    if (FAILED(m_events->GetEvent(&code, &param1, &param2, 0))) return;
    m_events->FreeEventParams(code, param1, param2);
    if (code == dshow::EC_COMPLETE) break;
  }
  Trace("<EC_COMPLETE>");
  OnSeeking(m_duration);
  if (m_autoRepeat) {
    // The graph keeps running: it plays again from frame 0, and frame 0 fires again.
    Seek(0);
    m_prevFrame = -1;
    m_curFrame = -1;
  } else {
    Stop();
  }
}
