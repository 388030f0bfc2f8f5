// The edit, list box, combo box and up-down controls: their registration
// and what their window procedures share (colours, drawing, notifications,
// the per-window state).
#pragma once

#include "ce/wingdi.h"
#include "ce/winuser.h"

namespace ce::controls {

// Registers "EDIT", "CAPEDIT", "LISTBOX", "COMBOBOX" and the up-down class.
// Calling it again changes nothing.
void RegisterEditAndLists();
// Registers the trackbar and progress bar classes; calling it again changes
// nothing.
void RegisterTrackbarAndProgress();

namespace detail {

// The device's system colours for controls, read as each control draws so a
// changed scheme shows at the next paint.
inline COLORREF WindowColor() { return GetSysColor(COLOR_WINDOW); }
inline COLORREF TextColor() { return GetSysColor(COLOR_WINDOWTEXT); }
inline COLORREF HighlightColor() { return GetSysColor(COLOR_HIGHLIGHT); }
inline COLORREF HighlightTextColor() { return GetSysColor(COLOR_HIGHLIGHTTEXT); }
inline COLORREF GrayTextColor() { return GetSysColor(COLOR_GRAYTEXT); }
inline COLORREF FaceColor() { return GetSysColor(COLOR_BTNFACE); }
inline COLORREF FrameColor() { return GetSysColor(COLOR_WINDOWFRAME); }

// WM_COMMAND to the parent: the control's id and the code in wParam.
void Notify(HWND control, WORD code);
void FillSolid(HDC dc, const RECT& rect, COLORREF color);
// A one-pixel frame on the rectangle's inside.
void FrameSolid(HDC dc, const RECT& rect, COLORREF color);
// The font a control draws in when none was set: the system font.
HFONT SystemFont();
// Height of a line of text in the font.
int LineHeightOf(HDC measure);

// A memory DC holding a control's font, for measuring its text; the DC's
// own font is put back when it goes.
class MeasureDC {
 public:
  MeasureDC() : dc_(CreateCompatibleDC(nullptr)), old_(SelectObject(dc_, SystemFont())) {}
  ~MeasureDC() {
    SelectObject(dc_, old_);
    DeleteDC(dc_);
  }
  MeasureDC(const MeasureDC&) = delete;
  MeasureDC& operator=(const MeasureDC&) = delete;

  HDC get() const { return dc_; }
  // Measures with the font from now on (the system font for null) and
  // returns its line height.
  int Select(HFONT font) {
    SelectObject(dc_, font ? font : SystemFont());
    return LineHeightOf(dc_);
  }

 private:
  HDC dc_;
  HGDIOBJ old_;
};
DWORD StyleOf(HWND hwnd);
bool KeyIsDown(int virtualKey);

// A control's state lives behind the first pointer of its window's extra
// bytes.
template <typename T>
T* StateOf(HWND hwnd) {
  return reinterpret_cast<T*>(GetWindowLongPtrW(hwnd, 0));
}

// The rest of a stateful control's window procedure: each message goes to
// the state object, which goes with the window.
template <typename T>
LRESULT ForwardToState(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  T* state = StateOf<T>(hwnd);
  if (!state) return DefWindowProcW(hwnd, message, wParam, lParam);
  if (message == WM_DESTROY) {
    SetWindowLongPtrW(hwnd, 0, 0);
    delete state;
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
  return state->Handle(message, wParam, lParam);
}

inline int XOf(LPARAM lParam) { return static_cast<short>(LOWORD(lParam)); }
inline int YOf(LPARAM lParam) { return static_cast<short>(HIWORD(lParam)); }

LRESULT CALLBACK EditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ListBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ComboBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK UpDownProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK TrackbarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ProgressProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace detail
}  // namespace ce::controls
