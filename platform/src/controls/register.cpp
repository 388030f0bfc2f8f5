// Registers the classes of the controls area once, the first time a dialog
// or any window is made.
#include <mutex>

#include "ce/commctrl.h"
#include "controls/controls.h"
#include "controls/edit_and_lists.h"
#include "user/hooks.h"

namespace ce::controls {

void EnsureRegistered() {
  static std::once_flag once;
  std::call_once(once, [] {
    RegisterDialogClass();
    RegisterStaticAndButton();
    RegisterEditAndLists();
    RegisterTrackbarAndProgress();
  });
}

void InstallStandardClasses() { ce::user::SetStandardClasses(&EnsureRegistered); }

void RegisterTrackbarAndProgress() {
  const auto add = [](LPCWSTR name, WNDPROC proc) {
    WNDCLASSW existing{};
    if (GetClassInfoW(nullptr, name, &existing)) return;
    WNDCLASSW wc{};
    wc.lpfnWndProc = proc;
    wc.cbWndExtra = sizeof(LONG_PTR);
    wc.lpszClassName = name;
    RegisterClassW(&wc);
  };
  add(TRACKBAR_CLASSW, detail::TrackbarProc);
  add(PROGRESS_CLASSW, detail::ProgressProc);
}

LRESULT DrawnControlMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, int fontField, void (*paint)(HWND)) {
  switch (message) {
    case WM_ENABLE:
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_SETTEXT: {
      const LRESULT done = DefWindowProcW(hwnd, message, wParam, lParam);
      InvalidateRect(hwnd, nullptr, TRUE);
      return done;
    }
    case WM_SETFONT:
      SetWindowLongPtrW(hwnd, fontField, static_cast<LONG_PTR>(wParam));
      if (lParam) InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_GETFONT:
      return GetWindowLongPtrW(hwnd, fontField);
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      paint(hwnd);
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

void FillColor(HDC hdc, const RECT& rect, COLORREF color) {
  if (rect.right <= rect.left || rect.bottom <= rect.top) return;
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(hdc, &rect, brush);
  DeleteObject(brush);
}

void FrameColor(HDC hdc, const RECT& r, COLORREF color, int t) {
  if (r.right - r.left < 2 * t || r.bottom - r.top < 2 * t) {
    FillColor(hdc, r, color);
    return;
  }
  HBRUSH brush = CreateSolidBrush(color);
  const RECT sides[4] = {{r.left, r.top, r.right, r.top + t},
                         {r.left, r.bottom - t, r.right, r.bottom},
                         {r.left, r.top + t, r.left + t, r.bottom - t},
                         {r.right - t, r.top + t, r.right, r.bottom - t}};
  for (const RECT& side : sides) FillRect(hdc, &side, brush);
  DeleteObject(brush);
}

}  // namespace ce::controls
