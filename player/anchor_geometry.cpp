#include "player/anchor_geometry.h"

#include <cmath>
#include <limits>

namespace anchors {
namespace {

int32_t Narrow(int64_t v) {
  // Two's-complement narrowing, as 32-bit arithmetic would give wherever it did not overflow.
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v)));
}

int32_t Truncate(double v) {
  if (!(v >= std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  if (!(v <= std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(v);
}

}  // namespace

int32_t HitShape(std::string_view shape) {
  if (shape == "R" || shape == "r") return SHAPE_RECT;
  if (shape == "C" || shape == "c") return SHAPE_ELLIPSE;
  return SHAPE_NONE;
}

int32_t DrawShape(std::string_view shape) {
  return HitShape(shape) == SHAPE_ELLIPSE ? SHAPE_ELLIPSE : SHAPE_RECT;
}

int32_t Interpolate(int32_t frame, int32_t framePrev, int32_t cPrev, int32_t frameNext,
                    int32_t cNext) {
  int64_t num = (static_cast<int64_t>(frame) - framePrev) * (static_cast<int64_t>(cNext) - cPrev);
  int64_t den = static_cast<int64_t>(frameNext) - framePrev;
  return Narrow(cPrev + num / den);
}

bool MapToDisplay(const Rect& video, int32_t videoWidth, int32_t videoHeight, int32_t displayWidth,
                  int32_t displayHeight, Rect* out) {
  if (videoWidth <= 0 || videoHeight <= 0) return false;
  double x = static_cast<double>(displayWidth) / videoWidth;
  double y = static_cast<double>(displayHeight) / videoHeight;
  *out = Rect{Truncate(video.left * x), Truncate(video.top * y), Truncate(video.right * x),
              Truncate(video.bottom * y)};
  return true;
}

bool PointInShape(Point p, const Rect& r, int32_t shape) {
  if (shape != SHAPE_RECT && shape != SHAPE_ELLIPSE) return false;
  if (p.x < r.left || p.x > r.right || p.y < r.top || p.y > r.bottom) return false;
  if (shape == SHAPE_RECT) return true;
  int64_t a = (static_cast<int64_t>(r.right) - r.left) / 2 + 1;
  int64_t b = (static_cast<int64_t>(r.bottom) - r.top) / 2 + 1;
  double dx = static_cast<double>(static_cast<int64_t>(p.x) - r.left - a + 1);
  double dy = static_cast<double>(static_cast<int64_t>(p.y) - r.top - b + 1);
  double a2 = static_cast<double>(a) * a, b2 = static_cast<double>(b) * b;
  return dx * dx * b2 + dy * dy * a2 <= a2 * b2;
}

}  // namespace anchors
