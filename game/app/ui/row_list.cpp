// Rows of list boxes and choice lists, and drawing a text in columns.
#include "ui/row_list.h"

#include <algorithm>
#include <cwchar>

#include "display/display.h"
#include "ui/wnd.h"

namespace ui {

int RowList::Add(const wchar_t* text, bool sorted, int firstSortable) {
  Row row{text != nullptr ? text : L"", 0};
  std::size_t at = m_Rows.size();
  if (sorted && Count() > firstSortable && firstSortable >= 0) {
    for (std::size_t i = static_cast<std::size_t>(firstSortable); i < m_Rows.size(); ++i) {
      // Code-unit order, whatever the width of wchar_t.
      if (m_Rows[i].text.compare(row.text) > 0) {
        at = i;
        break;
      }
    }
  }
  m_Rows.insert(m_Rows.begin() + static_cast<std::ptrdiff_t>(at), std::move(row));
  return static_cast<int>(at);
}

int RowList::Delete(int index) {
  if (!Valid(index)) return -1;
  m_Rows.erase(m_Rows.begin() + index);
  return Count();
}

int RowList::SetData(int index, std::uint32_t data) {
  if (!Valid(index)) return -1;
  m_Rows[static_cast<std::size_t>(index)].data = data;
  return 0;
}

const wchar_t* RowList::Text(int index) const {
  return Valid(index) ? m_Rows[static_cast<std::size_t>(index)].text.c_str() : L"";
}

int RowList::CopyText(int index, wchar_t* buffer, std::size_t capacity) const {
  if (!Valid(index) || buffer == nullptr || capacity == 0) return -1;
  const std::wstring& text = m_Rows[static_cast<std::size_t>(index)].text;
  const std::size_t n = std::min(text.size(), capacity - 1);
  std::wmemcpy(buffer, text.data(), n);
  buffer[n] = 0;
  return static_cast<int>(n);
}

void DrawColumns(const Wnd* owner, const RECT& box, ssDisplay* device, ssFont* font, const wchar_t* text, int x, int y,
                 const int* stops, std::uint32_t colour, std::uint32_t back, std::uint32_t shadow, bool withShadow,
                 const RECT& clip) {
  if (device == nullptr || font == nullptr || text == nullptr || text[0] == 0) return;
  // One column at a time through a bounded buffer: no allocation per row.
  wchar_t column[256];
  int cx = x;
  int k = 0;
  const wchar_t* p = text;
  for (;;) {
    const wchar_t* end = p;
    while (*end != 0 && *end != L'\t') ++end;
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(end - p), 255);
    std::wmemcpy(column, p, n);
    column[n] = 0;
    int w = 0, h = 0;
    if (n != 0) {
      device->MeasureText(font, column, &w, &h, false);
      ProbeText(DrawnText{owner, font, column, cx, y, box, false, withShadow});
      device->DrawText(font, cx, y, column, -1, colour, back, shadow, false, withShadow, false, 0, &clip, false, false);
    }
    if (*end == 0) break;
    const int next = k < kTabStops ? x + stops[k] : cx;
    cx = std::max(cx + w, next);
    ++k;
    p = end + 1;
  }
}

}  // namespace ui
