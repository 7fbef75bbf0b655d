// The Win32 subset the plug-in calls, over a pluggable Desktop backend (desktop.h).
//
// Names, argument order and message numbers are those of Win32, so the plug-in's code reads as it
// would on Windows. Handles are opaque; WPARAM/LPARAM/LRESULT are pointer-sized. Only calls the
// plug-in makes are here. Unless a comment says otherwise, every call is made on the thread that
// runs the desktop (the browser's user-interface thread).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace win {

using BOOL = int;
using WORD = uint16_t;
using UINT = uint32_t;
using DWORD = uint32_t;
using LONG = int32_t;
using ATOM = uint16_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using LONG_PTR = intptr_t;
using INT_PTR = intptr_t;
using UINT_PTR = uintptr_t;
using HANDLE = void*;

struct HWND__;
struct HINSTANCE__;
struct HCURSOR__;
struct HDC__;
struct HBRUSH__;
struct HICON__;
struct HMENU__;
struct HBITMAP__;
using HWND = HWND__*;
using HINSTANCE = HINSTANCE__*;
using HCURSOR = HCURSOR__*;
using HDC = HDC__*;
using HBRUSH = HBRUSH__*;
using HICON = HICON__*;
using HMENU = HMENU__*;
using HBITMAP = HBITMAP__*;
using HGDIOBJ = void*;

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);
using DLGPROC = INT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

struct POINT {
  LONG x;
  LONG y;
};

struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};

struct PAINTSTRUCT {
  HDC hdc;
  BOOL fErase;
  RECT rcPaint;
};

struct WNDCLASSA {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  const char* lpszMenuName;
  const char* lpszClassName;
};

// Messages.
inline constexpr UINT WM_CREATE = 0x0001;
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_SIZE = 0x0005;
inline constexpr UINT WM_KILLFOCUS = 0x0008;
inline constexpr UINT WM_PAINT = 0x000F;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_ERASEBKGND = 0x0014;
inline constexpr UINT WM_SETCURSOR = 0x0020;
inline constexpr UINT WM_NCDESTROY = 0x0082;
inline constexpr UINT WM_KEYDOWN = 0x0100;  // wParam: the virtual key
inline constexpr UINT WM_INITDIALOG = 0x0110;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_TIMER = 0x0113;
inline constexpr UINT WM_MOUSEMOVE = 0x0200;
inline constexpr UINT WM_LBUTTONDOWN = 0x0201;
inline constexpr UINT WM_LBUTTONUP = 0x0202;
inline constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
inline constexpr UINT WM_RBUTTONDOWN = 0x0204;
inline constexpr UINT WM_RBUTTONUP = 0x0205;
inline constexpr UINT WM_RBUTTONDBLCLK = 0x0206;
inline constexpr UINT WM_MBUTTONDOWN = 0x0207;
inline constexpr UINT WM_MBUTTONUP = 0x0208;
inline constexpr UINT WM_USER = 0x0400;
// Ours, beyond the system's: a tap on the touch screen of a device without a mouse, at the point
// in lParam as for mouse messages.
inline constexpr UINT WM_TOUCHTAP = 0x0500;

// WM_COMMAND from a button: notification code in the high word of WPARAM.
inline constexpr UINT BN_CLICKED = 0;

// Window styles.
inline constexpr DWORD WS_OVERLAPPED = 0x00000000;
inline constexpr DWORD WS_POPUP = 0x80000000;
inline constexpr DWORD WS_CHILD = 0x40000000;
inline constexpr DWORD WS_VISIBLE = 0x10000000;
inline constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
inline constexpr DWORD WS_CLIPCHILDREN = 0x02000000;

// Window longs.
inline constexpr int GWLP_WNDPROC = -4;
inline constexpr int GWLP_USERDATA = -21;

// PeekMessageA.
inline constexpr UINT PM_NOREMOVE = 0x0000;
inline constexpr UINT PM_REMOVE = 0x0001;

// Mouse-key flags in WPARAM of mouse messages.
inline constexpr WPARAM MK_LBUTTON = 0x0001;
inline constexpr WPARAM MK_RBUTTON = 0x0002;
inline constexpr WPARAM MK_SHIFT = 0x0004;
inline constexpr WPARAM MK_CONTROL = 0x0008;
inline constexpr WPARAM MK_MBUTTON = 0x0010;


inline constexpr WPARAM MAKEWPARAM(unsigned low, unsigned high) {
  return static_cast<WPARAM>((low & 0xFFFFu) | ((high & 0xFFFFu) << 16));
}
inline constexpr LPARAM MAKELPARAM(unsigned low, unsigned high) {
  return static_cast<LPARAM>(static_cast<uint32_t>((low & 0xFFFFu) | ((high & 0xFFFFu) << 16)));
}
inline constexpr unsigned LOWORD(uintptr_t v) { return static_cast<unsigned>(v & 0xFFFFu); }
inline constexpr unsigned HIWORD(uintptr_t v) { return static_cast<unsigned>((v >> 16) & 0xFFFFu); }

