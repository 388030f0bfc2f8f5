#include "icon_details_popup.h"

#include "bar_settings.h"
#include "common/ui_helpers.h"
#include "launcher_state.h"

namespace tessivo {

CIconDetailsPopup& CIconDetailsPopup::Instance() {
  static CIconDetailsPopup popup;
  return popup;
}

CIconDetailsPopup::~CIconDetailsPopup() {
  if (m_brush != nullptr) DeleteObject(m_brush);
  if (m_pen != nullptr) DeleteObject(m_pen);
}

INT_PTR CIconDetailsPopup::Show(HWND parent, int y) {
  m_iconTop = y;
  m_activatedAt = GetTickCount();
  m_pressedInside = false;
  HINSTANCE module = Module();
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(kTemplate), RT_DIALOG);
  HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (bytes == nullptr) return -1;
  return DialogBoxIndirectParamW(module, static_cast<LPCDLGTEMPLATEW>(bytes), parent, &Procedure, 0);
}

void CIconDetailsPopup::Place(HWND hwnd) {
  int top = m_iconTop + S(26);
  // Too near the bottom: above the icon instead.
  if (top + S(100) + S(10) > S(291)) top -= S(120);
  MoveWindow(hwnd, S(5), top + S(10), State().screenWidth - S(10), S(100), FALSE);
}

void CIconDetailsPopup::Paint(HWND hwnd) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  if (dc == nullptr) return;
  if (m_brush == nullptr) m_brush = CreateSolidBrush(RGB(255, 255, 180));
  if (m_pen == nullptr) m_pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
  RECT client;
  GetClientRect(hwnd, &client);
  HGDIOBJ oldBrush = SelectObject(dc, m_brush);
  HGDIOBJ oldPen = SelectObject(dc, m_pen);
  Rectangle(dc, client.left, client.top, client.right, client.bottom);
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  const int index = State().tappedIndex;
  if (index >= 0 && index < kIconItemCount) {
    const CIconItem& item = BarSettings().Item(index);
    const COLORREF colour = State().colors[COLOR_HOMETEXT];
    HFONT font = State().normalFont;
    RECT name = {S(5), S(5), client.right - S(5), S(18)};
    suite::DrawTextInFont(dc, item.Name().c_str(), &name, DT_SINGLELINE, font, colour);
    RECT path = {S(5), S(24), client.right - S(5), S(63)};
    suite::DrawTextInFont(dc, item.Path().c_str(), &path, DT_WORDBREAK, font, colour);
    if (item.HasParameters()) {
      RECT parameters = {S(5), S(69), client.right - S(5), S(95)};
      suite::DrawTextInFont(dc, item.Parameters().c_str(), &parameters, DT_WORDBREAK, font, colour);
    }
  }
  EndPaint(hwnd, &ps);
}

void CIconDetailsPopup::Close(HWND hwnd, INT_PTR code) {
  KillTimer(hwnd, kCloseTimer);
  EndDialog(hwnd, code);
}

INT_PTR CALLBACK CIconDetailsPopup::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  CIconDetailsPopup& self = Instance();
  switch (message) {
    case WM_INITDIALOG:
      self.m_window = hwnd;
      suite::SetChildFonts(hwnd);
      self.Place(hwnd);
      SetTimer(hwnd, kCloseTimer, kCloseAfterMs, nullptr);
      return TRUE;
    case WM_PAINT:
      self.Paint(hwnd);
      return TRUE;
    case WM_TIMER:
      if (wParam == kCloseTimer) self.Close(hwnd, 0);
      return TRUE;
    case WM_CLOSE:
    case WM_CHAR:
      self.Close(hwnd, 0);
      return TRUE;
    case WM_LBUTTONDOWN: {
      RECT client;
      GetClientRect(hwnd, &client);
      const int x = static_cast<short>(LOWORD(lParam));
      const int y = static_cast<short>(HIWORD(lParam));
      self.m_pressedInside = x >= client.left && x < client.right && y >= client.top && y < client.bottom;
      return TRUE;
    }
    case WM_LBUTTONUP:
      if (self.m_pressedInside) self.Close(hwnd, 0);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        self.Close(hwnd, LOWORD(wParam));
        return TRUE;
      }
      return FALSE;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) {
        self.m_activatedAt = GetTickCount();
      } else if (GetTickCount() - self.m_activatedAt > 1000) {
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
      }
      return FALSE;
    case WM_DESTROY:
      self.m_window = nullptr;
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace tessivo
