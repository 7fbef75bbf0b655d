#include "platform/npdesk/x11_output.h"

#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdlib>
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

// Whether the image takes 0x00RRGGBB pixels as they are.
bool Direct(const XImage* image, const Visual* visual) {
  return image->bits_per_pixel == 32 && visual->red_mask == 0xFF0000 &&
         visual->green_mask == 0xFF00 && visual->blue_mask == 0xFF &&
         image->byte_order == LSBFirst;
}

bool g_attachFailed = false;
int OnAttachError(Display*, XErrorEvent*) {
  g_attachFailed = true;
  return 0;
}

}  // namespace

struct AreaImage::Shm {
  XShmSegmentInfo info{};
};

void AreaImage::Release() {
  if (shm_) {
    XShmDetach(display_, &shm_->info);
    XSync(display_, False);
    shmdt(shm_->info.shmaddr);
    delete shm_;
    shm_ = nullptr;
  } else if (image_) {
    std::free(image_->data);
  }
  if (image_) {
    image_->data = nullptr;
    XDestroyImage(image_);
    image_ = nullptr;
  }
}

bool AreaImage::Make(bool shared) {
  const auto w = static_cast<unsigned>(width_), h = static_cast<unsigned>(height_);
  if (!shared) {
    image_ = XCreateImage(display_, visual_, static_cast<unsigned>(depth_), ZPixmap, 0, nullptr,
                          w, h, 32, 0);
    if (!image_) return false;
    image_->data = static_cast<char*>(
        std::malloc(static_cast<size_t>(image_->bytes_per_line) * h));
    return image_->data != nullptr;
  }
  auto* shm = new Shm();
  image_ = XShmCreateImage(display_, visual_, static_cast<unsigned>(depth_), ZPixmap, nullptr,
                           &shm->info, w, h);
  if (!image_) {
    delete shm;
    return false;
  }
  shm->info.shmid = shmget(IPC_PRIVATE, static_cast<size_t>(image_->bytes_per_line) * h,
                           IPC_CREAT | 0600);
  void* addr = shm->info.shmid >= 0 ? shmat(shm->info.shmid, nullptr, 0) : nullptr;
  if (addr == nullptr || addr == reinterpret_cast<void*>(-1)) {
    if (shm->info.shmid >= 0) shmctl(shm->info.shmid, IPC_RMID, nullptr);
    XDestroyImage(image_);
    image_ = nullptr;
    delete shm;
    return false;
  }
  shm->info.shmaddr = image_->data = static_cast<char*>(addr);
  shm->info.readOnly = False;
  // A server that cannot reach this memory (another machine) answers the attach with an error.
  XSync(display_, False);
  g_attachFailed = false;
  XErrorHandler previous = XSetErrorHandler(&OnAttachError);
  Bool attached = XShmAttach(display_, &shm->info);
  XSync(display_, False);
  XSetErrorHandler(previous);
  // Marked for removal now: it goes when both sides have let go, even after a crash.
  shmctl(shm->info.shmid, IPC_RMID, nullptr);
  if (!attached || g_attachFailed) {
    shmdt(addr);
    image_->data = nullptr;
    XDestroyImage(image_);
    image_ = nullptr;
    delete shm;
    return false;
  }
  shm_ = shm;
  return true;
}

uint32_t* AreaImage::Pixels(Display* display, Visual* visual, int depth, int width, int height,
                            size_t* pitch) {
  if (!display || width <= 0 || height <= 0) return nullptr;
  if (!visual) visual = DefaultVisual(display, DefaultScreen(display));
  if (depth <= 0) depth = DefaultDepth(display, DefaultScreen(display));
  // Only depth 24 ignores the byte above red, which composed pixels need not clear.
  if (depth != 24) return nullptr;
  if (!image_ || display != display_ || visual != visual_ || depth != depth_ ||
      width != width_ || height != height_) {
    Release();
    if (display != display_) noShm_ = false;
    display_ = display;
    visual_ = visual;
    depth_ = depth;
    width_ = width;
    height_ = height;
    bool useShm = !noShm_ && XShmQueryExtension(display);
    if (useShm && !Make(true)) noShm_ = true;
    if (!image_ && !Make(false)) {
      Release();
      return nullptr;
    }
  }
  if (!Direct(image_, visual_)) return nullptr;
  *pitch = static_cast<size_t>(image_->bytes_per_line) / 4;
  return reinterpret_cast<uint32_t*>(image_->data);
}

bool AreaImage::Put(Drawable drawable, int x, int y, int dx, int dy, int w, int h) {
  if (!image_ || !drawable || w <= 0 || h <= 0) return false;
  GC gc = XCreateGC(display_, drawable, 0, nullptr);
  const auto uw = static_cast<unsigned>(w), uh = static_cast<unsigned>(h);
  if (shm_)
    XShmPutImage(display_, drawable, gc, image_, x, y, dx, dy, uw, uh, False);
  else
    XPutImage(display_, drawable, gc, image_, x, y, dx, dy, uw, uh);
  XFreeGC(display_, gc);
  if (shm_)
    XSync(display_, False);
  else
    XFlush(display_);
  return true;
}

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
  bool direct = Direct(image, visual);
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
