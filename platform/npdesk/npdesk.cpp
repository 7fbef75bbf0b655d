#include "platform/npdesk/npdesk.h"

#include <X11/Xlib.h>
#include <X11/cursorfont.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "platform/gtk/presenter.h"
#include "platform/npdesk/compose.h"
#include "platform/npdesk/glib_timeout.h"
#include "platform/npdesk/x11_output.h"
#include "platform/win/desktop.h"
#include "plugin/services.h"
#include "resources/resources.h"

namespace npdesk {
namespace {

constexpr const char* kAreaClass = "NPKLOD32Area";
// What the area shows where nothing is drawn: the page background of a browser window.
constexpr uint32_t kAreaBackground = 0xFFFFFF;

thread_local NPP t_scope = nullptr;
thread_local int t_depth = 0;
// Work left for the end of the outermost call. Browser calls come on one thread; this is not
// thread_local because a thread_local with a destructor would pin the module in memory for the
// thread's life, so that the browser could never unload it.
std::vector<std::function<void()>> t_afterCalls;

void (*g_traceSink)(NPP, const char*) = nullptr;

class BrowserDesktop;
BrowserDesktop* g_desk = nullptr;

// One instance's area in the page.
struct Area {
  NPP instance = nullptr;
  win::HWND hwnd = nullptr;
  bool reachedDefault = false;  // the last message went through to the browser's default
  // From the browser's window description: where the area lies in the drawable, and the
  // display, visual and depth to draw with (none: take the display from the events).
  win::POINT origin{0, 0};
  Display* display = nullptr;
  Visual* visual = nullptr;
  int depth = 0;
  ::Window browserWindow = 0;  // NPNVnetscapeWindow, asked for at the first cursor change
};

// A timer of the win layer as the browser (NPN_ScheduleTimer) or GLib runs it.
struct TimerRun {
  NPP owner = nullptr;
  uint32_t browserId = 0;  // NPN_ScheduleTimer's id
  unsigned source = 0;     // GLib timeout
};

struct GlibTimer {
  win::HWND hwnd;
  win::UINT_PTR id;
  NPP owner;
};

class BrowserDesktop final : public win::Desktop {
 public:
  BrowserDesktop() {
    win::WNDCLASSA wc{};
    wc.lpfnWndProc = &AreaDefaultProc;
    wc.lpszClassName = kAreaClass;
    SetCurrent(this);
    win::RegisterClassA(&wc);
  }
  ~BrowserDesktop() override {
    for (auto& [key, run] : timers_)
      if (run.source) RemoveTimeout(run.source);
    for (auto& [display, cursors] : cursors_)
      for (auto& [id, cursor] : cursors) XFreeCursor(display, cursor);
  }

  // --- Windows and their instances ----------------------------------------------------------
  void WindowCreated(win::Window& w) override {
    std::lock_guard lock(ownersLock_);
    owners_[w.handle] = t_scope;
  }
  void WindowDestroyed(win::Window& w) override {
    {
      std::lock_guard lock(ownersLock_);
      owners_.erase(w.handle);
    }
    surfaces_.erase(w.handle);
  }
  NPP OwnerOf(win::HWND hwnd) {
    std::lock_guard lock(ownersLock_);
    auto it = owners_.find(hwnd);
    return it == owners_.end() ? nullptr : it->second;
  }
  Area* AreaOf(NPP instance) {
    auto it = areas_.find(instance);
    return it == areas_.end() ? nullptr : it->second.get();
  }
  // The area a window belongs to: the area itself or the area among its ancestors.
  Area* AreaContaining(win::HWND hwnd) {
    for (win::Window* w = Find(hwnd); w; w = w->parent ? Find(w->parent) : nullptr)
      if (Area* a = AreaOf(OwnerOf(w->handle)); a && a->hwnd == w->handle) return a;
    return nullptr;
  }

