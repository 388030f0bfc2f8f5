// The button control: push and default push buttons, check boxes (two and
// three states, manual and automatic), radio buttons (manual and automatic,
// an automatic one clearing the others of its group) and group boxes.
// Pressed with the pen (down and up inside), the space key, or BM_CLICK;
// a click tells the parent with WM_COMMAND (id, BN_CLICKED), and with
// BS_NOTIFY so do focus changes (BN_SETFOCUS, BN_KILLFOCUS).
#include <algorithm>
#include <string>

#include "controls/controls.h"
#include "kernel/not_implemented.h"

namespace ce::controls {
namespace {

// Window fields: the state bits (BST_*), then the font.
constexpr int kStateField = 0;
constexpr int kFontField = 8;
constexpr int kExtra = 16;

DWORD Type(HWND hwnd) { return static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)) & BS_TYPEMASK; }
UINT State(HWND hwnd) { return static_cast<UINT>(GetWindowLongW(hwnd, kStateField)); }
void SetState(HWND hwnd, UINT state) {
  if (State(hwnd) == state) return;
  SetWindowLongW(hwnd, kStateField, static_cast<LONG>(state));
  InvalidateRect(hwnd, nullptr, TRUE);
}

bool IsRadio(DWORD type) { return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON; }
bool IsCheck(DWORD type) {
  return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE;
}
bool IsPush(DWORD type) { return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON; }

void SetCheck(HWND hwnd, UINT check) {
  const DWORD type = Type(hwnd);
  if (!IsRadio(type) && !IsCheck(type)) return;
  if (check == BST_INDETERMINATE && type != BS_3STATE && type != BS_AUTO3STATE) check = BST_CHECKED;
  if (check > BST_INDETERMINATE) check = BST_CHECKED;
  SetState(hwnd, (State(hwnd) & ~3u) | check);
  // The chosen radio button of a group is its tab stop, so Tab comes back
  // to the choice.
  if (IsRadio(type)) {
    const auto style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
    SetWindowLongW(hwnd, GWL_STYLE, static_cast<LONG>(check ? style | WS_TABSTOP : style & ~WS_TABSTOP));
  }
}

// Clears the other automatic radio buttons of the button's group: the
// siblings from the control that starts the group (WS_GROUP) to the next.
void ClearGroup(HWND hwnd) {
  HWND parent = GetParent(hwnd);
  if (!parent) return;
  HWND start = hwnd;
  for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    if (GetWindowLongW(c, GWL_STYLE) & WS_GROUP) start = c;
    if (c == hwnd) break;
  }
  for (HWND c = start; c; c = GetWindow(c, GW_HWNDNEXT)) {
    if (c != start && (GetWindowLongW(c, GWL_STYLE) & WS_GROUP)) break;
    if (c != hwnd && (SendMessageW(c, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON)) {
      SendMessageW(c, BM_SETCHECK, BST_UNCHECKED, 0);
    }
  }
}

// Tells the parent with WM_COMMAND (id, code).
void Notify(HWND hwnd, WORD code) {
  SendMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), code), reinterpret_cast<LPARAM>(hwnd));
}

void Click(HWND hwnd) {
  switch (Type(hwnd)) {
    case BS_AUTOCHECKBOX:
      SetCheck(hwnd, (State(hwnd) & 3) ? BST_UNCHECKED : BST_CHECKED);
      break;
    case BS_AUTO3STATE:
      SetCheck(hwnd, ((State(hwnd) & 3) + 1) % 3);
      break;
    case BS_AUTORADIOBUTTON:
      SetCheck(hwnd, BST_CHECKED);
      ClearGroup(hwnd);
      break;
    case BS_GROUPBOX:
      return;
    default:
      break;
  }
  Notify(hwnd, BN_CLICKED);
}

void SetPushed(HWND hwnd, bool pushed) {
  const UINT state = State(hwnd);
  SetState(hwnd, pushed ? state | BST_PUSHED : state & ~BST_PUSHED);
}

