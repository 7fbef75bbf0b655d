// The module's resources as data: the string table, the version block, and one table from id
// to the idle bitmap, the anchor cursor and the two dialog templates. Plain data, so that any
// desktop backend (the win layer, a toolkit's dialogs) can build what it shows from it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace resources {

// String-table ids.
enum StringId : unsigned {
  IDS_MENU_PLAY = 1001,
  IDS_MENU_PAUSE = 1002,
  IDS_MENU_STOP = 1003,
  IDS_MENU_PROPERTIES = 1004,
  IDS_MENU_ABOUT = 1005,
  IDS_EVENT_ONMARKER = 1101,
  IDS_EVENT_ONKLEVENT = 1102,
  IDS_EVENT_ONACTIVATEANCHOR = 1103,
  IDS_EVENT_ONERROR = 1104,
  IDS_ATTR_SRC = 1201,
  IDS_ATTR_HIDDEN = 1202,
  IDS_ATTR_WIDTH = 1203,
  IDS_ATTR_HEIGHT = 1204,
  IDS_ATTR_ACTIVATEMETHOD = 1205,
  IDS_ATTR_CHANGECURSOR = 1206,
  IDS_ATTR_SHOWANCHOR = 1207,
  IDS_ATTR_AUTOPLAY = 1208,
  IDS_ATTR_AUTOREPEAT = 1209,
  IDS_ATTR_KLDEBUG = 1210,
  IDS_ATTR_NAME = 1211,
};

// The string with the given id, or an empty view when there is none.
std::string_view FindString(unsigned id);

// LoadString semantics: copies at most size - 1 bytes and a terminating zero into buffer and
// returns the number of bytes copied (0 for an unknown id, which leaves an empty string).
int LoadString(unsigned id, char* buffer, int size);

// Size of the buffers the module loads strings into.
inline constexpr int kStringBufferSize = 256;

// Version block (language 0409, code page 04E4), file and product version 2.50.7.0.
struct VersionInfo {
  const char* mimeType;
  const char* fileExtents;
  const char* fileOpenName;
  const char* fileDescription;
  const char* comments;
  const char* internalName;
  const char* originalFilename;
  const char* fileVersion;
  const char* productVersion;
  unsigned short fileVersionParts[4];
};
const VersionInfo& Version();

// --- Bitmaps, cursors and dialog templates ----------------------------------------------------

enum ResourceId : unsigned {
  IDB_IDLE = 103,        // the idle picture, also shown in the About box
  IDC_ANCHOR = 105,      // the cursor over an anchor
  IDD_ABOUT = 107,
  IDD_PROPERTIES = 109,
};

// Control ids of the Properties dialog.
enum ControlId : int {
  IDC_SHOWANCHOR = 202,
  IDC_CHANGECURSOR = 203,
  IDC_AUTOREPEAT = 204,
  IDC_SINGLECLICK = 205,
  IDC_DOUBLECLICK = 206,
};

// A palette bitmap: one palette index per pixel, rows top-down.
struct Bitmap {
  int width = 0;
  int height = 0;
  const uint32_t* palette = nullptr;  // 0x00RRGGBB
  int colours = 0;
  const uint8_t* pixels = nullptr;    // width * height indices
  uint32_t Rgb(int x, int y) const { return palette[pixels[y * width + x]]; }
};

// A monochrome cursor as AND and XOR masks, one bit per pixel, rows top-down, the leftmost pixel
// in the high bit. AND 1 / XOR 0 is transparent, 0/0 black, 0/1 white, 1/1 inverts the screen.
struct Cursor {
  static constexpr int kSize = 32;
  static constexpr int kRowBytes = kSize / 8;
  int hotX = 0;
  int hotY = 0;
  std::array<uint8_t, kSize * kRowBytes> andMask{};
  std::array<uint8_t, kSize * kRowBytes> xorMask{};
  bool AndBit(int x, int y) const { return Bit(andMask, x, y); }
  bool XorBit(int x, int y) const { return Bit(xorMask, x, y); }

 private:
  static bool Bit(const std::array<uint8_t, kSize * kRowBytes>& m, int x, int y) {
    return (m[y * kRowBytes + x / 8] >> (7 - x % 8)) & 1;
  }
};

// Dialog templates. Styles carry the Windows values so that a Windows-like backend can use them
// as they are; a control's kind stands for its window class and button or static type.
namespace dlg {
inline constexpr uint32_t WS_POPUP = 0x80000000;
inline constexpr uint32_t WS_VISIBLE = 0x10000000;
inline constexpr uint32_t WS_CAPTION = 0x00C00000;
inline constexpr uint32_t WS_SYSMENU = 0x00080000;
inline constexpr uint32_t WS_GROUP = 0x00020000;
inline constexpr uint32_t WS_TABSTOP = 0x00010000;
inline constexpr uint32_t DS_MODALFRAME = 0x0080;
inline constexpr uint32_t DS_SETFONT = 0x0040;
inline constexpr uint32_t DS_CENTER = 0x0800;
inline constexpr uint32_t SS_LEFT = 0x0000;
inline constexpr uint32_t SS_CENTER = 0x0001;
inline constexpr uint32_t SS_RIGHT = 0x0002;
inline constexpr uint32_t SS_BITMAP = 0x000E;
inline constexpr uint32_t SS_REALSIZEIMAGE = 0x0800;
inline constexpr uint32_t SS_RIGHTJUST = 0x0400;
inline constexpr uint32_t SS_SUNKEN = 0x1000;
inline constexpr uint32_t WS_EX_CLIENTEDGE = 0x0200;
inline constexpr uint32_t WS_EX_STATICEDGE = 0x20000;
}  // namespace dlg

enum class ControlKind {
  GroupBox,
  AutoCheckBox,     // toggles its check mark when clicked
  AutoRadioButton,  // checks itself and clears the other radio buttons of its group
  PushButton,
  DefPushButton,    // the button Enter presses
  Text,             // static text; alignment in the style (SS_LEFT, SS_CENTER, SS_RIGHT)
  Picture,          // static bitmap `image`
};

struct DialogControl {
  int id;  // -1 for controls the dialog never addresses
  ControlKind kind;
  const char* text;  // lines separated by '\n'; null for a picture
  unsigned image;    // bitmap id of a picture, else 0
  int x, y, cx, cy;  // dialog units
  uint32_t style;    // WS_TABSTOP, WS_GROUP, SS_*: everything beyond the kind
  uint32_t exStyle;
  bool Checkable() const {
    return kind == ControlKind::AutoCheckBox || kind == ControlKind::AutoRadioButton;
  }
};

struct DialogTemplate {
  unsigned id;
  bool extended;  // written as an extended template
  uint32_t style;
  uint32_t exStyle;
  int x, y, cx, cy;  // dialog units; x and y relative to the owner's client area
  const char* caption;
  const char* font;
  int pointSize;
  const DialogControl* controls;  // in creation (tab) order
  size_t controlCount;
  const DialogControl* Find(int controlId) const;
};

const Bitmap* FindBitmap(unsigned id);
const Cursor* FindCursor(unsigned id);
const DialogTemplate* FindDialog(unsigned id);

// "MIMEType:FileExtents:FileOpenName", the form Unix browsers read.
const char* MimeDescription();

}  // namespace resources
