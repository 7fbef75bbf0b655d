// What the browser desktop draws with on X11: pixels into the browser's drawable and cursors
// on the browser's window. Only this file and npdesk.cpp see Xlib.
#pragma once

#include <X11/Xlib.h>

#include <cstddef>
#include <cstdint>

#include "resources/resources.h"

namespace npdesk {

// Writes w x h pixels (0x00RRGGBB, row-major) at (x, y) of drawable, converted through the
// visual's colour masks (the default visual when visual is null). False when the image
// cannot be made.
bool PutPixels(Display* display, Drawable drawable, Visual* visual, int depth, int x, int y,
               int w, int h, const uint32_t* pixels);

// The picture of one area on its way to the X server: an image the area's size, in memory
// shared with the server where it offers MIT-SHM to this client, else in ours (as on a remote
// display). Pixels are composed straight into it at depth 24 when the visual takes 0x00RRGGBB
// as it is.
class AreaImage {
 public:
  AreaImage() = default;
  ~AreaImage() { Release(); }
  AreaImage(const AreaImage&) = delete;
  AreaImage& operator=(const AreaImage&) = delete;

  // The image's pixel at (0, 0), rows *pitch pixels apart, for an area of width x height on
  // display with visual and depth; made or remade as needed. Null when this visual needs
  // converted pixels (then use PutPixels) or no image can be made.
  uint32_t* Pixels(Display* display, Visual* visual, int depth, int width, int height,
                   size_t* pitch);
  // Puts w x h of the image from (x, y) at (dx, dy) of drawable, and waits until the server has
  // read shared memory, so that the next picture may be drawn into it.
  bool Put(Drawable drawable, int x, int y, int dx, int dy, int w, int h);
  bool shared() const { return shm_ != nullptr; }

 private:
  struct Shm;
  void Release();
  bool Make(bool shared);

  Display* display_ = nullptr;
  Visual* visual_ = nullptr;
  int depth_ = 0;
  int width_ = 0;
  int height_ = 0;
  XImage* image_ = nullptr;
  Shm* shm_ = nullptr;        // the shared segment, or none
  bool noShm_ = false;        // the server refused shared memory on this display
};

// An X cursor from a monochrome resource cursor: white where the XOR mask is set, black where
// both masks are clear, transparent where only the AND mask is set; pixels that would invert
// the screen are drawn black. None when it cannot be made.
::Cursor CreateResourceCursor(Display* display, Window window, const resources::Cursor& cursor);

}  // namespace npdesk
