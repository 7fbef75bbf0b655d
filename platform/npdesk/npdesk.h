// The browser desktop: the win layer's backend inside a browser. Each instance's area in the
// page is a window. Windows paint into memory surfaces; on GraphicsExpose the area and its
// visible child windows are composed and put into the browser's drawable with XPutImage, and an
// invalidated window asks the browser for an expose with NPN_InvalidateRect. X events from
// NPP_HandleEvent become WM_* messages to the area window; cursors are set on the browser's
// window (NPNVnetscapeWindow) while the pointer is over the area, and the browser's arrow is
// put back when it leaves. Timers run through NPN_ScheduleTimer; posted messages are drained on
// the browser's thread through NPN_PluginThreadAsyncCall. Pop-up menus and dialogs are presented
// by the helper program beside the module (platform/gtk), modally.
//
// Browsers that lack a service degrade as follows: without NPN_ScheduleTimer, timers run as
// GLib timeouts on the default main context when the host runs one, else they never fire
// (no position ticks, no double-click timeout); without NPN_PluginThreadAsyncCall, posted
// messages are dispatched when the browser next calls into the instance; without an X display
// (from the window description, NPNVxDisplay or the expose event) nothing is drawn.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/npapi/npapi.h"
#include "platform/win/win.h"

namespace npdesk {

// Makes the browser desktop current; idempotent.
void Install();
// Destroys the desktop and every window left on it.
void Uninstall();

// Marks the browser's call into instance: windows created meanwhile belong to it, and on leaving
// the outermost scope, posted messages that could not be handed to the browser are dispatched.
class InstanceScope {
 public:
  explicit InstanceScope(NPP instance);
  ~InstanceScope();
  InstanceScope(const InstanceScope&) = delete;
  InstanceScope& operator=(const InstanceScope&) = delete;

  // Whether this call came while another call into the module was still running: the browser
  // called back from a loop of its own that the module turned (a menu or dialog waiting for the
  // user) or from a script the module ran.
  static bool Nested();
  // Runs fn once the outermost call into the module has returned (at once outside any call).
  static void AfterCalls(std::function<void()> fn);

 private:
  NPP previous_;
};

// Where the browser desktop's own trace lines go (the instance's trace channel).
void SetTraceSink(void (*sink)(NPP instance, const char* text));

// The instance's area window, made at the first call, sized from the browser's description.
win::HWND AttachArea(NPP instance, const NPWindow* window);
// Destroys every window that belongs to the instance and discards its queued messages; ends its
// menu or dialog.
void InstanceDestroyed(NPP instance);
// Translates an X event into the area window's messages; 1 when the plug-in handled it. While a
// menu or dialog is open, mouse input is consumed and reaches no window.
int16_t HandleEvent(NPP instance, void* event);

}  // namespace npdesk
