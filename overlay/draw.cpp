#include "overlay/draw.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

namespace overlay {
namespace {

// The target's pixels with one colour ready to store. Coordinates are the frame's; the target
// holds the frame's pixels from (originX, originY) on (the whole frame, or one shape's sprite).
struct Canvas {
  const media::VideoFrame& target;
  int64_t originX;
  int64_t originY;
  uint8_t pixel[4];

  Canvas(const media::VideoFrame& t, int32_t colour, int64_t x, int64_t y)
      : target(t), originX(x), originY(y) {
    const auto c = static_cast<uint32_t>(colour);
    pixel[0] = static_cast<uint8_t>(c);        // B
    pixel[1] = static_cast<uint8_t>(c >> 8);   // G
    pixel[2] = static_cast<uint8_t>(c >> 16);  // R
    pixel[3] = 0xFF;
  }

  int64_t Top() const { return originY; }
  int64_t Bottom() const { return originY + target.height - 1; }

  // Fills the pixels x0..x1 of row y, both included, after clipping to the target.
  void Span(int64_t y, int64_t x0, int64_t x1) { Block(x0, y, x1, y); }

  // Fills the block left..right x top..bottom, all included, clipped.
  void Block(int64_t left, int64_t top, int64_t right, int64_t bottom) {
    top = std::max<int64_t>(top, Top());
    bottom = std::min<int64_t>(bottom, Bottom());
    left = std::max<int64_t>(left, originX);
    right = std::min<int64_t>(right, originX + target.width - 1);
    if (left > right || top > bottom) return;
    const auto stride = static_cast<ptrdiff_t>(target.stride);
    uint8_t* row = target.pixels + (top - originY) * stride + (left - originX) * 4;
    const int64_t width = right - left + 1;
    for (int64_t y = top; y <= bottom; ++y, row += stride) {
      uint8_t* p = row;
      for (int64_t x = 0; x < width; ++x, p += 4) std::memcpy(p, pixel, 4);
    }
  }
};

void DrawRect(Canvas& c, const anchors::Rect& r, int64_t w) {
  const int64_t l = r.left, t = r.top, rt = r.right, b = r.bottom;
  if (2 * w > rt - l || 2 * w > b - t) {  // the outline fills the rectangle
    c.Block(l, t, rt, b);
    return;
  }
  c.Block(l, t, rt, t + w - 1);
  c.Block(l, b - w + 1, rt, b);
  c.Block(l, t + w, l + w - 1, b - w);
  c.Block(rt - w + 1, t + w, rt, b - w);
}

// The pixels of row y inside the ellipse inscribed in r, by the hit test's own inside test:
// x0..x1, or false for none.
bool EllipseRow(const anchors::Rect& r, int64_t y, int64_t* x0, int64_t* x1) {
  if (y < r.top || y > r.bottom || r.right < r.left) return false;
  const int64_t a = (static_cast<int64_t>(r.right) - r.left) / 2 + 1;
  const int64_t b = (static_cast<int64_t>(r.bottom) - r.top) / 2 + 1;
  const int64_t cx = r.left + a - 1;
  const double dy = static_cast<double>(y - (r.top + b - 1));
  const double rest = 1.0 - dy * dy / (static_cast<double>(b) * b);
  int64_t half = rest > 0 ? static_cast<int64_t>(std::sqrt(rest) * static_cast<double>(a)) : 0;
  // Whether the pixel dx right of the centre is in: the ellipse is symmetric about cx, and the
  // rectangle reaches at least as far right of cx as left of it.
  auto inside = [&](int64_t dx) {
    return cx + dx <= r.right &&
           anchors::PointInShape({static_cast<int32_t>(cx + dx), static_cast<int32_t>(y)}, r,
                                 anchors::SHAPE_ELLIPSE);
  };
  // The estimate is within a pixel; settle it on the exact test.
  while (half >= 0 && !inside(half)) --half;
  if (half < 0) return false;
  while (inside(half + 1)) ++half;
  *x0 = std::max<int64_t>(cx - half, r.left);
  *x1 = std::min<int64_t>(cx + half, r.right);
  return *x0 <= *x1;
}

void DrawEllipse(Canvas& c, const anchors::Rect& r, int64_t w) {
  // The inner ellipse is that of the rectangle shrunk by the line width, when one is left.
  const bool hollow = 2 * w <= static_cast<int64_t>(r.right) - r.left &&
                      2 * w <= static_cast<int64_t>(r.bottom) - r.top;
  anchors::Rect inner;
  if (hollow)
    inner = {static_cast<int32_t>(r.left + w), static_cast<int32_t>(r.top + w),
             static_cast<int32_t>(r.right - w), static_cast<int32_t>(r.bottom - w)};
  const int64_t top = std::max<int64_t>(r.top, c.Top());
  const int64_t bottom = std::min<int64_t>(r.bottom, c.Bottom());
  for (int64_t y = top; y <= bottom; ++y) {
    int64_t o0, o1, i0, i1;
    if (!EllipseRow(r, y, &o0, &o1)) continue;
    if (hollow && EllipseRow(inner, y, &i0, &i1)) {
      c.Span(y, o0, i0 - 1);
      c.Span(y, i1 + 1, o1);
    } else {
      c.Span(y, o0, o1);
    }
  }
}

}  // namespace

bool AnchorRectInFrame(const Anchor& anchor, const media::VideoFrame& frame, anchors::Rect* out) {
  const auto& k = anchor.keyFrames;
  if (k.empty()) return false;
  if (k.size() > 1) {
    auto [first, last] = std::minmax_element(
        k.begin(), k.end(), [](const auto& x, const auto& y) { return x.frame < y.frame; });
    if (frame.number < first->frame || frame.number > last->frame) return false;
  }
  anchors::Rect video;
  if (!anchors::RectAtFrame(k.data(), k.size(), frame.number, &video)) return false;
  if (!anchors::MapToDisplay(video, frame.videoWidth, frame.videoHeight, frame.width,
                             frame.height, out))
    *out = video;  // no video size: the frame's pixels are the video's
  return true;
}

void DrawAnchor(const Anchor& anchor, const anchors::Rect& r, const media::VideoFrame& target,
                int32_t originX, int32_t originY) {
  if (!target.pixels || target.width <= 0 || target.height <= 0 || anchor.lineWidth <= 0) return;
  // Clip first: nothing of the rectangle is in the target.
  if (r.right < r.left || r.bottom < r.top || r.right < originX || r.bottom < originY ||
      r.left >= static_cast<int64_t>(originX) + target.width ||
      r.top >= static_cast<int64_t>(originY) + target.height)
    return;
  Canvas canvas(target, anchor.colour, originX, originY);
  if (anchor.shape == dshow::SHAPE_ELLIPSE)
    DrawEllipse(canvas, r, anchor.lineWidth);
  else
    DrawRect(canvas, r, anchor.lineWidth);
}

void DrawAnchors(const media::VideoFrame& frame, const Anchor* anchors, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    anchors::Rect r;
    if (anchors[i].shown && AnchorRectInFrame(anchors[i], frame, &r))
      DrawAnchor(anchors[i], r, frame, 0, 0);
  }
}

}  // namespace overlay
