// ChoiceList: a caption and the current choice, stepped with Left/Right or
// by tapping the triangles beside it.
#include "ui/choice_list.h"

#include <algorithm>

#include "display/font.h"

ChoiceList::~ChoiceList() = default;

bool ChoiceList::Create(ssDisplay* device, Wnd* parent, const RECT& fracRect, const wchar_t* caption, int kind,
                        std::uint32_t style, std::uint32_t flags, int id, std::uint32_t spare) {
  if (!Wnd::Create(device, parent, fracRect, caption, kind, style | ui::kStyleFocusable, flags | ui::kFlagOwnKeys, id,
                   spare)) {
    return false;
  }
  m_Style |= kColumns;
  m_ValueOffsetX = 8 * static_cast<int>(m_BorderUnit);
  Layout();
  SetValueColours(0xFFFFFF, 0x000000, 0x000000);
  return true;
}

void ChoiceList::Layout() {
  Wnd::Layout();
  int cw = 0, ch = 0;
  Measure(m_Caption, &cw, &ch);
  const int inset = (m_Style & ui::kStyleInset) != 0 ? 4 : 0;
  const int x = m_ScreenRect.left + FontHeight() / 4 + inset;
  int y = m_ScreenRect.top + ((m_ScreenRect.bottom - m_ScreenRect.top) - ch) / 2 + 1 + inset;
  // A line as high as the list keeps its last row (the descenders) inside.
  y = std::max<int>(m_ScreenRect.top, std::min<int>(y, m_ScreenRect.bottom - m_BorderY - ch));
  m_TextX = x;
  m_TextY = y;
  m_ValueX = x + cw;
  m_ValueY = y;
}

