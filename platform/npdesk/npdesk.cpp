#include "platform/npdesk/npdesk.h"

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

#include "platform/npdesk/compose.h"
#include "platform/npdesk/presentation.h"
#include "platform/win/desktop.h"
#include "plugin/services.h"

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

// A timer of the win layer as the browser (NPN_ScheduleTimer) or the presentation runs it.
struct TimerRun {
  NPP owner = nullptr;
  uint32_t browserId = 0;  // NPN_ScheduleTimer's id
  unsigned fallback = 0;   // the presentation's timeout
};

struct FallbackTimer {
  win::HWND hwnd;
  win::UINT_PTR id;
  NPP owner;
};

class BrowserDesktop final : public win::Desktop {
 public:
  explicit BrowserDesktop(std::unique_ptr<Presentation> presentation)
      : presentation_(std::move(presentation)) {
    win::WNDCLASSA wc{};
    wc.lpfnWndProc = &AreaDefaultProc;
    wc.lpszClassName = kAreaClass;
    SetCurrent(this);
    win::RegisterClassA(&wc);
  }
  ~BrowserDesktop() override {
    for (auto& [key, run] : timers_)
      if (run.fallback) presentation_->RemoveTimeout(run.fallback);
    for (auto& [instance, area] : areas_) presentation_->Detached(*area);
  }

  Presentation& presentation() { return *presentation_; }

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