// Resource ids given as names, as MAKEINTRESOURCEA does.
inline const char* MAKEINTRESOURCEA(unsigned id) {
  return reinterpret_cast<const char*>(static_cast<uintptr_t>(id & 0xFFFFu));
}
inline bool IS_INTRESOURCE(const char* p) { return (reinterpret_cast<uintptr_t>(p) >> 16) == 0; }

// Standard cursors.
inline const char* const IDC_ARROW = reinterpret_cast<const char*>(32512);
inline const char* const IDC_WAIT = reinterpret_cast<const char*>(32514);

// --- Window classes and windows -------------------------------------------------------------
ATOM RegisterClassA(const WNDCLASSA* wc);               // 0 when the class name is taken
BOOL UnregisterClassA(const char* className, HINSTANCE instance);  // FALSE while windows use it
HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                     int x, int y, int width, int height, HWND parent, HMENU menu,
                     HINSTANCE instance, void* param);
BOOL DestroyWindow(HWND hwnd);  // sends WM_DESTROY, then forgets the window and its timers
BOOL IsWindow(HWND hwnd);       // any thread
BOOL IsChild(HWND parent, HWND hwnd);  // hwnd descends from parent
LONG_PTR GetWindowLongPtrA(HWND hwnd, int index);
LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value);  // returns the previous value
LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL GetClientRect(HWND hwnd, RECT* rect);
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);

// --- Properties ------------------------------------------------------------------------------
BOOL SetPropA(HWND hwnd, const char* name, HANDLE data);
HANDLE GetPropA(HWND hwnd, const char* name);
HANDLE RemovePropA(HWND hwnd, const char* name);

// --- Timers: WM_TIMER to the window, repeating until killed -----------------------------------
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc);
BOOL KillTimer(HWND hwnd, UINT_PTR id);

// --- Posted messages -------------------------------------------------------------------------
// PostMessageA may be called from any thread; the message is dispatched later on the desktop's
// thread, in posting order. FALSE when the window does not exist.
BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Takes (PM_REMOVE) or looks at the oldest posted message for hwnd (null: any window) whose
// number lies in [filterMin, filterMax] (both 0: any).
BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMsg);

// --- Painting --------------------------------------------------------------------------------
// What an HDC from BeginPaint points to: the window's pixels as 0x00RRGGBB, row-major, in the
// window's client coordinates. Backends own the surfaces.
struct Surface {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
  int paints = 0;  // number of BeginPaint calls on this surface
  // Set by a backend that puts the picture together only when it shows it: the window may
  // then leave pixels empty and set draw instead, which the backend calls for each rectangle
  // it shows, with the window's latest picture at that moment.
  bool onDemand = false;
  // Writes rectangle r of surface (this one) into out, rows pitch pixels apart; the byte above
  // red is left undefined.
  std::function<void(const Surface& surface, const RECT& r, uint32_t* out, size_t pitch)> draw;
};
inline Surface* SurfaceFromDC(HDC dc) { return reinterpret_cast<Surface*>(dc); }

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);
BOOL UpdateWindow(HWND hwnd);  // sends WM_PAINT at once when the window needs painting
HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps);
BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps);

// --- Cursor and pointer ----------------------------------------------------------------------
// Module cursors by resource id (resources::FindCursor); a null instance loads system cursors.
// The handle is the id: cursors are shared and never freed.
HCURSOR LoadCursorA(HINSTANCE instance, const char* name);
HCURSOR SetCursor(HCURSOR cursor);                           // returns the previous cursor
BOOL GetCursorPos(POINT* point);
HWND WindowFromPoint(POINT point);
BOOL ScreenToClient(HWND hwnd, POINT* point);
BOOL ClientToScreen(HWND hwnd, POINT* point);
UINT GetDoubleClickTime();
DWORD GetTickCount();

// --- Keyboard and assistive technology -------------------------------------------------------
inline constexpr UINT VK_TAB = 0x09;
inline constexpr UINT VK_SHIFT = 0x10;
inline constexpr UINT VK_SPACE = 0x20;
// Negative while the key is held (VK_SHIFT), as the backend reports it.
short GetKeyState(int vk);
// Shows where the keyboard focus is inside hwnd: a focus ring around rect (client coordinates;
// an ellipse inscribed in it when ellipse is set) that the user's assistive technology names
// `name`; null rect: the focus is on the window itself, no ring.
void ShowFocusRect(HWND hwnd, const RECT* rect, BOOL ellipse, const char* name);
// Tells the user's assistive technology, politely, that playback in hwnd passed something
// ("marker", "event") named name.
void AnnouncePassed(HWND hwnd, const char* kind, const char* name);

