// Composition of an area's picture: the area window's surface with its visible descendants'
// surfaces over it, as the browser is handed it for one exposed rectangle.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/win/win.h"

namespace npdesk {

struct Layer {
  const win::Surface* surface;
  int x, y;  // the layer's origin in the base's coordinates
};

// Pixels (0x00RRGGBB, row-major) of *rect with the layers drawn over base in order. *rect is
// first clipped to the base; an empty result leaves it empty (right <= left or bottom <= top).
std::vector<uint32_t> Compose(const win::Surface& base, const std::vector<Layer>& layers,
                              win::RECT* rect);

}  // namespace npdesk
