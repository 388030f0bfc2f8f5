// The edit control: one line or many, typed into with the keys, selected
// with the pen and Shift with the arrows, scrolled to keep the caret in
// view. Lines of a multi-line edit end at "\r\n" (or a lone '\n') and, unless
// it scrolls sideways (ES_AUTOHSCROLL or WS_HSCROLL), wrap between words at
// the window's width; with WS_VSCROLL a scroll bar at the right scrolls
// its lines. The caret is drawn by the control itself.
#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

#include "ce/winbase.h"
#include "controls/edit_and_lists.h"
#include "controls/scroll_bar.h"
#include "kernel/not_implemented.h"

namespace ce::controls::detail {
namespace {

constexpr std::size_t kDefaultLimit = 30000;
constexpr std::size_t kLargestLimit = 0x7FFFFFFE;
constexpr int kMargin = 2;

struct Line {
  std::size_t start;
  std::size_t end;  // the line's last character + 1, before its break
};

class Edit {
 public:
  explicit Edit(HWND hwnd) : hwnd_(hwnd) { lineHeight_ = LineHeightOf(measure_.get()); }
  Edit(const Edit&) = delete;
  Edit& operator=(const Edit&) = delete;

  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  // The text the window is created with: no notification.
  void Init(LPCWSTR text) {
    style_ = StyleOf(hwnd_);
    text_ = text ? text : L"";
    Changed();
  }

 private:
  DWORD style() const { return style_; }
  bool multiline() const { return (style() & ES_MULTILINE) != 0; }
  bool wraps() const { return multiline() && !(style() & (ES_AUTOHSCROLL | WS_HSCROLL)); }
  bool hasBar() const { return multiline() && (style() & WS_VSCROLL); }
  void LayoutBar();
  std::size_t VisibleLines() const;
  bool hidden() const { return !multiline() && (style() & ES_PASSWORD) && passwordChar_ != 0; }
  std::size_t selMin() const { return std::min(anchor_, caret_); }
  std::size_t selMax() const { return std::max(anchor_, caret_); }

  RECT TextArea() const;
  // The characters as shown (the password character for each when hidden).
  const wchar_t* Shown(std::size_t from) const;
  int Width(std::size_t from, std::size_t to);
  const std::vector<int>& Extents();
  // The last index in [from, to] whose offset from `from` is at most `x`.
  std::size_t Fit(std::size_t from, std::size_t to, int x);
  const std::vector<Line>& Lines();
  std::size_t LineOf(std::size_t index);
  int AlignOffset(const Line& line, int available);
  std::size_t HitTest(int x, int y);
  POINT CaretPoint();
  void EnsureCaretVisible();
  void Changed();
  std::size_t Previous(std::size_t index) const;
  std::size_t Next(std::size_t index) const;
  std::size_t Snap(std::size_t index) const;
  // Replaces the selection with the text, cut to the limit; false when
  // nothing could go in.
  bool Replace(std::wstring insert, bool typed);
  void MoveCaret(std::size_t to, bool extend);
  // The clipboard: a password edit never gives its text away, a read-only
  // one is never changed.
  bool Copy();
  void Cut();
  void Paste();
  void Clear();
  void OnChar(wchar_t c);
  bool OnKey(int key);
  void Paint();
  void SetFont(HFONT font);

