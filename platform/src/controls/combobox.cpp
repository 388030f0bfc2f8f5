// The combo box, as a drop-down list: a field showing the chosen item with
// an arrow button, and a list that drops below it (above, where the screen
// ends) as a popup of its own. The items live in a hidden child list box;
// the popup gets a copy while it is open. The height the window is created
// with is the height of the field and the dropped list together, as in
// dialog templates; the window itself keeps the field's height so it does
// not cover the controls under it.
#include <algorithm>
#include <string>

#include "controls/edit_and_lists.h"
#include "kernel/not_implemented.h"

namespace ce::controls::detail {
namespace {

constexpr DWORD kUnsupportedStyles = CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE;
constexpr int kListId = 1000;
constexpr int kDefaultRows = 5;

class ComboBox {
 public:
  ComboBox(HWND hwnd, int height) : hwnd_(hwnd), dropHeight_(height) {}
  ~ComboBox() { DestroyPopup(); }
  ComboBox(const ComboBox&) = delete;
  ComboBox& operator=(const ComboBox&) = delete;

  bool Create();
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  LRESULT ToList(UINT message, WPARAM wParam, LPARAM lParam) { return SendMessageW(list_, message, wParam, lParam); }
  int ItemHeight() { return static_cast<int>(ToList(LB_GETITEMHEIGHT, 0, 0)); }
  int FieldHeight() { return ItemHeight() + 6; }
  void KeepFieldHeight();
  void Open();
  // Closes the popup; with `accept` its choice becomes the selection.
  void Close(bool accept);
  void DestroyPopup();
  void SelectByUser(int index);
  bool InPopup(LPARAM lParam, POINT* popupPoint);
  void OnKey(int key);
  void Paint();

