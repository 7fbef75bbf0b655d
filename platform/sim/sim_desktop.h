// SimDesktop: a deterministic desktop for tests. Time is a virtual clock that moves only in
// RunFor/RunUntil; timers and scheduled calls run in time order and posted messages are
// dispatched before each step. Painting goes into inspectable memory surfaces; the pointer,
// the double-click time, the browser's own window procedure, the user's answers to pop-up
// menus and the user's input to dialogs are scripted.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
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

  // --- Scripted menus ------------------------------------------------------------------------
  // The user's answer to the next pop-up menu: the command to choose, 0 to close it without a
  // choice. whileOpen runs while the menu is up (the modal loop still runs the clock and posted
  // messages if it calls RunFor). A menu shown with no answer queued closes without a choice.
  void QueueMenuChoice(win::UINT_PTR command, std::function<void()> whileOpen = {});
  struct ShownMenu {
    std::vector<win::MenuItem> items;
    win::POINT screen{};
    win::UINT flags = 0;
    win::HWND owner = nullptr;
    win::UINT_PTR answer = 0;
  };
  const std::vector<ShownMenu>& MenusShown() const { return menusShown_; }

  // --- Scripted dialogs ----------------------------------------------------------------------
  // The user's input to the next dialog, step by step; steps after the dialog has ended are not
  // played. A dialog with no script queued, or still open after its script, is abandoned:
  // DialogBoxParamA destroys it and returns -1.
  class DialogScript {
   public:
    DialogScript& Click(int controlId);
    DialogScript& Enter();
    DialogScript& Escape();
    DialogScript& CloseBox();
    DialogScript& Then(std::function<void(win::HWND dialog)> fn);  // test code, dialog open

   private:
    friend class SimDesktop;
    std::vector<std::function<void(SimDesktop&, win::HWND)>> steps_;
  };
  void QueueDialog(DialogScript script);
  // Dialogs are shown and left open, as a page shows them: DialogBoxParamA returns at once and
  // the test gives the input through ClickDialogControl, PressDialogKey and CloseDialog.
  void LeaveDialogsOpen() { dialogsLinger_ = true; }
  struct ShownDialog {
    unsigned templateId = 0;
    std::string caption;
    win::HWND owner = nullptr;
    win::RECT rect{};                        // screen pixels
    std::map<int, win::UINT> checksShown;    // check marks once WM_INITDIALOG was handled
    std::map<int, win::UINT> checksAtEnd;    // when the script was over
    size_t stepsPlayed = 0;
    bool ended = false;
    win::INT_PTR result = 0;
  };
  const std::vector<ShownDialog>& DialogsShown() const { return dialogsShown_; }

  // --- Keyboard and assistive technology -----------------------------------------------------
  void HoldShift(bool held) { shift_ = held; }
  // Each focus ring shown, as "x,y,right,bottom name" ("ellipse" before the name for one), or
  // "none"; each announcement as "kind name".
  const std::vector<std::string>& FocusRings() const { return focusRings_; }
  const std::vector<std::string>& Announcements() const { return announcements_; }
  short KeyState(int vk) override;
  void FocusRectShown(win::HWND hwnd, const win::RECT* rect, bool ellipse, const char* name) override;
  void PassedAnnounced(win::HWND hwnd, const char* kind, const char* name) override;

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
  win::UINT_PTR TrackMenu(const win::Menu& menu, win::UINT flags, win::POINT screen,
                          win::HWND owner) override;
  bool RunDialog(win::HWND dialog) override;

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
  struct MenuAnswer {
    win::UINT_PTR command;
    std::function<void()> whileOpen;
  };
  std::deque<MenuAnswer> menuAnswers_;
  std::vector<ShownMenu> menusShown_;
  std::deque<DialogScript> dialogScripts_;
  std::vector<ShownDialog> dialogsShown_;
  bool dialogsLinger_ = false;
  bool shift_ = false;
  std::vector<std::string> focusRings_;
  std::vector<std::string> announcements_;
};

}  // namespace sim
