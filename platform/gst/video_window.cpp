#include "platform/gst/video_window.h"

#include <dlfcn.h>
#include <pixman.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/win/desktop.h"

namespace gstgraph {
namespace {

constexpr const char* kClassName = "KLPVideoWindow";
constexpr win::UINT kMsgNewFrame = win::WM_USER + 1;  // private to the class

bool IsMouseMessage(win::UINT msg) {
  return msg >= win::WM_MOUSEMOVE && msg <= win::WM_MBUTTONUP;
}

// Writes rectangle r of the frame as it looks at dw x dh into out (rows pitch pixels apart),
// as 0x??RRGGBB: copied at its own size, else scaled with bilinear filtering (pixel centres on
// pixel centres, edges repeated), as a player's picture of that size would look. The frames
// are the pipeline's own, stored as whole 32-bit pixels (read here as such: B, G, R, x in
// memory is 0xxxRRGGBB on this little-endian machine).
void Scale(const media::VideoFrame& f, int dw, int dh, const win::RECT& r, uint32_t* out,
           size_t pitch) {
  static_assert(std::endian::native == std::endian::little);
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (dw <= 0 || dh <= 0 || f.width <= 0 || f.height <= 0 || w <= 0 || h <= 0) return;
  if (dw == f.width && dh == f.height) {
    for (int y = 0; y < h; ++y)
      std::memcpy(out + pitch * static_cast<size_t>(y),
                  f.pixels + static_cast<size_t>(f.stride) * static_cast<size_t>(r.top + y) +
                      static_cast<size_t>(r.left) * 4,
                  static_cast<size_t>(w) * 4);
    return;
  }
  pixman_image_t* src = pixman_image_create_bits(
      PIXMAN_x8r8g8b8, f.width, f.height, reinterpret_cast<uint32_t*>(f.pixels), f.stride);
  pixman_image_t* dst = pixman_image_create_bits(PIXMAN_x8r8g8b8, w, h, out,
                                                 static_cast<int>(pitch * 4));
  if (src && dst) {
    pixman_transform_t scale;
    pixman_transform_init_scale(&scale, pixman_double_to_fixed(static_cast<double>(f.width) / dw),
                                pixman_double_to_fixed(static_cast<double>(f.height) / dh));
    pixman_image_set_transform(src, &scale);
    pixman_image_set_filter(src, PIXMAN_FILTER_BILINEAR, nullptr, 0);
    pixman_image_set_repeat(src, PIXMAN_REPEAT_PAD);
    // The source position is that of the rectangle in the whole scaled picture.
    pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, r.left, r.top, 0, 0, 0, 0, w, h);
  }
  if (src) pixman_image_unref(src);
  if (dst) pixman_image_unref(dst);
}

void RegisterWindowClass(win::WNDPROC proc) {
  // Registered once on each desktop; registering again fails harmlessly.
  win::WNDCLASSA wc{};
  wc.lpszClassName = kClassName;
  wc.lpfnWndProc = proc;
  win::RegisterClassA(&wc);
}

// pixman's constructor allocates its table of implementations and never frees it, so each load
// after an unload of the module would leave one more. Like GLib and GStreamer, which are marked
// so, it stays loaded for the life of the process once the module has loaded it.
__attribute__((constructor)) void KeepScalerLoaded() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&pixman_image_create_bits), &info) && info.dli_fname)
    dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
}

}  // namespace

VideoWindow::VideoWindow(FrameReader reader) : reader_(std::move(reader)) {}

VideoWindow::~VideoWindow() {
  Destroy();
  // For benchmarks: how many frames this window painted.
  if (const char* path = std::getenv("KLP_PAINT_STATS"); path && *path) {
    if (std::FILE* f = std::fopen(path, "a")) {
      std::fprintf(f, "painted %ld\n", framesPainted_);
      std::fclose(f);
    }
  }
}

void VideoWindow::Destroy() {
  win::HWND h = hwnd_.exchange(nullptr);
  if (h && win::IsWindow(h)) {
    win::SetWindowLongPtrA(h, win::GWLP_USERDATA, 0);
    win::DestroyWindow(h);
  }
  repaintPosted_ = false;
}

bool VideoWindow::SetOwner(win::HWND owner) {
  Destroy();
  if (!owner) return true;
  RegisterWindowClass(&Proc);
  const win::RECT& r = rect_;
  win::HWND h = win::CreateWindowExA(
      0, kClassName, "", static_cast<win::DWORD>(style_) | (visible_ ? win::WS_VISIBLE : 0),
      r.left, r.top, r.right - r.left, r.bottom - r.top, owner, nullptr, nullptr, nullptr);
  if (!h) return false;
  win::SetWindowLongPtrA(h, win::GWLP_USERDATA, reinterpret_cast<win::LONG_PTR>(this));
  hwnd_ = h;
  Repaint();
  return true;
}