  // --- Timers: the browser's where it has them, else GLib timeouts on the default main context.
  // A host that neither offers NPN_ScheduleTimer nor runs the default GLib main context never
  // fires the timers: the player then gets no position ticks and clicks no double-click
  // timeout, but everything else works.
  void StartTimer(win::HWND hwnd, win::UINT_PTR id, win::UINT ms) override {
    NPP owner = OwnerOf(hwnd);
    if (!owner) return;
    TimerRun run{owner, 0, 0};
    if (NPN_HasScheduleTimer()) {
      run.browserId = NPN_ScheduleTimer(owner, ms, 1, &TimerThunk);
      if (!run.browserId) return;
      byBrowserId_[{owner, run.browserId}] = {hwnd, id};
    } else {
      run.source = AddTimeout(ms, &GlibTimerThunk, new GlibTimer{hwnd, id, owner}, &FreeGlibTimer);
    }
    timers_[{hwnd, id}] = run;
  }
  void StopTimer(win::HWND hwnd, win::UINT_PTR id) override {
    auto it = timers_.find({hwnd, id});
    if (it == timers_.end()) return;
    TimerRun run = it->second;
    timers_.erase(it);
    if (run.source) {
      RemoveTimeout(run.source);
    } else {
      NPN_UnscheduleTimer(run.owner, run.browserId);
      byBrowserId_.erase({run.owner, run.browserId});
    }
  }
  static void TimerThunk(NPP npp, uint32_t tid) {
    if (!g_desk) return;
    auto it = g_desk->byBrowserId_.find({npp, tid});
    if (it == g_desk->byBrowserId_.end()) return;
    InstanceScope scope(npp);
    g_desk->FireTimer(it->second.first, it->second.second);
  }
  static void GlibTimerThunk(void* data) {
    auto* t = static_cast<GlibTimer*>(data);
    if (!g_desk || !g_desk->timers_.count({t->hwnd, t->id})) return;
    InstanceScope scope(t->owner);
    g_desk->FireTimer(t->hwnd, t->id);
  }
  static void FreeGlibTimer(void* data) { delete static_cast<GlibTimer*>(data); }

  // --- Posted messages ----------------------------------------------------------------------
  // One drain call is kept on its way per instance: browsers cancel the async calls of a
  // destroyed instance, so a drain scheduled through one instance cannot serve the others.
  void MessagePosted(win::HWND hwnd) override {
    NPP owner = OwnerOf(hwnd);
    if (owner && NPN_HasPluginThreadAsyncCall()) {
      {
        std::lock_guard lock(drainLock_);
        if (!drainPending_.insert(owner).second) return;
      }
      NPN_PluginThreadAsyncCall(owner, &DrainThunk, owner);
    } else {
      drainOnLeave_ = true;  // dispatched when the browser next leaves a call into the module
    }
  }
  static void DrainThunk(void* owner) {
    if (!g_desk) return;
    InstanceScope scope(static_cast<NPP>(owner));
    g_desk->Drain(static_cast<NPP>(owner));
  }
  void Drain(NPP owner) {
    ForgetDrain(owner);
    drainOnLeave_ = false;
    DispatchPosted();
  }
  void ForgetDrain(NPP owner) {
    std::lock_guard lock(drainLock_);
    drainPending_.erase(owner);
  }
  bool DrainPendingOnLeave() const { return drainOnLeave_; }

  win::DWORD Milliseconds() override {
    return static_cast<win::DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                       std::chrono::steady_clock::now().time_since_epoch())
                                       .count());
  }

