// Pop-up menus and dialogs of the win layer presented by npklod32-ui, the helper program beside
// the module (protocol.h). Nothing of GTK is loaded into the browser: the helper is a process of
// its own, started at the first menu or dialog and kept for the next ones.
//
// TrackMenu and RunDialog are modal: they return when the menu or dialog has closed. Meanwhile
// they turn GLib's default main context, which the browser runs (QtWebKit's event loop is
// GLib's), so the browser paints, runs the plug-in's timers and asynchronous calls, and may call
// the plug-in again. While a menu or dialog is open, Busy() is true: the desktop then keeps
// mouse input from the plug-in's windows, as the disabled owner of a modal dialog would, and a
// second menu or dialog is refused. When the owner goes away meanwhile, Cancel ends the wait.
// When the default context belongs to another thread, the wait only polls the helper (and runs
// the owner's pump).
//
// A helper that cannot be started, stops, or stays silent for silenceTimeoutMs while a menu or
// dialog is up (it says "alive" every second) is given up: the menu closes without a choice, the
// dialog is closed as by its close box, and a trace line says why. The next request starts a
// new helper.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>

#include "platform/gtk/helper_process.h"
#include "platform/gtk/protocol.h"
#include "platform/win/desktop.h"

namespace gtkui {

// Who a menu or dialog belongs to.
struct Owner {
  const void* tag = nullptr;               // what Cancel names (the browser instance)
  std::string display;                     // the X display the helper opens; empty: $DISPLAY
  unsigned long window = 0;                // the browser's X window, 0 when unknown (protocol.h)
  std::function<void(const char*)> trace;  // the owner's trace channel
  std::function<void()> pump;              // run at every turn of the wait
};

class Presenter {
 public:
  struct Options {
    std::string helperPath;
    int startTimeoutMs = 10000;
    int silenceTimeoutMs = 5000;
  };
  explicit Presenter(Options options);
  ~Presenter();  // ends the helper
  Presenter(const Presenter&) = delete;
  Presenter& operator=(const Presenter&) = delete;

  // Shows menu with its top left corner at `at` (relative to owner.window) until it closes;
  // returns the command chosen, 0 for none.
  win::UINT_PTR TrackMenu(const win::Menu& menu, win::POINT at, const Owner& owner);
  // Runs the open dialog of the current desktop until its procedure ends it. placement is the
  // rectangle the win layer gave the dialog (relative to owner.window). Returns with the dialog
  // still open only when it could not be shown and refused to close.
  void RunDialog(win::HWND dialog, win::RECT placement, const Owner& owner);

  bool Busy() const { return session_ != nullptr; }
  // Ends the open menu or dialog of the owner with this tag, as cancelled, without a trace line.
  void Cancel(const void* tag);

  pid_t HelperPid() const { return helper_.pid(); }

 private:
  struct Session {
    const Owner* owner = nullptr;
    uint64_t serial = 0;         // 0 until the request was sent
    win::HWND dialog = nullptr;  // null for a menu
    win::UINT_PTR chosen = 0;
    bool done = false;  // answered, ended, or cancelled by the owner
  };
  class Open;

  bool EnsureHelper(Session& s);
  bool Send(const Message& m);
  bool SendDialogStates(const Session& s, Verb closing);
  // Turns the wait until finished() or the helper is given up (failure_ says why).
  void Wait(const std::function<bool()>& finished, const Owner& owner);
  void ReadHelper();
  void Tick();
  void OnMessage(const Message& m);
  void OnDialogInput(const Message& m);
  void GiveUp(const std::string& why, bool kill);
  void Report(const Owner& owner, const std::string& what) const;

  Options options_;
  HelperProcess helper_;
  LineReader reader_;
  std::string display_;  // what the running helper opened
  bool ready_ = false;
  bool reading_ = false;  // handling what the helper said
  std::string failure_;   // why the helper was given up during this request
  int64_t deadline_ = 0;  // ms on the steady clock: the helper must have spoken by then
  Session* session_ = nullptr;
  uint64_t serial_ = 0;
};

// npklod32-ui in the directory of the module holding this code.
std::string HelperBesideModule();

}  // namespace gtkui
