// The browser desktop's presentation in NPAPI browsers on X11: GraphicsExpose puts the area's
// composed picture into the browser's drawable, pointer XEvents become pointer events, cursors
// are set on the browser's window (NPNVnetscapeWindow), menus and dialogs are shown by the GTK
// helper beside the module, and timers fall back to GLib timeouts where the browser has no
// NPN_ScheduleTimer.
//
// Every picture, the playing movie's included, goes through the browser: QtWebKit hands a
// windowless plug-in x = y = 0 and a clip rectangle in the area's own coordinates, after
// scrolls and moves alike, so the area's place in the browser's window is never known and a
// window of our own could not follow it.
#include <X11/Xlib.h>
#include <X11/cursorfont.h>

#include <cstdlib>
#include <map>
#include <memory>

#include "platform/gtk/presenter.h"
#include "platform/npdesk/glib_timeout.h"
#include "platform/npdesk/presentation.h"
#include "platform/npdesk/x11_output.h"
#include "plugin/services.h"
#include "resources/resources.h"

namespace npdesk {
namespace {

// What the X11 presentation keeps of an area: the display, visual and depth to draw with (none:
// taken from the events) and the browser's window for cursors.
struct X11Area {
  Display* display = nullptr;
  Visual* visual = nullptr;
  int depth = 0;
  ::Window browserWindow = 0;  // NPNVnetscapeWindow, asked for at the first cursor change
  AreaImage image;             // the picture on its way to the server
};

X11Area& Of(Area& a) { return *static_cast<X11Area*>(a.output); }

win::WPARAM KeyFlags(unsigned state) {
  win::WPARAM f = 0;
  if (state & Button1Mask) f |= win::MK_LBUTTON;
  if (state & Button2Mask) f |= win::MK_MBUTTON;
  if (state & Button3Mask) f |= win::MK_RBUTTON;
  if (state & ShiftMask) f |= win::MK_SHIFT;
  if (state & ControlMask) f |= win::MK_CONTROL;
  return f;
}

class X11Presentation final : public Presentation {
 public:
  ~X11Presentation() override {
    for (auto& [display, cursors] : cursors_)
      for (auto& [id, cursor] : cursors) XFreeCursor(display, cursor);
  }

  void Attached(Area& a, const NPWindow& window) override {
    if (!a.output) a.output = new X11Area();
    X11Area& x = Of(a);
    if (auto* ws = static_cast<NPSetWindowCallbackStruct*>(window.ws_info)) {
      if (ws->display) x.display = static_cast<Display*>(ws->display);
      x.visual = static_cast<Visual*>(ws->visual);
      x.depth = static_cast<int>(ws->depth);
    }
    if (!x.display) {
      void* display = nullptr;
      if (NPN_GetValue(a.instance, NPNVxDisplay, &display) == NPERR_NO_ERROR && display)
        x.display = static_cast<Display*>(display);
    }
    ReadDoubleClickTime(x.display);
  }
  void Detached(Area& a) override {
    delete static_cast<X11Area*>(a.output);
    a.output = nullptr;
  }

  bool IsMouseInput(const void* event) const override {
    int type = static_cast<const XEvent*>(event)->type;
    return type == ButtonPress || type == ButtonRelease || type == MotionNotify;
  }

  int16_t HandleEvent(Area& a, void* event) override {
    auto* xe = static_cast<XEvent*>(event);
    switch (xe->type) {
      case GraphicsExpose:
        return OnExpose(a, xe->xgraphicsexpose);
      case ButtonPress:
      case ButtonRelease: {
        const XButtonEvent& b = xe->xbutton;
        PointerEvent e;
        e.kind = b.type == ButtonPress ? PointerEvent::Kind::kPress : PointerEvent::Kind::kRelease;
        e.button = b.button == Button1   ? PointerEvent::Button::kLeft
                   : b.button == Button2 ? PointerEvent::Button::kMiddle
                   : b.button == Button3 ? PointerEvent::Button::kRight
                                         : PointerEvent::Button::kNone;
        if (e.button == PointerEvent::Button::kNone) return 0;
        e.x = b.x;
        e.y = b.y;
        e.keyFlags = KeyFlags(b.state);
        return DeliverPointer(a, e);
      }
      case MotionNotify: {
        PointerEvent e;
        e.x = xe->xmotion.x;
        e.y = xe->xmotion.y;
        e.keyFlags = KeyFlags(xe->xmotion.state);
        return DeliverPointer(a, e);
      }
      case EnterNotify:
      case LeaveNotify: {
        PointerEvent e;
        e.kind = xe->type == EnterNotify ? PointerEvent::Kind::kEnter : PointerEvent::Kind::kLeave;
        // This host swaps x and y in crossing events.
        e.x = xe->xcrossing.y;
        e.y = xe->xcrossing.x;
        return DeliverPointer(a, e);
      }
      default:
        return 0;
    }
  }

