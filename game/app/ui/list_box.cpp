// ListBox: rows, selection, scrolling and key capture.
#include "ui/list_box.h"

#include <algorithm>

#include "display/font.h"
#include "ui/button.h"
#include "ui/scroll_bar.h"

ListBox::~ListBox() = default;

bool ListBox::Create(ssDisplay* device, Wnd* parent, const RECT& fracRect, const wchar_t* caption, int kind,
                     std::uint32_t style, std::uint32_t flags, int id, std::uint32_t spare) {
  if (!Wnd::Create(device, parent, fracRect, caption, kind, style | ui::kStyleFocusable, flags, id, spare)) {
    return false;
  }
  m_Style |= kColumns;
  const int u = static_cast<int>(m_BorderUnit);
  m_TextOffsetX = 4 * u;
  m_TextOffsetY = 2 * u;
  m_Bar = new ScrollBar();
  const bool arrows = (m_Flags & kFlagArrowBar) != 0;
  m_Bar->Create(device, this, RECT{}, L"", ui::kKindScrollBar, arrows ? 0x10000081u : 0x10000001u, arrows ? 0x220u : 0u,
                kScrollBarId, 0);
  Layout();
  m_Bar->CopyColours(this);
  m_Bar->CopyFont(this);
  return true;
}

void ListBox::UpdateBarVisibility() {
  if (m_Bar == nullptr) return;
  std::uint32_t style = m_Bar->Style();
  if (m_VisibleRows < m_Rows.Count()) {
    style |= ui::kStyleVisible;
  } else {
    style &= ~ui::kStyleVisible;
  }
  m_Bar->SetStyle(style);
}

void ListBox::SyncBar() {
  if (m_Bar == nullptr) return;
  // The thumb shows the top row among the tops the list can have, so it
  // follows the keys and reaches the end with the last row.
  m_Bar->SetRange(0, std::max(0, m_Rows.Count() - m_VisibleRows), false);
  m_Bar->SetPosition(m_TopRow, false);
}

void ListBox::Layout() {
  Wnd::Layout();
  int h = 0;
  Measure(L"Test", nullptr, &h);
  // Without a font rows still take one pixel, so nothing divides by zero.
  m_RowHeight = std::max(h, 1);
  RECT client;
  GetClientRect(client);
  // Only whole rows are shown: the rows start below the text offset and end
  // above an inset frame; a row the list could show only in part (the
  // selection among them) would be cut.
  const int u = static_cast<int>(m_BorderUnit);
  const int frame = (m_Style & ui::kStyleInset) != 0 ? u / 2 - m_BorderY : 0;
  m_VisibleRows =
      std::max(0, static_cast<int>(client.bottom - client.top - m_TextOffsetY - std::max(frame, 0)) / m_RowHeight);
  if (m_Bar != nullptr) {
    const int w = ((m_Flags & kFlagArrowBar) != 0 ? 6 : 4) * u;
    m_Bar->MoveWindow(client.right - w, client.top, w, client.bottom - client.top, false);
  }
  UpdateBarVisibility();
  if (m_Selection >= 0) {
    m_TopRow = 0;
    if (m_Selection >= m_VisibleRows) m_TopRow = m_Selection - m_VisibleRows + 1;
  }
  SyncBar();
}

int ListBox::Paint(const RECT& dirty) {
  if (!IsVisible()) return 1;
  const bool alone = m_Parent == nullptr && m_Device != nullptr;
  if (alone) m_Device->BeginDraw();
  RECT clip;
  if (!ui::IsEmpty(dirty) && ui::Intersect(clip, m_ScreenRect, dirty)) {
    UpdateBarVisibility();
    const int u = static_cast<int>(m_BorderUnit);
    RECT textBox = ClientScreenRect();
    // The rows end half a border unit before the scroll bar.
    if (m_Bar != nullptr && m_Bar->IsVisible())
      textBox.right = std::min(textBox.right, m_Bar->ScreenRect().left - u / 2);
    if ((m_Flags & ui::kFlagTransparent) == 0) Fill(clip, clip, 1, m_ColourB);
    if ((m_Flags & ui::kFlagTranslucent) != 0) {
      std::uint32_t colour = m_ColourB;
      if (m_HasFocus != 0) {
        // Each of the three low bytes brightened on its own, wrapping.
        std::uint32_t lit = 0;
        for (int shift = 0; shift < 24; shift += 8) lit |= (((colour >> shift) + 0x20u) & 0xFFu) << shift;
        colour = (colour & 0xFF000000u) | lit;
      }
      Fill(clip, clip, 5, colour);
    }
    DrawFrame(clip);
    RECT rowClip;
    if (ui::Intersect(rowClip, textBox, clip)) {
      const int x = m_ScreenRect.left + m_BorderX + m_TextOffsetX;
      int y = m_ScreenRect.top + m_BorderY + m_TextOffsetY;
      const int rows = std::min(m_VisibleRows, m_Rows.Count() - m_TopRow);
      const std::uint32_t dim = ScaleColour(m_ColourA, 0.55f);
      for (int i = 0; i < rows; ++i) {
        const int row = m_TopRow + i;
        const std::uint32_t colour = row == m_Selection ? m_ColourA : dim;
        if ((m_Style & kColumns) != 0) {
          ui::DrawColumns(this, textBox, m_Device, m_Font, m_Rows.Text(row), x, y, m_TabStops, colour, m_ColourB,
                          m_ColourC, false, rowClip);
        } else {
          DrawCaption(m_Rows.Text(row), x, y, colour, m_ColourB, m_ColourC, false, false, textBox, rowClip);
        }
        y += m_RowHeight;
      }
    }
    if ((m_Flags & kFlagArrowBar) != 0 && m_Bar != nullptr) {
      // Only a change is applied: showing or hiding invalidates the arrow.
      auto show = [](Wnd* arrow, bool visible) {
        if (arrow != nullptr && arrow->IsVisible() != visible) arrow->ShowWindow(visible ? 5 : 0);
      };
      show(m_Bar->FirstArrow(), !(m_TopRow == 0 && m_Selection == 0));
      show(m_Bar->SecondArrow(), m_Selection < m_Rows.Count() - 1);
    }
    PaintChildren(dirty);
    ResetDirty();
  }
  if (alone) {
    m_Device->Present();
    m_Device->EndDraw();
  }
  return 1;
}