  // --- Painting -----------------------------------------------------------------------------
  // Every window paints into a memory surface of its client size. The browser asks for the
  // area's picture with GraphicsExpose; an invalidated window asks the browser for one with
  // NPN_InvalidateRect (browsers without a drawable never ask, and the surfaces simply hold
  // the latest picture).
  void Invalidated(win::Window& w) override {
    if (painting_) return;  // being painted now
    Area* a = AreaContaining(w.handle);
    if (!a) return;
    win::POINT o{0, 0};
    OffsetInArea(*a, w.handle, &o);
    win::RECT r;
    win::GetClientRect(w.handle, &r);
    NPRect rect{static_cast<uint16_t>(std::clamp<int>(o.y, 0, 0xFFFF)),
                static_cast<uint16_t>(std::clamp<int>(o.x, 0, 0xFFFF)),
                static_cast<uint16_t>(std::clamp<int>(o.y + r.bottom, 0, 0xFFFF)),
                static_cast<uint16_t>(std::clamp<int>(o.x + r.right, 0, 0xFFFF))};
    NPN_InvalidateRect(a->instance, &rect);
  }
  win::HDC PaintSurface(win::Window& w) override {
    win::Surface& s = surfaces_[w.handle];
    int width = std::max<int>(w.rect.right - w.rect.left, 0);
    int height = std::max<int>(w.rect.bottom - w.rect.top, 0);
    Area* owner = AreaContaining(w.handle);
    bool area = owner && owner->hwnd == w.handle;
    if (s.width != width || s.height != height) {
      s.width = width;
      s.height = height;
      s.pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height),
                      area ? kAreaBackground : 0);
    } else if (area && w.erase) {
      std::fill(s.pixels.begin(), s.pixels.end(), kAreaBackground);
    }
    ++s.paints;
    return reinterpret_cast<win::HDC>(&s);
  }
  const win::Surface* SurfaceOf(win::HWND hwnd) const {
    auto it = surfaces_.find(hwnd);
    return it == surfaces_.end() ? nullptr : &it->second;
  }
  // Offset of hwnd's client area from the area's, through its parents.
  bool OffsetInArea(const Area& a, win::HWND hwnd, win::POINT* o) {
    *o = win::POINT{0, 0};
    for (win::Window* w = Find(hwnd); w; w = w->parent ? Find(w->parent) : nullptr) {
      if (w->handle == a.hwnd) return true;
      o->x += w->rect.left;
      o->y += w->rect.top;
    }
    return false;
  }
  // The area's visible descendants, bottom first (children over their parents, newer over
  // older siblings), with their offsets.
  std::vector<std::pair<win::HWND, win::POINT>> VisibleDescendants(const Area& a) {
    std::vector<std::pair<win::HWND, win::POINT>> out;
    for (win::HWND h : Windows()) {
      if (h == a.hwnd) continue;
      bool shown = true, inside = false;
      for (win::Window* w = Find(h); w; w = w->parent ? Find(w->parent) : nullptr) {
        if (w->handle == a.hwnd) {
          inside = true;
          break;
        }
        shown = shown && (w->style & win::WS_VISIBLE);
      }
      win::POINT o;
      if (inside && shown && OffsetInArea(a, h, &o)) out.emplace_back(h, o);
    }
    std::stable_sort(out.begin(), out.end(), [this, &a](const auto& l, const auto& r) {
      return Depth(a, l.first) < Depth(a, r.first);
    });
    return out;
  }
  int Depth(const Area& a, win::HWND hwnd) {
    int d = 0;
    for (win::Window* w = Find(hwnd); w && w->handle != a.hwnd;
         w = w->parent ? Find(w->parent) : nullptr)
      ++d;
    return d;
  }
  // Paints the area afresh and every descendant whose picture is out of date, then returns
  // the composed pixels of *rect (clipped to the area).
  std::vector<uint32_t> PaintArea(Area& a, win::RECT* rect) {
    painting_ = true;
    if (win::Window* w = Find(a.hwnd)) {
      w->needsPaint = true;
      w->erase = true;
      win::UpdateWindow(a.hwnd);
    }
    std::vector<Layer> layers;
    for (auto& [h, o] : VisibleDescendants(a)) {
      win::Window* w = Find(h);
      const win::Surface* s = w ? SurfaceOf(h) : nullptr;
      if (w && (!s || s->width != w->rect.right - w->rect.left ||
                s->height != w->rect.bottom - w->rect.top))
        w->needsPaint = true;
      if (w) win::UpdateWindow(h);
      if (Find(h)) layers.push_back(Layer{SurfaceOf(h), o.x, o.y});
    }
    painting_ = false;
    const win::Surface* base = Find(a.hwnd) ? SurfaceOf(a.hwnd) : nullptr;
    if (!base) return {};
    return Compose(*base, layers, rect);
  }

  // --- Cursor and pointer ---------------------------------------------------------------------
  // The cursor is set on the browser's window while the pointer is over an area, and the
  // browser's arrow is put back when it leaves.
  void CursorChanged(win::HCURSOR cursor) override {
    if (Area* a = AreaOf(pointerArea_)) ShowCursor(*a, cursor);
  }
  void ShowCursor(Area& a, win::HCURSOR cursor) {
    if (!a.display) return;
    if (!a.browserWindow) {
      unsigned long xid = 0;
      if (NPN_GetValue(a.instance, NPNVnetscapeWindow, &xid) != NPERR_NO_ERROR || !xid) return;
      a.browserWindow = xid;
    }
    uintptr_t id = reinterpret_cast<uintptr_t>(cursor);
    if (!id) id = reinterpret_cast<uintptr_t>(win::IDC_ARROW);
    ::Cursor& x = cursors_[a.display][id];
    if (!x) {
      if (id == reinterpret_cast<uintptr_t>(win::IDC_ARROW)) {
        x = XCreateFontCursor(a.display, XC_left_ptr);
      } else if (id == reinterpret_cast<uintptr_t>(win::IDC_WAIT)) {
        x = XCreateFontCursor(a.display, XC_watch);
      } else if (const resources::Cursor* c = resources::FindCursor(static_cast<unsigned>(id))) {
        x = CreateResourceCursor(a.display, a.browserWindow, *c);
      }
    }
    if (!x) return;
    XDefineCursor(a.display, a.browserWindow, x);
    XFlush(a.display);
  }
  win::POINT PointerPosition() override { return pointer_; }
  win::HWND WindowAtPoint(win::POINT screen) override {
    Area* a = AreaOf(pointerArea_);
    win::Window* w = a ? Find(a->hwnd) : nullptr;
    if (!w) return nullptr;
    bool inside = screen.x >= w->rect.left && screen.x < w->rect.right &&
                  screen.y >= w->rect.top && screen.y < w->rect.bottom;
    return inside ? a->hwnd : nullptr;
  }
  // Pointer at (x, y) of area a: screen coordinates are the area's origin plus the point.
  void PointerAt(Area& a, int x, int y) {
    win::POINT p{x, y};
    win::ClientToScreen(a.hwnd, &p);
    pointer_ = p;
  }
  win::UINT DoubleClickTime() override { return doubleClickTime_; }

  // --- Menus and dialogs: presented by the helper program, in the browser's coordinates -------
  win::UINT_PTR TrackMenu(const win::Menu& menu, win::UINT, win::POINT at,
                          win::HWND owner) override {
    return Presenter().TrackMenu(menu, at, OwnerOf(AreaContaining(owner)));
  }
  void RunDialog(win::HWND dialog) override {
    const win::Dialog* d = FindDialog(dialog);
    win::Window* w = Find(dialog);
    if (d && w) Presenter().RunDialog(dialog, w->rect, OwnerOf(AreaContaining(d->owner)));
  }
  gtkui::Owner OwnerOf(Area* a) {
    gtkui::Owner o;
    if (!a) return o;
    NPP instance = a->instance;
    o.tag = instance;
    if (a->display) o.display = DisplayString(a->display);
    unsigned long xid = 0;
    if (!a->browserWindow && NPN_GetValue(instance, NPNVnetscapeWindow, &xid) == NPERR_NO_ERROR)
      a->browserWindow = xid;
    o.window = a->browserWindow;
    o.trace = [instance](const char* text) {
      if (g_traceSink) g_traceSink(instance, text);
    };
    o.pump = [this] {
      if (DrainPendingOnLeave()) Drain(nullptr);
    };
    return o;
  }
  gtkui::Presenter& Presenter() {
    if (!presenter_) presenter_ = std::make_unique<gtkui::Presenter>(
        gtkui::Presenter::Options{gtkui::HelperBesideModule()});
    return *presenter_;
  }
  bool Modal() const { return presenter_ && presenter_->Busy(); }
  void EndModal(NPP instance) {
    if (presenter_) presenter_->Cancel(instance);
  }

  std::map<NPP, std::unique_ptr<Area>> areas_;
  NPP pointerArea_ = nullptr;  // the instance whose area the pointer is over
  win::POINT pointer_{-1, -1};
  win::UINT doubleClickTime_ = 500;
  bool doubleClickTimeRead_ = false;

  // Double-click detection for the area windows.
  win::DWORD lastPressTime = 0;
  win::POINT lastPress{-100, -100};
  unsigned lastButton = 0;

 private:
  static win::LRESULT AreaDefaultProc(win::HWND hwnd, win::UINT msg, win::WPARAM wp,
                                      win::LPARAM lp) {
    if (Area* a = g_desk ? g_desk->AreaOf(g_desk->OwnerOf(hwnd)) : nullptr)
      if (a->hwnd == hwnd) a->reachedDefault = true;
    if (msg == win::WM_SETCURSOR) {  // the browser's own cursor over its page
      win::SetCursor(win::LoadCursorA(nullptr, win::IDC_ARROW));
      return 1;
    }
    return win::DefWindowProcA(hwnd, msg, wp, lp);
  }

  std::mutex ownersLock_;
  std::map<win::HWND, NPP> owners_;
  std::map<std::pair<win::HWND, win::UINT_PTR>, TimerRun> timers_;
  std::map<std::pair<NPP, uint32_t>, std::pair<win::HWND, win::UINT_PTR>> byBrowserId_;
  std::mutex drainLock_;
  std::set<NPP> drainPending_;  // instances with a drain call on its way
  std::atomic<bool> drainOnLeave_{false};
  std::map<win::HWND, win::Surface> surfaces_;
  bool painting_ = false;
  std::map<Display*, std::map<uintptr_t, ::Cursor>> cursors_;
  std::unique_ptr<gtkui::Presenter> presenter_;
};

