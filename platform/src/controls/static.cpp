// The static control: text, left, centred or right, wrapped between words
// (SS_LEFTNOWORDWRAP and SS_SIMPLE keep one line). With SS_NOTIFY a tap
// tells the parent with WM_COMMAND (id, STN_CLICKED).
#include <string>

#include "controls/controls.h"
#include "kernel/not_implemented.h"

namespace ce::controls {
namespace {

constexpr int kFontField = 0;
constexpr int kExtra = 8;

bool TextKind(DWORD type) {
  return type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT || type == SS_SIMPLE || type == SS_LEFTNOWORDWRAP;
}

void Paint(HWND hwnd) {
  PAINTSTRUCT ps{};
  HDC hdc = BeginPaint(hwnd, &ps);
  if (!hdc) return;
  RECT client{};
  GetClientRect(hwnd, &client);
  const DWORD style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
  auto font = reinterpret_cast<HFONT>(GetWindowLongPtrW(hwnd, kFontField));
  HGDIOBJ oldFont = SelectObject(hdc, font ? font : GetStockObject(SYSTEM_FONT));
  FillColor(hdc, client, kWindowColor);
  SetBkMode(hdc, TRANSPARENT);
  SetTextColor(hdc, IsWindowEnabled(hwnd) ? kTextColor : kGrayTextColor);
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  UINT format = 0;
  switch (style & SS_TYPEMASK) {
    case SS_CENTER:
      format = DT_CENTER | DT_WORDBREAK;
      break;
    case SS_RIGHT:
      format = DT_RIGHT | DT_WORDBREAK;
      break;
    case SS_SIMPLE:
    case SS_LEFTNOWORDWRAP:
      format = DT_LEFT | DT_SINGLELINE;
      break;
    default:
      format = DT_LEFT | DT_WORDBREAK;
  }
  if (style & SS_CENTERIMAGE) format = (format & ~DT_WORDBREAK) | DT_SINGLELINE | DT_VCENTER;
  if (style & SS_NOPREFIX) format |= DT_NOPREFIX;
  DrawTextW(hdc, text.c_str(), -1, &client, format);
  SelectObject(hdc, oldFont);
  EndPaint(hwnd, &ps);
}

LRESULT CALLBACK StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      if (!TextKind(reinterpret_cast<const CREATESTRUCTW*>(lParam)->style & SS_TYPEMASK)) {
        ce::kernel::NotImplemented("static style (icons, bitmaps, frames and rectangles)");
        return -1;
      }
      return 0;
    case WM_GETDLGCODE:
      return DLGC_STATIC;
    case STM_SETIMAGE:
    case STM_GETIMAGE:
      ce::kernel::NotImplemented("STM_SETIMAGE/STM_GETIMAGE");
      return 0;
    case WM_LBUTTONUP:
      if (GetWindowLongW(hwnd, GWL_STYLE) & SS_NOTIFY) {
        SendMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), STN_CLICKED),
                     reinterpret_cast<LPARAM>(hwnd));
      }
      return 0;
    default:
      return DrawnControlMessage(hwnd, message, wParam, lParam, kFontField, Paint);
  }
}

}  // namespace

void RegisterStatic() {
  WNDCLASSW wc{};
  wc.style = CS_GLOBALCLASS;
  wc.lpfnWndProc = StaticProc;
  wc.cbWndExtra = kExtra;
  wc.lpszClassName = kStaticClass;
  RegisterClassW(&wc);
}

}  // namespace ce::controls