  // The cursor is set on the browser's window.
  void ShowCursor(Area& a, win::HCURSOR cursor) override {
    X11Area& x = Of(a);
    if (!x.display) return;
    if (!x.browserWindow) {
      unsigned long xid = 0;
      if (NPN_GetValue(a.instance, NPNVnetscapeWindow, &xid) != NPERR_NO_ERROR || !xid) return;
      x.browserWindow = xid;
    }
    uintptr_t id = reinterpret_cast<uintptr_t>(cursor);
    if (!id) id = reinterpret_cast<uintptr_t>(win::IDC_ARROW);
    ::Cursor& c = cursors_[x.display][id];
    if (!c) {
      if (id == reinterpret_cast<uintptr_t>(win::IDC_ARROW)) {
        c = XCreateFontCursor(x.display, XC_left_ptr);
      } else if (id == reinterpret_cast<uintptr_t>(win::IDC_WAIT)) {
        c = XCreateFontCursor(x.display, XC_watch);
      } else if (const resources::Cursor* r = resources::FindCursor(static_cast<unsigned>(id))) {
        c = CreateResourceCursor(x.display, x.browserWindow, *r);
      }
    }
    if (!c) return;
    XDefineCursor(x.display, x.browserWindow, c);
    XFlush(x.display);
  }

  win::UINT DoubleClickTime() override { return doubleClickTime_; }

  unsigned AddTimeout(unsigned ms, void (*fire)(void*), void* data,
                      void (*dispose)(void*)) override {
    return npdesk::AddTimeout(ms, fire, data, dispose);
  }
  void RemoveTimeout(unsigned id) override { npdesk::RemoveTimeout(id); }

  // Menus and dialogs: presented by the helper program, in the browser's coordinates.
  win::UINT_PTR TrackMenu(const win::Menu& menu, win::POINT at, Area* owner) override {
    return Presenter().TrackMenu(menu, at, OwnerOf(owner));
  }
  bool RunDialog(win::HWND dialog, win::RECT placement, Area* owner) override {
    Presenter().RunDialog(dialog, placement, OwnerOf(owner));
    return false;
  }
  bool Modal() const override { return presenter_ && presenter_->Busy(); }
  void EndModal(NPP instance) override {
    if (presenter_) presenter_->Cancel(instance);
  }

 private:
  int16_t OnExpose(Area& a, const XGraphicsExposeEvent& e) {
    X11Area& x = Of(a);
    if (!x.display) x.display = e.display;
    // The host reports the right and bottom edges in width and height, not the size.
    win::RECT r{e.x - a.origin.x, e.y - a.origin.y, e.width - a.origin.x, e.height - a.origin.y};
    bool inImage = false;
    auto image = [&](int width, int height, size_t* pitch) {
      uint32_t* pixels = x.image.Pixels(x.display, x.visual, x.depth, width, height, pitch);
      inImage = pixels != nullptr;
      return pixels;
    };
    std::vector<uint32_t> copy;
    if (!PaintArea(a, &r, image, &copy)) return 1;
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (inImage)
      x.image.Put(e.drawable, r.left, r.top, r.left + a.origin.x, r.top + a.origin.y, w, h);
    else
      PutPixels(x.display, e.drawable, x.visual, x.depth, r.left + a.origin.x,
                r.top + a.origin.y, w, h, copy.data());
    return 1;
  }

  // The double-click time: the X resource multiClickTime where the display's resources set it,
  // else the Windows default of 500 ms.
  void ReadDoubleClickTime(Display* display) {
    if (doubleClickTimeRead_ || !display) return;
    doubleClickTimeRead_ = true;
    if (const char* v = XGetDefault(display, "npklod32", "multiClickTime")) {
      long ms = std::strtol(v, nullptr, 10);
      if (ms >= 100 && ms <= 5000) doubleClickTime_ = static_cast<win::UINT>(ms);
    }
  }

  gtkui::Owner OwnerOf(Area* a) {
    gtkui::Owner o;
    if (!a) return o;
    X11Area& x = Of(*a);
    NPP instance = a->instance;
    o.tag = instance;
    if (x.display) o.display = DisplayString(x.display);
    unsigned long xid = 0;
    if (!x.browserWindow && NPN_GetValue(instance, NPNVnetscapeWindow, &xid) == NPERR_NO_ERROR)
      x.browserWindow = xid;
    o.window = x.browserWindow;
    o.trace = [instance](const char* text) { Trace(instance, text); };
    o.pump = [] { DrainLeftovers(); };
    return o;
  }
  gtkui::Presenter& Presenter() {
    if (!presenter_)
      presenter_ = std::make_unique<gtkui::Presenter>(
          gtkui::Presenter::Options{gtkui::HelperBesideModule()});
    return *presenter_;
  }

  win::UINT doubleClickTime_ = 500;
  bool doubleClickTimeRead_ = false;
  std::map<Display*, std::map<uintptr_t, ::Cursor>> cursors_;
  std::unique_ptr<gtkui::Presenter> presenter_;
};

}  // namespace

std::unique_ptr<Presentation> MakePresentation() { return std::make_unique<X11Presentation>(); }

}  // namespace npdesk
