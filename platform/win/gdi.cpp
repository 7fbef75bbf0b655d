// The GDI the idle picture needs: module bitmaps, memory DCs and BitBlt between surfaces.
#include <algorithm>
#include <utility>

#include "platform/win/desktop.h"
#include "platform/win/win.h"

namespace win {
namespace {

Surface* BitmapSurface(Desktop* d, HGDIOBJ object) {
  auto it = d->bitmaps_.find(object);
  return it == d->bitmaps_.end() ? nullptr : it->second.get();
}

// What a DC draws into: the bitmap selected into a memory DC, or the surface of a paint DC
// between BeginPaint and EndPaint. Null for anything else.
Surface* Target(Desktop* d, HDC dc) {
  auto it = d->memoryDCs_.find(dc);
  if (it != d->memoryDCs_.end()) return BitmapSurface(d, it->second.selected);
  return d->paintDCs_.count(dc) ? SurfaceFromDC(dc) : nullptr;
}

}  // namespace

HBITMAP LoadBitmapA(HINSTANCE instance, const char* name) {
  Desktop* d = Desktop::Current();
  if (!d || !instance || !IS_INTRESOURCE(name)) return nullptr;
  const resources::Bitmap* b =
      resources::FindBitmap(static_cast<unsigned>(reinterpret_cast<uintptr_t>(name)));
  if (!b) return nullptr;
  auto s = std::make_unique<Surface>();
  s->width = b->width;
  s->height = b->height;
  s->pixels.resize(static_cast<size_t>(b->width) * static_cast<size_t>(b->height));
  for (int y = 0; y < b->height; ++y)
    for (int x = 0; x < b->width; ++x) s->pixels[static_cast<size_t>(y * b->width + x)] = b->Rgb(x, y);
  auto h = reinterpret_cast<HGDIOBJ>(d->NewHandle());
  d->bitmaps_[h] = std::move(s);
  return static_cast<HBITMAP>(h);
}

BOOL DeleteObject(HGDIOBJ object) {
  Desktop* d = Desktop::Current();
  if (!d || !BitmapSurface(d, object)) return FALSE;
  for (auto& [dc, mem] : d->memoryDCs_)
    if (mem.selected == object) return FALSE;
  d->bitmaps_.erase(object);
  return TRUE;
}

HDC CreateCompatibleDC(HDC) {
  Desktop* d = Desktop::Current();
  if (!d) return nullptr;
  auto dc = reinterpret_cast<HDC>(d->NewHandle());
  d->memoryDCs_[dc] = MemoryDC{};
  return dc;
}

BOOL DeleteDC(HDC dc) {
  Desktop* d = Desktop::Current();
  return d && d->memoryDCs_.erase(dc) ? TRUE : FALSE;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  Desktop* d = Desktop::Current();
  if (!d || !BitmapSurface(d, object)) return nullptr;
  auto it = d->memoryDCs_.find(dc);
  if (it == d->memoryDCs_.end()) return nullptr;
  return std::exchange(it->second.selected, object);
}

int GetObjectA(HANDLE object, int size, void* out) {
  Desktop* d = Desktop::Current();
  Surface* s = d ? BitmapSurface(d, object) : nullptr;
  if (!s || !out || size < static_cast<int>(sizeof(BITMAP))) return 0;
  *static_cast<BITMAP*>(out) = BITMAP{0, s->width, s->height, s->width * 4, 1, 32, nullptr};
  return sizeof(BITMAP);
}

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY,
            DWORD rop) {
  Desktop* d = Desktop::Current();
  if (!d || rop != SRCCOPY || !dest || !src) return FALSE;
  Surface* to = Target(d, dest);
  Surface* from = Target(d, src);
  if (!to || !from) return FALSE;
  // Clip the rectangle to the source, then to the destination, moving both origins together.
  auto clip = [](int& pos, int& other, int& size, int limit) {
    if (pos < 0) {
      size += pos;
      other -= pos;
      pos = 0;
    }
    size = std::min(size, limit - pos);
  };
  clip(srcX, x, width, from->width);
  clip(srcY, y, height, from->height);
  clip(x, srcX, width, to->width);
  clip(y, srcY, height, to->height);
  for (int row = 0; row < height; ++row)
    for (int col = 0; col < width; ++col)
      to->pixels[static_cast<size_t>((y + row) * to->width + x + col)] =
          from->pixels[static_cast<size_t>((srcY + row) * from->width + srcX + col)];
  return TRUE;
}

}  // namespace win