int ListBox::AddRow(const wchar_t* text) {
  const int index = m_Rows.Add(text, (m_Style & kSorted) != 0, m_FirstSortable);
  SyncBar();
  return index;
}

int ListBox::DeleteRow(int index) {
  const int count = m_Rows.Delete(index);
  if (count < 0) return -1;
  if (m_Selection == count) --m_Selection;
  SyncBar();
  return count;
}

void ListBox::Clear() {
  m_Rows.Clear();
  m_TopRow = 0;
  m_Selection = 0;
  SyncBar();
}

int ListBox::SetItemData(int index, std::uint32_t data) { return m_Rows.SetData(index, data); }

int ListBox::GetText(int index, wchar_t* buffer, std::size_t capacity) const {
  return m_Rows.CopyText(index, buffer, capacity);
}

int ListBox::GetRowTextWidth(int index) const {
  if (m_Font == nullptr || !m_Rows.Valid(index)) return 0;
  // The font measures in whole pixels on this display.
  return m_Font->GetStringWidth(m_Rows.Text(index));
}

int ListBox::SetCurSel(int index) {
  const int previous = m_Selection;
  if (index < m_Rows.Count() && index >= -1) m_Selection = index;
  if (m_Selection >= m_VisibleRows) m_TopRow = m_Selection - m_VisibleRows + 1;
  SyncBar();
  return previous;
}

void ListBox::SetTabStops(int count, const int* values) {
  if (values == nullptr) return;
  for (int i = 0; i < std::min(count, ui::kTabStops); ++i) m_TabStops[i] = values[i];
}

void ListBox::SetTextOffset(int x, int y) {
  m_TextOffsetX = x;
  m_TextOffsetY = y;
  Layout();
}

int ListBox::OnPenUp(std::uint32_t buttons, LPARAM pos) {
  if (!HitTest(pos)) return 0;
  FocusAt(pos);
  if (m_Focused != nullptr) return m_Focused->OnPenUp(buttons, pos);
  // Unsigned: a point above the rows gives a huge row, never a row.
  const std::uint32_t offset =
      static_cast<std::uint32_t>(ui::PosY(pos) - static_cast<int>(m_BorderUnit) - m_ScreenRect.top - m_BorderY);
  const std::uint32_t row = offset / static_cast<std::uint32_t>(m_RowHeight);
  if (row < static_cast<std::uint32_t>(m_Rows.Count()) &&
      static_cast<std::int64_t>(m_TopRow) + row < static_cast<std::int64_t>(m_Rows.Count())) {
    m_Selection = m_TopRow + static_cast<int>(row);
    NotifyParent(ui::kNotifyChanged, pos);
  }
  Invalidate(0);
  return 0;
}

LRESULT ListBox::WndProc(UINT message, WPARAM p1, LPARAM p2) {
  if (message == ui::kMsgVScroll) {
    const int top = ui::CommandCode(p1);
    m_TopRow = std::max(0, std::min(top, m_Rows.Count() - 1));
    SyncBar();
    Invalidate(0);
    return 0;
  }
  if (message != ui::kMsgKeyUp) return 0;
  switch (static_cast<int>(p1)) {
    case ui::kKeyEnter:
      ReleaseCapture();
      ui::Feedback(2);
      NotifyParent(ui::kNotifyPressed, p2);
      break;
    case ui::kKeyUp:
      // With no selection there is nothing to move.
      if (m_Selection < 0) {
        ui::Feedback(1);
      } else if (m_Selection <= m_TopRow) {
        if (m_TopRow == 0) {
          ui::Feedback(1);
          if (m_Up != nullptr) {
            ReleaseCapture();
            NotifyParent(ui::kNotifyLeave, ui::kKeyUp);
          }
        } else {
          --m_Selection;
          --m_TopRow;
          Invalidate(0);
        }
      } else {
        --m_Selection;
        Invalidate(0);
        ui::Feedback(0);
      }
      NotifyParent(ui::kNotifyChanged, p2);
      break;
    case ui::kKeyDown:
      if (m_Selection < m_Rows.Count() - 1) {
        ++m_Selection;
        if (m_Selection - m_TopRow >= m_VisibleRows) ++m_TopRow;
        Invalidate(0);
        ui::Feedback(0);
        NotifyParent(ui::kNotifyChanged, p2);
      } else {
        ui::Feedback(1);
        if (m_Down != nullptr) {
          ReleaseCapture();
          NotifyParent(ui::kNotifyLeave, ui::kKeyDown);
        }
      }
      break;
    case ui::kKey9:
      ReleaseCapture();
      NotifyParent(ui::kNotifyLeave, ui::kKey9);
      break;
    default:
      break;
  }
  SyncBar();
  return 0;
}

void ListBox::SetFocus(Wnd* previous) {
  Wnd::SetFocus(previous);
  NotifyParent(ui::kNotifyListFocus, 0);
}

int ListBox::Activate() {
  if (m_Capture != this) {
    SetCapture(this);
  } else {
    ReleaseCapture();
  }
  return 1;
}
