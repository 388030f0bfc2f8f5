// The static control: text, left, centred or right, wrapped between words
// (SS_LEFTNOWORDWRAP and SS_SIMPLE keep one line), or a picture: SS_ICON
// draws an icon and SS_BITMAP a bitmap set with STM_SETIMAGE (a dialog
// template's resource ordinal sets it too). A picture control takes the
// picture's size unless SS_CENTERIMAGE centres it in the control. With
// SS_NOTIFY a tap tells the parent with WM_COMMAND (id, STN_CLICKED).
#include <string>

#include "ce/winbase.h"
#include "controls/controls.h"
#include "kernel/not_implemented.h"
#include "resources/icons.h"

namespace ce::controls {
namespace {

constexpr int kFontField = 0;
constexpr int kImageField = sizeof(LONG_PTR);  // the icon or bitmap shown (not owned)
constexpr int kExtra = 2 * sizeof(LONG_PTR);

bool TextKind(DWORD type) {
  return type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT || type == SS_SIMPLE || type == SS_LEFTNOWORDWRAP;
}

bool PictureKind(DWORD type) { return type == SS_ICON || type == SS_BITMAP; }

DWORD TypeOf(HWND hwnd) { return static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)) & SS_TYPEMASK; }

// The picture's size; nothing when the control has none or it is gone.
std::optional<SIZE> PictureSize(DWORD type, HANDLE image) {
  if (!image) return std::nullopt;
  if (type == SS_ICON) return ce::resources::IconSize(static_cast<HICON>(image));
  BITMAP bm{};
  if (GetObjectW(image, sizeof bm, &bm) != sizeof bm) return std::nullopt;
  return SIZE{bm.bmWidth, bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight};
}

void DrawPicture(HWND hwnd, HDC hdc, const RECT& client, DWORD style) {
  const DWORD type = style & SS_TYPEMASK;
  const auto image = reinterpret_cast<HANDLE>(GetWindowLongPtrW(hwnd, kImageField));
  const auto size = PictureSize(type, image);
  if (!size) return;
  int x = 0;
  int y = 0;
  if (style & SS_CENTERIMAGE) {
    x = (client.right - size->cx) / 2;
    y = (client.bottom - size->cy) / 2;
  }
  if (type == SS_ICON) {
    DrawIconEx(hdc, x, y, static_cast<HICON>(image), 0, 0, 0, nullptr, DI_NORMAL);
    return;
  }
  HDC memory = CreateCompatibleDC(hdc);
  if (!memory) return;
  HGDIOBJ old = SelectObject(memory, image);
  if (old) {
    BitBlt(hdc, x, y, size->cx, size->cy, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
  }
  DeleteDC(memory);
}

void Paint(HWND hwnd) {
  PAINTSTRUCT ps{};
  HDC hdc = BeginPaint(hwnd, &ps);
  if (!hdc) return;
  RECT client{};
  GetClientRect(hwnd, &client);
  const DWORD style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
  FillColor(hdc, client, kWindowColor);
  if (PictureKind(style & SS_TYPEMASK)) {
    DrawPicture(hwnd, hdc, client, style);
    EndPaint(hwnd, &ps);
    return;
  }
  auto font = reinterpret_cast<HFONT>(GetWindowLongPtrW(hwnd, kFontField));
  HGDIOBJ oldFont = SelectObject(hdc, font ? font : GetStockObject(SYSTEM_FONT));
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

// STM_SETIMAGE: the picture of the control's own kind; returns the one it
// replaces (the caller still owns both).
LRESULT SetImage(HWND hwnd, WPARAM kind, LPARAM image) {
  const DWORD type = TypeOf(hwnd);
  const bool matches = (type == SS_ICON && kind == IMAGE_ICON) || (type == SS_BITMAP && kind == IMAGE_BITMAP);
  if (!matches) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const auto size = PictureSize(type, reinterpret_cast<HANDLE>(image));
  if (image && !size) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  const LONG_PTR old = SetWindowLongPtrW(hwnd, kImageField, image);
  if (size && !(GetWindowLongW(hwnd, GWL_STYLE) & SS_CENTERIMAGE)) {
    SetWindowPos(hwnd, nullptr, 0, 0, size->cx, size->cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  InvalidateRect(hwnd, nullptr, TRUE);
  return old;
}

LRESULT CALLBACK StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: {
      const DWORD type = reinterpret_cast<const CREATESTRUCTW*>(lParam)->style & SS_TYPEMASK;
      if (!TextKind(type) && !PictureKind(type)) {
        ce::kernel::NotImplemented("static style (frames and rectangles)");
        return -1;
      }
      return 0;
    }
    case WM_GETDLGCODE:
      return DLGC_STATIC;
    case STM_SETIMAGE:
      return SetImage(hwnd, wParam, lParam);
    case STM_GETIMAGE: {
      const DWORD type = TypeOf(hwnd);
      if ((type == SS_ICON && wParam == IMAGE_ICON) || (type == SS_BITMAP && wParam == IMAGE_BITMAP)) {
        return GetWindowLongPtrW(hwnd, kImageField);
      }
      return 0;
    }
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