win::WPARAM KeyFlags(unsigned state) {
  win::WPARAM f = 0;
  if (state & Button1Mask) f |= win::MK_LBUTTON;
  if (state & Button2Mask) f |= win::MK_MBUTTON;
  if (state & Button3Mask) f |= win::MK_RBUTTON;
  if (state & ShiftMask) f |= win::MK_SHIFT;
  if (state & ControlMask) f |= win::MK_CONTROL;
  return f;
}

// The double-click time: the X resource multiClickTime where the display's resources set it,
// else the Windows default of 500 ms.
void ReadDoubleClickTime(Display* display) {
  if (g_desk->doubleClickTimeRead_ || !display) return;
  g_desk->doubleClickTimeRead_ = true;
  if (const char* v = XGetDefault(display, "npklod32", "multiClickTime")) {
    long ms = std::strtol(v, nullptr, 10);
    if (ms >= 100 && ms <= 5000) g_desk->doubleClickTime_ = static_cast<win::UINT>(ms);
  }
}

// Sends msg to the area window; 1 when the plug-in handled it (it did not reach the default).
int16_t SendToArea(Area& a, win::UINT msg, win::WPARAM wp, win::LPARAM lp) {
  NPP instance = a.instance;
  a.reachedDefault = false;
  win::SendMessageA(a.hwnd, msg, wp, lp);
  Area* still = g_desk->AreaOf(instance);  // the handler may have destroyed the area
  return still && !still->reachedDefault ? 1 : 0;
}

