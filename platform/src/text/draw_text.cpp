// DrawTextW: text laid out in a rectangle (prefixes, line breaks, word
// wrapping, alignment, end ellipsis), measured or drawn.
#include <algorithm>
#include <cwchar>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ce/winbase.h"
#include "ce/wingdi.h"
#include "ce/winuser.h"
#include "gdi/objects.h"
#include "kernel/not_implemented.h"
#include "text/font_engine.h"
#include "text/text_render.h"

using namespace ce::gdi;

namespace {

using i64 = long long;

constexpr std::size_t kMostChars = 1u << 20;
constexpr UINT kFormats = DT_CENTER | DT_RIGHT | DT_VCENTER | DT_BOTTOM | DT_WORDBREAK | DT_SINGLELINE | DT_NOCLIP |
                          DT_EXTERNALLEADING | DT_CALCRECT | DT_NOPREFIX | DT_END_ELLIPSIS;
constexpr wchar_t kEllipsis = 0x2026;

struct Line {
  std::wstring text;
  std::vector<std::uint8_t> marks;  // underlined by a prefix
  i64 width = 0;
};

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

class Layout {
 public:
  Layout(ce::text::RealizedFont& font, i64 width, UINT format) : font_(font), width_(width), format_(format) {}

  // Splits prefixed text into lines.
  void Build(const wchar_t* text, std::size_t count) {
    // Prefixes: '&' underlines the next character and goes; "&&" is '&'.
    chars_.reserve(count);
    marks_.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
      wchar_t c = text[i];
      bool mark = false;
      if (c == L'&' && !(format_ & DT_NOPREFIX)) {
        if (++i == count) break;
        c = text[i];
        mark = c != L'&';
      }
      chars_.push_back(c);
      marks_.push_back(mark ? 1 : 0);
    }
    if (format_ & DT_SINGLELINE) {
      Add(0, chars_.size());
      return;
    }
    std::size_t start = 0;
    for (std::size_t i = 0; i <= chars_.size(); ++i) {
      if (i < chars_.size() && chars_[i] != L'\r' && chars_[i] != L'\n') continue;
      Paragraph(start, i);
      if (i + 1 < chars_.size() && chars_[i] == L'\r' && chars_[i + 1] == L'\n') ++i;
      start = i + 1;
    }
  }

  std::vector<Line>& lines() { return lines_; }

 private:
  i64 Width(std::size_t from, std::size_t to) const {
    return ce::text::RunWidth(font_, chars_.data() + from, to - from);
  }

  void Paragraph(std::size_t start, std::size_t end) {
    if (!(format_ & DT_WORDBREAK)) {
      Add(start, end);
      return;
    }
    std::size_t i = start;
    do {
      const std::size_t lineStart = i;
      i64 width = 0;
      std::size_t lastEnd = lineStart;
      bool any = false;
      std::size_t j = lineStart;
      while (j < end) {
        std::size_t wordEnd = j;
        while (wordEnd < end && !IsBlank(chars_[wordEnd])) ++wordEnd;
        const i64 word = Width(j, wordEnd);
        // A word that does not fit goes to the next line; a word alone on its
        // line stays whole however wide it is.
        if (any && width + word > width_) break;
        width += word;
        lastEnd = wordEnd;
        any = true;
        std::size_t blanksEnd = wordEnd;
        while (blanksEnd < end && IsBlank(chars_[blanksEnd])) ++blanksEnd;
        width += Width(wordEnd, blanksEnd);
        j = blanksEnd;
      }
      if (j >= end) {
        Add(lineStart, end);
        break;
      }
      // The blanks at the break go.
      Add(lineStart, lastEnd);
      i = j;
    } while (i < end);
  }

