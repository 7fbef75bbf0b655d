// SimDesktop: a deterministic desktop for tests. Time is a virtual clock that moves only in
// RunFor/RunUntil; timers and scheduled calls run in time order and posted messages are
// dispatched before each step. Painting goes into inspectable memory surfaces; the pointer,
// the double-click time and the browser's own window procedure are scripted.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "platform/win/desktop.h"

namespace sim {

using Surface = win::Surface;

class SimDesktop : public win::Desktop {
 public:
  SimDesktop();  // becomes the current desktop
  ~SimDesktop() override;

  // --- Virtual clock --------------------------------------------------------------------------
  win::DWORD Now() const { return now_; }
  using CallId = uint64_t;
  // Runs fn at virtual time `at` (not before the next step); ids are never reused.
  CallId CallAt(win::DWORD at, std::function<void()> fn);
  void Cancel(CallId id);
  // Advances the clock by ms, dispatching posted messages and running what falls due in order.
  void RunFor(win::DWORD ms);
  // Dispatches posted messages and runs what is due now, until nothing is left to do now.
  void RunUntilIdle();

  // --- Scripted input -------------------------------------------------------------------------
  void SetPointer(win::POINT screen) { pointer_ = screen; }
  void SetDoubleClickTime(win::UINT ms) { doubleClick_ = ms; }

  // --- The browser's window -------------------------------------------------------------------
  // A top-level window standing for the browser's window of one plug-in instance. Its own
  // procedure records every message it receives (the "previous procedure" of a subclass).
  win::HWND CreateBrowserWindow(int x, int y, int width, int height);
  const std::vector<win::MSG>& BrowserLog() const { return browserLog_; }
  void ClearBrowserLog() { browserLog_.clear(); }

  // --- Inspection -----------------------------------------------------------------------------
  Surface* SurfaceOf(win::HWND hwnd);
  const std::vector<win::HCURSOR>& CursorHistory() const { return cursors_; }
  bool TimerActive(win::HWND hwnd, win::UINT_PTR id) const;

  // Desktop hooks.
  void StartTimer(win::HWND hwnd, win::UINT_PTR id, win::UINT elapseMs) override;
  void StopTimer(win::HWND hwnd, win::UINT_PTR id) override;
  void MessagePosted(win::HWND) override {}
  void WindowCreated(win::Window& window) override;
  void WindowDestroyed(win::Window& window) override;
  win::HDC PaintSurface(win::Window& window) override;
  void CursorChanged(win::HCURSOR cursor) override { cursors_.push_back(cursor); }
  win::POINT PointerPosition() override { return pointer_; }
  win::UINT DoubleClickTime() override { return doubleClick_; }
  win::DWORD Milliseconds() override { return now_; }

 private:
  static win::LRESULT BrowserProc(win::HWND, win::UINT, win::WPARAM, win::LPARAM);
  void ScheduleTimer(win::HWND hwnd, win::UINT_PTR id, win::UINT elapseMs);
  bool RunNextDue(win::DWORD limit);

  struct Call {
    CallId id;
    std::function<void()> fn;
  };
  win::DWORD now_ = 0;
  CallId nextId_ = 1;
  std::multimap<std::pair<win::DWORD, CallId>, Call> calls_;
  std::map<std::pair<win::HWND, win::UINT_PTR>, CallId> timerCalls_;
  std::map<win::HWND, std::unique_ptr<Surface>> surfaces_;
  std::vector<win::MSG> browserLog_;
  std::vector<win::HCURSOR> cursors_;
  win::POINT pointer_{-1, -1};
  win::UINT doubleClick_ = 500;
};

}  // namespace sim
