// The window and drawing types of the device's SDK: window, device-context
// and drawing-object handles, colours and the small geometry structures
// (RECT, POINT, SIZE), over the base types of minwindef.h.
#pragma once

#include "ce/minwindef.h"

#pragma GCC visibility push(default)

using COLORREF = DWORD;

// Window, device-context and drawing-object handles (CE_DECLARE_HANDLE: one
// distinct pointer type each).
CE_DECLARE_HANDLE(HWND);
CE_DECLARE_HANDLE(HDC);
CE_DECLARE_HANDLE(HMENU);
CE_DECLARE_HANDLE(HICON);
CE_DECLARE_HANDLE(HBITMAP);
CE_DECLARE_HANDLE(HBRUSH);
CE_DECLARE_HANDLE(HPEN);
CE_DECLARE_HANDLE(HFONT);
CE_DECLARE_HANDLE(HRGN);
CE_DECLARE_HANDLE(HPALETTE);
CE_DECLARE_HANDLE(HACCEL);
using HCURSOR = HICON;
using HGDIOBJ = void*;

struct POINT {
  LONG x;
  LONG y;
};
using LPPOINT = POINT*;
using PPOINT = POINT*;

struct SIZE {
  LONG cx;
  LONG cy;
};
using LPSIZE = SIZE*;

struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};
using LPRECT = RECT*;
using LPCRECT = const RECT*;

#pragma GCC visibility pop