  void Add(std::size_t from, std::size_t to) {
    Line line;
    line.text.assign(chars_.begin() + static_cast<std::ptrdiff_t>(from),
                     chars_.begin() + static_cast<std::ptrdiff_t>(to));
    line.marks.assign(marks_.begin() + static_cast<std::ptrdiff_t>(from),
                      marks_.begin() + static_cast<std::ptrdiff_t>(to));
    line.width = ce::text::RunWidth(font_, line.text.data(), line.text.size());
    if ((format_ & DT_END_ELLIPSIS) && line.width > width_) {
      // As many characters as fit before the ellipsis; the ellipsis alone if
      // none do.
      const i64 ellipsis = font_.Advance(kEllipsis);
      std::size_t keep = 0;
      i64 kept = 0;
      while (keep < line.text.size() && kept + font_.Advance(line.text[keep]) + ellipsis <= width_) {
        kept += font_.Advance(line.text[keep]);
        ++keep;
      }
      line.text.resize(keep);
      line.marks.resize(keep);
      line.text.push_back(kEllipsis);
      line.marks.push_back(0);
      line.width = kept + ellipsis;
    }
    lines_.push_back(std::move(line));
  }

  ce::text::RealizedFont& font_;
  i64 width_;
  UINT format_;
  std::wstring chars_;
  std::vector<std::uint8_t> marks_;
  std::vector<Line> lines_;
};

LONG Clamp(i64 value) { return static_cast<LONG>(std::clamp<i64>(value, -(1LL << 30), 1LL << 30)); }

}  // namespace

int DrawTextW(HDC hdc, LPCWSTR text, int count, LPRECT rect, UINT format) {
  if ((format & ~kFormats) != 0) {
    ce::kernel::NotImplemented("DrawTextW(format)");
    return 0;
  }
  if (rect == nullptr || count < -1 || (text == nullptr && count != 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::size_t length = count == -1 ? std::wcslen(text) : static_cast<std::size_t>(count);
  if (length > kMostChars) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::lock_guard guard(GdiLock());
  auto dc = LookupDc(hdc);
  if (!dc) return 0;
  if (!(format & DT_CALCRECT) && !ce::text::Drawable(*dc)) return 0;
  auto font = ce::text::FontOf(*dc);
  const i64 lineHeight = font->metrics().height;
  if (length == 0) {
    // Nothing to draw; measuring gives an empty width and, on a single line,
    // one line's height.
    if (format & DT_CALCRECT) {
      rect->right = rect->left;
      rect->bottom = Clamp(i64{rect->top} + ((format & DT_SINGLELINE) ? lineHeight : 0));
    }
    return static_cast<int>(lineHeight);
  }
  Layout layout(*font, i64{rect->right} - rect->left, format);
  layout.Build(text, length);
  std::vector<Line>& lines = layout.lines();
  const i64 total = lineHeight * static_cast<i64>(lines.size());
  if (format & DT_CALCRECT) {
    i64 widest = 0;
    for (const Line& line : lines) widest = std::max(widest, line.width);
    rect->right = Clamp(i64{rect->left} + widest);
    rect->bottom = Clamp(i64{rect->top} + total);
    return static_cast<int>(std::min<i64>(total, 0x7FFFFFFF));
  }
  i64 top = rect->top;
  const bool placed = (format & DT_SINGLELINE) && (format & (DT_VCENTER | DT_BOTTOM));
  if (placed) {
    if (format & DT_VCENTER) {
      top = i64{rect->top} + (i64{rect->bottom} - rect->top) / 2 - lineHeight / 2;
    } else {
      top = i64{rect->bottom} - lineHeight;
    }
  }
  std::optional<RECT> clip;
  if (!(format & DT_NOCLIP)) clip = *rect;
  i64 y = top;
  for (const Line& line : lines) {
    i64 x = rect->left;
    if (format & DT_CENTER) {
      x = (i64{rect->left} + rect->right - line.width) / 2;
    } else if (format & DT_RIGHT) {
      x = i64{rect->right} - line.width;
    }
    ce::text::Run run;
    run.text = line.text.data();
    run.count = line.text.size();
    run.marks = line.marks.data();
    run.width = line.width;
    ce::text::DrawRun(*dc, *font, x, y, 0, 0, run, clip);
    y += lineHeight;
  }
  const i64 answer = placed ? top - rect->top + lineHeight : total;
  return static_cast<int>(std::clamp<i64>(answer, 0, 0x7FFFFFFF));
}
