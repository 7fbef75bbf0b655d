// The browser desktop's presentation in the web host: the host's events (web_event.h) become
// pointer events and paints into the pixels it gives, and cursors become CSS cursors made by the
// host's script (klp_area_cursor).
//
// Menus and dialogs are drawn by the host's script from descriptions in JSON. A page cannot wait
// for the user inside a call, so both are shown without waiting: the menu's choice comes back as
// an event and is posted to the area window as WM_COMMAND, and a dialog lingers after
// DialogBoxParamA, fed by the host's dialog events until its procedure ends it. One menu or
// dialog is up at a time in the page; meanwhile the desktop keeps mouse input from every area.
#include <algorithm>
#include <initializer_list>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "lint/text.h"
#include "platform/npdesk/presentation.h"
#include "platform/npdesk/web_event.h"
#include "platform/win/desktop.h"
#include "resources/resources.h"

extern "C" {
// Shows a cursor over the instance's area: kind 0 the page's own, 1 the arrow, 2 waiting, 3 the
// picture of size x size pixels (R, G, B, alpha) with its hot spot at (hotX, hotY).
void klp_area_cursor(void* instance, int32_t kind, const uint8_t* rgba, int32_t size,
                     int32_t hotX, int32_t hotY);
// Shows the pop-up menu `items` (JSON) with its top left corner at (x, y) of the area.
void klp_show_menu(void* instance, int32_t x, int32_t y, const char* items);
// Shows the dialog `description` (JSON); the picture of its picture control, if any, is width x
// height pixels of R, G, B, alpha.
void klp_show_dialog(void* instance, const char* description, const uint8_t* picture,
                     int32_t width, int32_t height);
// The open dialog's check boxes and radio buttons took these states (JSON: id to state).
void klp_dialog_checks(void* instance, const char* states);
// The instance's menu or dialog has ended: take it down.
void klp_modal_closed(void* instance);
// The keyboard focus is on the anchor `name` at (x, y, width, height) of the area (an ellipse in
// it when ellipse is set); width 0: on the player itself.
void klp_area_focus(void* instance, int32_t x, int32_t y, int32_t width, int32_t height,
                    int32_t ellipse, const char* name);
// Playback passed the marker or event (kind "marker" or "event") name.
void klp_area_passed(void* instance, const char* kind, const char* name);
}

