#include "platform/npdesk/compose.h"

#include <algorithm>

namespace npdesk {

std::vector<uint32_t> Compose(const win::Surface& base, const std::vector<Layer>& layers,
                              win::RECT* rect) {
  rect->left = std::max<win::LONG>(rect->left, 0);
  rect->top = std::max<win::LONG>(rect->top, 0);
  rect->right = std::min<win::LONG>(rect->right, base.width);
  rect->bottom = std::min<win::LONG>(rect->bottom, base.height);
  int w = rect->right - rect->left, h = rect->bottom - rect->top;
  if (w <= 0 || h <= 0) return {};
  std::vector<uint32_t> out(static_cast<size_t>(w) * static_cast<size_t>(h));
  auto blit = [&](const win::Surface& s, int ox, int oy) {
    if (s.pixels.size() < static_cast<size_t>(s.width) * static_cast<size_t>(s.height)) return;
    int x0 = std::max<int>(rect->left, ox), x1 = std::min<int>(rect->right, ox + s.width);
    int y0 = std::max<int>(rect->top, oy), y1 = std::min<int>(rect->bottom, oy + s.height);
    if (x1 <= x0 || y1 <= y0) return;
    for (int y = y0; y < y1; ++y)
      std::copy_n(&s.pixels[static_cast<size_t>(y - oy) * s.width + (x0 - ox)], x1 - x0,
                  &out[static_cast<size_t>(y - rect->top) * w + (x0 - rect->left)]);
  };
  blit(base, 0, 0);
  for (const Layer& l : layers)
    if (l.surface) blit(*l.surface, l.x, l.y);
  return out;
}

}  // namespace npdesk
