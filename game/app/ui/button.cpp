// Button: push button, check box and arrow button.
#include "ui/button.h"

#include "display/font.h"

Button::~Button() = default;

bool Button::Create(ssDisplay* device, Wnd* parent, const RECT& fracRect, const wchar_t* caption, int kind,
                    std::uint32_t style, std::uint32_t flags, int id, std::uint32_t spare) {
  if (!Wnd::Create(device, parent, fracRect, caption, kind, style | ui::kStyleFocusable, flags, id, spare)) {
    return false;
  }
  Layout();
  return true;
}

void Button::Layout() {
  Wnd::Layout();
  const RECT& r = m_ScreenRect;
  const int fh = FontHeight();
  if ((m_Style & (kCheckBox | kCheckSquare)) != 0) {
    const int s = fh & ~1;
    m_Face.left = r.left + m_BorderX;
    m_Face.right = m_Face.left + s;
    m_Face.top = r.top + m_BorderY + ((r.bottom - r.top) - 2 * m_BorderY - s) / 2;
    m_Face.bottom = m_Face.top + s;
    int th = 0;
    Measure(m_Caption, nullptr, &th);
    m_TextX = r.left + m_BorderX + 2 * s;
    m_TextY = r.top + ((r.bottom - r.top) - th) / 2 + 1;
    return;
  }
  int w = 0, th = 0;
  Measure(m_Caption, &w, &th);
  const bool inset = (m_Style & kFlat) == 0 || (m_Flags & kFlagInsetFill) != 0;
  switch (m_Style & kAcrossMask) {
    case 0x100:
      m_TextX = r.left + fh / 4 + (inset ? 4 : 0);
      break;
    case 0x200:
      m_TextX = r.right - fh / 4 - w - (inset ? 4 : 0);
      break;
    case 0x300:
      m_TextX = r.left + ((r.right - r.left) - w) / 2;
      break;
    default:
      break;
  }
  switch (m_Style & kDownMask) {
    case 0x400:
      m_TextY = r.top + (inset ? 5 : 1);
      break;
    case 0x800:
      m_TextY = r.bottom - th - (inset ? 4 : 0);
      break;
    case 0xC00:
      m_TextY = r.top + ((r.bottom - r.top) - th) / 2;
      break;
    default:
      break;
  }
  m_Face = r;
}

int Button::Paint(const RECT& dirty) {
  RECT clip;
  if (!IsVisible() || ui::IsEmpty(dirty) || !ui::Intersect(clip, m_ScreenRect, dirty)) return 1;
  const RECT textBox = ClientScreenRect();
  const bool focused = m_HasFocus != 0;
  const bool shadow = (m_Flags & ui::kFlagShadow) != 0;
  const bool opaque = (m_Flags & ui::kFlagTransparent) == 0;
  // Face.
  if ((m_Flags & ui::kFlagTransparent) == 0) {
    Fill(clip, clip, 1, focused ? m_Bevel[kInnerLight] : m_Bevel[kFace]);
  } else if ((m_Flags & kFlagNoDim) == 0 && (m_Flags & kFlagInsetFill) != 0) {
    const RECT inner{m_Face.left + m_BorderX, m_Face.top + m_BorderY, m_Face.right - m_BorderX,
                     m_Face.bottom - m_BorderY};
    Fill(inner, dirty, 5, m_ColourB);
  }
  const int arrow = static_cast<int>(m_Flags & kArrowMask);
  const int u = static_cast<int>(m_BorderUnit);
  if ((m_Style & kCheckBox) != 0) {
    if ((m_Style & kFlat) == 0) DrawRaisedBevel(m_ScreenRect, clip);
    const std::uint32_t text = focused ? m_ColourB : m_ColourA;
    const std::uint32_t back = focused ? m_ColourA : m_ColourB;
    DrawCaption(m_Caption, m_TextX, m_TextY, text, back, m_ColourC, opaque, shadow, textBox, clip);
    if (opaque) {
      Fill(m_Face, clip, 1, m_Bevel[kOuterLight]);
    } else {
      Fill(m_Face, clip, 5, m_ColourC);
    }
    DrawSunkenBevel(m_Face, clip);
    if (m_State != 0) Fill(ui::Inflate(m_Face, -u), clip, 1, m_ColourA);
  } else if ((m_Style & kCheckSquare) != 0) {
    DrawCaption(m_Caption, m_TextX, m_TextY, m_ColourA, m_ColourB, m_ColourC, opaque, shadow, textBox, clip);
    if (opaque) Fill(m_Face, clip, 1, m_Bevel[kOuterLight]);
    DrawSunkenBevel(m_Face, clip);
  } else if (m_State == 1) {
    if (arrow == 0) {
      DrawCaption(m_Caption, m_TextX + 1, m_TextY + 1, m_ColourA, m_ColourB, m_ColourC, opaque, shadow, textBox, clip);
    }
    if ((m_Style & kFlat) == 0) DrawSunkenBevel(m_Face, clip);
    if (arrow != 0) DrawArrow(arrow, ui::Offset(textBox, 1, 1), clip, m_ColourA);
  } else if (arrow == 0) {
    const bool noDim = (m_Flags & kFlagNoDim) != 0;
    const std::uint32_t colour = focused || noDim ? m_ColourA : ScaleColour(m_ColourA, 0.65f);
    if (focused && noDim && m_Image != nullptr) DrawImageAt(m_Image, m_ScreenRect.left, m_ScreenRect.top, clip, 1);
    DrawCaption(m_Caption, m_TextX, m_TextY, colour, m_ColourB, m_ColourC, opaque, shadow, textBox, clip);
    if ((m_Style & kFlat) == 0) {
      DrawRaisedBevel(m_Face, clip);
    } else if ((m_Flags & kFlagInsetFill) != 0) {
      DrawInsetFrame(m_ScreenRect, clip);
    }
  } else {
    DrawArrow(arrow, textBox, clip, focused ? m_ColourA : ScaleColour(m_ColourA, 0.65f));
  }
  PaintChildren(dirty);
  ResetDirty();
  return 1;
}

int Button::OnPenMove(std::uint32_t, LPARAM pos) {
  if (IsVisible() && !HitTest(pos) && IsPushButton()) m_State = 0;
  return 0;
}

int Button::OnPenDown(std::uint32_t, LPARAM pos) {
  if (!IsVisible()) return 0;
  if (HitTest(pos)) {
    if (IsPushButton()) m_State = 1;
    Invalidate(0);
    WndProc(ui::kMsgCommand, ui::MakeCommand(m_Id, ui::kNotifyPressed), pos);
  } else if (IsPushButton()) {
    m_State = 0;
  }
  return 0;
}

int Button::OnPenUp(std::uint32_t, LPARAM pos) {
  if (!IsVisible() || !HitTest(pos)) return 0;
  if (IsPushButton()) {
    m_State = 0;
  } else {
    m_State = m_State != 0 ? 0 : 1;
  }
  Invalidate(0);
  WndProc(ui::kMsgCommand, ui::MakeCommand(m_Id, ui::kNotifyClicked), pos);
  return 1;
}

int Button::Activate() {
  if (IsPushButton()) {
    m_State = 0;
  } else {
    m_State = m_State != 0 ? 0 : 1;
  }
  Invalidate(0);
  WndProc(ui::kMsgCommand, ui::MakeCommand(m_Id, ui::kNotifyClicked), 0);
  return 1;
}

void Button::KillFocus() {
  m_HasFocus = 0;
  Invalidate(0);
  if (IsPushButton()) m_State = 0;
}