  HWND hwnd_;
  DWORD style_ = 0;  // read as each message comes
  std::wstring text_;
  std::wstring shown_;  // the hidden text's stand-in characters
  std::size_t anchor_ = 0;
  std::size_t caret_ = 0;
  std::size_t limit_ = kDefaultLimit;
  bool focused_ = false;
  bool modified_ = false;
  bool tracking_ = false;
  int scrollX_ = 0;
  std::size_t topLine_ = 0;
  int preferredX_ = -1;
  wchar_t passwordChar_ = L'*';
  LPARAM inputMode_ = 0;
  HFONT font_ = nullptr;
  MeasureDC measure_;
  int lineHeight_ = 12;
  std::vector<Line> lines_;
  bool linesValid_ = false;
  // extents_[i]: the width of the first i characters as shown, so a run's
  // width is a difference (measured once for each change of the text).
  std::vector<int> extents_;
  bool extentsValid_ = false;
  int linesWidth_ = 0;
  VScrollBar bar_;
};

RECT Edit::TextArea() const {
  RECT client{};
  GetClientRect(hwnd_, &client);
  const int border = (style() & WS_BORDER) ? 1 : 0;
  const int bar = hasBar() ? VScrollBar::Width() : 0;
  RECT area{client.left + border + kMargin, client.top + border + (multiline() ? kMargin : 0),
            client.right - border - kMargin - bar, client.bottom - border - (multiline() ? kMargin : 0)};
  if (area.right < area.left) area.right = area.left;
  if (area.bottom < area.top) area.bottom = area.top;
  return area;
}

std::size_t Edit::VisibleLines() const {
  const RECT area = TextArea();
  return static_cast<std::size_t>(std::max(1, static_cast<int>(area.bottom - area.top) / lineHeight_));
}

void Edit::LayoutBar() {
  if (!hasBar()) return;
  RECT client{};
  GetClientRect(hwnd_, &client);
  const int border = (style() & WS_BORDER) ? 1 : 0;
  const RECT bar{std::max(client.left + border, static_cast<LONG>(client.right - border - VScrollBar::Width())),
                 client.top + border, client.right - border, client.bottom - border};
  bar_.Layout(bar, static_cast<int>(topLine_), static_cast<int>(VisibleLines()), static_cast<int>(Lines().size()));
}

const wchar_t* Edit::Shown(std::size_t from) const { return (hidden() ? shown_.c_str() : text_.c_str()) + from; }

const std::vector<int>& Edit::Extents() {
  if (extentsValid_) return extents_;
  extents_.assign(text_.size() + 1, 0);
  SIZE size{};
  if (!text_.empty()) {
    GetTextExtentExPointW(measure_.get(), Shown(0), static_cast<int>(text_.size()), 0, nullptr, extents_.data() + 1,
                          &size);
  }
  extentsValid_ = true;
  return extents_;
}

int Edit::Width(std::size_t from, std::size_t to) {
  if (to <= from) return 0;
  const auto& e = Extents();
  return e[to] - e[from];
}

std::size_t Edit::Fit(std::size_t from, std::size_t to, int x) {
  const auto& e = Extents();
  const auto end = e.begin() + static_cast<std::ptrdiff_t>(to) + 1;
  const auto it = std::upper_bound(e.begin() + static_cast<std::ptrdiff_t>(from), end, e[from] + x);
  return static_cast<std::size_t>(it - e.begin()) - 1;
}

const std::vector<Line>& Edit::Lines() {
  const int available = TextArea().right - TextArea().left;
  if (linesValid_ && (!wraps() || linesWidth_ == available)) return lines_;
  lines_.clear();
  linesWidth_ = available;
  linesValid_ = true;
  if (!multiline()) {
    lines_.push_back({0, text_.size()});
    return lines_;
  }
  std::size_t start = 0;
  for (;;) {
    std::size_t breakAt = text_.find(L'\n', start);
    const bool last = breakAt == std::wstring::npos;
    std::size_t end = last ? text_.size() : breakAt;
    if (!last && end > start && text_[end - 1] == L'\r') --end;
    std::size_t from = start;
    if (wraps() && available > 0) {
      while (Width(from, end) > available) {
        std::size_t cut = std::max(Fit(from, end, available), from + 1);
        // Break after the last space that fits, when there is one.
        for (std::size_t i = cut; i > from + 1; --i) {
          if (text_[i - 1] == L' ') {
            cut = i;
            break;
          }
        }
        lines_.push_back({from, cut});
        from = cut;
      }
    }
    lines_.push_back({from, end});
    if (last) break;
    start = breakAt + 1;
  }
  return lines_;
}

std::size_t Edit::LineOf(std::size_t index) {
  const auto& lines = Lines();
  auto it = std::upper_bound(lines.begin(), lines.end(), index,
                             [](std::size_t i, const Line& line) { return i < line.start; });
  return it == lines.begin() ? 0 : static_cast<std::size_t>(it - lines.begin() - 1);
}

int Edit::AlignOffset(const Line& line, int available) {
  const DWORD align = style() & (ES_CENTER | ES_RIGHT);
  if (align == ES_LEFT) return 0;
  const int room = available - Width(line.start, line.end);
  if (room <= 0) return 0;
  return align == ES_RIGHT ? room : room / 2;
}

std::size_t Edit::HitTest(int x, int y) {
  const RECT area = TextArea();
  const auto& lines = Lines();
  std::size_t row = topLine_;
  if (multiline()) {
    const int offset = y - area.top;
    if (offset < 0) {
      const std::size_t up = static_cast<std::size_t>((-offset + lineHeight_ - 1) / lineHeight_);
      row = up > row ? 0 : row - up;
    } else {
      row += static_cast<std::size_t>(offset / lineHeight_);
    }
    row = std::min(row, lines.size() - 1);
  } else {
    row = 0;
  }
  const Line line = lines[row];
  const int target = x - area.left + scrollX_ - AlignOffset(line, area.right - area.left);
  if (target <= 0 || line.end == line.start) return line.start;
  // The character boundary nearest the point.
  const std::size_t left = Fit(line.start, line.end, target);
  if (left >= line.end) return line.end;
  return target - Width(line.start, left) < Width(line.start, left + 1) - target ? left : left + 1;
}

POINT Edit::CaretPoint() {
  const RECT area = TextArea();
  const std::size_t row = LineOf(caret_);
  const Line line = Lines()[row];
  const int x = Width(line.start, caret_) + AlignOffset(line, area.right - area.left);
  return POINT{x, static_cast<int>(row) * lineHeight_};
}

void Edit::EnsureCaretVisible() {
  const RECT area = TextArea();
  const int width = area.right - area.left;
  const POINT at = CaretPoint();
  if (wraps()) {
    scrollX_ = 0;
  } else if (at.x < scrollX_) {
    scrollX_ = std::max(0, at.x - width / 4);
  } else if (at.x >= scrollX_ + width) {
    scrollX_ = at.x - width + width / 4 + 1;
  }
  if (multiline()) {
    const std::size_t visible = static_cast<std::size_t>(std::max(1, int(area.bottom - area.top) / lineHeight_));
    const std::size_t row = static_cast<std::size_t>(at.y / lineHeight_);
    if (row < topLine_) topLine_ = row;
    if (row >= topLine_ + visible) topLine_ = row - visible + 1;
  }
}

void Edit::Changed() {
  linesValid_ = false;
  extentsValid_ = false;
  if (hidden() || shown_.size() != text_.size()) shown_.assign(text_.size(), passwordChar_ ? passwordChar_ : L'*');
  EnsureCaretVisible();
  InvalidateRect(hwnd_, nullptr, FALSE);
}

std::size_t Edit::Previous(std::size_t index) const {
  if (index == 0) return 0;
  if (index >= 2 && text_[index - 1] == L'\n' && text_[index - 2] == L'\r') return index - 2;
  return index - 1;
}

std::size_t Edit::Next(std::size_t index) const {
  if (index >= text_.size()) return text_.size();
  if (text_[index] == L'\r' && index + 1 < text_.size() && text_[index + 1] == L'\n') return index + 2;
  return index + 1;
}

// Keeps an index off the middle of a "\r\n" pair.
std::size_t Edit::Snap(std::size_t index) const {
  index = std::min(index, text_.size());
  if (index > 0 && index < text_.size() && text_[index - 1] == L'\r' && text_[index] == L'\n') return index - 1;
  return index;
}

bool Edit::Replace(std::wstring insert, bool typed) {
  const std::size_t from = selMin();
  const std::size_t count = selMax() - from;
  const std::size_t kept = text_.size() - count;
  const std::size_t room = limit_ > kept ? limit_ - kept : 0;
  if (insert.size() > room) {
    Notify(hwnd_, EN_MAXTEXT);
    if (typed) return false;
    insert.resize(room);
    if (!insert.empty() && insert.back() == L'\r') insert.pop_back();
  }
  if (insert.empty() && count == 0) return false;
  text_.replace(from, count, insert);
  caret_ = anchor_ = from + insert.size();
  modified_ = true;
  preferredX_ = -1;
  Changed();
  Notify(hwnd_, EN_UPDATE);
  Notify(hwnd_, EN_CHANGE);
  return true;
}

void Edit::MoveCaret(std::size_t to, bool extend) {
  caret_ = Snap(to);
  if (!extend) anchor_ = caret_;
  EnsureCaretVisible();
  InvalidateRect(hwnd_, nullptr, FALSE);
}

bool Edit::Copy() {
  if (anchor_ == caret_ || (style() & ES_PASSWORD)) return false;
  const std::wstring text = text_.substr(selMin(), selMax() - selMin());
  if (!OpenClipboard(hwnd_)) return false;
  bool copied = false;
  if (EmptyClipboard()) {
    const SIZE_T bytes = (text.size() + 1) * sizeof(wchar_t);
    if (HLOCAL block = LocalAlloc(LMEM_FIXED, bytes)) {
      auto* out = static_cast<wchar_t*>(LocalLock(block));
      if (out) {
        std::wmemcpy(out, text.c_str(), text.size() + 1);
        LocalUnlock(block);
      }
      copied = out && SetClipboardData(CF_UNICODETEXT, block) != nullptr;
      if (!copied) LocalFree(block);  // the clipboard took it only on success
    }
  }
  CloseClipboard();
  return copied;
}

void Edit::Cut() {
  if (style() & ES_READONLY) return;
  if (Copy()) Replace(std::wstring(), false);
}

void Edit::Clear() {
  if ((style() & ES_READONLY) || anchor_ == caret_) return;
  Replace(std::wstring(), false);
}

void Edit::Paste() {
  const DWORD s = style();
  if (s & ES_READONLY) return;
  if (!OpenClipboard(hwnd_)) return;
  std::wstring text;
  if (HANDLE block = GetClipboardData(CF_UNICODETEXT)) {
    const auto* in = static_cast<const wchar_t*>(LocalLock(block));
    if (in) {
      // Up to the first zero, never past the block's end.
      const std::size_t room = LocalSize(block) / sizeof(wchar_t);
      std::size_t length = 0;
      while (length < room && in[length] != L'\0') ++length;
      text.assign(in, length);
      LocalUnlock(block);
    }
  }
  CloseClipboard();
  // One line takes the text up to its first line break.
  if (!multiline()) text.resize(std::min(text.size(), text.find_first_of(L"\r\n")));
  if (text.empty()) return;
  // A number-only edit refuses text that is not all digits, as it does keys.
  if ((s & ES_NUMBER) && text.find_first_not_of(L"0123456789") != std::wstring::npos) return;
  if (s & ES_UPPERCASE) {
    for (auto& c : text) c = static_cast<wchar_t>(std::towupper(c));
  }
  if (s & ES_LOWERCASE) {
    for (auto& c : text) c = static_cast<wchar_t>(std::towlower(c));
  }
  Replace(std::move(text), false);
}

void Edit::OnChar(wchar_t c) {
  const DWORD s = style();
  if (s & ES_READONLY) return;
  if (c == VK_BACK) {
    if (anchor_ == caret_) {
      if (caret_ == 0) return;
      anchor_ = Previous(caret_);
    }
    Replace(std::wstring(), true);
    return;
  }
  if (c == L'\r') {
    if (multiline()) Replace(L"\r\n", true);
    return;
  }
  if (c < 0x20 || c == 0x7F) return;  // control characters: no clipboard here
  if ((s & ES_NUMBER) && (c < L'0' || c > L'9')) return;
  if (s & ES_UPPERCASE) c = static_cast<wchar_t>(std::towupper(c));
  if (s & ES_LOWERCASE) c = static_cast<wchar_t>(std::towlower(c));
  Replace(std::wstring(1, c), true);
}

bool Edit::OnKey(int key) {
  const bool shift = KeyIsDown(VK_SHIFT);
  const bool control = KeyIsDown(VK_CONTROL);
  const bool selected = anchor_ != caret_;
  if (!multiline() && key == VK_UP) key = VK_LEFT;
  if (!multiline() && key == VK_DOWN) key = VK_RIGHT;
  if (control && !shift && (key == 'C' || key == VK_INSERT)) {
    Copy();
    return true;
  }
  if ((control && !shift && key == 'X') || (shift && !control && key == VK_DELETE)) {
    Cut();
    return true;
  }
  if ((control && !shift && key == 'V') || (shift && !control && key == VK_INSERT)) {
    Paste();
    return true;
  }
  switch (key) {
    case VK_LEFT:
      preferredX_ = -1;
      MoveCaret(selected && !shift ? selMin() : Previous(caret_), shift);
      return true;
    case VK_RIGHT:
      preferredX_ = -1;
      MoveCaret(selected && !shift ? selMax() : Next(caret_), shift);
      return true;
    case VK_HOME:
      preferredX_ = -1;
      MoveCaret(control ? 0 : Lines()[LineOf(caret_)].start, shift);
      return true;
    case VK_END:
      preferredX_ = -1;
      MoveCaret(control ? text_.size() : Lines()[LineOf(caret_)].end, shift);
      return true;
    case VK_UP:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT: {
      const RECT area = TextArea();
      const std::size_t page = static_cast<std::size_t>(std::max(1, int(area.bottom - area.top) / lineHeight_));
      const std::size_t step = (key == VK_PRIOR || key == VK_NEXT) ? page : 1;
      const std::size_t row = LineOf(caret_);
      const std::size_t last = Lines().size() - 1;
      const std::size_t target =
          (key == VK_UP || key == VK_PRIOR) ? (row > step ? row - step : 0) : std::min(last, row + step);
      if (preferredX_ < 0) preferredX_ = CaretPoint().x;
      const int keep = preferredX_;
      const int y = area.top + (static_cast<int>(target) - static_cast<int>(topLine_)) * lineHeight_;
      const std::size_t to = target == row ? caret_ : HitTest(area.left + preferredX_ - scrollX_, y);
      MoveCaret(to, shift);
      preferredX_ = keep;
      return true;
    }
    case VK_DELETE:
      if (style() & ES_READONLY) return true;
      if (!selected) {
        if (caret_ >= text_.size()) return true;
        anchor_ = Next(caret_);
      }
      Replace(std::wstring(), true);
      return true;
    default:
      return false;
  }
}

void Edit::Paint() {
  PAINTSTRUCT ps{};
  HDC dc = BeginPaint(hwnd_, &ps);
  if (!dc) return;
  RECT client{};
  GetClientRect(hwnd_, &client);
  const bool enabled = IsWindowEnabled(hwnd_) != FALSE;
  FillSolid(dc, client, enabled && !(style() & ES_READONLY) ? WindowColor() : FaceColor());
  if (style() & WS_BORDER) FrameSolid(dc, client, FrameColor());
  const RECT area = TextArea();
  const int width = area.right - area.left;
  HGDIOBJ oldFont = SelectObject(dc, font_ ? font_ : SystemFont());
  SetBkMode(dc, TRANSPARENT);
  const auto& lines = Lines();
  const bool showSelection = anchor_ != caret_ && (focused_ || (style() & ES_NOHIDESEL));
  const std::size_t s0 = selMin();
  const std::size_t s1 = selMax();
  int y = area.top;
  if (!multiline()) y = area.top + std::max(0, int(area.bottom - area.top - lineHeight_) / 2);
  for (std::size_t row = topLine_; row < lines.size() && y < area.bottom; ++row, y += lineHeight_) {
    const Line line = lines[row];
    const int x0 = area.left - scrollX_ + AlignOffset(line, width);
    // Only the characters in view are drawn.
    const std::size_t first = Fit(line.start, line.end, std::max(0, int(area.left - x0)));
    const std::size_t last = std::min(line.end, Fit(line.start, line.end, std::max(0, int(area.right - x0))) + 1);
    // Three runs: before the selection, the selection, after it.
    const std::size_t cuts[4] = {first, std::clamp(s0, first, last), std::clamp(s1, first, last), last};
    for (int run = 0; run < 3; ++run) {
      const std::size_t from = showSelection ? cuts[run] : (run == 0 ? first : last);
      const std::size_t to = showSelection ? cuts[run + 1] : last;
      if (to <= from) continue;
      const int x = x0 + Width(line.start, from);
      const bool inSelection = showSelection && run == 1;
      RECT clip{std::max(area.left, static_cast<LONG>(x)), std::max(area.top, static_cast<LONG>(y)), area.right,
                std::min(area.bottom, static_cast<LONG>(y + lineHeight_))};
      if (inSelection) {
        RECT band{std::max(static_cast<LONG>(x), area.left), clip.top,
                  std::min(static_cast<LONG>(x + Width(from, to)), area.right), clip.bottom};
        if (band.right > band.left) FillSolid(dc, band, HighlightColor());
      }
      SetTextColor(dc, !enabled ? GrayTextColor() : inSelection ? HighlightTextColor() : TextColor());
      ExtTextOutW(dc, x, y, ETO_CLIPPED, &clip, Shown(from), static_cast<UINT>(to - from), nullptr);
    }
  }
  if (focused_) {
    const POINT at = CaretPoint();
    const int x = area.left - scrollX_ + at.x;
    const int top = multiline() ? area.top + at.y - static_cast<int>(topLine_) * lineHeight_
                                : area.top + std::max(0, int(area.bottom - area.top - lineHeight_) / 2);
    RECT caret{x, std::max(top, static_cast<int>(area.top)), x + 1,
               std::min(top + lineHeight_, static_cast<int>(area.bottom))};
    if (x >= area.left && x < area.right + 1 && caret.bottom > caret.top) FillSolid(dc, caret, TextColor());
  }
  if (hasBar()) {
    LayoutBar();
    bar_.Draw(dc, enabled);
  }
  SelectObject(dc, oldFont);
  EndPaint(hwnd_, &ps);
}

void Edit::SetFont(HFONT font) {
  font_ = font;
  extentsValid_ = false;
  lineHeight_ = measure_.Select(font);
  Changed();
}

LRESULT Edit::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  style_ = StyleOf(hwnd_);
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_SIZE:
      linesValid_ = false;
      EnsureCaretVisible();
      InvalidateRect(hwnd_, nullptr, FALSE);
      return 0;
    case WM_SETTEXT: {
      const auto* text = reinterpret_cast<LPCWSTR>(lParam);
      text_ = text ? text : L"";
      anchor_ = caret_ = 0;
      scrollX_ = 0;
      topLine_ = 0;
      modified_ = false;
      Changed();
      Notify(hwnd_, EN_UPDATE);
      Notify(hwnd_, EN_CHANGE);
      return TRUE;
    }
    case WM_GETTEXT: {
      auto* out = reinterpret_cast<LPWSTR>(lParam);
      if (!out || wParam == 0) return 0;
      const std::size_t n = std::min<std::size_t>(text_.size(), wParam - 1);
      text_.copy(out, n);
      out[n] = L'\0';
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(text_.size());
    case WM_COPY:
      Copy();
      return 0;
    case WM_CUT:
      Cut();
      return 0;
    case WM_PASTE:
      Paste();
      return 0;
    case WM_CLEAR:
      Clear();
      return 0;
    case WM_SETFONT:
      SetFont(reinterpret_cast<HFONT>(wParam));
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(font_);
    case WM_SETFOCUS:
      focused_ = true;
      InvalidateRect(hwnd_, nullptr, FALSE);
      Notify(hwnd_, EN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      focused_ = false;
      InvalidateRect(hwnd_, nullptr, FALSE);
      Notify(hwnd_, EN_KILLFOCUS);
      return 0;
    case WM_ENABLE:
      InvalidateRect(hwnd_, nullptr, FALSE);
      return 0;
    case WM_GETDLGCODE: {
      // The arrows move the caret; a multi-line edit that wants Enter
      // keeps it for a new line.
      const auto* msg = reinterpret_cast<const MSG*>(lParam);
      const bool newLine =
          multiline() && (style() & ES_WANTRETURN) && msg && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN;
      return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS | (newLine ? DLGC_WANTMESSAGE : 0);
    }
    case WM_CHAR:
      OnChar(static_cast<wchar_t>(wParam));
      return 0;
    case WM_KEYDOWN:
      if (OnKey(static_cast<int>(wParam))) return 0;
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      if (GetFocus() != hwnd_) SetFocus(hwnd_);
      LayoutBar();
      if (hasBar() && bar_.Press(hwnd_, POINT{XOf(lParam), YOf(lParam)})) {
        if (bar_.dragging()) SetCapture(hwnd_);
        return 0;
      }
      preferredX_ = -1;
      MoveCaret(HitTest(XOf(lParam), YOf(lParam)), (wParam & MK_SHIFT) != 0 || KeyIsDown(VK_SHIFT));
      tracking_ = true;
      SetCapture(hwnd_);
      return 0;
    }
    case WM_MOUSEMOVE:
      if (bar_.dragging()) bar_.Drag(hwnd_, POINT{XOf(lParam), YOf(lParam)});
      if (tracking_) MoveCaret(HitTest(XOf(lParam), YOf(lParam)), true);
      return 0;
    case WM_LBUTTONUP:
      if (bar_.dragging()) {
        bar_.Release(hwnd_);
        if (GetCapture() == hwnd_) ReleaseCapture();
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
    case WM_VSCROLL: {
      if (!multiline()) return 0;
      const int last = std::max(0, static_cast<int>(Lines().size()) - static_cast<int>(VisibleLines()));
      topLine_ = static_cast<std::size_t>(ScrolledTo(LOWORD(wParam), HIWORD(wParam), static_cast<int>(topLine_),
                                                     static_cast<int>(VisibleLines()), last));
      InvalidateRect(hwnd_, nullptr, FALSE);
      return 0;
    }
    case EM_GETSEL: {
      if (wParam) *reinterpret_cast<DWORD*>(wParam) = static_cast<DWORD>(selMin());
      if (lParam) *reinterpret_cast<DWORD*>(lParam) = static_cast<DWORD>(selMax());
      const auto clip = [](std::size_t v) { return static_cast<WORD>(std::min<std::size_t>(v, 0xFFFF)); };
      return static_cast<LRESULT>(static_cast<DWORD>(MAKELONG(clip(selMin()), clip(selMax()))));
    }
    case EM_SETSEL: {
      const auto start = static_cast<long long>(static_cast<int>(wParam));
      const auto end = static_cast<long long>(static_cast<int>(lParam));
      if (start == -1) {
        anchor_ = caret_;  // only drops the selection
      } else {
        const auto place = [&](long long v) {
          return Snap(v < 0 ? text_.size() : std::min<std::size_t>(static_cast<std::size_t>(v), text_.size()));
        };
        anchor_ = place(start);
        caret_ = place(end);
      }
      preferredX_ = -1;
      EnsureCaretVisible();
      InvalidateRect(hwnd_, nullptr, FALSE);
      return 0;
    }
    case EM_SCROLLCARET:
      EnsureCaretVisible();
      InvalidateRect(hwnd_, nullptr, FALSE);
      return TRUE;
    case EM_GETMODIFY:
      return modified_ ? TRUE : FALSE;
    case EM_SETMODIFY:
      modified_ = wParam != 0;
      return 0;
    case EM_GETLINECOUNT:
      return static_cast<LRESULT>(Lines().size());
    case EM_GETFIRSTVISIBLELINE:
      return multiline() ? static_cast<LRESULT>(topLine_) : 0;
    case EM_REPLACESEL: {
      const auto* text = reinterpret_cast<LPCWSTR>(lParam);
      Replace(text ? text : L"", false);
      return 0;
    }
    case EM_LIMITTEXT:
      limit_ = wParam == 0 ? kLargestLimit : std::min<std::size_t>(wParam, kLargestLimit);
      return 0;
    case EM_GETLIMITTEXT:
      return static_cast<LRESULT>(limit_);
    case EM_SETREADONLY: {
      const DWORD s = style();
      style_ = wParam ? (s | ES_READONLY) : (s & ~ES_READONLY);
      SetWindowLongW(hwnd_, GWL_STYLE, static_cast<LONG>(style_));
      InvalidateRect(hwnd_, nullptr, FALSE);
      return TRUE;
    }
    case EM_SETPASSWORDCHAR:
      passwordChar_ = static_cast<wchar_t>(wParam);
      Changed();
      return 0;
    case EM_GETPASSWORDCHAR:
      return passwordChar_;
    case EM_SETINPUTMODE:
      // The input method is the host's keyboard here: the mode is kept only.
      inputMode_ = lParam;
      return TRUE;
    case EM_GETINPUTMODE:
      return inputMode_;
    default:
      if (message >= EM_GETSEL && message <= EM_SETINPUTMODE) {
        ce::kernel::NotImplemented("edit control message");
        return 0;
      }
      break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK EditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    if (StyleOf(hwnd) & ES_COMBOBOX) {
      ce::kernel::NotImplemented("ES_COMBOBOX edit");
      return -1;
    }
    auto* edit = new Edit(hwnd);
    SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(edit));
    edit->Init(create && create->lpszName && !IS_INTRESOURCE(create->lpszName) ? create->lpszName : L"");
    return 0;
  }
  return ForwardToState<Edit>(hwnd, message, wParam, lParam);
}

}  // namespace ce::controls::detail