  HWND hwnd_;
  HWND list_ = nullptr;   // the items, hidden
  HWND popup_ = nullptr;  // while dropped
  int dropHeight_;
  bool focused_ = false;
  bool sizing_ = false;
  HFONT font_ = nullptr;
};

bool ComboBox::Create() {
  const DWORD sort = (StyleOf(hwnd_) & CBS_SORT) ? LBS_SORT : 0;
  list_ = CreateWindowExW(0, L"LISTBOX", L"", WS_CHILD | sort, 0, 0, 0, 0, hwnd_,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(kListId)), nullptr, nullptr);
  return list_ != nullptr;
}

void ComboBox::KeepFieldHeight() {
  RECT rect{};
  GetWindowRect(hwnd_, &rect);
  const int height = rect.bottom - rect.top;
  if (height == FieldHeight() || sizing_) return;
  dropHeight_ = height;
  sizing_ = true;
  SetWindowPos(hwnd_, nullptr, 0, 0, rect.right - rect.left, FieldHeight(), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  sizing_ = false;
}

void ComboBox::Open() {
  if (popup_) return;
  const int count = static_cast<int>(ToList(LB_GETCOUNT, 0, 0));
  const int row = ItemHeight();
  int rows = (dropHeight_ - FieldHeight() - 2) / row;
  if (rows < 1) rows = kDefaultRows;
  rows = std::clamp(count, 1, rows);
  RECT field{};
  GetWindowRect(hwnd_, &field);
  const int height = rows * row + 2;
  int top = field.bottom;
  if (top + height > GetSystemMetrics(SM_CYSCREEN) && field.top - height >= 0) top = field.top - height;
  popup_ = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, L"LISTBOX", L"", WS_POPUP | WS_BORDER, field.left, top,
                           field.right - field.left, height, hwnd_, nullptr, nullptr, nullptr);
  if (!popup_) return;
  SendMessageW(popup_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), 0);
  for (int i = 0; i < count; ++i) {
    const LRESULT length = ToList(LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
    std::wstring text(static_cast<std::size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
    ToList(LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
    SendMessageW(popup_, LB_INSERTSTRING, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.c_str()));
  }
  SendMessageW(popup_, LB_SETCURSEL, static_cast<WPARAM>(ToList(LB_GETCURSEL, 0, 0)), 0);
  ShowWindow(popup_, SW_SHOWNA);
  SetCapture(hwnd_);
  InvalidateRect(hwnd_, nullptr, FALSE);
}

void ComboBox::Close(bool accept) {
  if (!popup_) return;
  const int chosen = static_cast<int>(SendMessageW(popup_, LB_GETCURSEL, 0, 0));
  DestroyPopup();
  if (GetCapture() == hwnd_) ReleaseCapture();
  InvalidateRect(hwnd_, nullptr, FALSE);
  if (accept && chosen >= 0) SelectByUser(chosen);
}

void ComboBox::DestroyPopup() {
  if (!popup_) return;
  HWND popup = popup_;
  popup_ = nullptr;
  DestroyWindow(popup);
}

void ComboBox::SelectByUser(int index) {
  const int count = static_cast<int>(ToList(LB_GETCOUNT, 0, 0));
  if (count == 0) return;
  index = std::clamp(index, 0, count - 1);
  if (index == static_cast<int>(ToList(LB_GETCURSEL, 0, 0))) return;
  ToList(LB_SETCURSEL, static_cast<WPARAM>(index), 0);
  InvalidateRect(hwnd_, nullptr, FALSE);
  Notify(hwnd_, CBN_SELCHANGE);
}

bool ComboBox::InPopup(LPARAM lParam, POINT* popupPoint) {
  if (!popup_) return false;
  POINT at{XOf(lParam), YOf(lParam)};
  ClientToScreen(hwnd_, &at);
  RECT rect{};
  GetWindowRect(popup_, &rect);
  if (at.x < rect.left || at.x >= rect.right || at.y < rect.top || at.y >= rect.bottom) return false;
  ScreenToClient(popup_, &at);
  *popupPoint = at;
  return true;
}

void ComboBox::OnKey(int key) {
  if (popup_) {
    const int current = static_cast<int>(SendMessageW(popup_, LB_GETCURSEL, 0, 0));
    const int last = static_cast<int>(SendMessageW(popup_, LB_GETCOUNT, 0, 0)) - 1;
    int to = current;
    switch (key) {
      case VK_UP:
        to = current <= 0 ? 0 : current - 1;
        break;
      case VK_DOWN:
        to = current < 0 ? 0 : std::min(last, current + 1);
        break;
      case VK_HOME:
        to = 0;
        break;
      case VK_END:
        to = last;
        break;
      case VK_RETURN:
      case VK_F4:
        Close(true);
        return;
      case VK_ESCAPE:
        Close(false);
        return;
      default:
        return;
    }
    if (last >= 0) SendMessageW(popup_, LB_SETCURSEL, static_cast<WPARAM>(to), 0);
    return;
  }
  const int current = static_cast<int>(ToList(LB_GETCURSEL, 0, 0));
  switch (key) {
    case VK_UP:
    case VK_LEFT:
      SelectByUser(current <= 0 ? 0 : current - 1);
      break;
    case VK_DOWN:
    case VK_RIGHT:
      SelectByUser(current < 0 ? 0 : current + 1);
      break;
    case VK_HOME:
      SelectByUser(0);
      break;
    case VK_END:
      SelectByUser(static_cast<int>(ToList(LB_GETCOUNT, 0, 0)) - 1);
      break;
    case VK_F4:
      Open();
      break;
    default:
      break;
  }
}

void ComboBox::Paint() {
  PAINTSTRUCT ps{};
  HDC dc = BeginPaint(hwnd_, &ps);
  if (!dc) return;
  RECT client{};
  GetClientRect(hwnd_, &client);
  const bool enabled = IsWindowEnabled(hwnd_) != FALSE;
  const int button = client.bottom - client.top;
  RECT field{client.left, client.top, std::max(client.left, client.right - button + 1), client.bottom};
  FillSolid(dc, client, enabled ? WindowColor() : FaceColor());
  FrameSolid(dc, client, FrameColor());
  // The arrow button: a face-coloured square with a triangle pointing down.
  RECT arrow{field.right, client.top, client.right, client.bottom};
  RECT face{arrow.left, arrow.top + 1, arrow.right - 1, arrow.bottom - 1};
  FillSolid(dc, face, FaceColor());
  FillSolid(dc, RECT{arrow.left, arrow.top, arrow.left + 1, arrow.bottom}, FrameColor());
  const int cx = (arrow.left + arrow.right) / 2;
  const int half = std::max(2, button / 5);
  const int cy = (arrow.top + arrow.bottom) / 2 - half / 2;
  for (int i = 0; i < half; ++i) {
    FillSolid(dc, RECT{cx - half + i + 1, cy + i, cx + half - i, cy + i + 1}, enabled ? TextColor() : GrayTextColor());
  }
  const int selected = static_cast<int>(ToList(LB_GETCURSEL, 0, 0));
  if (selected >= 0) {
    const LRESULT length = ToList(LB_GETTEXTLEN, static_cast<WPARAM>(selected), 0);
    std::wstring text(static_cast<std::size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
    ToList(LB_GETTEXT, static_cast<WPARAM>(selected), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(std::max<LRESULT>(length, 0)));
    RECT inner{field.left + 2, field.top + 2, field.right - 1, field.bottom - 2};
    const bool highlight = focused_ && !popup_ && enabled;
    if (highlight) FillSolid(dc, inner, HighlightColor());
    HGDIOBJ oldFont = SelectObject(dc, font_ ? font_ : SystemFont());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, !enabled ? GrayTextColor() : highlight ? HighlightTextColor() : TextColor());
    ExtTextOutW(dc, inner.left + 1, inner.top + 1, ETO_CLIPPED, &inner, text.c_str(), static_cast<UINT>(text.size()),
                nullptr);
    SelectObject(dc, oldFont);
  }
  EndPaint(hwnd_, &ps);
}

LRESULT ComboBox::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_SIZE:
      KeepFieldHeight();
      InvalidateRect(hwnd_, nullptr, FALSE);
      return 0;
    case WM_SETFONT:
      font_ = reinterpret_cast<HFONT>(wParam);
      ToList(WM_SETFONT, wParam, 0);
      KeepFieldHeight();
      if (lParam) InvalidateRect(hwnd_, nullptr, FALSE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(font_);
    case WM_SETFOCUS:
      focused_ = true;
      InvalidateRect(hwnd_, nullptr, FALSE);
      Notify(hwnd_, CBN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      focused_ = false;
      Close(false);
      InvalidateRect(hwnd_, nullptr, FALSE);
      Notify(hwnd_, CBN_KILLFOCUS);
      return 0;
    case WM_ENABLE:
      if (!wParam) Close(false);
      InvalidateRect(hwnd_, nullptr, FALSE);
      return 0;
    case WM_GETDLGCODE: {
      // Enter and Escape close an open list instead of the dialog.
      const auto* msg = reinterpret_cast<const MSG*>(lParam);
      const bool closes =
          popup_ && msg && msg->message == WM_KEYDOWN && (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE);
      return DLGC_WANTARROWS | DLGC_WANTCHARS | (closes ? DLGC_WANTMESSAGE : 0);
    }
    case WM_KEYDOWN:
      OnKey(static_cast<int>(wParam));
      return 0;
    case WM_CHAR: {
      const wchar_t c = static_cast<wchar_t>(wParam);
      if (c < 0x20) return 0;
      const wchar_t prefix[2] = {c, L'\0'};
      HWND target = popup_ ? popup_ : list_;
      const LRESULT current = SendMessageW(target, LB_GETCURSEL, 0, 0);
      const LRESULT found =
          SendMessageW(target, LB_FINDSTRING, static_cast<WPARAM>(current), reinterpret_cast<LPARAM>(prefix));
      if (found == LB_ERR) return 0;
      if (popup_) {
        SendMessageW(popup_, LB_SETCURSEL, static_cast<WPARAM>(found), 0);
      } else {
        SelectByUser(static_cast<int>(found));
      }
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      POINT at{};
      if (popup_) {
        // In the list the pen picks an item; anywhere else it gives the
        // list up (the field as well: it closes what it opened).
        if (InPopup(lParam, &at)) {
          Handle(WM_MOUSEMOVE, wParam, lParam);
        } else {
          Close(false);
        }
        return 0;
      }
      if (GetFocus() != hwnd_) SetFocus(hwnd_);
      Open();
      return 0;
    }
    case WM_MOUSEMOVE: {
      POINT at{};
      if (InPopup(lParam, &at)) {
        const int row = ItemHeight();
        const int index = static_cast<int>(SendMessageW(popup_, LB_GETTOPINDEX, 0, 0)) + std::max(0, at.y - 1) / row;
        if (index < SendMessageW(popup_, LB_GETCOUNT, 0, 0)) {
          SendMessageW(popup_, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
        }
      }
      return 0;
    }
    case WM_LBUTTONUP: {
      POINT at{};
      if (InPopup(lParam, &at)) {
        Handle(WM_MOUSEMOVE, wParam, lParam);
        Close(true);
      }
      return 0;
    }
    case WM_CAPTURECHANGED:
      if (popup_ && reinterpret_cast<HWND>(lParam) != hwnd_) Close(false);
      return 0;
    case WM_GETTEXT: {
      auto* out = reinterpret_cast<LPWSTR>(lParam);
      if (!out || wParam == 0) return 0;
      out[0] = L'\0';
      const LRESULT selected = ToList(LB_GETCURSEL, 0, 0);
      if (selected == LB_ERR) return 0;
      const LRESULT length = ToList(LB_GETTEXTLEN, static_cast<WPARAM>(selected), 0);
      if (length < 0) return 0;
      std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
      ToList(LB_GETTEXT, static_cast<WPARAM>(selected), reinterpret_cast<LPARAM>(text.data()));
      const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(length), wParam - 1);
      text.copy(out, n);
      out[n] = L'\0';
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH: {
      const LRESULT selected = ToList(LB_GETCURSEL, 0, 0);
      return selected == LB_ERR ? 0 : ToList(LB_GETTEXTLEN, static_cast<WPARAM>(selected), 0);
    }
    case WM_SETTEXT: {
      // A drop-down list shows only its items: the text must name one.
      const LRESULT found = ToList(LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), lParam);
      if (found == LB_ERR) return CB_ERR;
      ToList(LB_SETCURSEL, static_cast<WPARAM>(found), 0);
      InvalidateRect(hwnd_, nullptr, FALSE);
      return TRUE;
    }
    case CB_ADDSTRING:
    case CB_INSERTSTRING:
    case CB_DELETESTRING:
    case CB_RESETCONTENT:
    case CB_SETCURSEL:
    case CB_SELECTSTRING: {
      static constexpr std::pair<UINT, UINT> kChanges[] = {
          {CB_ADDSTRING, LB_ADDSTRING},       {CB_INSERTSTRING, LB_INSERTSTRING}, {CB_DELETESTRING, LB_DELETESTRING},
          {CB_RESETCONTENT, LB_RESETCONTENT}, {CB_SETCURSEL, LB_SETCURSEL},       {CB_SELECTSTRING, LB_SELECTSTRING}};
      Close(false);  // the list a user sees is the list there is
      UINT listMessage = 0;
      for (const auto& [cb, lb] : kChanges) {
        if (cb == message) listMessage = lb;
      }
      const LRESULT result = ToList(listMessage, wParam, lParam);
      InvalidateRect(hwnd_, nullptr, FALSE);
      return result;
    }
    case CB_GETCOUNT:
      return ToList(LB_GETCOUNT, 0, 0);
    case CB_GETCURSEL:
      return ToList(LB_GETCURSEL, 0, 0);
    case CB_GETLBTEXT:
      return ToList(LB_GETTEXT, wParam, lParam);
    case CB_GETLBTEXTLEN:
      return ToList(LB_GETTEXTLEN, wParam, 0);
    case CB_FINDSTRING:
      return ToList(LB_FINDSTRING, wParam, lParam);
    case CB_FINDSTRINGEXACT:
      return ToList(LB_FINDSTRINGEXACT, wParam, lParam);
    case CB_GETITEMDATA:
      return ToList(LB_GETITEMDATA, wParam, 0);
    case CB_SETITEMDATA:
      return ToList(LB_SETITEMDATA, wParam, lParam);
    case CB_GETITEMHEIGHT:
      return ItemHeight();
    case CB_SHOWDROPDOWN:
      if (wParam) {
        Open();
      } else {
        Close(false);
      }
      return TRUE;
    case CB_GETDROPPEDSTATE:
      return popup_ ? TRUE : FALSE;
    default:
      if (message >= 0x0140 && message <= 0x0165) {
        ce::kernel::NotImplemented("combo box message");
        return CB_ERR;
      }
      break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK ComboBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) {
    const DWORD style = StyleOf(hwnd);
    if ((style & 0x3) != CBS_DROPDOWNLIST || (style & kUnsupportedStyles)) {
      ce::kernel::NotImplemented("combo box style other than a plain drop-down list");
      return -1;
    }
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    auto* combo = new ComboBox(hwnd, create ? create->cy : 0);
    SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(combo));
    if (!combo->Create()) {
      SetWindowLongPtrW(hwnd, 0, 0);
      delete combo;
      return -1;
    }
    combo->Handle(WM_SIZE, 0, 0);
    return 0;
  }
  return ForwardToState<ComboBox>(hwnd, message, wParam, lParam);
}

}  // namespace ce::controls::detail
