#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/win/desktop.h"
#include "platform/win/win.h"
#include "resources/resources.h"

namespace win {
namespace {

Desktop* g_current = nullptr;

std::string Lower(const char* s) {
  std::string out = s ? s : "";
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

// Everything the free functions need of the current desktop.
struct Api {
  static Desktop* desk() { return g_current; }

  static Window* find(HWND hwnd) { return g_current ? g_current->Find(hwnd) : nullptr; }

  static LRESULT send(Window* w, UINT msg, WPARAM wp, LPARAM lp) {
    HWND h = w->handle;
    WNDPROC proc = w->proc;
    return proc ? proc(h, msg, wp, lp) : DefWindowProcA(h, msg, wp, lp);
  }
};

Desktop::Desktop() = default;

Desktop::~Desktop() {
  // Windows left by their owners are destroyed without messages.
  for (auto& [h, w] : windows_) WindowDestroyed(*w);
  if (g_current == this) g_current = nullptr;
}

Desktop* Desktop::Current() { return g_current; }
void Desktop::SetCurrent(Desktop* desktop) { g_current = desktop; }

Window* Desktop::Find(HWND hwnd) {
  auto it = windows_.find(hwnd);
  return it == windows_.end() ? nullptr : it->second.get();
}

std::vector<HWND> Desktop::Windows() const {
  std::vector<HWND> out;
  for (auto& [h, w] : windows_) out.push_back(h);
  std::sort(out.begin(), out.end());
  return out;
}

size_t Desktop::PendingPosted() const {
  std::lock_guard lock(queueLock_);
  return queue_.size();
}

size_t Desktop::DispatchPosted() {
  size_t done = 0;
  for (;;) {
    MSG m{};
    {
      std::lock_guard lock(queueLock_);
      if (queue_.empty()) break;
      m = queue_.front();
      queue_.pop_front();
    }
    if (Window* w = Find(m.hwnd)) {
      Api::send(w, m.message, m.wParam, m.lParam);
      ++done;
    }
  }
  return done;
}

void Desktop::FireTimer(HWND hwnd, UINT_PTR id) {
  auto it = timers_.find({hwnd, id});
  if (it == timers_.end()) return;
  TIMERPROC proc = it->second.proc;
  if (proc) {
    proc(hwnd, WM_TIMER, id, Milliseconds());
  } else if (Window* w = Find(hwnd)) {
    Api::send(w, WM_TIMER, id, 0);
  }
}

HWND Desktop::WindowAtPoint(POINT screen) {
  // The top-most visible window containing the point: the newest child first.
  HWND best = nullptr;
  for (HWND h : Windows()) {
    Window* w = Find(h);
    if (!(w->style & WS_VISIBLE)) continue;
    POINT p = screen;
    if (!ScreenToClient(h, &p)) continue;
    RECT r{};
    GetClientRect(h, &r);
    if (p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom) best = h;
  }
  return best;
}

// --- Classes and windows ---------------------------------------------------------------------

ATOM RegisterClassA(const WNDCLASSA* wc) {
  Desktop* d = Api::desk();
  if (!d || !wc || !wc->lpszClassName || !wc->lpszClassName[0]) return 0;
  std::string key = Lower(wc->lpszClassName);
  if (d->classes_.count(key)) return 0;
  Desktop::ClassInfo info;
  info.wc = *wc;
  info.name = wc->lpszClassName;
  info.wc.lpszClassName = nullptr;
  d->classes_[key] = info;
  return static_cast<ATOM>(0xC000 + d->classes_.size());
}

BOOL UnregisterClassA(const char* className, HINSTANCE) {
  Desktop* d = Api::desk();
  if (!d) return FALSE;
  auto it = d->classes_.find(Lower(className));
  if (it == d->classes_.end() || it->second.windows > 0) return FALSE;
  d->classes_.erase(it);
  return TRUE;
}

HWND CreateWindowExA(DWORD, const char* className, const char*, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU, HINSTANCE, void* param) {
  Desktop* d = Api::desk();
  if (!d || !className) return nullptr;
  auto cls = d->classes_.find(Lower(className));
  if (cls == d->classes_.end()) return nullptr;
  if (parent && !d->Find(parent)) return nullptr;
  auto w = std::make_unique<Window>();
  w->handle = reinterpret_cast<HWND>(d->nextHandle_);
  d->nextHandle_ += 0x10;
  w->className = cls->second.name;
  w->style = style;
  w->parent = parent;
  w->proc = cls->second.wc.lpfnWndProc;
  w->rect = RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
  HWND h = w->handle;
  Window& ref = *w;
  d->windows_[h] = std::move(w);
  {
    std::lock_guard lock(d->queueLock_);
    d->live_.insert(h);
  }
  ++cls->second.windows;
  d->WindowCreated(ref);
  Api::send(&ref, WM_CREATE, 0, reinterpret_cast<LPARAM>(param));
  if (!d->Find(h)) return nullptr;  // destroyed itself while being created
  return h;
}

BOOL DestroyWindow(HWND hwnd) {
  Desktop* d = Api::desk();
  Window* w = Api::find(hwnd);
  if (!w || w->destroying) return FALSE;
  w->destroying = true;
  // Children first.
  for (HWND h : d->Windows()) {
    Window* c = d->Find(h);
    if (c && c->parent == hwnd) DestroyWindow(h);
  }
  Api::send(w, WM_DESTROY, 0, 0);
  Api::send(w, WM_NCDESTROY, 0, 0);
  for (auto it = d->timers_.begin(); it != d->timers_.end();) {
    if (it->first.first == hwnd) {
      d->StopTimer(hwnd, it->first.second);
      it = d->timers_.erase(it);
    } else {
      ++it;
    }
  }
  {
    std::lock_guard lock(d->queueLock_);
    d->live_.erase(hwnd);
  }
  auto cls = d->classes_.find(Lower(w->className.c_str()));
  if (cls != d->classes_.end()) --cls->second.windows;
  d->WindowDestroyed(*w);
  d->windows_.erase(hwnd);
  return TRUE;
}

BOOL IsWindow(HWND hwnd) {
  Desktop* d = Api::desk();
  if (!d || !hwnd) return FALSE;
  std::lock_guard lock(d->queueLock_);
  return d->live_.count(hwnd) ? TRUE : FALSE;
}

BOOL IsChild(HWND parent, HWND hwnd) {
  if (!parent) return FALSE;
  for (Window* w = Api::find(hwnd); w && w->parent; w = Api::find(w->parent))
    if (w->parent == parent) return TRUE;
  return FALSE;
}

LONG_PTR GetWindowLongPtrA(HWND hwnd, int index) {
  Window* w = Api::find(hwnd);
  if (!w) return 0;
  if (index == GWLP_WNDPROC) return reinterpret_cast<LONG_PTR>(w->proc);
  if (index == GWLP_USERDATA) return w->userData;
  return 0;
}

LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value) {
  Window* w = Api::find(hwnd);
  if (!w) return 0;
  LONG_PTR old = GetWindowLongPtrA(hwnd, index);
  if (index == GWLP_WNDPROC) w->proc = reinterpret_cast<WNDPROC>(value);
  if (index == GWLP_USERDATA) w->userData = value;
  return old;
}

LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!proc) return DefWindowProcA(hwnd, msg, wParam, lParam);
  return proc(hwnd, msg, wParam, lParam);
}

LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM, LPARAM) {
  if (msg == WM_PAINT) {
    PAINTSTRUCT ps;
    BeginPaint(hwnd, &ps);
    EndPaint(hwnd, &ps);
  }
  return 0;
}

LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window* w = Api::find(hwnd);
  return w ? Api::send(w, msg, wParam, lParam) : 0;
}

BOOL GetClientRect(HWND hwnd, RECT* rect) {
  Window* w = Api::find(hwnd);
  if (!w || !rect) return FALSE;
  *rect = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
  return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
  Window* w = Api::find(hwnd);
  if (!w) return FALSE;
  w->rect = RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
  if (repaint) InvalidateRect(hwnd, nullptr, TRUE);
  return TRUE;
}

// --- Properties ------------------------------------------------------------------------------

BOOL SetPropA(HWND hwnd, const char* name, HANDLE data) {
  Window* w = Api::find(hwnd);
  if (!w || !name) return FALSE;
  w->props[Lower(name)] = data;
  return TRUE;
}

HANDLE GetPropA(HWND hwnd, const char* name) {
  Window* w = Api::find(hwnd);
  if (!w || !name) return nullptr;
  auto it = w->props.find(Lower(name));
  return it == w->props.end() ? nullptr : it->second;
}

HANDLE RemovePropA(HWND hwnd, const char* name) {
  Window* w = Api::find(hwnd);
  if (!w || !name) return nullptr;
  auto it = w->props.find(Lower(name));
  if (it == w->props.end()) return nullptr;
  HANDLE h = it->second;
  w->props.erase(it);
  return h;
}

// --- Timers ----------------------------------------------------------------------------------

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc) {
  Desktop* d = Api::desk();
  if (!d || !Api::find(hwnd)) return 0;
  auto key = std::make_pair(hwnd, id);
  if (d->timers_.count(key)) d->StopTimer(hwnd, id);
  d->timers_[key] = Desktop::Timer{proc};
  d->StartTimer(hwnd, id, std::max<UINT>(elapseMs, 1));
  return id ? id : 1;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
  Desktop* d = Api::desk();
  if (!d) return FALSE;
  auto it = d->timers_.find({hwnd, id});
  if (it == d->timers_.end()) return FALSE;
  d->timers_.erase(it);
  d->StopTimer(hwnd, id);
  return TRUE;
}

// --- Posted messages -------------------------------------------------------------------------

BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Desktop* d = Api::desk();
  if (!d) return FALSE;
  {
    std::lock_guard lock(d->queueLock_);
    if (!d->live_.count(hwnd)) return FALSE;
    d->queue_.push_back(MSG{hwnd, msg, wParam, lParam, 0, POINT{0, 0}});
  }
  d->MessagePosted(hwnd);
  return TRUE;
}

BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMsg) {
  Desktop* d = Api::desk();
  if (!d || !msg) return FALSE;
  std::lock_guard lock(d->queueLock_);
  bool anyNumber = filterMin == 0 && filterMax == 0;
  for (auto it = d->queue_.begin(); it != d->queue_.end(); ++it) {
    if (hwnd && it->hwnd != hwnd) continue;
    if (!anyNumber && (it->message < filterMin || it->message > filterMax)) continue;
    *msg = *it;
    if (removeMsg & PM_REMOVE) d->queue_.erase(it);
    return TRUE;
  }
  return FALSE;
}

// --- Painting --------------------------------------------------------------------------------

BOOL InvalidateRect(HWND hwnd, const RECT*, BOOL erase) {
  Desktop* d = Api::desk();
  Window* w = Api::find(hwnd);
  if (!w) return FALSE;
  w->needsPaint = true;
  w->erase = w->erase || erase;
  d->Invalidated(*w);
  return TRUE;
}

BOOL UpdateWindow(HWND hwnd) {
  Window* w = Api::find(hwnd);
  if (!w) return FALSE;
  if (w->needsPaint) Api::send(w, WM_PAINT, 0, 0);
  return TRUE;
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps) {
  Desktop* d = Api::desk();
  Window* w = Api::find(hwnd);
  if (!w || !ps) return nullptr;
  ps->fErase = w->erase;
  GetClientRect(hwnd, &ps->rcPaint);
  ps->hdc = d->PaintSurface(*w);
  if (ps->hdc) d->paintDCs_.insert(ps->hdc);
  w->needsPaint = false;
  w->erase = false;
  return ps->hdc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps) {
  Desktop* d = Api::desk();
  if (d && ps && ps->hdc) {
    auto it = d->paintDCs_.find(ps->hdc);
    if (it != d->paintDCs_.end()) d->paintDCs_.erase(it);
  }
  return Api::find(hwnd) ? TRUE : FALSE;
}

// --- Cursor and pointer ----------------------------------------------------------------------

HCURSOR LoadCursorA(HINSTANCE instance, const char* name) {
  // Cursors are named by their resource ids; system cursors are loaded with a null instance.
  if (!IS_INTRESOURCE(name)) return nullptr;
  uintptr_t id = reinterpret_cast<uintptr_t>(name);
  if (instance ? !resources::FindCursor(static_cast<unsigned>(id))
               : id != reinterpret_cast<uintptr_t>(IDC_ARROW) &&
                     id != reinterpret_cast<uintptr_t>(IDC_WAIT))
    return nullptr;
  return reinterpret_cast<HCURSOR>(id);
}

short GetKeyState(int vk) {
  Desktop* d = Api::desk();
  return d ? d->KeyState(vk) : 0;
}

void ShowFocusRect(HWND hwnd, const RECT* rect, BOOL ellipse, const char* name) {
  Desktop* d = Api::desk();
  if (d && d->Find(hwnd)) d->FocusRectShown(hwnd, rect, ellipse != FALSE, name ? name : "");
}

void AnnouncePassed(HWND hwnd, const char* kind, const char* name) {
  Desktop* d = Api::desk();
  if (d && d->Find(hwnd) && kind && name) d->PassedAnnounced(hwnd, kind, name);
}

HCURSOR SetCursor(HCURSOR cursor) {
  Desktop* d = Api::desk();
  if (!d) return nullptr;
  HCURSOR old = d->cursor_;
  d->cursor_ = cursor;
  if (cursor != old) d->CursorChanged(cursor);
  return old;
}

BOOL GetCursorPos(POINT* point) {
  Desktop* d = Api::desk();
  if (!d || !point) return FALSE;
  *point = d->PointerPosition();
  return TRUE;
}

HWND WindowFromPoint(POINT point) {
  Desktop* d = Api::desk();
  return d ? d->WindowAtPoint(point) : nullptr;
}

static bool Origin(HWND hwnd, POINT* origin) {
  // Screen position of the window's client area: its rectangle plus its parents'.
  Window* w = Api::find(hwnd);
  if (!w) return false;
  POINT o{0, 0};
  for (; w; w = w->parent ? Api::find(w->parent) : nullptr) {
    o.x += w->rect.left;
    o.y += w->rect.top;
  }
  *origin = o;
  return true;
}

BOOL ScreenToClient(HWND hwnd, POINT* point) {
  POINT o;
  if (!point || !Origin(hwnd, &o)) return FALSE;
  point->x -= o.x;
  point->y -= o.y;
  return TRUE;
}

BOOL ClientToScreen(HWND hwnd, POINT* point) {
  POINT o;
  if (!point || !Origin(hwnd, &o)) return FALSE;
  point->x += o.x;
  point->y += o.y;
  return TRUE;
}

UINT GetDoubleClickTime() {
  Desktop* d = Api::desk();
  return d ? d->DoubleClickTime() : 500;
}

DWORD GetTickCount() {
  Desktop* d = Api::desk();
  return d ? d->Milliseconds() : 0;
}

}  // namespace win
