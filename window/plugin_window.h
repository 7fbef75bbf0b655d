// CKLPluginWindow: the per-instance object. It owns the movie player and the copies of the src
// and name attributes, takes over the window the browser gives the instance, and turns window
// messages (paint, mouse, menu and script commands) into player operations.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/npapi/npapi.h"
#include "platform/win/win.h"

class CKLMoviePlay;

enum ClickState : int32_t { CLICK_IDLE = 0, CLICK_DOWN = 1, CLICK_RELEASED = 2 };

inline constexpr win::UINT_PTR IDT_CLICK = 11;

// Two presses at most this many pixels apart in each direction make a double click.
inline constexpr int32_t kDoubleClickDistance = 16;

// Commands of the context menu, as WM_COMMAND identifiers.
enum MenuCommand : win::UINT {
  ID_MENU_PLAY = 5000,
  ID_MENU_PAUSE = 5001,
  ID_MENU_STOP = 5002,
  ID_MENU_PROPERTIES = 5003,
  ID_MENU_ABOUT = 5004,
};

class CKLPluginWindow {
 public:
  CKLPluginWindow(NPP instance, int32_t fullPage, const char* src, const char* name,
                  int32_t activateMethod, int32_t changeCursor, int32_t showAnchor,
                  int32_t autoPlay, int32_t autoRepeat, int32_t debug);
  ~CKLPluginWindow();
  CKLPluginWindow(const CKLPluginWindow&) = delete;
  CKLPluginWindow& operator=(const CKLPluginWindow&) = delete;

  void SetWindow(win::HWND hwnd);
  int OpenSrc(const char* path);
  int OpenMovie(const char* path);
  const char* GetMovieName();

  static win::LRESULT PluginWndProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam,
                                    win::LPARAM lParam);

  // Chooses the cursor for a point in window coordinates: the anchor cursor over an anchor,
  // else the arrow; nothing while cursor changes are off or suspended. The key flags play no
  // part. Also called by the player's position tick for a resting pointer.
  void UpdateCursor(win::WPARAM keyFlags, win::POINT point);
  // Selects the anchor under the point and pauses the movie when there is one; 1 if hit.
  int ActivateAnchorAt(win::POINT point);
  // The context menu at a point in window coordinates.
  void ViewPopupMenu(win::POINT point);
  // The focus ring follows the focused anchor as it moves, and goes with it off the frame.
  void RefreshFocus();
  // Script commands (WM_KL_ENABLEANCHOR .. WM_KL_STOP) and menu commands (ID_MENU_*).
  win::LRESULT OnKLMessage(win::UINT msg, win::WPARAM wParam, win::LPARAM lParam);
  void OnMenuCommand(win::WPARAM wParam);

  static win::INT_PTR PropertiesDlgProc(win::HWND dialog, win::UINT msg, win::WPARAM wParam,
                                        win::LPARAM lParam);
  static win::INT_PTR AboutDlgProc(win::HWND dialog, win::UINT msg, win::WPARAM wParam,
                                   win::LPARAM lParam);

  // Fields, in order.
  char* m_src = nullptr;
  CKLMoviePlay* m_player = nullptr;
  win::HWND m_hwnd = nullptr;
  win::WNDPROC m_prevWndProc = nullptr;
  int32_t m_activateMethod = 0;
  int32_t m_changeCursor = 1;
  char* m_name = nullptr;
  NPP m_instance = nullptr;
  int32_t m_trackCursor = 1;
  int32_t m_fullPage = 0;
  int32_t m_debug = 0;
  int32_t m_clickState = CLICK_IDLE;
  int32_t m_clickX = -1;
  int32_t m_clickY = -1;
  win::HCURSOR m_cursor = nullptr;
  int32_t m_focusAnchor = -1;  // the anchor the keyboard focus is on (hot spot index), or -1

  // Takes the script commands still queued for the window out of the queue, freeing their names.
  void DiscardQueuedCommands();

 private:
  // A window message as the handlers see it; a handler's empty result passes it on to the
  // previous procedure.
  struct Message {
    win::HWND hwnd;
    win::UINT msg;
    win::WPARAM wParam;
    win::LPARAM lParam;
    win::POINT Point() const;  // of a mouse message: unsigned 16-bit x and y
  };
  using Handled = std::optional<win::LRESULT>;

  bool InVideo(win::POINT point) const;
  bool MovieOpen() const;
  Handled OnPaintMessage(const Message& m);
  Handled OnSetCursor(const Message& m);
  Handled OnCommand(const Message& m);
  Handled OnTimer(const Message& m);
  Handled OnMouseMove(const Message& m);
  Handled OnLButtonPress(const Message& m);
  Handled OnLButtonRelease(const Message& m);
  Handled OnLButtonSystemDblClk(const Message& m);
  Handled OnRButtonDown(const Message& m);
  Handled OnRButtonUp(const Message& m);
  Handled OnCommandMessage(const Message& m);
  Handled OnKeyDown(const Message& m);
  Handled OnTouchTap(const Message& m);
  Handled OnKillFocus(const Message& m);
  void FocusAnchor(int32_t index);
  int ActivateAnchor(int32_t index);

  void OnLButtonDown(win::POINT point);
  void OnLButtonDblClk(win::POINT point);
  void ResetClick();

  void OnPaint();
  static void DrawBitmap(win::HDC dc, win::HBITMAP bitmap, int width, int height);

  void RunDialog(unsigned templateId, win::DLGPROC proc, win::LPARAM initParam);
  void ShowProperties(win::HWND dialog) const;
  void ApplyProperties(win::HWND dialog);
};
