// The up-down control: two arrow halves (over each other, or side by side
// with UDS_HORZ) that step a buddy. A list box buddy is a one-line spin
// list: the arrows move its selection. Any other buddy follows the
// control's position, as text with UDS_SETBUDDYINT.
#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <string>

#include "ce/commctrl.h"
#include "controls/edit_and_lists.h"
#include "kernel/not_implemented.h"

namespace ce::controls::detail {
namespace {

bool IsListBox(HWND hwnd) {
  wchar_t name[16] = {};
  if (!hwnd || GetClassNameW(hwnd, name, 16) == 0) return false;
  const wchar_t* want = L"LISTBOX";
  for (int i = 0; want[i] || name[i]; ++i) {
    if (std::towupper(name[i]) != static_cast<wint_t>(want[i])) return false;
  }
  return true;
}

class UpDown {
 public:
  explicit UpDown(HWND hwnd) : hwnd_(hwnd) {}

  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  HWND SetBuddy(HWND buddy);

 private:
  bool horizontal() const { return (StyleOf(hwnd_) & UDS_HORZ) != 0; }
  int low() const { return std::min(lower_, upper_); }
  int high() const { return std::max(lower_, upper_); }
  // The position, read from a list box buddy's selection or a number
  // buddy's text; false when neither gives one.
  bool Position(int* position);
  void SetPosition(int position, bool fromUser);
  void ShowInBuddy();
  // One arrow: +1 the up (right) one, -1 the down (left) one.
  void Step(int direction);
  void Paint();

