// Helpers the suite's windows and dialogs share: screen DPI and UI metrics,
// the plug-in window class, combo boxes filled from string resources or
// numbers, message boxes from string resources, text drawing, the focus
// tint, point and rectangle tests, the storage root's name and switching
// the device off. Pixel sizes are given at 96 DPI and scaled with ScaleByDpi.
#pragma once

#include "ce/windows.h"

namespace suite {

// Reads the screen's DPI once (while the horizontal DPI is still 0).
void InitScreenDpi();
int ScreenDpiX();
int ScreenDpiY();
// (n * DPI + 48) / 96 with the horizontal DPI.
int ScaleByDpi(int n);

// The shell's UI metrics (1: font size in points x 100, 2: in pixels, 3:
// the scale in per cent) into a 4-byte buffer. Without the shell's own
// call, computed from the system font; a null or too small buffer only
// reports the 4 bytes needed.
HRESULT GetUIMetrics(DWORD metric, void* buffer, DWORD size, DWORD* required);

// A plug-in's hidden window class: redraw on resize, the white stock
// brush, no icon, cursor or menu.
ATOM RegisterPluginWindowClass(HINSTANCE module, LPCWSTR className, WNDPROC procedure);
// The font SetChildFonts hands out (the launcher bar's normal font).
void SetChildFontSource(HFONT font);
// WM_SETFONT with that font to every direct child, without redrawing.
void SetChildFonts(HWND window);
BOOL ReturnTrue();

// Strings first..last of the module's table (empty ones skipped); then the
// selection, unless select is -1.
void FillComboFromStrings(HWND combo, UINT firstId, UINT lastId, int select);
void FillComboWithNumbers(HWND combo, int from, int to, int step, int select);
// The selected item as a decimal number; 0 when nothing usable is selected.
ULONG GetComboNumber(HWND dialog, int id);
void SelectComboNumber(HWND combo, ULONG value);
// The selected number when min <= n <= max and (n - min) is a multiple of
// step (any n in range for a step of 0 or less).
BOOL GetComboNumberInRange(HWND dialog, int id, ULONG min, ULONG max, int step, ULONG* out);

// A message box with the module's strings; 0 when either is empty.
int ShowMessageFromStrings(HWND owner, UINT captionId, UINT textId, UINT type);

BOOL PtInBounds(int left, int top, int right, int bottom, int x, int y);
BOOL IsShortScreen();
void SetPoint(POINT* point, int x, int y);
int DrawTextInFont(HDC dc, LPCWSTR text, RECT* rect, UINT format, HFONT font, COLORREF colour);
// "\IPSM" on OS major version 3, else "\Storage" (no trailing "\").
BOOL GetStorageRootName(LPWSTR buffer);
// Blends the rectangle towards `colour` by strength 0..255.
void TintRect(HDC dc, const RECT* rect, COLORREF colour, int strength);
// Presses and releases the power key.
void PowerOffDevice();
void EmptyHook();
void DebugTrace(LPCWSTR format, ...);

void UnionRect(RECT* out, const RECT* a, const RECT* b);
void DeflateRect(RECT* out, const RECT* rect, int n);
void OffsetRect(RECT* out, const RECT* rect, POINT point);

}  // namespace suite
