#include "platform/npdesk/x11_output.h"

#include <X11/Xutil.h>

#include <vector>

namespace npdesk {
namespace {

int Shift(unsigned long mask) {
  int s = 0;
  while (mask && !(mask & 1)) {
    mask >>= 1;
    ++s;
  }
  return s;
}

// Scales an 8-bit channel into mask.
unsigned long Channel(uint32_t value8, unsigned long mask) {
  if (!mask) return 0;
  int shift = Shift(mask);
  unsigned long max = mask >> shift;
  return ((value8 * max + 127) / 255) << shift;
}

}  // namespace

bool PutPixels(Display* display, Drawable drawable, Visual* visual, int depth, int x, int y,
               int w, int h, const uint32_t* pixels) {
  if (!display || !drawable || w <= 0 || h <= 0) return false;
  if (!visual) visual = DefaultVisual(display, DefaultScreen(display));
  if (depth <= 0) depth = DefaultDepth(display, DefaultScreen(display));
  XImage* image = XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0,
                               nullptr, static_cast<unsigned>(w), static_cast<unsigned>(h), 32, 0);
  if (!image) return false;
  std::vector<char> data(static_cast<size_t>(image->bytes_per_line) * static_cast<size_t>(h));
  image->data = data.data();
  bool direct = image->bits_per_pixel == 32 && visual->red_mask == 0xFF0000 &&
                visual->green_mask == 0xFF00 && visual->blue_mask == 0xFF &&
                image->byte_order == LSBFirst;
  for (int row = 0; row < h; ++row) {
    const uint32_t* src = pixels + static_cast<size_t>(row) * w;
    if (direct) {
      auto* dst = reinterpret_cast<uint32_t*>(image->data + row * image->bytes_per_line);
      for (int col = 0; col < w; ++col) dst[col] = src[col] & 0xFFFFFF;
      continue;
    }
    for (int col = 0; col < w; ++col) {
      uint32_t p = src[col];
      XPutPixel(image, col, row,
                Channel((p >> 16) & 0xFF, visual->red_mask) |
                    Channel((p >> 8) & 0xFF, visual->green_mask) |
                    Channel(p & 0xFF, visual->blue_mask));
    }
  }
  GC gc = XCreateGC(display, drawable, 0, nullptr);
  XPutImage(display, drawable, gc, image, 0, 0, x, y, static_cast<unsigned>(w),
            static_cast<unsigned>(h));
  XFreeGC(display, gc);
  image->data = nullptr;  // ours, not Xlib's to free
  XDestroyImage(image);
  XFlush(display);
  return true;
}

::Cursor CreateResourceCursor(Display* display, Window window, const resources::Cursor& c) {
  if (!display || !window) return None;
  constexpr int n = resources::Cursor::kSize;
  constexpr int rowBytes = resources::Cursor::kRowBytes;
  // X bitmaps: least significant bit first within each byte.
  std::vector<char> source(n * rowBytes, 0), mask(n * rowBytes, 0);
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      bool andBit = c.AndBit(x, y), xorBit = c.XorBit(x, y);
      bool visible = !andBit || xorBit;
      bool white = xorBit && !andBit;
      char bit = static_cast<char>(1 << (x % 8));
      if (visible) mask[y * rowBytes + x / 8] |= bit;
      if (white) source[y * rowBytes + x / 8] |= bit;
    }
  Pixmap src = XCreateBitmapFromData(display, window, source.data(), n, n);
  Pixmap msk = XCreateBitmapFromData(display, window, mask.data(), n, n);
  ::Cursor cursor = None;
  if (src && msk) {
    XColor white{}, black{};
    white.red = white.green = white.blue = 0xFFFF;
    white.flags = black.flags = DoRed | DoGreen | DoBlue;
    cursor = XCreatePixmapCursor(display, src, msk, &white, &black,
                                 static_cast<unsigned>(c.hotX), static_cast<unsigned>(c.hotY));
  }
  if (src) XFreePixmap(display, src);
  if (msk) XFreePixmap(display, msk);
  return cursor;
}

}  // namespace npdesk