bool Inside(HWND hwnd, LPARAM lParam) {
  RECT r{};
  GetClientRect(hwnd, &r);
  const int x = static_cast<short>(LOWORD(lParam));
  const int y = static_cast<short>(HIWORD(lParam));
  return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

HFONT FontOf(HWND hwnd) {
  auto font = reinterpret_cast<HFONT>(GetWindowLongPtrW(hwnd, kFontField));
  return font ? font : static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
}

UINT TextFormat(DWORD style, UINT horizontalDefault) {
  UINT format = (style & BS_MULTILINE) ? DT_WORDBREAK : DT_SINGLELINE;
  switch (style & BS_CENTER) {
    case BS_LEFT:
      format |= DT_LEFT;
      break;
    case BS_RIGHT:
      format |= DT_RIGHT;
      break;
    case BS_CENTER:
      format |= DT_CENTER;
      break;
    default:
      format |= horizontalDefault;
  }
  if (!(style & BS_MULTILINE)) {
    switch (style & BS_VCENTER) {
      case BS_TOP:
        break;
      case BS_BOTTOM:
        format |= DT_BOTTOM;
        break;
      default:
        format |= DT_VCENTER;
    }
  }
  return format;
}

// A filled disc, row by row, for radio buttons.
void FillDisc(HDC hdc, int cx, int cy, int radius, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  for (int dy = -radius; dy < radius; ++dy) {
    const double y = dy + 0.5;
    int half = 0;
    while ((half + 0.5) * (half + 0.5) + y * y <= static_cast<double>(radius) * radius) ++half;
    const RECT row{cx - half, cy + dy, cx + half, cy + dy + 1};
    FillRect(hdc, &row, brush);
  }
  DeleteObject(brush);
}

void Paint(HWND hwnd) {
  PAINTSTRUCT ps{};
  HDC hdc = BeginPaint(hwnd, &ps);
  if (!hdc) return;
  RECT client{};
  GetClientRect(hwnd, &client);
  const DWORD style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
  const DWORD type = style & BS_TYPEMASK;
  const UINT state = State(hwnd);
  const bool enabled = IsWindowEnabled(hwnd) != FALSE;
  const bool focused = (state & BST_FOCUS) != 0;
  const bool pushed = (state & BST_PUSHED) != 0;
  HGDIOBJ oldFont = SelectObject(hdc, FontOf(hwnd));
  SetBkMode(hdc, TRANSPARENT);
  TEXTMETRICW tm{};
  GetTextMetricsW(hdc, &tm);
  const int lineHeight = std::max<int>(tm.tmHeight, 8);
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));

  if (IsPush(type) || ((style & BS_PUSHLIKE) && (IsCheck(type) || IsRadio(type)))) {
    const bool down = pushed || ((style & BS_PUSHLIKE) && (state & 3));
    FillColor(hdc, client, down ? kHighlight : kButtonFace);
    const bool isDefault = type == BS_DEFPUSHBUTTON || (focused && IsPush(type));
    FrameColor(hdc, client, kFrameColor, isDefault ? 2 : 1);
    SetTextColor(hdc, !enabled ? kGrayTextColor : down ? kHighlightText : kTextColor);
    RECT area{client.left + 3, client.top + 2, client.right - 3, client.bottom - 2};
    DrawTextW(hdc, text.c_str(), -1, &area, TextFormat(style, DT_CENTER));
    if (focused) {
      const RECT inner{client.left + 3, client.top + 3, client.right - 3, client.bottom - 3};
      FrameColor(hdc, inner, down ? kHighlightText : kHighlight);
    }
  } else if (type == BS_GROUPBOX) {
    // Only the frame and the label: the controls inside the box are drawn
    // in the same part of the screen and stay.
    SIZE extent{};
    GetTextExtentPoint32W(hdc, text.c_str(), static_cast<int>(text.size()), &extent);
    const int half = lineHeight / 2;
    const RECT frame{client.left, client.top + half, client.right, client.bottom};
    FrameColor(hdc, frame, kGrayTextColor);
    if (!text.empty()) {
      const RECT label{client.left + 6, client.top, client.left + 10 + extent.cx, client.top + lineHeight};
      FillColor(hdc, label, kWindowColor);
      SetTextColor(hdc, enabled ? kTextColor : kGrayTextColor);
      RECT area{label.left + 2, label.top, label.right, label.bottom};
      DrawTextW(hdc, text.c_str(), -1, &area, DT_SINGLELINE | DT_LEFT | DT_TOP);
    }
  } else {
    // Check box or radio button: the mark beside its text.
    FillColor(hdc, client, kWindowColor);
    const int box = std::clamp(lineHeight - 2, 9, 15);
    const bool leftText = (style & BS_LEFTTEXT) != 0;
    const int top = (client.top + client.bottom - box) / 2;
    const int left = leftText ? client.right - box : client.left;
    const RECT mark{left, top, left + box, top + box};
    const UINT check = state & 3;
    const COLORREF ink = enabled ? kTextColor : kGrayTextColor;
    if (IsRadio(type)) {
      const int cx = (mark.left + mark.right) / 2;
      const int cy = (mark.top + mark.bottom) / 2;
      FillDisc(hdc, cx, cy, box / 2, ink);
      FillDisc(hdc, cx, cy, box / 2 - 1, pushed ? kButtonFace : kWindowColor);
      if (check) FillDisc(hdc, cx, cy, std::max(box / 2 - 3, 1), ink);
    } else {
      FillColor(hdc, mark, pushed ? kButtonFace : kWindowColor);
      FrameColor(hdc, mark, ink);
      const RECT inner{mark.left + 3, mark.top + 3, mark.right - 3, mark.bottom - 3};
      if (check == BST_CHECKED) FillColor(hdc, inner, ink);
      if (check == BST_INDETERMINATE) FillColor(hdc, inner, kGrayTextColor);
    }
    RECT area = leftText ? RECT{client.left, client.top, mark.left - 4, client.bottom}
                         : RECT{mark.right + 4, client.top, client.right, client.bottom};
    SetTextColor(hdc, ink);
    DrawTextW(hdc, text.c_str(), -1, &area, TextFormat(style, DT_LEFT));
    if (focused && !text.empty()) {
      RECT bound = area;
      DrawTextW(hdc, text.c_str(), -1, &bound, TextFormat(style, DT_LEFT) | DT_CALCRECT);
      const RECT ring{area.left - 2, (client.top + client.bottom - lineHeight) / 2 - 1,
                      std::min<LONG>(area.left + (bound.right - bound.left) + 2, client.right),
                      (client.top + client.bottom + lineHeight) / 2 + 1};
      FrameColor(hdc, ring, kHighlight);
    }
  }
  SelectObject(hdc, oldFont);
  EndPaint(hwnd, &ps);
}

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: {
      const DWORD type = reinterpret_cast<const CREATESTRUCTW*>(lParam)->style & BS_TYPEMASK;
      if (type == BS_OWNERDRAW || type == 8 || type > BS_OWNERDRAW) {
        ce::kernel::NotImplemented("button style (owner-drawn and other kinds)");
        return -1;
      }
      // A group box frames other controls: the pen goes through it to them.
      if (type == BS_GROUPBOX) SetWindowLongW(hwnd, GWL_EXSTYLE, GetWindowLongW(hwnd, GWL_EXSTYLE) | WS_EX_TRANSPARENT);
      return 0;
    }
    case WM_GETDLGCODE:
      switch (Type(hwnd)) {
        case BS_PUSHBUTTON:
          return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
        case BS_DEFPUSHBUTTON:
          return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
          return DLGC_BUTTON | DLGC_RADIOBUTTON;
        case BS_GROUPBOX:
          return DLGC_STATIC;
        default:
          return DLGC_BUTTON;
      }
    case BM_GETCHECK:
      return State(hwnd) & 3;
    case BM_SETCHECK:
      SetCheck(hwnd, static_cast<UINT>(wParam));
      return 0;
    case BM_GETSTATE:
      return State(hwnd);
    case BM_SETSTATE:
      SetPushed(hwnd, wParam != 0);
      return 0;
    case BM_SETSTYLE: {
      const DWORD style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
      SetWindowLongW(hwnd, GWL_STYLE, static_cast<LONG>((style & ~0xFFFFu) | (wParam & 0xFFFF)));
      if (lParam) InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    }
    case BM_CLICK:
      if (IsWindowEnabled(hwnd)) Click(hwnd);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (Type(hwnd) == BS_GROUPBOX) return 0;
      SetCapture(hwnd);
      if (GetFocus() != hwnd) SetFocus(hwnd);
      SetPushed(hwnd, true);
      return 0;
    case WM_MOUSEMOVE:
      if (GetCapture() == hwnd) SetPushed(hwnd, Inside(hwnd, lParam));
      return 0;
    case WM_LBUTTONUP:
      if (GetCapture() != hwnd) return 0;
      {
        const bool click = (State(hwnd) & BST_PUSHED) && Inside(hwnd, lParam);
        SetPushed(hwnd, false);
        ReleaseCapture();
        if (click) Click(hwnd);
      }
      return 0;
    case WM_CAPTURECHANGED:
      SetPushed(hwnd, false);
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_SPACE && Type(hwnd) != BS_GROUPBOX) SetPushed(hwnd, true);
      return 0;
    case WM_KEYUP:
      if (wParam == VK_SPACE && (State(hwnd) & BST_PUSHED)) {
        SetPushed(hwnd, false);
        Click(hwnd);
      }
      return 0;
    case WM_SETFOCUS:
      SetState(hwnd, State(hwnd) | BST_FOCUS);
      if (GetWindowLongW(hwnd, GWL_STYLE) & BS_NOTIFY) Notify(hwnd, BN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      SetState(hwnd, State(hwnd) & ~(BST_FOCUS | BST_PUSHED));
      if (GetCapture() == hwnd) ReleaseCapture();
      if (GetWindowLongW(hwnd, GWL_STYLE) & BS_NOTIFY) Notify(hwnd, BN_KILLFOCUS);
      return 0;
    default:
      return DrawnControlMessage(hwnd, message, wParam, lParam, kFontField, Paint);
  }
}

}  // namespace

void RegisterStaticAndButton() {
  WNDCLASSW wc{};
  wc.style = CS_DBLCLKS | CS_GLOBALCLASS;
  wc.lpfnWndProc = ButtonProc;
  wc.cbWndExtra = kExtra;
  wc.lpszClassName = kButtonClass;
  RegisterClassW(&wc);
  RegisterStatic();
}

}  // namespace ce::controls
