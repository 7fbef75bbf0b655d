// How the browser desktop meets one kind of browser: the presentation decodes the browser's
// events, puts the composed picture where the browser shows it, sets cursors and presents menus
// and dialogs. npdesk.cpp keeps everything else (windows, timers, posted messages, painting,
// pointer state, the double click) the same for every presentation.
//
// Two presentations exist: X11 (x11_presentation.cpp: XEvents, XPutImage, X cursors, menus and
// dialogs through the GTK helper) for NPAPI browsers on Linux, and the web (web_presentation.cpp:
// the web host's events and canvas, CSS cursors) for the WebAssembly build. The library linked
// into the module picks one by defining MakePresentation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/npapi/npapi.h"
#include "platform/win/desktop.h"

namespace npdesk {

// One instance's area in the page.
struct Area {
  NPP instance = nullptr;
  win::HWND hwnd = nullptr;
  bool reachedDefault = false;  // the last message went through to the browser's default
  win::POINT origin{0, 0};      // where the area lies in the browser's drawable
  void* output = nullptr;       // the presentation's own data, freed by Detached
};

// What the pointer did, as the presentation read it from the browser's event.
struct PointerEvent {
  enum class Kind { kPress, kRelease, kMove, kEnter, kLeave };
  enum class Button { kNone, kLeft, kMiddle, kRight };
  Kind kind = Kind::kMove;
  Button button = Button::kNone;
  int x = 0;  // in the area's coordinates
  int y = 0;
  win::WPARAM keyFlags = 0;  // MK_*
};

class Presentation {
 public:
  virtual ~Presentation() = default;

  // The browser described the area's place (first and later NPP_SetWindow calls).
  virtual void Attached(Area& area, const NPWindow& window) {}
  // The area goes: free area.output.
  virtual void Detached(Area& area) {}
  // Decodes a browser event for the area: pointer input through DeliverPointer, exposes through
  // PaintArea. 1 when the plug-in handled it.
  virtual int16_t HandleEvent(Area& area, void* event) = 0;
  // Whether mouse input in this event must be kept from the plug-in's windows while a menu or
  // dialog is open.
  virtual bool IsMouseInput(const void* event) const = 0;
  // Shows cursor over the area; null: the browser's own arrow.
  virtual void ShowCursor(Area& area, win::HCURSOR cursor) {}
  virtual win::UINT DoubleClickTime() { return 500; }

  // Whether child windows are composed into the area's picture. A presentation whose browser
  // shows the video itself composes the area window alone.
  virtual bool ComposesChildren() const { return true; }

  // Timers for browsers without NPN_ScheduleTimer: an id (0 for none) of a repeating timeout
  // calling fire(data) until RemoveTimeout, which runs dispose(data).
  virtual unsigned AddTimeout(unsigned ms, void (*fire)(void*), void* data, void (*dispose)(void*)) {
    return 0;
  }
  virtual void RemoveTimeout(unsigned id) {}

  // Menus and dialogs, modal (see win::Desktop::TrackMenu and RunDialog); the default presents
  // nothing. A presentation that cannot wait shows them and returns at once: TrackMenu with no
  // command (the choice is posted later as WM_COMMAND to the area window), RunDialog with true.
  virtual win::UINT_PTR TrackMenu(const win::Menu& menu, win::POINT at, Area* owner) { return 0; }
  virtual bool RunDialog(win::HWND dialog, win::RECT placement, Area* owner) { return false; }
  virtual bool Modal() const { return false; }
  virtual void EndModal(NPP instance) {}

  // Keyboard focus and announcements for assistive technology (win::ShowFocusRect,
  // win::AnnouncePassed), in the area's coordinates; the default presents nothing.
  virtual void ShowFocus(Area& area, const win::RECT* rect, bool ellipse, const char* name) {}
  virtual void Announce(Area& area, const char* kind, const char* name) {}
};

// Defined by the presentation library linked into the module.
std::unique_ptr<Presentation> MakePresentation();

// Services of the desktop for its presentation, on the browser's thread.
// Sends the pointer event to the area window as WM_* messages; 1 when the plug-in handled it.
int16_t DeliverPointer(Area& area, const PointerEvent& event);
// Sends a key press (win::VK_*) to the area window as WM_KEYDOWN, with the shift key as given;
// 1 when the plug-in handled it.
int16_t DeliverKey(Area& area, win::UINT vk, bool shift);
// The area lost the keyboard focus: WM_KILLFOCUS.
void DeliverFocusLost(Area& area);
// A tap at (x, y) of the area on a device without a mouse: WM_TOUCHTAP; 1 when handled.
int16_t DeliverTap(Area& area, int x, int y);
// Paints the area and its out-of-date descendants, then returns the composed pixels
// (0x00RRGGBB, row-major) of *rect, clipped to the area.
std::vector<uint32_t> PaintArea(Area& area, win::RECT* rect);
// An image the area's size to compose into: its pixel (0, 0) and its row pitch in pixels, or
// null for none.
using AreaImagePixels = std::function<uint32_t*(int width, int height, size_t* pitch)>;
// As PaintArea, composing *rect into the pixels image gives, or into *copy when it gives none.
// False when nothing was composed (the rectangle lies outside the area).
bool PaintArea(Area& area, win::RECT* rect, const AreaImagePixels& image,
               std::vector<uint32_t>* copy);
// The instance's trace channel.
void Trace(NPP instance, const char* text);
// Posted messages that could not be handed to the browser, dispatched now.
void DrainLeftovers();

}  // namespace npdesk