namespace npdesk {

static_assert(sizeof(void*) != 4 || offsetof(WebEvent, pixels) == 28,
              "the host's script writes these fields");

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

std::string MenuJson(const win::Menu& menu) {
  klp::lint::JsonWriter json;
  json.BeginArray();
  for (const win::MenuItem& item : menu.items) {
    json.BeginObject();
    if (item.flags & win::MF_SEPARATOR) {
      json.Key("separator").Bool(true);
    } else {
      json.Key("command").Number(static_cast<int64_t>(item.id)).Key("text").String(item.text);
      json.Key("enabled").Bool(item.Selectable());
    }
    json.EndObject();
  }
  return json.EndArray().str();
}

void Checks(klp::lint::JsonWriter& json, const win::Dialog& d) {
  json.BeginObject();
  for (const auto& [id, state] : d.checks) json.Key(std::to_string(id)).Number(state);
  json.EndObject();
}

std::string ChecksJson(const win::Dialog& d) {
  klp::lint::JsonWriter json;
  Checks(json, d);
  return json.str();
}

const char* KindName(resources::ControlKind kind) {
  using resources::ControlKind;
  switch (kind) {
    case ControlKind::GroupBox: return "group";
    case ControlKind::AutoCheckBox: return "check";
    case ControlKind::AutoRadioButton: return "radio";
    case ControlKind::PushButton: return "button";
    case ControlKind::DefPushButton: return "default";
    case ControlKind::Text: return "text";
    case ControlKind::Picture: return "picture";
  }
  return "text";
}

const char* AlignName(uint32_t style) {
  switch (style & 0x3) {
    case resources::dlg::SS_CENTER: return "center";
    case resources::dlg::SS_RIGHT: return "right";
    default: return "left";
  }
}

void Numbers(klp::lint::JsonWriter& json, std::initializer_list<int64_t> numbers) {
  json.BeginArray();
  for (int64_t n : numbers) json.Number(n);
  json.EndArray();
}

// The dialog as the host builds it: the template in dialog units, where the module placed its
// own window (pixels, relative to the area), and the check marks.
std::string DialogJson(const win::Dialog& d, const win::RECT& placed) {
  const resources::DialogTemplate& t = *d.tmpl;
  using namespace resources::dlg;
  klp::lint::JsonWriter json;
  json.BeginObject().Key("template").Number(t.id);
  json.Key("caption").String(t.caption ? t.caption : "").Key("font").String(t.font ? t.font : "");
  json.Key("points").Number(t.pointSize).Key("closeBox").Bool((t.style & WS_SYSMENU) != 0);
  json.Key("centred").Bool((t.style & DS_CENTER) != 0).Key("size");
  Numbers(json, {t.cx, t.cy});
  json.Key("placement");
  Numbers(json, {placed.left, placed.top, placed.right - placed.left, placed.bottom - placed.top});
  json.Key("controls").BeginArray();
  for (size_t i = 0; i < t.controlCount; ++i) {
    const resources::DialogControl& c = t.controls[i];
    json.BeginObject().Key("id").Number(c.id).Key("kind").String(KindName(c.kind));
    json.Key("text").String(c.text ? c.text : "").Key("rect");
    Numbers(json, {c.x, c.y, c.cx, c.cy});
    json.Key("align").String(AlignName(c.style)).Key("group").Bool((c.style & WS_GROUP) != 0);
    json.Key("rightJust").Bool((c.style & SS_RIGHTJUST) != 0).EndObject();
  }
  json.EndArray().Key("checks");
  Checks(json, d);
  return json.EndObject().str();
}

// The first picture of the template as R, G, B, alpha pixels.
std::vector<uint8_t> PicturePixels(const resources::DialogTemplate& t, int* width, int* height) {
  *width = *height = 0;
  for (size_t i = 0; i < t.controlCount; ++i) {
    if (t.controls[i].kind != resources::ControlKind::Picture) continue;
    const resources::Bitmap* b = resources::FindBitmap(t.controls[i].image);
    if (!b) continue;
    std::vector<uint8_t> out(static_cast<size_t>(b->width) * b->height * 4);
    for (int y = 0; y < b->height; ++y)
      for (int x = 0; x < b->width; ++x) {
        uint32_t rgb = b->Rgb(x, y);
        uint8_t* p = &out[(static_cast<size_t>(y) * b->width + x) * 4];
        p[0] = static_cast<uint8_t>(rgb >> 16);
        p[1] = static_cast<uint8_t>(rgb >> 8);
        p[2] = static_cast<uint8_t>(rgb);
        p[3] = 0xFF;
      }
    *width = b->width;
    *height = b->height;
    return out;
  }
  return {};
}

// A point of the desktop relative to the area.
win::POINT InArea(const Area& a, win::POINT screen) {
  win::POINT origin{0, 0};
  win::ClientToScreen(a.hwnd, &origin);
  return win::POINT{screen.x - origin.x, screen.y - origin.y};
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
      case kWebKeyDown:
        return DeliverKey(a, static_cast<win::UINT>(e.button), (e.state & kWebShift) != 0);
      case kWebFocusLost:
        DeliverFocusLost(a);
        return 1;
      case kWebTap:
        return DeliverTap(a, e.x, e.y);
      case kWebMenuChoice:
        return MenuChosen(a, static_cast<win::UINT_PTR>(static_cast<uint32_t>(e.button)));
      case kWebDialogClick:
      case kWebDialogKey:
      case kWebDialogClose:
        return DialogInput(a, e);
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

  win::UINT_PTR TrackMenu(const win::Menu& menu, win::POINT at, Area* owner) override {
    if (!owner || Refused(*owner, "menu")) return 0;
    open_ = Open{Open::Kind::kMenu, owner->instance, nullptr, {}};
    for (const win::MenuItem& item : menu.items)
      if (item.Selectable()) open_.commands.push_back(item.id);
    win::POINT p = InArea(*owner, at);
    klp_show_menu(owner->instance, p.x, p.y, MenuJson(menu).c_str());
    return 0;
  }

  bool RunDialog(win::HWND dialog, win::RECT placement, Area* owner) override {
    const win::Dialog* d = win::Desktop::Current()->FindDialog(dialog);
    if (!d || !owner || Refused(*owner, "dialog")) return false;
    open_ = Open{Open::Kind::kDialog, owner->instance, dialog, {}};
    win::POINT topLeft = InArea(*owner, win::POINT{placement.left, placement.top});
    win::RECT placed{topLeft.x, topLeft.y, topLeft.x + placement.right - placement.left,
                     topLeft.y + placement.bottom - placement.top};
    int width = 0, height = 0;
    std::vector<uint8_t> picture = PicturePixels(*d->tmpl, &width, &height);
    klp_show_dialog(owner->instance, DialogJson(*d, placed).c_str(),
                    picture.empty() ? nullptr : picture.data(), width, height);
    return true;
  }

  bool Modal() const override { return open_.kind != Open::Kind::kNone; }

  void ShowFocus(Area& a, const win::RECT* r, bool ellipse, const char* name) override {
    if (!r) return klp_area_focus(a.instance, 0, 0, 0, 0, 0, "");
    klp_area_focus(a.instance, r->left, r->top, r->right - r->left, r->bottom - r->top,
                   ellipse ? 1 : 0, name);
  }
  void Announce(Area& a, const char* kind, const char* name) override {
    klp_area_passed(a.instance, kind, name);
  }

  // The instance goes: its dialog is destroyed without a command, its menu without a choice.
  void EndModal(NPP instance) override {
    if (open_.kind == Open::Kind::kNone || open_.instance != instance) return;
    if (open_.dialog) win::Desktop::Current()->DiscardDialog(open_.dialog);
    Close();
  }

 private:
  struct Open {
    enum class Kind { kNone, kMenu, kDialog };
    Kind kind = Kind::kNone;
    NPP instance = nullptr;
    win::HWND dialog = nullptr;
    std::vector<win::UINT_PTR> commands;  // the menu's enabled items
  };

  bool Refused(Area& owner, const char* what) {
    if (!Modal()) return false;
    std::string line = std::string("! klp.js: a menu or dialog is already open; the ") + what +
                       " was not shown";
    Trace(owner.instance, line.c_str());
    return true;
  }

  void Close() {
    NPP instance = open_.instance;
    open_ = Open{};
    klp_modal_closed(instance);
  }

  // Only an enabled item of the menu on show can be chosen.
  int16_t MenuChosen(Area& a, win::UINT_PTR command) {
    if (open_.kind != Open::Kind::kMenu || open_.instance != a.instance) return 0;
    bool offered = std::find(open_.commands.begin(), open_.commands.end(), command) !=
                   open_.commands.end();
    Close();
    if (command && offered)
      win::PostMessageA(a.hwnd, win::WM_COMMAND, win::MAKEWPARAM(static_cast<unsigned>(command), 0),
                        0);
    return 1;
  }

  int16_t DialogInput(Area& a, const WebEvent& e) {
    if (open_.kind != Open::Kind::kDialog || open_.instance != a.instance) return 0;
    win::Desktop* desktop = win::Desktop::Current();
    win::HWND dialog = open_.dialog;
    if (e.type == kWebDialogClick) {
      desktop->ClickDialogControl(dialog, e.button);
    } else if (e.type == kWebDialogClose) {
      desktop->CloseDialog(dialog);
    } else if (e.button == 13 || e.button == 27) {
      desktop->PressDialogKey(dialog, e.button == 13 ? win::VK_RETURN : win::VK_ESCAPE);
    }
    if (open_.dialog != dialog) return 1;  // the input ended the instance meanwhile
    if (const win::Dialog* d = desktop->FindDialog(dialog))
      klp_dialog_checks(a.instance, ChecksJson(*d).c_str());
    else
      Close();
    return 1;
  }

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

  Open open_;
};

}  // namespace

std::unique_ptr<Presentation> MakePresentation() { return std::make_unique<WebPresentation>(); }

}  // namespace npdesk
