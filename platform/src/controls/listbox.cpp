// The list box: strings with a number each, one of them selected, shown a
// row each from the top index down; with WS_VSCROLL a scroll bar at the
// right scrolls it. Unless LBS_NOINTEGRALHEIGHT, its height is cut to a
// whole number of rows. Chosen with the pen (tap or drag), the
// arrows, Home/End/PageUp/PageDown and a typed first letter; LBN_SELCHANGE
// tells the parent of a choice the user made (with LBS_NOTIFY), never of one
// a program made. It claims the arrows and characters in dialogs. Focused,
// it frames its selected row; a list of one row (a spin list) shows its
// selection highlighted only while it has the focus, so the focus shows.
// The combo box keeps its items in one of these.
#include <algorithm>
#include <cwctype>
#include <string>
#include <vector>

#include "controls/edit_and_lists.h"
#include "controls/scroll_bar.h"
#include "kernel/not_implemented.h"

namespace ce::controls::detail {
namespace {

constexpr DWORD kUnsupportedStyles = LBS_MULTIPLESEL | LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE | LBS_USETABSTOPS |
                                     LBS_MULTICOLUMN | LBS_WANTKEYBOARDINPUT | LBS_EXTENDEDSEL | LBS_NODATA;
constexpr int kTextInset = 2;

struct Item {
  std::wstring text;
  LPARAM data = 0;
};

int CompareNoCase(const std::wstring& a, const std::wstring& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = std::towlower(a[i]);
    const auto y = std::towlower(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix) {
  if (prefix.size() > text.size()) return false;
  return CompareNoCase(text.substr(0, prefix.size()), prefix) == 0;
}

class ListBox {
 public:
  explicit ListBox(HWND hwnd) : hwnd_(hwnd) { itemHeight_ = LineHeightOf(measure_.get()); }
  ListBox(const ListBox&) = delete;
  ListBox& operator=(const ListBox&) = delete;

  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void FitHeight();

 private:
  LRESULT count() const { return static_cast<LRESULT>(items_.size()); }
  bool valid(WPARAM index) const { return index < items_.size(); }
  int Border() const { return (StyleOf(hwnd_) & WS_BORDER) ? 1 : 0; }
  bool HasBar() const { return (StyleOf(hwnd_) & WS_VSCROLL) != 0; }
  // Inside the border; the rows and the scroll bar share it.
  RECT Inside() const;
  void LayoutBar();
  int VisibleRows() const;
  int MaxTop() const { return std::max(0, static_cast<int>(items_.size()) - VisibleRows()); }
  void Redraw() {
    if (!(StyleOf(hwnd_) & LBS_NOREDRAW)) InvalidateRect(hwnd_, nullptr, FALSE);
  }
  void ShowItem(int index);
  int ItemAt(int y) const;
  LRESULT Insert(int index, LPCWSTR text);
  LRESULT Find(WPARAM start, LPCWSTR text, bool exact) const;
  // A choice of the user's: selects, shows and notifies when it changed.
  void Choose(int index);
  void OnKey(int key);
  void Paint();

  HWND hwnd_;
  std::vector<Item> items_;
  int selected_ = -1;
  int top_ = 0;
  bool focused_ = false;
  bool tracking_ = false;
  HFONT font_ = nullptr;
  MeasureDC measure_;
  int itemHeight_ = 12;
  VScrollBar bar_;
};

RECT ListBox::Inside() const {
  RECT client{};
  GetClientRect(hwnd_, &client);
  const int border = Border();
  return RECT{client.left + border, client.top + border, client.right - border, client.bottom - border};
}

void ListBox::LayoutBar() {
  if (!HasBar()) return;
  const RECT inside = Inside();
  const RECT bar{std::max(inside.left, static_cast<LONG>(inside.right - VScrollBar::Width())), inside.top, inside.right,
                 inside.bottom};
  bar_.Layout(bar, top_, VisibleRows(), static_cast<int>(items_.size()));
}

// Cuts the height to whole rows; a list shorter than one row is left as
// it is.
void ListBox::FitHeight() {
  if (StyleOf(hwnd_) & LBS_NOINTEGRALHEIGHT) return;
  RECT window{};
  GetWindowRect(hwnd_, &window);
  const int height = window.bottom - window.top;
  const int rows = (height - 2 * Border()) / itemHeight_;
  if (rows < 1) return;
  const int fitted = rows * itemHeight_ + 2 * Border();
  if (fitted != height) {
    SetWindowPos(hwnd_, nullptr, 0, 0, window.right - window.left, fitted, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

int ListBox::VisibleRows() const {
  RECT client{};
  GetClientRect(hwnd_, &client);
  return std::max(1, static_cast<int>(client.bottom - client.top - 2 * Border()) / itemHeight_);
}

void ListBox::ShowItem(int index) {
  if (index < 0) return;
  if (index < top_) top_ = index;
  if (index >= top_ + VisibleRows()) top_ = index - VisibleRows() + 1;
  top_ = std::clamp(top_, 0, MaxTop());
}

int ListBox::ItemAt(int y) const {
  const int row = (y - Border()) >= 0 ? (y - Border()) / itemHeight_ : -1;
  return top_ + row;
}

LRESULT ListBox::Insert(int index, LPCWSTR text) {
  Item item;
  item.text = text ? text : L"";
  items_.insert(items_.begin() + index, std::move(item));
  if (selected_ >= index) ++selected_;
  Redraw();
  return index;
}

LRESULT ListBox::Find(WPARAM start, LPCWSTR text, bool exact) const {
  if (items_.empty() || !text) return LB_ERR;
  const std::wstring wanted = text;
  // From the item after `start` round to `start` itself; -1 or a bad index
  // searches from the first.
  const std::size_t n = items_.size();
  const std::size_t first = start < n ? start + 1 : 0;
  for (std::size_t k = 0; k < n; ++k) {
    const std::size_t i = (first + k) % n;
    const bool match = exact ? CompareNoCase(items_[i].text, wanted) == 0 : StartsWithNoCase(items_[i].text, wanted);
    if (match) return static_cast<LRESULT>(i);
  }
  return LB_ERR;
}

void ListBox::Choose(int index) {
  if (items_.empty()) return;
  index = std::clamp(index, 0, static_cast<int>(items_.size()) - 1);
  ShowItem(index);
  Redraw();
  if (index == selected_) return;
  selected_ = index;
  if (StyleOf(hwnd_) & LBS_NOTIFY) Notify(hwnd_, LBN_SELCHANGE);
}

void ListBox::OnKey(int key) {
  const int page = std::max(1, VisibleRows() - 1);
  const int last = static_cast<int>(items_.size()) - 1;
  switch (key) {
    case VK_UP:
    case VK_LEFT:
      Choose(selected_ < 0 ? 0 : selected_ - 1);
      break;
    case VK_DOWN:
    case VK_RIGHT:
      Choose(selected_ < 0 ? 0 : selected_ + 1);
      break;
    case VK_PRIOR:
      Choose(selected_ < 0 ? 0 : selected_ - page);
      break;
    case VK_NEXT:
      Choose(selected_ < 0 ? 0 : selected_ + page);
      break;
    case VK_HOME:
      Choose(0);
      break;
    case VK_END:
      Choose(last);
      break;
    default:
      break;
  }
}

void ListBox::Paint() {
  PAINTSTRUCT ps{};
  HDC dc = BeginPaint(hwnd_, &ps);
  if (!dc) return;
  RECT client{};
  GetClientRect(hwnd_, &client);
  const bool enabled = IsWindowEnabled(hwnd_) != FALSE;
  FillSolid(dc, client, WindowColor());
  const int border = Border();
  if (border) FrameSolid(dc, client, FrameColor());
  RECT inside = Inside();
  if (HasBar()) {
    LayoutBar();
    bar_.Draw(dc, enabled);
    inside.right = bar_.rect().left;
  }
  HGDIOBJ oldFont = SelectObject(dc, font_ ? font_ : SystemFont());
  SetBkMode(dc, TRANSPARENT);
  const bool spin = VisibleRows() == 1;
  int y = inside.top;
  for (int i = top_; i < static_cast<int>(items_.size()) && y < inside.bottom; ++i, y += itemHeight_) {
    RECT row{inside.left, y, inside.right, std::min(static_cast<int>(inside.bottom), y + itemHeight_)};
    const bool chosen = i == selected_ && (focused_ || !spin);
    if (chosen) FillSolid(dc, row, HighlightColor());
    SetTextColor(dc, !enabled ? GrayTextColor() : chosen ? HighlightTextColor() : TextColor());
    const std::wstring& text = items_[static_cast<std::size_t>(i)].text;
    ExtTextOutW(dc, row.left + kTextInset, y, ETO_CLIPPED, &row, text.c_str(), static_cast<UINT>(text.size()), nullptr);
    if (focused_ && i == selected_) FrameSolid(dc, row, chosen ? HighlightTextColor() : TextColor());
  }
  SelectObject(dc, oldFont);
  EndPaint(hwnd_, &ps);
}

LRESULT ListBox::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_SIZE:
      FitHeight();
      top_ = std::clamp(top_, 0, MaxTop());
      Redraw();
      return 0;
    case WM_SETFONT:
      font_ = reinterpret_cast<HFONT>(wParam);
      itemHeight_ = measure_.Select(font_);
      FitHeight();
      if (lParam) InvalidateRect(hwnd_, nullptr, FALSE);
      return 0;
    case WM_VSCROLL:
      top_ = ScrolledTo(LOWORD(wParam), HIWORD(wParam), top_, VisibleRows(), MaxTop());
      Redraw();
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(font_);
    case WM_SETFOCUS:
      focused_ = true;
      Redraw();
      if (StyleOf(hwnd_) & LBS_NOTIFY) Notify(hwnd_, LBN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      focused_ = false;
      Redraw();
      if (StyleOf(hwnd_) & LBS_NOTIFY) Notify(hwnd_, LBN_KILLFOCUS);
      return 0;
    case WM_ENABLE:
      Redraw();
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_KEYDOWN:
      OnKey(static_cast<int>(wParam));
      return 0;
    case WM_CHAR: {
      // A letter goes to the next item starting with it.
      const wchar_t c = static_cast<wchar_t>(wParam);
      if (c < 0x20) return 0;
      const LRESULT found = Find(static_cast<WPARAM>(selected_), std::wstring(1, c).c_str(), false);
      if (found != LB_ERR) Choose(static_cast<int>(found));
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      if (GetFocus() != hwnd_) SetFocus(hwnd_);
      LayoutBar();
      if (HasBar() && bar_.Press(hwnd_, POINT{XOf(lParam), YOf(lParam)})) {
        if (bar_.dragging()) SetCapture(hwnd_);
        return 0;
      }
      const int index = ItemAt(YOf(lParam));
      if (index >= 0 && index < count()) Choose(index);
      if (message == WM_LBUTTONDBLCLK && index >= 0 && index < count() && (StyleOf(hwnd_) & LBS_NOTIFY)) {
        Notify(hwnd_, LBN_DBLCLK);
      }
      tracking_ = true;
      SetCapture(hwnd_);
      return 0;
    }
    case WM_MOUSEMOVE:
      if (bar_.dragging()) {
        bar_.Drag(hwnd_, POINT{XOf(lParam), YOf(lParam)});
        return 0;
      }
      // Dragging beyond an edge moves one row further.
      if (tracking_ && !items_.empty()) Choose(std::clamp(ItemAt(YOf(lParam)), top_ - 1, top_ + VisibleRows()));
      return 0;
    case WM_LBUTTONUP:
      if (bar_.dragging()) {
        bar_.Release(hwnd_);
        if (GetCapture() == hwnd_) ReleaseCapture();
        return 0;
      }
      if (tracking_) {
        tracking_ = false;
        if (GetCapture() == hwnd_) ReleaseCapture();
      }
      return 0;
    case WM_CAPTURECHANGED:
      tracking_ = false;
      bar_.Release(hwnd_);
      return 0;
    case LB_ADDSTRING: {
      const auto* text = reinterpret_cast<LPCWSTR>(lParam);
      int at = static_cast<int>(items_.size());
      if (StyleOf(hwnd_) & LBS_SORT) {
        const std::wstring key = text ? text : L"";
        at = static_cast<int>(
            std::upper_bound(items_.begin(), items_.end(), key,
                             [](const std::wstring& k, const Item& item) { return CompareNoCase(k, item.text) < 0; }) -
            items_.begin());
      }
      return Insert(at, text);
    }
    case LB_INSERTSTRING: {
      const int index = static_cast<int>(wParam);
      if (index == -1) return Insert(static_cast<int>(items_.size()), reinterpret_cast<LPCWSTR>(lParam));
      if (index < 0 || index > count()) return LB_ERR;
      return Insert(index, reinterpret_cast<LPCWSTR>(lParam));
    }
    case LB_DELETESTRING: {
      if (!valid(wParam)) return LB_ERR;
      const int index = static_cast<int>(wParam);
      items_.erase(items_.begin() + index);
      if (selected_ == index) selected_ = -1;
      if (selected_ > index) --selected_;
      top_ = std::clamp(top_, 0, MaxTop());
      Redraw();
      return count();
    }
    case LB_RESETCONTENT:
      items_.clear();
      selected_ = -1;
      top_ = 0;
      Redraw();
      return LB_OKAY;
    case LB_GETCOUNT:
      return count();
    case LB_GETCURSEL:
      return selected_ < 0 ? LB_ERR : selected_;
    case LB_SETCURSEL: {
      const int index = static_cast<int>(wParam);
      if (index == -1) {
        selected_ = -1;
        Redraw();
        return LB_ERR;
      }
      if (!valid(wParam)) return LB_ERR;
      selected_ = index;
      ShowItem(index);
      Redraw();
      return index;
    }
    case LB_GETTEXT: {
      auto* out = reinterpret_cast<LPWSTR>(lParam);
      if (!valid(wParam) || !out) return LB_ERR;
      const std::wstring& text = items_[wParam].text;
      text.copy(out, text.size());
      out[text.size()] = L'\0';
      return static_cast<LRESULT>(text.size());
    }
    case LB_GETTEXTLEN:
      return valid(wParam) ? static_cast<LRESULT>(items_[wParam].text.size()) : LB_ERR;
    case LB_FINDSTRING:
      return Find(wParam, reinterpret_cast<LPCWSTR>(lParam), false);
    case LB_FINDSTRINGEXACT:
      return Find(wParam, reinterpret_cast<LPCWSTR>(lParam), true);
    case LB_SELECTSTRING: {
      const LRESULT found = Find(wParam, reinterpret_cast<LPCWSTR>(lParam), false);
      if (found != LB_ERR) {
        selected_ = static_cast<int>(found);
        ShowItem(selected_);
        Redraw();
      }
      return found;
    }
    case LB_GETITEMDATA:
      return valid(wParam) ? items_[wParam].data : LB_ERR;
    case LB_SETITEMDATA:
      if (!valid(wParam)) return LB_ERR;
      items_[wParam].data = lParam;
      return LB_OKAY;
    case LB_GETTOPINDEX:
      return top_;
    case LB_SETTOPINDEX:
      if (!valid(wParam)) return LB_ERR;
      top_ = std::min(static_cast<int>(wParam), MaxTop());
      Redraw();
      return LB_OKAY;
    case LB_GETITEMHEIGHT:
      return itemHeight_;
    default:
      if (message >= LB_ADDSTRING && message <= 0x01B3) {
        ce::kernel::NotImplemented("list box message");
        return LB_ERR;
      }
      break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK ListBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) {
    if (StyleOf(hwnd) & kUnsupportedStyles) {
      ce::kernel::NotImplemented("list box style");
      return -1;
    }
    auto* list = new ListBox(hwnd);
    SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(list));
    list->FitHeight();
    return 0;
  }
  return ForwardToState<ListBox>(hwnd, message, wParam, lParam);
}

}  // namespace ce::controls::detail