// Coordinates outside 0..65535 wrap as the 16-bit halves of lParam do.
win::LPARAM PointParam(int x, int y) {
  return win::MAKELPARAM(static_cast<unsigned>(x), static_cast<unsigned>(y));
}

int16_t OnExpose(Area& a, const XGraphicsExposeEvent& e) {
  if (!a.display) a.display = e.display;
  // The host reports the right and bottom edges in width and height, not the size.
  win::RECT r{e.x - a.origin.x, e.y - a.origin.y, e.width - a.origin.x, e.height - a.origin.y};
  std::vector<uint32_t> pixels = g_desk->PaintArea(a, &r);
  if (pixels.empty()) return 1;
  PutPixels(a.display, e.drawable, a.visual, a.depth, r.left + a.origin.x, r.top + a.origin.y,
            r.right - r.left, r.bottom - r.top, pixels.data());
  return 1;
}

int16_t OnButton(Area& a, const XButtonEvent& b) {
  int x = b.x, y = b.y;
  bool press = b.type == ButtonPress;
  win::UINT msg;
  if (b.button == Button1) {
    msg = press ? win::WM_LBUTTONDOWN : win::WM_LBUTTONUP;
    if (press) {
      win::DWORD now = g_desk->Milliseconds();
      bool near = std::abs(x - g_desk->lastPress.x) <= 2 && std::abs(y - g_desk->lastPress.y) <= 2;
      if (g_desk->lastButton == Button1 && near &&
          now - g_desk->lastPressTime <= win::GetDoubleClickTime()) {
        msg = win::WM_LBUTTONDBLCLK;
        g_desk->lastButton = 0;
      } else {
        g_desk->lastButton = Button1;
        g_desk->lastPressTime = now;
        g_desk->lastPress = win::POINT{x, y};
      }
    }
  } else if (b.button == Button3) {
    msg = press ? win::WM_RBUTTONDOWN : win::WM_RBUTTONUP;
  } else if (b.button == Button2) {
    msg = press ? win::WM_MBUTTONDOWN : win::WM_MBUTTONUP;
  } else {
    return 0;
  }
  g_desk->pointerArea_ = a.instance;
  g_desk->PointerAt(a, x, y);
  return SendToArea(a, msg, KeyFlags(b.state), PointParam(x, y));
}

