// CKLPluginWindow: the per-instance object. It owns the movie player and the copies of the src
// and name attributes, takes over the window the browser gives the instance, and turns window
// messages (paint, mouse, menu and script commands) into player operations.
#pragma once

#include <cstdint>

#include "platform/npapi/npapi.h"
#include "platform/win/win.h"

class CKLMoviePlay;

enum ClickState : int32_t { CLICK_IDLE = 0, CLICK_DOWN = 1, CLICK_RELEASED = 2 };

inline constexpr win::UINT_PTR IDT_CLICK = 11;

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
  win::LRESULT OnKLMessage(win::UINT msg, win::WPARAM wParam, win::LPARAM lParam);

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

 private:
  void OnPaint(win::HWND hwnd);
  void DiscardQueuedCommands();
};
