// ListBox: a vertical list of text rows in tab columns, one selected row, a
// scrolled top row and a vertical scroll bar child (id 101) shown only when
// the rows do not fit. A tap selects a row; once entered with Enter the
// direction keys move the selection. Changes, the chosen row and the wish
// to leave go to the screen as notifications.
#pragma once

#include "ui/row_list.h"
#include "ui/wnd.h"

class ScrollBar;

class ListBox : public Wnd {
 public:
  static constexpr int kScrollBarId = 101;
  // Style bits.
  static constexpr std::uint32_t kSorted = 0x2;
  static constexpr std::uint32_t kColumns = 0x80;
  // Flag bit: an arrows-only scroll bar, wider.
  static constexpr std::uint32_t kFlagArrowBar = 0x200;

  ~ListBox() override;
  bool Create(ssDisplay* device, Wnd* parent, const RECT& fracRect, const wchar_t* caption, int kind,
              std::uint32_t style, std::uint32_t flags, int id, std::uint32_t spare) override;
  int Paint(const RECT& dirty) override;
  void Layout() override;
  int OnPenUp(std::uint32_t buttons, LPARAM pos) override;
  LRESULT WndProc(UINT message, WPARAM p1, LPARAM p2) override;
  void SetFocus(Wnd* previous) override;
  int Activate() override;

  int AddRow(const wchar_t* text);
  int DeleteRow(int index);
  int GetCount() const { return m_Rows.Count(); }
  void Clear();
  int SetItemData(int index, std::uint32_t data);
  // 0 for an index out of range.
  std::uint32_t GetItemData(int index) const { return m_Rows.Data(index); }
  int GetText(int index, wchar_t* buffer, std::size_t capacity) const;
  int GetRowTextWidth(int index) const;
  // Returns the previous selection.
  int SetCurSel(int index);
  int GetCurSel() const { return m_Selection; }
  void SetTabStops(int count, const int* values);
  void SetFirstSortable(int index) { m_FirstSortable = index; }
  void SetTextOffset(int x, int y);

  int TopRow() const { return m_TopRow; }
  int VisibleRows() const { return m_VisibleRows; }
  int RowHeight() const { return m_RowHeight; }
  ScrollBar* Bar() const { return m_Bar; }
  const int* TabStops() const { return m_TabStops; }
  // The caption accessor of Wnd stays reachable beside the row accessor.
  using Wnd::GetText;

 private:
  void UpdateBarVisibility();
  // The scroll bar's range and position from the rows and the top row.
  void SyncBar();

  ScrollBar* m_Bar = nullptr;
  ui::RowList m_Rows;
  int m_RowHeight = 1;
  int m_VisibleRows = 0;
  int m_TopRow = 0;
  int m_Selection = -1;
  int m_TabStops[ui::kTabStops] = {44};
  int m_FirstSortable = 0;
  int m_TextOffsetX = 16;
  int m_TextOffsetY = 8;
};
