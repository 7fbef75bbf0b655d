// Helpers shared by the window's source files.
#pragma once

#include <cstdint>

#include "platform/win/win.h"
#include "player/anchor_geometry.h"

namespace window_internal {

// Suspends the window's cursor handling while a menu or a modal dialog is open:
// m_trackCursor is 0 for the guard's lifetime and 1 afterwards.
class CursorTrackingOff {
 public:
  explicit CursorTrackingOff(int32_t& trackCursor) : trackCursor_(trackCursor) {
    trackCursor_ = 0;
  }
  ~CursorTrackingOff() { trackCursor_ = 1; }
  CursorTrackingOff(const CursorTrackingOff&) = delete;
  CursorTrackingOff& operator=(const CursorTrackingOff&) = delete;

 private:
  int32_t& trackCursor_;
};

inline anchors::Point ToAnchorPoint(win::POINT p) {
  return anchors::Point{static_cast<int32_t>(p.x), static_cast<int32_t>(p.y)};
}

}  // namespace window_internal
