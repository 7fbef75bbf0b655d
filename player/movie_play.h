// CKLMoviePlay: plays one instance's movie through a media graph, owns the instance's project,
// and receives the graph's notices and its position ticks on a hidden notification window.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/npapi/npapi.h"
#include "platform/win/win.h"
#include "player/anchor_geometry.h"
#include "project/project_info.h"

class CKLPluginWindow;

namespace dshow {
struct IGraphBuilder;
struct IMediaControl;
struct IMediaSeeking;
struct IMediaEventEx;
struct IVideoWindow;
struct IBasicVideo;
struct IAnchorOverlay;
}  // namespace dshow

enum MovieState : int32_t {
  MOVIE_NONE = 0,
  MOVIE_STOPPED = 1,
  MOVIE_PAUSED = 2,
  MOVIE_PLAYING = 3,
};

inline constexpr win::UINT_PTR IDT_POSITION = 21;
inline constexpr win::UINT kPositionIntervalMs = 100;

class CKLMoviePlay {
 public:
  CKLMoviePlay(CKLPluginWindow* owner, int32_t showAnchor, int32_t autoPlay, int32_t autoRepeat);
  ~CKLMoviePlay();
  CKLMoviePlay(const CKLMoviePlay&) = delete;
  CKLMoviePlay& operator=(const CKLMoviePlay&) = delete;

  int OpenProject(const char* path);
  const char* GetMovieName() const;
  int OpenMovie(win::HWND window, const char* path);
  int SetVideoSize(int32_t width, int32_t height);
  int Play(int32_t frame);
  int Pause();
  int Stop();
  int Seek(int32_t frame);
  int32_t GetCurrentFrame();
  void OnNotify();

  int CreateGraph();
  int RenderFile(win::HWND window, const char* path);
  void ReleaseGraph();

  // Anchors, markers and events during playback. Points are client coordinates of the plug-in
  // window; rectangles from GetAnchorRect are in video pixels, MapToDisplay's in display pixels.
  int SetAnchorInfo();
  int SetShowAnchor(int32_t show);
  void SelectAnchor(int32_t index);
  bool GetAnchorRect(int32_t index, int32_t frame, anchors::Rect* rect) const;
  bool MapToDisplay(const anchors::Rect& video, anchors::Rect* display) const;
  int32_t AnchorAt(int32_t frame, anchors::Point point) const;
  bool IsOverAnchor(anchors::Point point);
  bool SelectAnchorAt(anchors::Point point);
  void OnSeeking(int32_t frame);
  int GotoAnchor(const char* name);
  int GotoMarker(const char* name);

  // The anchors a click could hit on the current frame, in the order the hit test tries them,
  // with their display rectangles: what the keyboard moves through.
  struct ShownAnchor {
    int32_t index;
    anchors::Rect display;
    bool ellipse;
    const char* name;  // the hot spot's, alive with the project
  };
  std::vector<ShownAnchor> ShownAnchors();

  // Fields, in order.
  char* m_projectPath = nullptr;
  CProjectInfo* m_project = nullptr;
  int32_t m_hotSpotCount = 0;
  int32_t m_selected = -1;
  char* m_moviePath = nullptr;
  CKLPluginWindow* m_owner = nullptr;
  dshow::IGraphBuilder* m_graph = nullptr;
  dshow::IMediaControl* m_control = nullptr;
  dshow::IMediaSeeking* m_seeking = nullptr;
  dshow::IMediaEventEx* m_events = nullptr;
  dshow::IVideoWindow* m_videoWindow = nullptr;
  dshow::IBasicVideo* m_basicVideo = nullptr;
  dshow::IAnchorOverlay* m_overlay = nullptr;
  int32_t* m_anchorIds = nullptr;
  win::HWND m_notifyWnd = nullptr;
  win::WNDPROC m_prevNotifyProc = nullptr;
  int32_t m_state = MOVIE_NONE;
  int32_t m_curFrame = -1;
  int32_t m_prevFrame = -1;
  int32_t m_duration = -1;
  int32_t m_showAnchor = 0;
  int32_t m_autoPlay = 0;
  int32_t m_autoRepeat = 0;
  int32_t m_videoWidth = 0;
  int32_t m_videoHeight = 0;
  int32_t m_displayWidth = 0;
  int32_t m_displayHeight = 0;

 private:
  bool m_projectRead = false;  // OpenProject succeeded: only then is source the movie's name
  int32_t m_anchorCount = 0;   // entries of m_anchorIds

  static win::LRESULT NotifyProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam,
                                 win::LPARAM lParam);
  void Trace(const char* text) const;
  NPP Instance() const;

  // The one failure exit of an operation: steps() runs the steps and returns the trace line of
  // the step that failed, or null. A failure is traced and answers 0, success answers 1.
  template <class Steps>
  int Outcome(Steps&& steps) const {
    const char* failed = steps();
    if (!failed) return 1;
    Trace(failed);
    return 0;
  }

  // The position timer is one-shot: armed by Play and by each tick while playing.
  void ArmPositionTimer();
  void StopPositionTimer();

  // Hot-spot lookups for the anchors: the record at index, its effect (by the hot spot's name),
  // and the overlay id of its anchor (0 when none was created).
  const CHotSpotInfo* HotSpotAt(int32_t index) const;
  const CEffectInfo* EffectOf(const CHotSpotInfo* spot) const;
  int32_t AnchorId(int32_t index) const;
  void FirePassedMarks();
  void RefreshCursor();
};

// The low 32 bits of a graph position as a frame number: narrowed by conversion (modulo 2^32),
// never by overflow.
inline int32_t LowFrame(int64_t position) {
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(position)));
}
