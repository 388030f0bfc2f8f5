// The rows of a list box and the choices of a choice list: owned texts with
// a caller's data word, optionally kept sorted from a first sortable row,
// and the drawing of a text in columns cut at tab characters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ce/windef.h"

class ssDisplay;
class ssFont;
class Wnd;

namespace ui {

struct Row {
  std::wstring text;
  std::uint32_t data = 0;
};

inline constexpr int kTabStops = 16;

class RowList {
 public:
  // Appends, or with sorted set inserts before the first row from
  // firstSortable on whose text compares greater (code-unit order).
  // Returns the new row's index.
  int Add(const wchar_t* text, bool sorted, int firstSortable);
  // -1 when index is out of range, else the new count.
  int Delete(int index);
  void Clear() { m_Rows.clear(); }
  int Count() const { return static_cast<int>(m_Rows.size()); }
  bool Valid(int index) const { return index >= 0 && index < Count(); }
  // 0 when the index is out of range.
  std::uint32_t Data(int index) const { return Valid(index) ? m_Rows[static_cast<std::size_t>(index)].data : 0; }
  int SetData(int index, std::uint32_t data);
  // The text, or an empty one when the index is out of range.
  const wchar_t* Text(int index) const;
  // Copies the text (cut to capacity); the length copied, or -1.
  int CopyText(int index, wchar_t* buffer, std::size_t capacity) const;

 private:
  std::vector<Row> m_Rows;
};

// Draws text in columns cut at TAB: column k at x_k, x_0 = x,
// x_(k+1) = max(x_k + w_k, x + stop_k). Past the last tab stop columns
// simply follow each other. Each column is shown to the text probe as
// drawn by `owner` in `box`.
void DrawColumns(const Wnd* owner, const RECT& box, ssDisplay* device, ssFont* font, const wchar_t* text, int x, int y,
                 const int* stops, std::uint32_t colour, std::uint32_t back, std::uint32_t shadow, bool withShadow,
                 const RECT& clip);

}  // namespace ui
