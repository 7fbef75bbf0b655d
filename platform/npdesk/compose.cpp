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
  auto shows = [](const Layer& l) { return l.surface && (l.surface->draw || Whole(*l.surface)); };
  auto covered = [&](int y) {
    for (const Layer& l : layers)
      if (shows(l) && l.x <= rect.left && l.x + l.surface->width >= rect.right && y >= l.y &&
          y < l.y + l.surface->height)
        return true;
    return false;
  };
  if (Whole(base))
    for (int y = rect.top; y < rect.bottom; ++y)
      if (!covered(y))
        std::copy_n(&base.pixels[static_cast<size_t>(y) * base.width + rect.left],
                    rect.right - rect.left, &out[static_cast<size_t>(y - rect.top) * pitch]);
  // Each layer over what lies below it, clipped to the rectangle.
  for (const Layer& l : layers) {
    if (!shows(l)) continue;
    const win::Surface& s = *l.surface;
    const int x0 = std::max<int>(rect.left, l.x), x1 = std::min<int>(rect.right, l.x + s.width);
    const int y0 = std::max<int>(rect.top, l.y), y1 = std::min<int>(rect.bottom, l.y + s.height);
    if (x1 <= x0 || y1 <= y0) continue;
    uint32_t* at = &out[static_cast<size_t>(y0 - rect.top) * pitch + (x0 - rect.left)];
    if (s.draw) {
      s.draw(s, win::RECT{x0 - l.x, y0 - l.y, x1 - l.x, y1 - l.y}, at, pitch);
      continue;
    }
    for (int y = y0; y < y1; ++y)
      std::copy_n(&s.pixels[static_cast<size_t>(y - l.y) * s.width + (x0 - l.x)], x1 - x0,
                  at + static_cast<size_t>(y - y0) * pitch);
  }
}

std::vector<uint32_t> Compose(const win::Surface& base, const std::vector<Layer>& layers,
                              win::RECT* rect) {
  if (!ClipToBase(base, rect)) return {};
  size_t w = static_cast<size_t>(rect->right - rect->left);
  std::vector<uint32_t> out(w * static_cast<size_t>(rect->bottom - rect->top));
  ComposeInto(base, layers, *rect, out.data(), w);
  for (const Layer& l : layers)
    if (l.surface && l.surface->draw) {  // drawn on demand: the byte above red is undefined
      for (uint32_t& p : out) p &= 0x00FFFFFFu;
      break;
    }
  return out;
}

}  // namespace npdesk