  // --- Timers: the browser's where it has them, else the presentation's fallback. A host that
  // offers neither never fires the timers: the player then gets no position ticks and clicks no
  // double-click timeout, but everything else works.
  void StartTimer(win::HWND hwnd, win::UINT_PTR id, win::UINT ms) override {
    NPP owner = OwnerOf(hwnd);
    if (!owner) return;
    TimerRun run{owner, 0, 0};
    if (NPN_HasScheduleTimer()) {
      run.browserId = NPN_ScheduleTimer(owner, ms, 1, &TimerThunk);
      if (!run.browserId) return;
      byBrowserId_[{owner, run.browserId}] = {hwnd, id};
    } else {
      auto* data = new FallbackTimer{hwnd, id, owner};
      run.fallback = presentation_->AddTimeout(ms, &FallbackThunk, data, &FreeFallback);
      if (!run.fallback) {
        delete data;
        return;
      }
    }
    timers_[{hwnd, id}] = run;
  }
  void StopTimer(win::HWND hwnd, win::UINT_PTR id) override {
    auto it = timers_.find({hwnd, id});
    if (it == timers_.end()) return;
    TimerRun run = it->second;
    timers_.erase(it);
    if (run.fallback) {
      presentation_->RemoveTimeout(run.fallback);
    } else if (run.browserId) {
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
  static void FallbackThunk(void* data) {
    auto* t = static_cast<FallbackTimer*>(data);
    if (!g_desk || !g_desk->timers_.count({t->hwnd, t->id})) return;
    InstanceScope scope(t->owner);
    g_desk->FireTimer(t->hwnd, t->id);
  }
  static void FreeFallback(void* data) { delete static_cast<FallbackTimer*>(data); }

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
  // area's picture (an expose); an invalidated window asks the browser for one with
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
    // Children are put together into the area's picture only when the browser asks for it, so
    // they may draw themselves straight into it then.
    s.onDemand = !area && presentation_->ComposesChildren();
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
  // Whether one of the windows (at their offsets in the area) holds rect whole.
  bool Covered(const std::vector<std::pair<win::HWND, win::POINT>>& windows, const win::RECT& rect) {
    for (const auto& [h, o] : windows) {
      const win::Window* w = Find(h);
      if (w && o.x <= rect.left && o.y <= rect.top &&
          o.x + (w->rect.right - w->rect.left) >= rect.right &&
          o.y + (w->rect.bottom - w->rect.top) >= rect.bottom)
        return true;
    }
    return false;
  }
  bool PaintArea(Area& a, win::RECT* rect, const AreaImagePixels& image,
                 std::vector<uint32_t>* copy) {
    painting_ = true;
    std::vector<std::pair<win::HWND, win::POINT>> children;
    if (presentation_->ComposesChildren()) children = VisibleDescendants(a);
    // The area window paints for every expose, unless a child covers the rectangle whole (a
    // movie playing): then none of its pixels would show.
    if (win::Window* w = Find(a.hwnd); w && !(SurfaceOf(a.hwnd) && Covered(children, *rect))) {
      w->needsPaint = true;
      w->erase = true;
      win::UpdateWindow(a.hwnd);
    }
    std::vector<Layer> layers;
    if (presentation_->ComposesChildren()) {
      for (auto& [h, o] : children) {
        win::Window* w = Find(h);
        const win::Surface* s = w ? SurfaceOf(h) : nullptr;
        if (w && (!s || s->width != w->rect.right - w->rect.left ||
                  s->height != w->rect.bottom - w->rect.top))
          w->needsPaint = true;
        if (w) win::UpdateWindow(h);
        if (Find(h)) layers.push_back(Layer{SurfaceOf(h), o.x, o.y});
      }
    }
    painting_ = false;
    const win::Surface* base = Find(a.hwnd) ? SurfaceOf(a.hwnd) : nullptr;
    if (!base || !ClipToBase(*base, rect)) return false;
    size_t pitch = 0;
    if (uint32_t* pixels = image ? image(base->width, base->height, &pitch) : nullptr) {
      ComposeInto(*base, layers, *rect, pixels + rect->top * pitch + rect->left, pitch);
      return true;
    }
    *copy = Compose(*base, layers, rect);
    return true;
  }

  // --- Cursor and pointer ---------------------------------------------------------------------
  // The cursor is shown while the pointer is over an area, and the browser's arrow is put back
  // when it leaves.
  void CursorChanged(win::HCURSOR cursor) override {
    if (Area* a = AreaOf(pointerArea_)) presentation_->ShowCursor(*a, cursor);
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
  win::UINT DoubleClickTime() override { return presentation_->DoubleClickTime(); }

  // --- Menus and dialogs: presented by the presentation, in the browser's coordinates -------
  win::UINT_PTR TrackMenu(const win::Menu& menu, win::UINT, win::POINT at,
                          win::HWND owner) override {
    return presentation_->TrackMenu(menu, at, AreaContaining(owner));
  }
  short KeyState(int vk) override {
    return vk == static_cast<int>(win::VK_SHIFT) && shiftDown_ ? static_cast<short>(-0x8000) : 0;
  }
  void FocusRectShown(win::HWND hwnd, const win::RECT* rect, bool ellipse,
                      const char* name) override {
    Area* a = AreaContaining(hwnd);
    if (!a) return;
    if (!rect) return presentation_->ShowFocus(*a, nullptr, false, name);
    win::POINT topLeft{rect->left, rect->top}, origin{0, 0};
    win::ClientToScreen(hwnd, &topLeft);
    win::ClientToScreen(a->hwnd, &origin);
    win::RECT r{topLeft.x - origin.x, topLeft.y - origin.y, 0, 0};
    r.right = r.left + (rect->right - rect->left);
    r.bottom = r.top + (rect->bottom - rect->top);
    presentation_->ShowFocus(*a, &r, ellipse, name);
  }
  void PassedAnnounced(win::HWND hwnd, const char* kind, const char* name) override {
    if (Area* a = AreaContaining(hwnd)) presentation_->Announce(*a, kind, name);
  }
  bool RunDialog(win::HWND dialog) override {
    const win::Dialog* d = FindDialog(dialog);
    win::Window* w = Find(dialog);
    return d && w && presentation_->RunDialog(dialog, w->rect, AreaContaining(d->owner));
  }

  std::map<NPP, std::unique_ptr<Area>> areas_;
  NPP pointerArea_ = nullptr;  // the instance whose area the pointer is over
  bool shiftDown_ = false;      // during a key press delivered by DeliverKey
  win::POINT pointer_{-1, -1};

  // Double-click detection for the area windows.
  win::DWORD lastPressTime = 0;
  win::POINT lastPress{-100, -100};
  PointerEvent::Button lastButton = PointerEvent::Button::kNone;

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

  std::unique_ptr<Presentation> presentation_;
  std::mutex ownersLock_;
  std::map<win::HWND, NPP> owners_;
  std::map<std::pair<win::HWND, win::UINT_PTR>, TimerRun> timers_;
  std::map<std::pair<NPP, uint32_t>, std::pair<win::HWND, win::UINT_PTR>> byBrowserId_;
  std::mutex drainLock_;
  std::set<NPP> drainPending_;  // instances with a drain call on its way
  std::atomic<bool> drainOnLeave_{false};
  std::map<win::HWND, win::Surface> surfaces_;
  bool painting_ = false;
};

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

int16_t OnButton(Area& a, const PointerEvent& e) {
  using Button = PointerEvent::Button;
  const bool press = e.kind == PointerEvent::Kind::kPress;
  win::UINT msg;
  switch (e.button) {
    case Button::kLeft:
      msg = press ? win::WM_LBUTTONDOWN : win::WM_LBUTTONUP;
      if (press) {
        win::DWORD now = g_desk->Milliseconds();
        bool near = std::abs(e.x - g_desk->lastPress.x) <= 2 &&
                    std::abs(e.y - g_desk->lastPress.y) <= 2;
        if (g_desk->lastButton == Button::kLeft && near &&
            now - g_desk->lastPressTime <= win::GetDoubleClickTime()) {
          msg = win::WM_LBUTTONDBLCLK;
          g_desk->lastButton = Button::kNone;
        } else {
          g_desk->lastButton = Button::kLeft;
          g_desk->lastPressTime = now;
          g_desk->lastPress = win::POINT{e.x, e.y};
        }
      }
      break;
    case Button::kRight:
      msg = press ? win::WM_RBUTTONDOWN : win::WM_RBUTTONUP;
      if (!press) {
        // The plug-in opens its menu on this message and waits for the user. A browser may keep
        // an instance alive while an event call into it runs (QtWebKit puts off the destroy of a
        // page left meanwhile until the call returns, and the menu outlives its page), so it
        // arrives once the event call has returned, as a posted message.
        g_desk->pointerArea_ = a.instance;
        g_desk->PointerAt(a, e.x, e.y);
        win::PostMessageA(a.hwnd, msg, e.keyFlags, PointParam(e.x, e.y));
        return 1;
      }
      break;
    case Button::kMiddle:
      msg = press ? win::WM_MBUTTONDOWN : win::WM_MBUTTONUP;
      break;
    default:
      return 0;
  }
  g_desk->pointerArea_ = a.instance;
  g_desk->PointerAt(a, e.x, e.y);
  return SendToArea(a, msg, e.keyFlags, PointParam(e.x, e.y));
}

int16_t OnMotion(Area& a, const PointerEvent& e) {
  g_desk->pointerArea_ = a.instance;
  g_desk->PointerAt(a, e.x, e.y);
  // As on Windows, the window may set its cursor before it hears of the move.
  win::SendMessageA(a.hwnd, win::WM_SETCURSOR, reinterpret_cast<win::WPARAM>(a.hwnd),
                    win::MAKELPARAM(1 /* HTCLIENT */, win::WM_MOUSEMOVE));
  return SendToArea(a, win::WM_MOUSEMOVE, e.keyFlags, PointParam(e.x, e.y));
}

int16_t OnCrossing(Area& a, const PointerEvent& e) {
  if (e.kind == PointerEvent::Kind::kEnter) {
    g_desk->pointerArea_ = a.instance;
    g_desk->PointerAt(a, e.x, e.y);
    g_desk->cursor_ = nullptr;  // the next SetCursor applies whatever it sets
    return 0;
  }
  if (g_desk->pointerArea_ == a.instance) {
    g_desk->presentation().ShowCursor(a, nullptr);  // the browser's arrow again
    g_desk->pointerArea_ = nullptr;
    g_desk->cursor_ = nullptr;
  }
  return 0;
}

}  // namespace

int16_t DeliverKey(Area& area, win::UINT vk, bool shift) {
  if (!g_desk) return 0;
  g_desk->shiftDown_ = shift;
  int16_t handled = SendToArea(area, win::WM_KEYDOWN, vk, 0);
  if (g_desk) g_desk->shiftDown_ = false;
  return handled;
}

void DeliverFocusLost(Area& area) {
  if (g_desk) SendToArea(area, win::WM_KILLFOCUS, 0, 0);
}

int16_t DeliverTap(Area& area, int x, int y) {
  return g_desk ? SendToArea(area, win::WM_TOUCHTAP, 0, PointParam(x, y)) : 0;
}

int16_t DeliverPointer(Area& area, const PointerEvent& event) {
  if (!g_desk) return 0;
  switch (event.kind) {
    case PointerEvent::Kind::kPress:
    case PointerEvent::Kind::kRelease:
      return OnButton(area, event);
    case PointerEvent::Kind::kMove:
      return OnMotion(area, event);
    case PointerEvent::Kind::kEnter:
    case PointerEvent::Kind::kLeave:
      return OnCrossing(area, event);
  }
  return 0;
}

bool PaintArea(Area& area, win::RECT* rect, const AreaImagePixels& image,
               std::vector<uint32_t>* copy) {
  return g_desk && g_desk->PaintArea(area, rect, image, copy);
}

std::vector<uint32_t> PaintArea(Area& area, win::RECT* rect) {
  std::vector<uint32_t> copy;
  PaintArea(area, rect, nullptr, &copy);
  return copy;
}

void Trace(NPP instance, const char* text) {
  if (g_traceSink) g_traceSink(instance, text);
}

void DrainLeftovers() {
  if (g_desk && g_desk->DrainPendingOnLeave()) g_desk->Drain(nullptr);
}

void Install() {
  if (!g_desk) g_desk = new BrowserDesktop(MakePresentation());
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
  DrainLeftovers();
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
  g_desk->presentation().Attached(*a, *window);
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
  g_desk->presentation().EndModal(instance);
  if (Area* a = g_desk->AreaOf(instance)) g_desk->presentation().Detached(*a);
  g_desk->areas_.erase(instance);
  g_desk->ForgetDrain(instance);
}

int16_t HandleEvent(NPP instance, void* event) {
  if (!g_desk || !instance || !event) return 0;
  Area* a = g_desk->AreaOf(instance);
  if (!a) return 0;
  InstanceScope scope(instance);
  Presentation& p = g_desk->presentation();
  // The owner of a modal menu or dialog is disabled.
  if (p.Modal() && p.IsMouseInput(event)) return 1;
  return p.HandleEvent(*a, event);
}

}  // namespace npdesk