int16_t OnMotion(Area& a, const XMotionEvent& m) {
  g_desk->pointerArea_ = a.instance;
  g_desk->PointerAt(a, m.x, m.y);
  // As on Windows, the window may set its cursor before it hears of the move.
  win::SendMessageA(a.hwnd, win::WM_SETCURSOR, reinterpret_cast<win::WPARAM>(a.hwnd),
                    win::MAKELPARAM(1 /* HTCLIENT */, win::WM_MOUSEMOVE));
  return SendToArea(a, win::WM_MOUSEMOVE, KeyFlags(m.state), PointParam(m.x, m.y));
}

int16_t OnCrossing(Area& a, const XCrossingEvent& c) {
  // This host swaps x and y in crossing events.
  if (c.type == EnterNotify) {
    g_desk->pointerArea_ = a.instance;
    g_desk->PointerAt(a, c.y, c.x);
    g_desk->cursor_ = nullptr;  // the next SetCursor applies whatever it sets
    return 0;
  }
  if (g_desk->pointerArea_ == a.instance) {
    g_desk->ShowCursor(a, nullptr);  // the browser's arrow again
    g_desk->pointerArea_ = nullptr;
    g_desk->cursor_ = nullptr;
  }
  return 0;
}

}  // namespace

void Install() {
  if (!g_desk) g_desk = new BrowserDesktop();
  win::Desktop::SetCurrent(g_desk);
}

void Uninstall() {
  delete g_desk;
  g_desk = nullptr;
}

InstanceScope::InstanceScope(NPP instance) : previous_(t_scope) {
  t_scope = instance;
  ++t_depth;
}

