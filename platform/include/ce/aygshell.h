// The shell's calls for full-screen windows. The menu bar, soft keys, the
// input panel and gestures are left to the shell's own sources.
#pragma once

#include "ce/windef.h"

#pragma GCC visibility push(default)

inline constexpr DWORD SHFS_SHOWTASKBAR = 0x0001;
inline constexpr DWORD SHFS_HIDETASKBAR = 0x0002;
inline constexpr DWORD SHFS_SHOWSIPBUTTON = 0x0004;
inline constexpr DWORD SHFS_HIDESIPBUTTON = 0x0008;
inline constexpr DWORD SHFS_SHOWSTARTICON = 0x0010;
inline constexpr DWORD SHFS_HIDESTARTICON = 0x0020;

// Shows or hides the task bar, the input-panel button and the start icon
// for a top-level window. The screen has no task bar of its own here, so
// the state is only kept (the SDL back end may show it).
BOOL SHFullScreen(HWND hwnd, DWORD state);

#pragma GCC visibility pop
