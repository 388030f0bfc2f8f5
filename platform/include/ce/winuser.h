// Windows and messages. For now this holds the thread message queue: MSG,
// posting to a thread, retrieving with GetMessageW and PeekMessageW, and the
// quit message. Windows, window classes, sent messages, painting, timers and
// the other WM_ codes join this header with the window layer.
#pragma once

#include "ce/windef.h"

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;  // GetTickCount when the message was posted
  POINT pt;
};
using LPMSG = MSG*;
using PMSG = MSG*;

inline constexpr UINT WM_NULL = 0x0000;
inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_USER = 0x0400;
inline constexpr UINT WM_APP = 0x8000;

inline constexpr UINT PM_NOREMOVE = 0x0000;
inline constexpr UINT PM_REMOVE = 0x0001;
inline constexpr UINT PM_NOYIELD = 0x0002;

// Fails with ERROR_INVALID_THREAD_ID for an unknown thread or one that has
// ended; the message is then dropped.
BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
// Waits for a message in [filterMin, filterMax] (both 0: any). Returns 0 for
// WM_QUIT, -1 on an error, else non-zero.
BOOL GetMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax);
BOOL PeekMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMessage);
void PostQuitMessage(int exitCode);