// --- Menus ---------------------------------------------------------------------------------
inline constexpr UINT MF_STRING = 0x0000;
inline constexpr UINT MF_ENABLED = 0x0000;
inline constexpr UINT MF_GRAYED = 0x0001;
inline constexpr UINT MF_DISABLED = 0x0002;
inline constexpr UINT MF_SEPARATOR = 0x0800;
inline constexpr UINT TPM_LEFTBUTTON = 0x0000;
inline constexpr UINT TPM_RIGHTBUTTON = 0x0002;
inline constexpr UINT TPM_NONOTIFY = 0x0080;
inline constexpr UINT TPM_RETURNCMD = 0x0100;

HMENU CreatePopupMenu();
// Appends a string item (text copied) or, with MF_SEPARATOR, a separator. MF_GRAYED and
// MF_DISABLED items cannot be chosen.
BOOL AppendMenuA(HMENU menu, UINT flags, UINT_PTR id, const char* text);
// Shows the menu at the screen point (x, y) and returns when it closes. The chosen item's
// command is posted to owner as WM_COMMAND (notification code 0) and TRUE returned; with
// TPM_RETURNCMD it is returned instead, 0 when nothing was chosen. An answer that names no
// enabled item counts as no choice. FALSE for an unknown menu or owner.
BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner,
                    const RECT* rect);
BOOL DestroyMenu(HMENU menu);

// --- Dialogs -------------------------------------------------------------------------------
// Modal dialogs built from the module's templates (resources::FindDialog). While the dialog
// runs, the backend feeds it input (Desktop::ClickDialogControl, PressDialogKey, CloseDialog),
// which reaches the dialog procedure as the Windows dialog manager would deliver it: a click on
// a button is WM_COMMAND with its id (lParam 0: controls are not windows here), Enter is
// WM_COMMAND with the default button's id, Escape WM_COMMAND IDCANCEL, the close box WM_CLOSE
// (which, when the procedure does not handle it, becomes WM_COMMAND IDCANCEL).
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr UINT BST_UNCHECKED = 0;
inline constexpr UINT BST_CHECKED = 1;
inline constexpr UINT VK_RETURN = 0x0D;
inline constexpr UINT VK_ESCAPE = 0x1B;

// Creates the dialog (its procedure gets WM_INITDIALOG with initParam), runs it until
// EndDialog, destroys it (WM_DESTROY) and returns EndDialog's result; -1 when the template is
// unknown or the backend could not run the dialog to its end.
INT_PTR DialogBoxParamA(HINSTANCE instance, const char* templateName, HWND owner, DLGPROC proc,
                        LPARAM initParam);
BOOL EndDialog(HWND dialog, INT_PTR result);
// FALSE when the dialog has no check box or radio button with that id.
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);
// Checks `check` and clears the other buttons with ids first..last.
BOOL CheckRadioButton(HWND dialog, int first, int last, int check);

// --- GDI: bitmaps and memory device contexts ------------------------------------------------
// A bitmap is pixels as in Surface. A memory DC draws into the bitmap selected into it, a paint
// DC into its window until EndPaint.
struct BITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  void* bmBits;
};
inline constexpr DWORD SRCCOPY = 0x00CC0020;

HBITMAP LoadBitmapA(HINSTANCE instance, const char* name);  // a module bitmap, by id
BOOL DeleteObject(HGDIOBJ object);  // FALSE while the bitmap is selected into a DC
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);  // releases the bitmap selected into it
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);  // the bitmap selected before, or null
int GetObjectA(HANDLE object, int size, void* out);  // fills a BITMAP; returns bytes written
// Copies a rectangle (SRCCOPY only), clipped to both surfaces.
BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY,
            DWORD rop);

// --- Strings ---------------------------------------------------------------------------------
// Copies string resource id into buffer (at most bufferMax - 1 bytes and a terminating zero);
// returns the number of bytes copied, 0 when there is no such string.
int LoadStringA(HINSTANCE instance, UINT id, char* buffer, int bufferMax);

}  // namespace win

namespace win {

// --- Multibyte code page ---------------------------------------------------------------------
// The process's ANSI code page. Single-byte by default (CP_ACP acts as 1252: no lead bytes);
// 932 (Shift JIS) can be selected, which gives its lead and trail byte ranges.
inline constexpr UINT CP_ACP = 0;
void SetAnsiCodePage(UINT codePage);  // 932 for Shift JIS; anything else is single-byte
UINT GetACP();
BOOL IsDBCSLeadByte(unsigned char byte);
// Whether byte can be the second byte of a double-byte character in the ANSI code page.
BOOL IsDBCSTrailByte(unsigned char byte);
// Converts a zero-terminated (count -1) or counted multibyte string to 16-bit units. The
// conversion keeps each byte as one unit (0-255), so the bytes of a file path survive the round
// trip to the file system. Returns the number of units written, including the terminating zero
// when count is -1; with wideMax 0 returns the size needed; 0 when the buffer is too small.
int MultiByteToWideChar(UINT codePage, DWORD flags, const char* text, int count, char16_t* wide,
                        int wideMax);

}  // namespace win
