// Painting: the idle picture, centred, while no movie is open; the video covers the window
// otherwise.
#include <memory>

#include "player/movie_play.h"
#include "plugin/module.h"
#include "resources/resources.h"
#include "window/plugin_window.h"

namespace {

struct BitmapDeleter {
  void operator()(win::HBITMAP bitmap) const { win::DeleteObject(bitmap); }
};
using OwnedBitmap = std::unique_ptr<win::HBITMAP__, BitmapDeleter>;

struct DCDeleter {
  void operator()(win::HDC dc) const { win::DeleteDC(dc); }
};
using OwnedDC = std::unique_ptr<win::HDC__, DCDeleter>;

class PaintScope {
 public:
  explicit PaintScope(win::HWND hwnd) : hwnd_(hwnd) { win::BeginPaint(hwnd_, &ps_); }
  ~PaintScope() { win::EndPaint(hwnd_, &ps_); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  win::HDC dc() const { return ps_.hdc; }

 private:
  win::HWND hwnd_;
  win::PAINTSTRUCT ps_{};
};

}  // namespace

CKLPluginWindow::Handled CKLPluginWindow::OnPaintMessage(const Message&) {
  OnPaint();
  return std::nullopt;
}

void CKLPluginWindow::OnPaint() {
  if (MovieOpen()) return;
  PaintScope paint(m_hwnd);
  OwnedBitmap bitmap(win::LoadBitmapA(ModuleInstance(), win::MAKEINTRESOURCEA(resources::IDB_IDLE)));
  win::RECT client{};
  win::GetClientRect(m_hwnd, &client);
  DrawBitmap(paint.dc(), bitmap.get(), client.right, client.bottom);
}

// Draws the bitmap at its own size centred in a width x height area; a smaller area shows the
// picture's centre.
void CKLPluginWindow::DrawBitmap(win::HDC dc, win::HBITMAP bitmap, int width, int height) {
  OwnedDC memory(win::CreateCompatibleDC(dc));
  win::SelectObject(memory.get(), bitmap);
  win::BITMAP bm{};
  win::GetObjectA(bitmap, sizeof bm, &bm);
  win::BitBlt(dc, (width - bm.bmWidth) / 2, (height - bm.bmHeight) / 2, bm.bmWidth, bm.bmHeight,
              memory.get(), 0, 0, win::SRCCOPY);
}
