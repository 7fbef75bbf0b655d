#include "platform/npdesk/npdesk.h"

#include <X11/Xlib.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "platform/win/desktop.h"
#include "plugin/services.h"

namespace npdesk {
namespace {

constexpr const char* kAreaClass = "NPKLOD32Area";

thread_local NPP t_scope = nullptr;
thread_local int t_depth = 0;

class BrowserDesktop;
BrowserDesktop* g_desk = nullptr;

struct AreaState {
  bool reachedDefault = false;  // the last message went through to the browser's default
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

  // --- Windows and their instances ----------------------------------------------------------
  void WindowCreated(win::Window& w) override {
    std::lock_guard lock(ownersLock_);
    owners_[w.handle] = t_scope;
  }
  void WindowDestroyed(win::Window& w) override {
    std::lock_guard lock(ownersLock_);
    owners_.erase(w.handle);
  }
  NPP OwnerOf(win::HWND hwnd) {
    std::lock_guard lock(ownersLock_);
    auto it = owners_.find(hwnd);
    return it == owners_.end() ? nullptr : it->second;
  }
  std::map<NPP, win::HWND> areas;

  // --- Timers -------------------------------------------------------------------------------
  void StartTimer(win::HWND hwnd, win::UINT_PTR id, win::UINT ms) override {
    NPP owner = OwnerOf(hwnd);
    if (!owner || !NPN_HasScheduleTimer()) return;  // no timer service: the timer never fires
    uint32_t tid = NPN_ScheduleTimer(owner, ms, 1, &TimerThunk);
    if (!tid) return;
    timers_[{hwnd, id}] = {owner, tid};
    byBrowserId_[{owner, tid}] = {hwnd, id};
  }
  void StopTimer(win::HWND hwnd, win::UINT_PTR id) override {
    auto it = timers_.find({hwnd, id});
    if (it == timers_.end()) return;
    NPN_UnscheduleTimer(it->second.first, it->second.second);
    byBrowserId_.erase(it->second);
    timers_.erase(it);
  }
  static void TimerThunk(NPP npp, uint32_t tid) {
    if (!g_desk) return;
    auto it = g_desk->byBrowserId_.find({npp, tid});
    if (it == g_desk->byBrowserId_.end()) return;
    InstanceScope scope(npp);
    g_desk->FireTimer(it->second.first, it->second.second);
  }

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
    if (g_desk) g_desk->Drain(static_cast<NPP>(owner));
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

  void Invalidated(win::Window& w) override {
    NPP owner = OwnerOf(w.handle);
    if (owner && areas.count(owner) && areas[owner] == w.handle) NPN_InvalidateRect(owner, nullptr);
  }

  win::POINT PointerPosition() override { return pointer; }
  win::POINT pointer{-1, -1};

  // Double-click detection for the area windows.
  win::DWORD lastPressTime = 0;
  win::POINT lastPress{-100, -100};
  unsigned lastButton = 0;

 private:
  static win::LRESULT AreaDefaultProc(win::HWND hwnd, win::UINT msg, win::WPARAM wp,
                                      win::LPARAM lp) {
    if (win::Window* w = g_desk ? g_desk->Find(hwnd) : nullptr)
      if (auto* s = static_cast<AreaState*>(w->backendData)) s->reachedDefault = true;
    return win::DefWindowProcA(hwnd, msg, wp, lp);
  }

  std::mutex ownersLock_;
  std::map<win::HWND, NPP> owners_;
  std::map<std::pair<win::HWND, win::UINT_PTR>, std::pair<NPP, uint32_t>> timers_;
  std::map<std::pair<NPP, uint32_t>, std::pair<win::HWND, win::UINT_PTR>> byBrowserId_;
  std::mutex drainLock_;
  std::set<NPP> drainPending_;  // instances with a drain call on its way
  std::atomic<bool> drainOnLeave_{false};

  friend win::HWND npdesk::AttachArea(NPP, const NPWindow*);
  friend int16_t npdesk::HandleEvent(NPP, void*);
  friend void npdesk::InstanceDestroyed(NPP);
  std::map<win::HWND, std::unique_ptr<AreaState>> areaStates_;
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
  if (--t_depth == 0 && g_desk && g_desk->DrainPendingOnLeave()) g_desk->Drain(nullptr);
}

win::HWND AttachArea(NPP instance, const NPWindow* window) {
  if (!g_desk || !instance || !window) return nullptr;
  auto it = g_desk->areas.find(instance);
  win::HWND hwnd = it == g_desk->areas.end() ? nullptr : it->second;
  if (!hwnd) {
    InstanceScope scope(instance);
    hwnd = win::CreateWindowExA(0, kAreaClass, "", win::WS_VISIBLE, window->x, window->y,
                                static_cast<int>(window->width), static_cast<int>(window->height),
                                nullptr, nullptr, nullptr, nullptr);
    if (!hwnd) return nullptr;
    auto state = std::make_unique<AreaState>();
    g_desk->Find(hwnd)->backendData = state.get();
    g_desk->areaStates_[hwnd] = std::move(state);
    g_desk->areas[instance] = hwnd;
  } else {
    win::MoveWindow(hwnd, window->x, window->y, static_cast<int>(window->width),
                    static_cast<int>(window->height), win::FALSE);
  }
  return hwnd;
}

void InstanceDestroyed(NPP instance) {
  if (!g_desk) return;
  for (win::HWND h : g_desk->Windows())
    if (g_desk->OwnerOf(h) == instance) {
      win::MSG m;
      while (win::PeekMessageA(&m, h, 0, 0, win::PM_REMOVE)) {
      }
      win::DestroyWindow(h);
      g_desk->areaStates_.erase(h);
    }
  g_desk->areas.erase(instance);
  g_desk->ForgetDrain(instance);
}

int16_t HandleEvent(NPP instance, void* event) {
  if (!g_desk || !instance || !event) return 0;
  auto it = g_desk->areas.find(instance);
  if (it == g_desk->areas.end()) return 0;
  win::HWND hwnd = it->second;
  auto* xe = static_cast<XEvent*>(event);
  win::UINT msg = 0;
  win::WPARAM wp = 0;
  int x = 0, y = 0;
  switch (xe->type) {
    case ButtonPress:
    case ButtonRelease: {
      const XButtonEvent& b = xe->xbutton;
      x = b.x;
      y = b.y;
      wp = KeyFlags(b.state);
      bool press = xe->type == ButtonPress;
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
      g_desk->pointer = win::POINT{x, y};
      break;
    }
    case MotionNotify:
      x = xe->xmotion.x;
      y = xe->xmotion.y;
      wp = KeyFlags(xe->xmotion.state);
      msg = win::WM_MOUSEMOVE;
      g_desk->pointer = win::POINT{x, y};
      break;
    default:
      return 0;
  }
  InstanceScope scope(instance);
  g_desk->areaStates_[hwnd]->reachedDefault = false;
  // Coordinates outside 0..65535 wrap as the 16-bit halves of lParam do.
  win::SendMessageA(hwnd, msg, wp,
                    win::MAKELPARAM(static_cast<unsigned>(x), static_cast<unsigned>(y)));
  auto state = g_desk->areaStates_.find(hwnd);  // the handler may have destroyed the area
  return state != g_desk->areaStates_.end() && !state->second->reachedDefault ? 1 : 0;
}

}  // namespace npdesk
