// What the browser desktop draws with on X11: pixels into the browser's drawable and cursors
// on the browser's window. Only this file and npdesk.cpp see Xlib.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>

#include "resources/resources.h"

namespace npdesk {

// Writes w x h pixels (0x00RRGGBB, row-major) at (x, y) of drawable, converted through the
// visual's colour masks (the default visual when visual is null). False when the image
// cannot be made.
bool PutPixels(Display* display, Drawable drawable, Visual* visual, int depth, int x, int y,
               int w, int h, const uint32_t* pixels);

// An X cursor from a monochrome resource cursor: white where the XOR mask is set, black where
// both masks are clear, transparent where only the AND mask is set; pixels that would invert
// the screen are drawn black. None when it cannot be made.
::Cursor CreateResourceCursor(Display* display, Window window, const resources::Cursor& cursor);

}  // namespace npdesk
