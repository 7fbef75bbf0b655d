// The graph's video window: a child window of the owner given to IVideoWindow::put_Owner, made
// through the win layer, that paints the frame on show scaled to its size (on a desktop that
// draws surfaces on demand, straight into the picture the desktop shows). A new frame reaches
// it as a posted message, so painting always happens on the desktop's thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>

#include "platform/gst/frame_filter.h"
#include "platform/win/win.h"

namespace gstgraph {

// Where the window takes its picture from: calls reader with the frame on show, under whatever
// lock guards it; false when there is none yet.
using FrameReader =
    std::function<bool(const std::function<void(const media::VideoFrame&)>& reader)>;

class VideoWindow {
 public:
  explicit VideoWindow(FrameReader reader);
  ~VideoWindow();  // destroys the window
  VideoWindow(const VideoWindow&) = delete;
  VideoWindow& operator=(const VideoWindow&) = delete;

  // All on the desktop's thread. The window exists from SetOwner(non-null) to SetOwner(null);
  // position, style and visibility are kept across owners.
  bool SetOwner(win::HWND owner);
  void SetStyle(win::LONG style);
  void SetPosition(win::LONG left, win::LONG top, win::LONG width, win::LONG height);
  void SetWidth(win::LONG width);
  void SetHeight(win::LONG height);
  void SetDrain(win::HWND drain) { drain_ = drain; }
  void SetAutoShow(bool autoShow) { autoShow_ = autoShow; }
  void SetVisible(bool visible);
  // The graph paused or started running: an auto-show window becomes visible.
  void GraphStateChanged();
  // Repaints now (after a redraw of the frame on show).
  void Repaint();

  // Any thread: a new frame is on show. Posts one repaint message at a time.
  void FrameArrived();

  win::HWND hwnd() const { return hwnd_.load(); }
  bool visible() const { return visible_; }

 private:
  static win::LRESULT Proc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam,
                           win::LPARAM lParam);
  void Paint(win::HWND hwnd);
  // Writes rectangle r of the frame on show, as it looks at width x height (black before the
  // first frame), into out, rows pitch pixels apart; the byte above red is left undefined.
  void Draw(int width, int height, const win::RECT& r, uint32_t* out, size_t pitch);
  void ApplyStyle();
  void Destroy();

  FrameReader reader_;
  // Written on the desktop's thread; read by FrameArrived on streaming threads.
  std::atomic<win::HWND> hwnd_{nullptr};
  // Set by FrameArrived when it posts, cleared by the window when the message arrives.
  std::atomic<bool> repaintPosted_{false};
  // The rest: desktop's thread only.
  win::HWND drain_ = nullptr;
  win::LONG style_ = 0x40000000 | 0x04000000;  // WS_CHILD | WS_CLIPSIBLINGS
  win::RECT rect_{0, 0, 0, 0};                 // left, top, right, bottom in the owner
  bool autoShow_ = true;
  bool visible_ = false;
  int32_t lastPainted_ = -1;  // the number of the frame painted last
  long framesPainted_ = 0;    // frames painted, each counted once
};

}  // namespace gstgraph