void VideoWindow::ApplyStyle() {
  win::HWND h = hwnd_;
  win::Desktop* desk = win::Desktop::Current();
  win::Window* w = desk && h ? desk->Find(h) : nullptr;
  if (!w) return;
  w->style = static_cast<win::DWORD>(style_) | (visible_ ? win::WS_VISIBLE : 0);
  if (visible_) Repaint();
}

void VideoWindow::SetStyle(win::LONG style) {
  style_ = static_cast<win::LONG>(static_cast<win::DWORD>(style) & ~win::WS_VISIBLE);
  ApplyStyle();
}

void VideoWindow::SetPosition(win::LONG left, win::LONG top, win::LONG width, win::LONG height) {
  rect_ = win::RECT{left, top, left + std::max<win::LONG>(width, 0),
                    top + std::max<win::LONG>(height, 0)};
  if (win::HWND h = hwnd_) {
    win::MoveWindow(h, left, top, width, height, win::FALSE);
    Repaint();
  }
}

void VideoWindow::SetWidth(win::LONG width) {
  SetPosition(rect_.left, rect_.top, width, rect_.bottom - rect_.top);
}

void VideoWindow::SetHeight(win::LONG height) {
  SetPosition(rect_.left, rect_.top, rect_.right - rect_.left, height);
}

void VideoWindow::SetVisible(bool visible) {
  visible_ = visible;
  ApplyStyle();
}

void VideoWindow::GraphStateChanged() {
  if (autoShow_ && !visible_) SetVisible(true);
}

void VideoWindow::Repaint() {
  if (win::HWND h = hwnd_) {
    win::InvalidateRect(h, nullptr, win::FALSE);
    win::UpdateWindow(h);
  }
}

void VideoWindow::FrameArrived() {
  win::HWND h = hwnd_;
  if (!h || repaintPosted_.exchange(true)) return;
  if (!win::PostMessageA(h, kMsgNewFrame, 0, 0)) repaintPosted_ = false;
}

void VideoWindow::Paint(win::HWND hwnd) {
  win::PAINTSTRUCT ps;
  win::HDC dc = win::BeginPaint(hwnd, &ps);
  if (win::Surface* s = dc ? win::SurfaceFromDC(dc) : nullptr) {
    if (s->onDemand) {
      // Drawn when the desktop shows it, straight from the frame on show then.
      if (!s->draw)
        s->draw = [this](const win::Surface& surface, const win::RECT& r, uint32_t* out,
                         size_t pitch) { Draw(surface.width, surface.height, r, out, pitch); };
      std::vector<uint32_t>().swap(s->pixels);
    } else {
      s->draw = nullptr;
      Draw(s->width, s->height, win::RECT{0, 0, s->width, s->height}, s->pixels.data(),
           static_cast<size_t>(s->width));
      for (uint32_t& p : s->pixels) p &= 0x00FFFFFFu;
    }
  }
  win::EndPaint(hwnd, &ps);
}

void VideoWindow::Draw(int width, int height, const win::RECT& r, uint32_t* out, size_t pitch) {
  bool drawn = reader_ && reader_([&](const media::VideoFrame& f) {
                 Scale(f, width, height, r, out, pitch);
                 if (f.number != lastPainted_) ++framesPainted_;
                 lastPainted_ = f.number;
               });
  if (drawn) return;
  for (int y = r.top; y < r.bottom; ++y)
    std::fill_n(out + pitch * static_cast<size_t>(y - r.top), r.right - r.left, 0u);
}

win::LRESULT VideoWindow::Proc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam,
                               win::LPARAM lParam) {
  auto* self =
      reinterpret_cast<VideoWindow*>(win::GetWindowLongPtrA(hwnd, win::GWLP_USERDATA));
  if (!self) return win::DefWindowProcA(hwnd, msg, wParam, lParam);
  if (msg == win::WM_PAINT) {
    self->Paint(hwnd);
    return 0;
  }
  if (msg == kMsgNewFrame) {
    self->repaintPosted_ = false;
    self->Repaint();
    return 0;
  }
  if (msg == win::WM_DESTROY) {
    // Also reached when the owner is destroyed first, which takes its children with it.
    win::HWND expected = hwnd;
    self->hwnd_.compare_exchange_strong(expected, nullptr);
    return 0;
  }
  if (IsMouseMessage(msg) && self->drain_ && win::IsWindow(self->drain_)) {
    // Mouse input goes to the drain, in its client coordinates.
    win::POINT p{static_cast<int16_t>(win::LOWORD(static_cast<uintptr_t>(lParam))),
                 static_cast<int16_t>(win::HIWORD(static_cast<uintptr_t>(lParam)))};
    win::ClientToScreen(hwnd, &p);
    win::ScreenToClient(self->drain_, &p);
    return win::SendMessageA(self->drain_, msg, wParam,
                             win::MAKELPARAM(static_cast<unsigned>(p.x), static_cast<unsigned>(p.y)));
  }
  return win::DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace gstgraph
