// The events the web host hands to NPP_HandleEvent, as X11 browsers hand XEvents: plain data in
// the module's memory, laid out for the host's script (32-bit fields, the pixel pointer last).
#pragma once

#include <cstddef>
#include <cstdint>

namespace npdesk {

enum WebEventType : int32_t {
  kWebPaint = 1,      // fill pixels with the area's picture of the rectangle x, y, width, height
  kWebPointerDown = 2,
  kWebPointerUp = 3,
  kWebPointerMove = 4,
  kWebPointerEnter = 5,
  kWebPointerLeave = 6,
  // Answers to the menu or dialog the module asked the host to show (klp_show_menu,
  // klp_show_dialog):
  kWebMenuChoice = 7,   // the menu closed; button: the command chosen, 0 for none
  kWebDialogClick = 8,  // button: the control clicked, checked or toggled
  kWebDialogKey = 9,    // button: 13 Enter, 27 Escape
  kWebDialogClose = 10,  // the dialog's close box
  kWebKeyDown = 11,      // button: the key (9 Tab, 13 Enter, 32 Space); state: kWebShift
  kWebFocusLost = 12,    // the player lost the keyboard focus
  kWebTap = 13,          // a tap at x, y on the touch screen of a device without a mouse
};

// Modifier and button bits of WebEvent::state.
inline constexpr int32_t kWebLeftDown = 1;
inline constexpr int32_t kWebRightDown = 2;
inline constexpr int32_t kWebMiddleDown = 4;
inline constexpr int32_t kWebShift = 8;
inline constexpr int32_t kWebControl = 16;

struct WebEvent {
  int32_t type;    // WebEventType
  int32_t x;       // pointer: in the area; paint: the rectangle's left
  int32_t y;       //                              and top
  int32_t width;   // paint: the rectangle's size
  int32_t height;
  int32_t button;  // pointer down and up: 0 left, 1 middle, 2 right (the page's numbering);
                   // menu and dialog answers: see above
  int32_t state;   // kWeb* bits: buttons held and modifiers
  uint8_t* pixels;  // paint: width x height pixels, 4 bytes each, R, G, B, alpha, rows top first
};

}  // namespace npdesk
