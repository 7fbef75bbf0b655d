// Anchor geometry shared by the player's hit testing, the overlay's drawing and the project
// checker: a hot spot's rectangle at a frame from its key frames, the scaling from video to
// display pixels, and whether a point lies in a rectangle or its inscribed ellipse.
// Pure functions over numbers and key-frame records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace anchors {

inline constexpr int32_t SHAPE_RECT = 0;
inline constexpr int32_t SHAPE_ELLIPSE = 1;
inline constexpr int32_t SHAPE_NONE = -1;  // drawn as a rectangle, never hit

struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

struct Point {
  int32_t x = 0;
  int32_t y = 0;
};

// "R"/"r" and "C"/"c"; anything else is SHAPE_NONE for hit testing.
int32_t HitShape(std::string_view shape);
// The shape an anchor is drawn with: the ellipse for "C"/"c", else the rectangle.
int32_t DrawShape(std::string_view shape);

// One coordinate between two key frames: c_prev + (frame - f_prev) * (c_next - c_prev) /
// (f_next - f_prev), truncated toward zero, computed in 64 bits and narrowed.
int32_t Interpolate(int32_t frame, int32_t framePrev, int32_t cPrev, int32_t frameNext,
                    int32_t cNext);

// The rectangle at frame from key frames in list order (records with frame, left, top, right,
// bottom). An exact key frame gives its rectangle; otherwise the previous key frame and the
// first later one are interpolated; before the first key frame the first is used, after the
// last the last. False when there are no key frames.
template <typename KeyFrame>
bool RectAtFrame(const KeyFrame* frames, size_t count, int32_t frame, Rect* out) {
  if (!frames || count == 0) return false;
  size_t next = count;
  for (size_t i = 0; i < count; ++i) {
    if (frames[i].frame == frame) {
      *out = Rect{frames[i].left, frames[i].top, frames[i].right, frames[i].bottom};
      return true;
    }
    if (frames[i].frame > frame) {
      next = i;
      break;
    }
  }
  const KeyFrame& p = next == count ? frames[count - 1] : frames[next == 0 ? 0 : next - 1];
  const KeyFrame& n = next == count ? frames[0] : frames[next];
  bool between = frame != p.frame && n.frame != p.frame && n.frame > p.frame;
  auto coord = [&](int32_t cp, int32_t cn) {
    return between ? Interpolate(frame, p.frame, cp, n.frame, cn) : cp;
  };
  *out = Rect{coord(p.left, n.left), coord(p.top, n.top), coord(p.right, n.right),
              coord(p.bottom, n.bottom)};
  return true;
}

// Scales a rectangle from video to display pixels, truncating toward zero. False (nothing to
// map to) when either video dimension is 0 or not positive.
bool MapToDisplay(const Rect& video, int32_t videoWidth, int32_t videoHeight, int32_t displayWidth,
                  int32_t displayHeight, Rect* out);

// Whether point lies in the rectangle (sides included) or in its inscribed ellipse.
bool PointInShape(Point point, const Rect& rect, int32_t shape);

}  // namespace anchors