int ChoiceList::Paint(const RECT& dirty) {
  if (!IsVisible()) return 1;
  const bool alone = m_Parent == nullptr && m_Device != nullptr;
  if (alone) m_Device->BeginDraw();
  RECT clip;
  if (!ui::IsEmpty(dirty) && ui::Intersect(clip, m_ScreenRect, dirty)) {
    const RECT textBox = ClientScreenRect();
    if ((m_Flags & ui::kFlagTransparent) == 0) Fill(clip, clip, 1, m_ColourB);
    if ((m_Flags & ui::kFlagTranslucent) != 0) Fill(clip, clip, 5, m_ColourB);
    DrawFrame(clip);
    const int u = static_cast<int>(m_BorderUnit);
    const int x = m_ValueX + m_ValueOffsetX + m_BorderX;
    const int y = m_ValueY + m_ValueOffsetY + m_BorderY;
    const bool focused = m_HasFocus != 0;
    const int count = m_Choices.Count();
    if (focused) {
      int w = 0, h = 0;
      Measure(m_Choices.Text(m_Current), &w, &h);
      const int hp = h - 1, half = hp / 2, a = u + half;
      RECT triangleClip;
      ui::Intersect(triangleClip, clip, m_ScreenRect);
      m_Device->PushClipRect(triangleClip);
      if (m_Current < count - 1) {
        const int left = x + w + 2 * u;
        const int px[3] = {left + a, left, left};
        const int py[3] = {y + half, y, y + hp};
        ui::FillTriangle(m_Device, px, py, m_ColourA);
        m_RightHot = RECT{left, y, left + a, y + hp};
      } else {
        m_RightHot = RECT{};
      }
      if (m_Current >= 1) {
        const int px[3] = {x - u - a, x - u, x - u};
        const int py[3] = {y + half, y, y + hp};
        ui::FillTriangle(m_Device, px, py, m_ColourA);
        m_LeftHot = RECT{x - u - a, y, x - u, y + hp};
      } else {
        m_LeftHot = RECT{};
      }
      m_Device->PopClipRect();
    }
    std::uint32_t caption = m_ColourA;
    if (!focused && (m_Flags & kFlagHighlight) == 0) caption = ScaleColour(m_ColourA, 0.65f);
    if (focused && (m_Flags & kFlagHighlight) != 0 && m_Image != nullptr) {
      int cw = 0;
      Measure(m_Caption, &cw, nullptr);
      const RECT area{m_ScreenRect.left, m_ScreenRect.top, m_ScreenRect.left + 2 * u + cw, m_ScreenRect.bottom};
      RECT c;
      if (ui::Intersect(c, area, clip)) DrawImageAt(m_Image, m_ScreenRect.left, m_ScreenRect.top, c, 1);
    }
    const bool shadow = (m_Flags & ui::kFlagShadow) != 0;
    DrawCaption(m_Caption, m_TextX, m_TextY, caption, m_ColourB, m_ColourC, false, shadow, textBox, clip);
    if (m_Current >= 0 && m_Current < count) {
      RECT valueClip;
      if (ui::Intersect(valueClip, textBox, clip)) {
        if ((m_Style & kColumns) != 0) {
          ui::DrawColumns(this, textBox, m_Device, m_Font, m_Choices.Text(m_Current), x + u, y, m_TabStops, m_ValueText,
                          m_ValueBack, m_ValueShadow, shadow, valueClip);
        } else {
          DrawCaption(m_Choices.Text(m_Current), x + u, y, m_ValueText, m_ValueBack, m_ValueShadow, false, shadow,
                      textBox, valueClip);
        }
      }
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

int ChoiceList::AddString(const wchar_t* text) {
  return m_Choices.Add(text, (m_Style & kSorted) != 0, m_FirstSortable);
}

int ChoiceList::DeleteString(int index) {
  const int count = m_Choices.Delete(index);
  if (count < 0) return -1;
  if (m_Current == count && m_Current > 0) --m_Current;
  return count;
}

void ChoiceList::Clear() {
  m_Choices.Clear();
  m_Current = 0;
}

int ChoiceList::SetItemData(int index, std::uint32_t data) { return m_Choices.SetData(index, data); }

int ChoiceList::GetString(int index, wchar_t* buffer, std::size_t capacity) const {
  return m_Choices.CopyText(index, buffer, capacity);
}

int ChoiceList::GetChoiceTextWidth(int index) const {
  if (m_Font == nullptr || m_Device == nullptr || !m_Choices.Valid(index)) return 0;
  int w = 0;
  m_Device->MeasureText(m_Font, m_Choices.Text(index), &w, nullptr, false);
  return w;
}

int ChoiceList::SetCurSel(int index) {
  if (index < 0) return -1;
  const int previous = m_Current;
  if (index < m_Choices.Count()) m_Current = index;
  return previous;
}

void ChoiceList::StepNext(LPARAM p2) {
  if (m_Current < m_Choices.Count() - 1) {
    ++m_Current;
    Invalidate(0);
    ui::Feedback(0);
    NotifyParent(ui::kNotifyChanged, p2);
  } else {
    ui::Feedback(1);
  }
}

void ChoiceList::StepPrev(LPARAM p2) {
  if (m_Current > 0) {
    --m_Current;
    Invalidate(0);
    ui::Feedback(0);
    NotifyParent(ui::kNotifyChanged, p2);
  } else {
    ui::Feedback(1);
  }
}

void ChoiceList::SetTabStops(int count, const int* values) {
  if (values == nullptr) return;
  for (int i = 0; i < std::min(count, ui::kTabStops); ++i) m_TabStops[i] = values[i];
}

void ChoiceList::SetValueOffset(int x, int y) {
  m_ValueOffsetX = x;
  m_ValueOffsetY = y;
}

void ChoiceList::SetValueColours(std::uint32_t text, std::uint32_t background, std::uint32_t shadow) {
  if (m_Device == nullptr) return;
  m_ValueText = m_Device->ColorToPixel(text);
  m_ValueBack = m_Device->ColorToPixel(background);
  m_ValueShadow = m_Device->ColorToPixel(shadow);
}

LRESULT ChoiceList::WndProc(UINT message, WPARAM p1, LPARAM p2) {
  if (message != ui::kMsgKeyUp) return 0;
  switch (static_cast<int>(p1)) {
    case ui::kKeyEnter:
      NotifyParent(ui::kNotifyPressed, p2);
      break;
    case ui::kKeyLeft:
      StepPrev(p2);
      break;
    case ui::kKeyRight:
      StepNext(p2);
      break;
    case ui::kKeyUp:
    case ui::kKeyDown:
      ReleaseCapture();
      NotifyParent(ui::kNotifyLeave, p2);
      break;
    default:
      break;
  }
  return 0;
}

int ChoiceList::OnPenDown(std::uint32_t, LPARAM pos) {
  if (IsVisible() && HitTest(pos)) {
    m_HasFocus = 1;
    SetFocus(nullptr);
  }
  return 0;
}

int ChoiceList::OnPenUp(std::uint32_t, LPARAM pos) {
  const int u = static_cast<int>(m_BorderUnit);
  // Unsigned comparisons: an all-zero hot rectangle never matches.
  auto inside = [u, pos](const RECT& r) {
    const auto x = static_cast<std::uint32_t>(ui::PosX(pos)), y = static_cast<std::uint32_t>(ui::PosY(pos));
    return x >= static_cast<std::uint32_t>(r.left - u) && x <= static_cast<std::uint32_t>(r.right + u) &&
           y >= static_cast<std::uint32_t>(r.top - u) && y <= static_cast<std::uint32_t>(r.bottom + u);
  };
  if (inside(m_LeftHot)) {
    StepPrev(pos);
  } else if (inside(m_RightHot)) {
    StepNext(pos);
  }
  return 0;
}

void ChoiceList::SetFocus(Wnd* previous) {
  Wnd::SetFocus(previous);
  NotifyParent(ui::kNotifyListFocus, 0);
}

void ChoiceList::KillFocus() {
  Wnd::KillFocus();
  NotifyParent(ui::kNotifyLeave, 0);
}

int ChoiceList::Activate() {
  if (m_Capture != this) {
    SetCapture(this);
  } else {
    ReleaseCapture();
  }
  return 1;
}
