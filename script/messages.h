// The module's private window messages and how a command's name string travels with it.
#pragma once

#include <cstddef>

#include "platform/win/win.h"

inline constexpr win::UINT WM_KL_GRAPHNOTIFY = 0x0465;   // 1125: graph notice to the player
inline constexpr win::UINT WM_KL_ENABLEANCHOR = 0x0466;  // 1126: wParam = owned anchor name
inline constexpr win::UINT WM_KL_ENABLEMARKER = 0x0467;  // 1127: wParam = owned marker name
inline constexpr win::UINT WM_KL_PLAY = 0x0468;          // 1128: wParam = start frame (int32)
inline constexpr win::UINT WM_KL_PAUSE = 0x0469;         // 1129
inline constexpr win::UINT WM_KL_STOP = 0x046A;          // 1130

// A name posted with WM_KL_ENABLEANCHOR or WM_KL_ENABLEMARKER: exactly length + 1 bytes,
// owned by the message; whoever takes the message frees it.
char* CopyCommandName(const char* text);  // null when memory cannot be had
char* CopyCommandName(const char* text, size_t length);  // length bytes and a zero
void FreeCommandName(char* name);
