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
// The trackbar and the progress bar follow in blocks of their own.
//
// Left out: the other common controls, acceleration (UDM_SETACCEL), number
// bases other than 10, the held arrow repeating, and UDS_ARROWKEYS for a
// buddy other than a list box (a list box takes the arrow keys itself).
#pragma once

#include "ce/windef.h"
#include "ce/winuser.h"

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

// The scroll codes of the up-down's WM_VSCROLL / WM_HSCROLL (SB_THUMBPOSITION,
// SB_ENDSCROLL) are winuser.h's.

// --- Trackbar -------------------------------------------------------------------------
//
// A thumb on a channel, moved in [min, max] by the arrow keys (a line), Page
// Up/Down (a page), Home/End and the pen (a tap beside the thumb goes a page
// towards it, the thumb drags). Each move tells the parent WM_HSCROLL
// (WM_VSCROLL with TBS_VERT) with a TB_ code in the low word of wParam (and
// the position in the high word for TB_THUMBTRACK / TB_THUMBPOSITION), the
// control in lParam; a key's release or the pen's lift ends with
// TB_ENDTRACK. Left out: custom ticks (TBM_SETTIC), the selection range,
// buddies and tooltips.

inline constexpr const wchar_t* TRACKBAR_CLASSW = L"msctls_trackbar32";
inline constexpr const wchar_t* TRACKBAR_CLASS = TRACKBAR_CLASSW;

inline constexpr DWORD TBS_AUTOTICKS = 0x0001;
inline constexpr DWORD TBS_VERT = 0x0002;
inline constexpr DWORD TBS_HORZ = 0x0000;
inline constexpr DWORD TBS_TOP = 0x0004;
inline constexpr DWORD TBS_BOTTOM = 0x0000;
inline constexpr DWORD TBS_LEFT = 0x0004;
inline constexpr DWORD TBS_RIGHT = 0x0000;
inline constexpr DWORD TBS_BOTH = 0x0008;
inline constexpr DWORD TBS_NOTICKS = 0x0010;
inline constexpr DWORD TBS_ENABLESELRANGE = 0x0020;
inline constexpr DWORD TBS_FIXEDLENGTH = 0x0040;
inline constexpr DWORD TBS_NOTHUMB = 0x0080;

inline constexpr UINT TBM_GETPOS = 0x0400;
inline constexpr UINT TBM_GETRANGEMIN = 0x0400 + 1;
inline constexpr UINT TBM_GETRANGEMAX = 0x0400 + 2;
inline constexpr UINT TBM_SETPOS = 0x0400 + 5;       // wParam: redraw; lParam: the position
inline constexpr UINT TBM_SETRANGE = 0x0400 + 6;     // wParam: redraw; lParam: MAKELONG(min, max)
inline constexpr UINT TBM_SETRANGEMIN = 0x0400 + 7;  // wParam: redraw; lParam: min
inline constexpr UINT TBM_SETRANGEMAX = 0x0400 + 8;  // wParam: redraw; lParam: max
inline constexpr UINT TBM_CLEARTICS = 0x0400 + 9;
inline constexpr UINT TBM_SETTICFREQ = 0x0400 + 20;   // wParam: a tick every so many positions
inline constexpr UINT TBM_SETPAGESIZE = 0x0400 + 21;  // returns the old page
inline constexpr UINT TBM_GETPAGESIZE = 0x0400 + 22;
inline constexpr UINT TBM_SETLINESIZE = 0x0400 + 23;  // returns the old line
inline constexpr UINT TBM_GETLINESIZE = 0x0400 + 24;
// The last message number of the trackbar's own.
inline constexpr UINT TBM_LAST = 0x0400 + 40;

inline constexpr WORD TB_LINEUP = 0;
inline constexpr WORD TB_LINEDOWN = 1;
inline constexpr WORD TB_PAGEUP = 2;
inline constexpr WORD TB_PAGEDOWN = 3;
inline constexpr WORD TB_THUMBPOSITION = 4;
inline constexpr WORD TB_THUMBTRACK = 5;
inline constexpr WORD TB_TOP = 6;
inline constexpr WORD TB_BOTTOM = 7;
inline constexpr WORD TB_ENDTRACK = 8;

// --- Progress bar ---------------------------------------------------------------------
//
// A bar filled in proportion to its position in [low, high]; the position
// is kept within the range. Stepping past the high end starts again from
// the low end.

inline constexpr const wchar_t* PROGRESS_CLASSW = L"msctls_progress32";
inline constexpr const wchar_t* PROGRESS_CLASS = PROGRESS_CLASSW;

inline constexpr DWORD PBS_SMOOTH = 0x0001;
inline constexpr DWORD PBS_VERTICAL = 0x0004;

struct PBRANGE {
  int iLow;
  int iHigh;
};

inline constexpr UINT PBM_SETRANGE = 0x0400 + 1;    // lParam: MAKELPARAM(low, high); returns the old range so
inline constexpr UINT PBM_SETPOS = 0x0400 + 2;      // returns the old position
inline constexpr UINT PBM_DELTAPOS = 0x0400 + 3;    // adds wParam; returns the old position
inline constexpr UINT PBM_SETSTEP = 0x0400 + 4;     // returns the old step
inline constexpr UINT PBM_STEPIT = 0x0400 + 5;      // returns the old position
inline constexpr UINT PBM_SETRANGE32 = 0x0400 + 6;  // wParam low, lParam high
inline constexpr UINT PBM_GETRANGE = 0x0400 + 7;    // wParam: TRUE for low; lParam: PBRANGE* or null
inline constexpr UINT PBM_GETPOS = 0x0400 + 8;
// The last message number of the progress bar's own.
inline constexpr UINT PBM_LAST = 0x0400 + 40;

#pragma GCC visibility pop
