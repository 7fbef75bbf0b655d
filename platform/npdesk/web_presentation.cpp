// The browser desktop's presentation in the web host: the host's events (web_event.h) become
// pointer events and paints into the pixels it gives, and cursors become CSS cursors made by the
// host's script (klp_area_cursor). Menus and dialogs are not presented here: the menu closes
// without a choice and a dialog cannot run.
#include <array>
#include <cstdint>

#include "platform/npdesk/presentation.h"
#include "platform/npdesk/web_event.h"
#include "resources/resources.h"

extern "C" {
// Shows a cursor over the instance's area: kind 0 the page's own, 1 the arrow, 2 waiting, 3 the
// picture of size x size pixels (R, G, B, alpha) with its hot spot at (hotX, hotY).
void klp_area_cursor(void* instance, int32_t kind, const uint8_t* rgba, int32_t size,
                     int32_t hotX, int32_t hotY);
}

namespace npdesk {

static_assert(offsetof(WebEvent, pixels) == 28, "the host's script writes these fields");

namespace {

win::WPARAM KeyFlags(int32_t state) {
  win::WPARAM f = 0;
  if (state & kWebLeftDown) f |= win::MK_LBUTTON;
  if (state & kWebMiddleDown) f |= win::MK_MBUTTON;
  if (state & kWebRightDown) f |= win::MK_RBUTTON;
  if (state & kWebShift) f |= win::MK_SHIFT;
  if (state & kWebControl) f |= win::MK_CONTROL;
  return f;
}

PointerEvent::Button ButtonOf(int32_t button) {
  switch (button) {
    case 0:
      return PointerEvent::Button::kLeft;
    case 1:
      return PointerEvent::Button::kMiddle;
    case 2:
      return PointerEvent::Button::kRight;
    default:
      return PointerEvent::Button::kNone;
  }
}

// A monochrome resource cursor as pixels: white where the XOR mask is set, black where both
// masks are clear, transparent where only the AND mask is set; pixels that would invert the
// page are drawn black.
std::array<uint8_t, resources::Cursor::kSize * resources::Cursor::kSize * 4> CursorPixels(
    const resources::Cursor& c) {
  std::array<uint8_t, resources::Cursor::kSize * resources::Cursor::kSize * 4> out{};
  for (int y = 0; y < resources::Cursor::kSize; ++y)
    for (int x = 0; x < resources::Cursor::kSize; ++x) {
      bool andBit = c.AndBit(x, y), xorBit = c.XorBit(x, y);
      uint8_t* p = &out[static_cast<size_t>(y * resources::Cursor::kSize + x) * 4];
      if (andBit && !xorBit) continue;  // transparent
      uint8_t v = xorBit && !andBit ? 0xFF : 0x00;
      p[0] = p[1] = p[2] = v;
      p[3] = 0xFF;
    }
  return out;
}

class WebPresentation final : public Presentation {
 public:
  bool IsMouseInput(const void* event) const override {
    int32_t type = static_cast<const WebEvent*>(event)->type;
    return type == kWebPointerDown || type == kWebPointerUp || type == kWebPointerMove;
  }

  int16_t HandleEvent(Area& a, void* event) override {
    const auto& e = *static_cast<const WebEvent*>(event);
    PointerEvent p;
    p.x = e.x;
    p.y = e.y;
    p.keyFlags = KeyFlags(e.state);
    switch (e.type) {
      case kWebPaint:
        return Paint(a, e);
      case kWebPointerDown:
      case kWebPointerUp:
        p.kind = e.type == kWebPointerDown ? PointerEvent::Kind::kPress
                                           : PointerEvent::Kind::kRelease;
        p.button = ButtonOf(e.button);
        if (p.button == PointerEvent::Button::kNone) return 0;
        return DeliverPointer(a, p);
      case kWebPointerMove:
        return DeliverPointer(a, p);
      case kWebPointerEnter:
      case kWebPointerLeave:
        p.kind = e.type == kWebPointerEnter ? PointerEvent::Kind::kEnter
                                            : PointerEvent::Kind::kLeave;
        return DeliverPointer(a, p);
      default:
        return 0;
    }
  }

  void ShowCursor(Area& a, win::HCURSOR cursor) override {
    auto id = reinterpret_cast<uintptr_t>(cursor);
    if (!id) {
      klp_area_cursor(a.instance, 0, nullptr, 0, 0, 0);
    } else if (id == reinterpret_cast<uintptr_t>(win::IDC_ARROW)) {
      klp_area_cursor(a.instance, 1, nullptr, 0, 0, 0);
    } else if (id == reinterpret_cast<uintptr_t>(win::IDC_WAIT)) {
      klp_area_cursor(a.instance, 2, nullptr, 0, 0, 0);
    } else if (const resources::Cursor* c = resources::FindCursor(static_cast<unsigned>(id))) {
      auto pixels = CursorPixels(*c);
      klp_area_cursor(a.instance, 3, pixels.data(), resources::Cursor::kSize, c->hotX, c->hotY);
    }
  }

  // The page shows the video itself, above the area's picture.
  bool ComposesChildren() const override { return false; }

 private:
  static int16_t Paint(Area& a, const WebEvent& e) {
    if (!e.pixels || e.width <= 0 || e.height <= 0) return 0;
    win::RECT r{e.x, e.y, e.x + e.width, e.y + e.height};
    std::vector<uint32_t> composed = PaintArea(a, &r);
    if (composed.empty()) return 1;
    // The composed rectangle lies inside the asked one (clipped to the area).
    const int w = r.right - r.left;
    for (int row = 0; row < r.bottom - r.top; ++row) {
      const uint32_t* in = composed.data() + static_cast<size_t>(row) * w;
      uint8_t* out = e.pixels + (static_cast<size_t>(row + r.top - e.y) * e.width +
                                 static_cast<size_t>(r.left - e.x)) * 4;
      for (int col = 0; col < w; ++col, out += 4) {
        out[0] = static_cast<uint8_t>(in[col] >> 16);
        out[1] = static_cast<uint8_t>(in[col] >> 8);
        out[2] = static_cast<uint8_t>(in[col]);
        out[3] = 0xFF;
      }
    }
    return 1;
  }
};

}  // namespace

std::unique_ptr<Presentation> MakePresentation() { return std::make_unique<WebPresentation>(); }

}  // namespace npdesk
