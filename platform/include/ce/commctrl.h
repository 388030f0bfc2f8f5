// Common controls: the up-down control ("msctls_updown32"), a pair of arrow
// buttons beside a buddy window. With a list box as the buddy (a one-line
// spin list) the arrows move the list's selection, the list then telling
// its parent LBN_SELCHANGE as a user's choice does (with LBS_NOTIFY); with
// another buddy they move the control's position in its range, telling the
// parent WM_VSCROLL (WM_HSCROLL with UDS_HORZ) with SB_THUMBPOSITION and the
// position in the high word, and UDS_SETBUDDYINT writes the position as the
// buddy's text. The up arrow moves the position towards the range's upper
// end and a list towards its first item.
//
// Left out: the other common controls, acceleration (UDM_SETACCEL), number
// bases other than 10, the held arrow repeating, and UDS_ARROWKEYS for a
// buddy other than a list box (a list box takes the arrow keys itself).
#pragma once

#include "ce/windef.h"

#pragma GCC visibility push(default)

// --- Up-down control -----------------------------------------------------------------

inline constexpr const wchar_t* UPDOWN_CLASSW = L"msctls_updown32";
inline constexpr const wchar_t* UPDOWN_CLASS = UPDOWN_CLASSW;

inline constexpr DWORD UDS_WRAP = 0x0001;
inline constexpr DWORD UDS_SETBUDDYINT = 0x0002;
inline constexpr DWORD UDS_ALIGNRIGHT = 0x0004;
inline constexpr DWORD UDS_ALIGNLEFT = 0x0008;
inline constexpr DWORD UDS_AUTOBUDDY = 0x0010;
inline constexpr DWORD UDS_ARROWKEYS = 0x0020;
inline constexpr DWORD UDS_HORZ = 0x0040;
inline constexpr DWORD UDS_NOTHOUSANDS = 0x0080;

inline constexpr int UD_MAXVAL = 0x7FFF;
inline constexpr int UD_MINVAL = -UD_MAXVAL;

inline constexpr UINT UDM_SETRANGE = 0x0400 + 101;  // lParam: MAKELONG(upper, lower)
inline constexpr UINT UDM_GETRANGE = 0x0400 + 102;
inline constexpr UINT UDM_SETPOS = 0x0400 + 103;    // lParam: MAKELONG(position, 0); returns the old one
inline constexpr UINT UDM_GETPOS = 0x0400 + 104;    // MAKELONG(position, non-zero on an error)
inline constexpr UINT UDM_SETBUDDY = 0x0400 + 105;  // returns the old buddy
inline constexpr UINT UDM_GETBUDDY = 0x0400 + 106;
inline constexpr UINT UDM_SETRANGE32 = 0x0400 + 111;  // wParam lower, lParam upper
inline constexpr UINT UDM_GETRANGE32 = 0x0400 + 112;  // wParam int* lower, lParam int* upper
inline constexpr UINT UDM_SETPOS32 = 0x0400 + 113;
inline constexpr UINT UDM_GETPOS32 = 0x0400 + 114;  // lParam: BOOL* set on an error

// The scroll codes of the up-down's WM_VSCROLL / WM_HSCROLL.
inline constexpr WORD SB_THUMBPOSITION = 4;
inline constexpr WORD SB_ENDSCROLL = 8;

#pragma GCC visibility pop
