#include "platform/npdesk/compose.h"

#include <algorithm>

namespace npdesk {
namespace {

bool Whole(const win::Surface& s) {
  return s.pixels.size() >= static_cast<size_t>(s.width) * static_cast<size_t>(s.height);
}

}  // namespace

bool ClipToBase(const win::Surface& base, win::RECT* rect) {
  rect->left = std::max<win::LONG>(rect->left, 0);
  rect->top = std::max<win::LONG>(rect->top, 0);
  rect->right = std::min<win::LONG>(rect->right, base.width);
  rect->bottom = std::min<win::LONG>(rect->bottom, base.height);
  return rect->right > rect->left && rect->bottom > rect->top;
}

void ComposeInto(const win::Surface& base, const std::vector<Layer>& layers, const win::RECT& rect,
                 uint32_t* out, size_t pitch) {
  auto blit = [&](const win::Surface& s, int ox, int oy, int y) {
    int x0 = std::max<int>(rect.left, ox), x1 = std::min<int>(rect.right, ox + s.width);
    if (x1 <= x0 || y < oy || y >= oy + s.height) return;
    std::copy_n(&s.pixels[static_cast<size_t>(y - oy) * s.width + (x0 - ox)], x1 - x0,
                &out[static_cast<size_t>(y - rect.top) * pitch + (x0 - rect.left)]);
  };
  auto covered = [&](int y) {
    for (const Layer& l : layers)
      if (l.surface && Whole(*l.surface) && l.x <= rect.left &&
          l.x + l.surface->width >= rect.right && y >= l.y && y < l.y + l.surface->height)
        return true;
    return false;
  };
  for (int y = rect.top; y < rect.bottom; ++y) {
    if (Whole(base) && !covered(y)) blit(base, 0, 0, y);
    for (const Layer& l : layers)
      if (l.surface && Whole(*l.surface)) blit(*l.surface, l.x, l.y, y);
  }
}

std::vector<uint32_t> Compose(const win::Surface& base, const std::vector<Layer>& layers,
                              win::RECT* rect) {
  if (!ClipToBase(base, rect)) return {};
  size_t w = static_cast<size_t>(rect->right - rect->left);
  std::vector<uint32_t> out(w * static_cast<size_t>(rect->bottom - rect->top));
  ComposeInto(base, layers, *rect, out.data(), w);
  return out;
}

}  // namespace npdesk