InstanceScope::~InstanceScope() {
  t_scope = previous_;
  if (t_depth > 1) {
    --t_depth;
    return;
  }
  // Still counted as a call: a destroy that the dispatched messages cause waits like the rest.
  if (g_desk && g_desk->DrainPendingOnLeave()) g_desk->Drain(nullptr);
  --t_depth;
  while (!t_afterCalls.empty()) {
    auto fns = std::move(t_afterCalls);
    t_afterCalls.clear();
    for (auto& fn : fns) fn();
  }
}

bool InstanceScope::Nested() { return t_depth > 1; }

void InstanceScope::AfterCalls(std::function<void()> fn) {
  if (t_depth == 0) {
    fn();
  } else {
    t_afterCalls.push_back(std::move(fn));
  }
}

void SetTraceSink(void (*sink)(NPP, const char*)) { g_traceSink = sink; }

win::HWND AttachArea(NPP instance, const NPWindow* window) {
  if (!g_desk || !instance || !window) return nullptr;
  Area* a = g_desk->AreaOf(instance);
  if (!a) {
    InstanceScope scope(instance);
    win::HWND hwnd = win::CreateWindowExA(
        0, kAreaClass, "", win::WS_VISIBLE, window->x, window->y,
        static_cast<int>(window->width), static_cast<int>(window->height), nullptr, nullptr,
        nullptr, nullptr);
    if (!hwnd) return nullptr;
    auto area = std::make_unique<Area>();
    area->instance = instance;
    area->hwnd = hwnd;
    a = area.get();
    g_desk->areas_[instance] = std::move(area);
  } else {
    win::MoveWindow(a->hwnd, window->x, window->y, static_cast<int>(window->width),
                    static_cast<int>(window->height), win::FALSE);
  }
  a->origin = win::POINT{window->x, window->y};
  if (auto* ws = static_cast<NPSetWindowCallbackStruct*>(window->ws_info)) {
    if (ws->display) a->display = static_cast<Display*>(ws->display);
    a->visual = static_cast<Visual*>(ws->visual);
    a->depth = static_cast<int>(ws->depth);
  }
  if (!a->display) {
    void* display = nullptr;
    if (NPN_GetValue(instance, NPNVxDisplay, &display) == NPERR_NO_ERROR && display)
      a->display = static_cast<Display*>(display);
  }
  ReadDoubleClickTime(a->display);
  return a->hwnd;
}

void InstanceDestroyed(NPP instance) {
  if (!g_desk) return;
  for (win::HWND h : g_desk->Windows())
    if (g_desk->OwnerOf(h) == instance) {
      win::MSG m;
      while (win::PeekMessageA(&m, h, 0, 0, win::PM_REMOVE)) {
      }
      win::DestroyWindow(h);
    }
  if (g_desk->pointerArea_ == instance) g_desk->pointerArea_ = nullptr;
  g_desk->EndModal(instance);
  g_desk->areas_.erase(instance);
  g_desk->ForgetDrain(instance);
}

int16_t HandleEvent(NPP instance, void* event) {
  if (!g_desk || !instance || !event) return 0;
  Area* a = g_desk->AreaOf(instance);
  if (!a) return 0;
  auto* xe = static_cast<XEvent*>(event);
  InstanceScope scope(instance);
  bool mouse = xe->type == ButtonPress || xe->type == ButtonRelease || xe->type == MotionNotify;
  if (mouse && g_desk->Modal()) return 1;  // the owner of a modal menu or dialog is disabled
  switch (xe->type) {
    case GraphicsExpose:
      return OnExpose(*a, xe->xgraphicsexpose);
    case ButtonPress:
    case ButtonRelease:
      return OnButton(*a, xe->xbutton);
    case MotionNotify:
      return OnMotion(*a, xe->xmotion);
    case EnterNotify:
    case LeaveNotify:
      return OnCrossing(*a, xe->xcrossing);
    default:
      return 0;
  }
}

}  // namespace npdesk
