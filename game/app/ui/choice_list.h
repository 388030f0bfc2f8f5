// ChoiceList: the option selector of the set-up and settings screens: a
// caption followed by the current choice out of a list of strings, stepped
// with Left and Right or by tapping the triangles beside it while focused.
#pragma once

#include "ui/row_list.h"
#include "ui/wnd.h"

class ChoiceList : public Wnd {
 public:
  // Style bits.
  static constexpr std::uint32_t kSorted = 0x2;
  static constexpr std::uint32_t kColumns = 0x80;
  // Flag bit 9: caption never dimmed; the image is drawn behind it while
  // focused.
  static constexpr std::uint32_t kFlagHighlight = 0x200;

  ~ChoiceList() override;
  bool Create(ssDisplay* device, Wnd* parent, const RECT& fracRect, const wchar_t* caption, int kind,
              std::uint32_t style, std::uint32_t flags, int id, std::uint32_t spare) override;
  int Paint(const RECT& dirty) override;
  void Layout() override;
  int OnPenDown(std::uint32_t buttons, LPARAM pos) override;
  int OnPenUp(std::uint32_t buttons, LPARAM pos) override;
  LRESULT WndProc(UINT message, WPARAM p1, LPARAM p2) override;
  void SetFocus(Wnd* previous) override;
  void KillFocus() override;
  int Activate() override;

  int AddString(const wchar_t* text);
  int DeleteString(int index);
  int GetCount() const { return m_Choices.Count(); }
  void Clear();
  int SetItemData(int index, std::uint32_t data);
  // 0 for an index out of range.
  std::uint32_t GetItemData(int index) const { return m_Choices.Data(index); }
  int GetString(int index, wchar_t* buffer, std::size_t capacity) const;
  int GetChoiceTextWidth(int index) const;
  // Returns the previous choice; -1 (no change) for a negative index.
  int SetCurSel(int index);
  int GetCurSel() const { return m_Current; }
  void StepNext(LPARAM p2);
  void StepPrev(LPARAM p2);
  void SetTabStops(int count, const int* values);
  void SetFirstSortable(int index) { m_FirstSortable = index; }
  void SetValueOffset(int x, int y);
  POINT ValueOffset() const { return POINT{m_ValueOffsetX, m_ValueOffsetY}; }
  void SetValueColours(std::uint32_t text, std::uint32_t background, std::uint32_t shadow);

  const RECT& LeftHot() const { return m_LeftHot; }
  const RECT& RightHot() const { return m_RightHot; }
  POINT ValuePosition() const { return POINT{m_ValueX, m_ValueY}; }

 private:
  ui::RowList m_Choices;
  int m_Current = 0;
  int m_TabStops[ui::kTabStops] = {44};
  int m_FirstSortable = 0;
  int m_ValueOffsetX = 32;
  int m_ValueOffsetY = 0;
  int m_ValueX = 0;
  int m_ValueY = 0;
  std::uint32_t m_ValueText = 0xFFFFFF;
  std::uint32_t m_ValueBack = 0;
  std::uint32_t m_ValueShadow = 0;
  RECT m_LeftHot{};
  RECT m_RightHot{};
};
