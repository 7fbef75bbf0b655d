// Composition of an area's picture: the area window's surface with its visible descendants'
// surfaces over it, as the browser is handed it for one exposed rectangle.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/win/win.h"

namespace npdesk {

struct Layer {
  const win::Surface* surface;
  int x, y;  // the layer's origin in the base's coordinates
};

// Clips *rect to the base; false when nothing is left (right <= left or bottom <= top).
bool ClipToBase(const win::Surface& base, win::RECT* rect);

// Writes rect (clipped to the base) with the layers drawn over base in order into out, the
// pixel at rect's top-left, rows pitch pixels apart. Layers are opaque: base rows a layer covers
// from side to side are not copied. A layer drawn on demand (win::Surface::draw) writes its part
// straight into out, leaving the byte above red undefined there.
void ComposeInto(const win::Surface& base, const std::vector<Layer>& layers, const win::RECT& rect,
                 uint32_t* out, size_t pitch);

// Pixels (0x00RRGGBB, row-major, the byte above red clear) of *rect with the layers drawn over
// base in order. *rect is first clipped to the base; an empty result leaves it empty (right <=
// left or bottom <= top).
std::vector<uint32_t> Compose(const win::Surface& base, const std::vector<Layer>& layers,
                              win::RECT* rect);

}  // namespace npdesk