  HWND hwnd_;
  HWND buddy_ = nullptr;
  int lower_ = 100;  // the device's defaults: the up arrow counts down
  int upper_ = 0;
  int position_ = 0;
  int pressed_ = 0;
};

HWND UpDown::SetBuddy(HWND buddy) {
  HWND old = buddy_;
  buddy_ = IsWindow(buddy) ? buddy : nullptr;
  if (!buddy_) return old;
  const DWORD style = StyleOf(hwnd_);
  if ((style & UDS_ARROWKEYS) && !IsListBox(buddy_)) {
    ce::kernel::NotImplemented("UDS_ARROWKEYS for a buddy other than a list box");
  }
  if (style & (UDS_ALIGNLEFT | UDS_ALIGNRIGHT)) {
    // The buddy gives up the control's width on its side to it.
    HWND parent = GetParent(hwnd_);
    RECT mine{};
    RECT theirs{};
    GetWindowRect(hwnd_, &mine);
    GetWindowRect(buddy_, &theirs);
    POINT topLeft{theirs.left, theirs.top};
    if (parent) ScreenToClient(parent, &topLeft);
    const int width = mine.right - mine.left;
    const int buddyWidth = std::max(0, static_cast<int>(theirs.right - theirs.left) - width);
    const int height = theirs.bottom - theirs.top;
    if (style & UDS_ALIGNRIGHT) {
      MoveWindow(buddy_, topLeft.x, topLeft.y, buddyWidth, height, TRUE);
      MoveWindow(hwnd_, topLeft.x + buddyWidth, topLeft.y, width, height, TRUE);
    } else {
      MoveWindow(hwnd_, topLeft.x, topLeft.y, width, height, TRUE);
      MoveWindow(buddy_, topLeft.x + width, topLeft.y, buddyWidth, height, TRUE);
    }
  }
  if (IsListBox(buddy_)) {
    position_ = std::max(0, static_cast<int>(SendMessageW(buddy_, LB_GETCURSEL, 0, 0)));
  } else if (style & UDS_SETBUDDYINT) {
    ShowInBuddy();
  }
  return old;
}

bool UpDown::Position(int* position) {
  if (IsListBox(buddy_)) {
    const LRESULT selected = SendMessageW(buddy_, LB_GETCURSEL, 0, 0);
    if (selected == LB_ERR) return false;
    *position = static_cast<int>(selected);
    return true;
  }
  if (buddy_ && (StyleOf(hwnd_) & UDS_SETBUDDYINT)) {
    wchar_t text[32] = {};
    GetWindowTextW(buddy_, text, 32);
    std::wstring digits;
    for (const wchar_t* c = text; *c; ++c) {
      if (*c != L',') digits += *c;
    }
    wchar_t* end = nullptr;
    const long value = std::wcstol(digits.c_str(), &end, 10);
    if (digits.empty() || *end != L'\0' || value < low() || value > high()) return false;
    position_ = static_cast<int>(value);
  }
  *position = position_;
  return true;
}

void UpDown::ShowInBuddy() {
  if (!buddy_ || IsListBox(buddy_) || !(StyleOf(hwnd_) & UDS_SETBUDDYINT)) return;
  std::wstring text = std::to_wstring(position_ < 0 ? -static_cast<long long>(position_) : position_);
  if (!(StyleOf(hwnd_) & UDS_NOTHOUSANDS)) {
    for (int at = static_cast<int>(text.size()) - 3; at > 0; at -= 3) text.insert(static_cast<std::size_t>(at), L",");
  }
  if (position_ < 0) text.insert(0, L"-");
  SetWindowTextW(buddy_, text.c_str());
}

void UpDown::SetPosition(int position, bool fromUser) {
  if (IsListBox(buddy_)) {
    SendMessageW(buddy_, LB_SETCURSEL, static_cast<WPARAM>(position), 0);
    position_ = position;
    if (fromUser && (StyleOf(buddy_) & LBS_NOTIFY)) Notify(buddy_, LBN_SELCHANGE);
  } else {
    position_ = position;
    ShowInBuddy();
  }
  if (fromUser) {
    HWND parent = GetParent(hwnd_);
    const UINT message = horizontal() ? WM_HSCROLL : WM_VSCROLL;
    if (parent) {
      SendMessageW(parent, message, MAKELONG(SB_THUMBPOSITION, static_cast<WORD>(position)),
                   reinterpret_cast<LPARAM>(hwnd_));
      SendMessageW(parent, message, MAKELONG(SB_ENDSCROLL, static_cast<WORD>(position)),
                   reinterpret_cast<LPARAM>(hwnd_));
    }
  }
}

void UpDown::Step(int direction) {
  int first = 0;
  int last = 0;
  int current = 0;
  const bool known = Position(&current);
  if (IsListBox(buddy_)) {
    const int count = static_cast<int>(SendMessageW(buddy_, LB_GETCOUNT, 0, 0));
    if (count == 0) return;
    last = count - 1;
    direction = -direction;  // up shows the item before
    if (!known) {
      SetPosition(0, true);  // nothing chosen yet: the first item
      return;
    }
  } else {
    first = low();
    last = high();
    if (upper_ < lower_) direction = -direction;
    if (!known) current = position_;
  }
  int next = current + direction;
  if (next < first || next > last) {
    if (!(StyleOf(hwnd_) & UDS_WRAP)) return;
    next = next < first ? last : first;
  }
  SetPosition(next, true);
}

void UpDown::Paint() {
  PAINTSTRUCT ps{};
  HDC dc = BeginPaint(hwnd_, &ps);
  if (!dc) return;
  RECT client{};
  GetClientRect(hwnd_, &client);
  const bool enabled = IsWindowEnabled(hwnd_) != FALSE;
  const bool across = horizontal();
  const int midX = (client.left + client.right) / 2;
  const int midY = (client.top + client.bottom) / 2;
  // Index 0: the up (or right) arrow; 1: the down (or left) arrow.
  const RECT halves[2] = {
      across ? RECT{midX, client.top, client.right, client.bottom} : RECT{client.left, client.top, client.right, midY},
      across ? RECT{client.left, client.top, midX, client.bottom}
             : RECT{client.left, midY, client.right, client.bottom}};
  for (int i = 0; i < 2; ++i) {
    const RECT& half = halves[i];
    const bool down = pressed_ == (i == 0 ? 1 : -1);
    FillSolid(dc, half, down ? GrayTextColor() : FaceColor());
    FrameSolid(dc, half, FrameColor());
    const COLORREF ink = enabled ? TextColor() : GrayTextColor();
    const int cx = (half.left + half.right) / 2;
    const int cy = (half.top + half.bottom) / 2;
    const int size = std::max(1, std::min(half.right - half.left, half.bottom - half.top) / 4);
    for (int k = 0; k < size; ++k) {
      // A triangle, a row (or column) at a time from its point.
      const int reach = k;
      if (across) {
        const int x = i == 0 ? cx + size / 2 - k : cx - size / 2 + k;
        FillSolid(dc, RECT{x, cy - reach, x + 1, cy + reach + 1}, ink);
      } else {
        const int y = i == 0 ? cy - size / 2 + k : cy + size / 2 - k;
        FillSolid(dc, RECT{cx - reach, y, cx + reach + 1, y + 1}, ink);
      }
    }
  }
  EndPaint(hwnd_, &ps);
}

LRESULT UpDown::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      RECT client{};
      GetClientRect(hwnd_, &client);
      const bool first = horizontal() ? XOf(lParam) >= (client.left + client.right) / 2
                                      : YOf(lParam) < (client.top + client.bottom) / 2;
      pressed_ = first ? 1 : -1;
      SetCapture(hwnd_);
      InvalidateRect(hwnd_, nullptr, FALSE);
      Step(pressed_);
      return 0;
    }
    case WM_LBUTTONUP:
      if (pressed_) {
        pressed_ = 0;
        InvalidateRect(hwnd_, nullptr, FALSE);
        if (GetCapture() == hwnd_) ReleaseCapture();
      }
      return 0;
    case WM_CAPTURECHANGED:
      if (pressed_) {
        pressed_ = 0;
        InvalidateRect(hwnd_, nullptr, FALSE);
      }
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
    case WM_KEYDOWN: {
      const int key = static_cast<int>(wParam);
      if (key == (horizontal() ? VK_RIGHT : VK_UP)) Step(1);
      if (key == (horizontal() ? VK_LEFT : VK_DOWN)) Step(-1);
      return 0;
    }
    case WM_ENABLE:
      InvalidateRect(hwnd_, nullptr, FALSE);
      return 0;
    case UDM_SETRANGE:
      upper_ = static_cast<short>(LOWORD(lParam));
      lower_ = static_cast<short>(HIWORD(lParam));
      position_ = std::clamp(position_, low(), high());
      return 0;
    case UDM_GETRANGE:
      return static_cast<LRESULT>(static_cast<DWORD>(MAKELONG(static_cast<WORD>(upper_), static_cast<WORD>(lower_))));
    case UDM_SETRANGE32:
      lower_ = static_cast<int>(wParam);
      upper_ = static_cast<int>(lParam);
      position_ = std::clamp(position_, low(), high());
      return 0;
    case UDM_GETRANGE32:
      if (wParam) *reinterpret_cast<int*>(wParam) = lower_;
      if (lParam) *reinterpret_cast<int*>(lParam) = upper_;
      return 0;
    case UDM_SETPOS:
    case UDM_SETPOS32: {
      int old = position_;
      Position(&old);
      const int wanted = message == UDM_SETPOS ? static_cast<short>(LOWORD(lParam)) : static_cast<int>(lParam);
      if (IsListBox(buddy_)) {
        const int count = static_cast<int>(SendMessageW(buddy_, LB_GETCOUNT, 0, 0));
        if (count > 0) SetPosition(std::clamp(wanted, 0, count - 1), false);
      } else {
        SetPosition(std::clamp(wanted, low(), high()), false);
      }
      return old;
    }
    case UDM_GETPOS: {
      int position = 0;
      const bool known = Position(&position);
      return static_cast<LRESULT>(static_cast<DWORD>(MAKELONG(static_cast<WORD>(position), known ? 0 : 1)));
    }
    case UDM_GETPOS32: {
      int position = 0;
      const bool known = Position(&position);
      if (lParam) *reinterpret_cast<BOOL*>(lParam) = known ? FALSE : TRUE;
      return position;
    }
    case UDM_SETBUDDY:
      return reinterpret_cast<LRESULT>(SetBuddy(reinterpret_cast<HWND>(wParam)));
    case UDM_GETBUDDY:
      return reinterpret_cast<LRESULT>(buddy_);
    default:
      if (message >= WM_USER + 101 && message <= WM_USER + 114) {
        ce::kernel::NotImplemented("up-down control message");
        return 0;
      }
      break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK UpDownProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) {
    auto* upDown = new UpDown(hwnd);
    SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(upDown));
    if (StyleOf(hwnd) & UDS_AUTOBUDDY) {
      // The sibling made just before: new children go behind theirs, so it
      // is the one in front of this control.
      upDown->SetBuddy(GetWindow(hwnd, GW_HWNDPREV));
    }
    return 0;
  }
  return ForwardToState<UpDown>(hwnd, message, wParam, lParam);
}

}  // namespace ce::controls::detail
