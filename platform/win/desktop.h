// The Desktop: the state behind the win calls (window table, classes, properties, timers,
// posted-message queue, painting state) and the hooks a backend provides.
//
// One desktop is current at a time (SetCurrent). Backends derive from Desktop: SimDesktop runs
// everything on a virtual clock for tests; the browser backend maps timers, posted-message
// wake-ups, painting and the pointer onto the browser's services.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/win/win.h"
#include "resources/resources.h"

namespace win {

struct Window {
  HWND handle = nullptr;
  std::string className;
  DWORD style = 0;
  HWND parent = nullptr;
  WNDPROC proc = nullptr;
  LONG_PTR userData = 0;
  RECT rect{};  // position in the parent's coordinates (or the screen's for top-level windows)
  std::map<std::string, HANDLE> props;
  bool needsPaint = false;
  bool erase = false;
  bool destroying = false;
  void* backendData = nullptr;  // owned by the backend
};

struct MenuItem {
  UINT flags = 0;  // MF_GRAYED, MF_DISABLED, MF_SEPARATOR
  UINT_PTR id = 0;
  std::string text;
  bool Selectable() const { return !(flags & (MF_GRAYED | MF_DISABLED | MF_SEPARATOR)); }
};

struct Menu {
  HMENU handle = nullptr;
  std::vector<MenuItem> items;
};

// A dialog while DialogBoxParamA runs it.
struct Dialog {
  const resources::DialogTemplate* tmpl = nullptr;
  DLGPROC proc = nullptr;
  HWND owner = nullptr;
  std::map<int, UINT> checks;  // check boxes and radio buttons by id
  bool ended = false;
  INT_PTR result = 0;
  bool lingers = false;  // left open by DialogBoxParamA: destroyed by the input that ends it
};

// A memory device context and the bitmap selected into it.
struct MemoryDC {
  HGDIOBJ selected = nullptr;
};

class Desktop {
 public:
  Desktop();
  virtual ~Desktop();
  Desktop(const Desktop&) = delete;
  Desktop& operator=(const Desktop&) = delete;

  static Desktop* Current();
  static void SetCurrent(Desktop* desktop);

  // Dispatches the posted messages queued now, oldest first, to their windows' procedures.
  // Messages for windows destroyed meanwhile are dropped. Returns the number dispatched.
  size_t DispatchPosted();
  size_t PendingPosted() const;

  // Runs the timer (hwnd, id) if it is still set: WM_TIMER, or its TIMERPROC.
  void FireTimer(HWND hwnd, UINT_PTR id);

  Window* Find(HWND hwnd);
  std::vector<HWND> Windows() const;

  // The cursor last set through SetCursor.
  HCURSOR cursor() const { return cursor_; }

  // Input to an open dialog, as the user gives it (see DialogBoxParamA). Each returns false
  // when the dialog is not open, has ended, or has no such control or close box.
  bool ClickDialogControl(HWND dialog, int id);  // a button, check box or radio button
  bool PressDialogKey(HWND dialog, UINT vk);      // VK_RETURN or VK_ESCAPE
  bool CloseDialog(HWND dialog);                  // the caption's close box
  // Destroys the dialog without ending it (its owner goes away): no command reaches it.
  void DiscardDialog(HWND dialog);
  const Dialog* FindDialog(HWND dialog) const;

  // Bitmaps and memory DCs alive, for leak checks.
  size_t GdiObjects() const { return bitmaps_.size() + memoryDCs_.size(); }

 // Backend hooks, called by the win layer. Timers repeat every elapseMs until StopTimer; the backend calls FireTimer.
  virtual void StartTimer(HWND hwnd, UINT_PTR id, UINT elapseMs) = 0;
  virtual void StopTimer(HWND hwnd, UINT_PTR id) = 0;
  // Called after a message was queued, on the posting thread, outside the queue lock.
  virtual void MessagePosted(HWND hwnd) = 0;
  virtual void WindowCreated(Window& window) {}
  virtual void WindowDestroyed(Window& window) {}
  // The window needs painting; the default sends WM_PAINT at UpdateWindow.
  virtual void Invalidated(Window& window) {}
  virtual HDC PaintSurface(Window& window) { return nullptr; }
  virtual void CursorChanged(HCURSOR cursor) {}
  virtual POINT PointerPosition() { return POINT{0, 0}; }
  virtual HWND WindowAtPoint(POINT screen);
  virtual UINT DoubleClickTime() { return 500; }
  // Keyboard and assistive technology (see GetKeyState, ShowFocusRect, AnnouncePassed); a
  // backend without a keyboard keeps the defaults.
  virtual short KeyState(int vk) { return 0; }
  virtual void FocusRectShown(HWND hwnd, const RECT* rect, bool ellipse, const char* name) {}
  virtual void PassedAnnounced(HWND hwnd, const char* kind, const char* name) {}
  virtual DWORD Milliseconds() = 0;
  // Presents a pop-up menu at a screen point until it closes; returns the command chosen, 0 for
  // none. The default presents nothing.
  virtual UINT_PTR TrackMenu(const Menu& menu, UINT flags, POINT screen, HWND owner) { return 0; }
  // Runs an open dialog: feeds it the user's input until it has ended (Dialog::ended), then
  // returns false. Returns with the dialog still open when the backend cannot present it (the
  // default). A backend that cannot wait (a web page) shows the dialog and returns true at once:
  // the dialog then lingers after DialogBoxParamA and goes when the input calls above end it.
  virtual bool RunDialog(HWND dialog) { return false; }

 // State kept by the win layer (win.cpp); backends read it through Find and Windows.
  struct Timer {
    TIMERPROC proc = nullptr;
  };
  struct ClassInfo {
    WNDCLASSA wc{};
    std::string name;
    int windows = 0;
  };

  std::unordered_map<HWND, std::unique_ptr<Window>> windows_;
  std::map<std::string, ClassInfo> classes_;  // keyed by lower-case name
  std::map<std::pair<HWND, UINT_PTR>, Timer> timers_;
  uintptr_t nextHandle_ = 0x1000;
  HCURSOR cursor_ = nullptr;
  std::map<HMENU, std::unique_ptr<Menu>> menus_;
  std::map<HWND, Dialog> dialogs_;
  std::map<HGDIOBJ, std::unique_ptr<Surface>> bitmaps_;
  std::map<HDC, MemoryDC> memoryDCs_;
  std::multiset<HDC> paintDCs_;  // handed out by BeginPaint, not yet ended

  // A new handle value, never reused on this desktop.
  uintptr_t NewHandle() {
    uintptr_t h = nextHandle_;
    nextHandle_ += 0x10;
    return h;
  }

  mutable std::mutex queueLock_;  // guards queue_ and live_
  std::deque<MSG> queue_;
  std::set<HWND> live_;
};

}  // namespace win
