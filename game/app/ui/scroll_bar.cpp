// ScrollBar: arrows, track and thumb over a position within a range.
#include "ui/scroll_bar.h"

#include <cwchar>

#include "display/font.h"
#include "ui/button.h"

namespace {

// a * b / c in 64 bits, rounding toward zero; 0 when c is 0.
int MulDivToward0(std::int64_t a, std::int64_t b, std::int64_t c) { return c == 0 ? 0 : static_cast<int>(a * b / c); }

}  // namespace

ScrollBar::~ScrollBar() = default;

bool ScrollBar::Create(ssDisplay* device, Wnd* parent, const RECT& fracRect, const wchar_t* caption, int kind,
                       std::uint32_t style, std::uint32_t flags, int id, std::uint32_t spare) {
  if (!Wnd::Create(device, parent, fracRect, caption, kind, style | ui::kStyleFocusable, flags, id, spare)) {
    return false;
  }
  m_Vertical = (m_Style & kVertical) != 0 ? 1 : 0;
  ComputeSizes();
  const bool arrowsOnly = ArrowsOnly();
  const std::uint32_t arrowStyle = arrowsOnly ? 0x10808000u : 0x10800000u;
  const RECT none{};
  if ((m_Style & kNoArrows) == 0) {
    m_First = new Button();
    m_First->Create(device, this, none, L"", ui::kKindButton, arrowStyle,
                    (m_Vertical != 0 ? 1u : 4u) | (arrowsOnly ? 0x20u : 0u), kFirstArrowId, 0);
  }
  if ((m_Style & kNoThumb) == 0) {
    m_Thumb = new Button();
    m_Thumb->Create(device, this, none, L"", ui::kKindButton, 0x10800C00u, 0, kThumbId, 0);
  }
  if ((m_Style & kNoArrows) == 0) {
    m_Second = new Button();
    m_Second->Create(device, this, none, L"", ui::kKindButton, arrowStyle,
                     (m_Vertical != 0 ? 3u : 2u) | (arrowsOnly ? 0x20u : 0u), kSecondArrowId, 0);
  }
  PlaceThumb();
  Layout();
  return true;
}

void ScrollBar::ComputeSizes() {
  m_ButtonSize = FontHeight();
  if (ArrowsOnly()) m_ButtonSize *= 2;
  if (m_Vertical == 0 && (m_Style & kValueCaption) != 0) {
    int length = m_Font != nullptr ? m_Font->GetStringWidth(L"0") : 0;
    for (int divisor : {1000, 100, 10}) {
      if (m_Info.maximum / divisor != 0) length *= 2;
    }
    m_ThumbLength = length + 12;
  }
  const int least = m_MinButtonUnits * static_cast<int>(m_BorderUnit);
  if (m_ButtonSize < least) m_ButtonSize = least;
  if ((m_Style & kNoArrows) != 0) m_ButtonSize = 0;
}

void ScrollBar::Layout() {
  Wnd::Layout();
  ComputeSizes();
  if (m_First == nullptr) return;
  RECT client;
  GetClientRect(client);
  const int w = client.right, h = client.bottom, size = m_ButtonSize;
  if (m_Vertical == 0) {
    m_First->MoveWindow(0, 0, size, h, false);
    if (m_Second != nullptr) m_Second->MoveWindow(w - size, 0, size, h, false);
    m_Track = RECT{size, 0, w - size, h};
  } else {
    m_First->MoveWindow(0, 0, w, size, false);
    if (m_Second != nullptr) m_Second->MoveWindow(0, h - size, w, size, false);
    m_Track = RECT{0, size, w, h - size};
  }
  PlaceThumb();
}

void ScrollBar::PlaceThumb() {
  if ((m_Style & kNoThumb) != 0 || m_Thumb == nullptr) return;
  ComputeSizes();
  const int width = m_Position.right - m_Position.left, height = m_Position.bottom - m_Position.top;
  const int size = m_ButtonSize;
  const int span = m_Vertical != 0 ? height - 3 * size : width - 2 * size - m_ThumbLength;
  int offset = 0;
  // A bar too short for its buttons keeps the thumb at the start.
  if (m_Info.maximum != m_Info.minimum && span > 0) {
    offset = MulDivToward0(std::int64_t{m_Info.position} - m_Info.minimum, span,
                           std::int64_t{m_Info.maximum} - m_Info.minimum);
  }
  if (m_Vertical == 0) {
    m_Thumb->MoveWindow(size + offset, 0, m_ThumbLength, height, false);
  } else {
    m_Thumb->MoveWindow(0, size + offset, width, size, false);
  }
  Invalidate(0);
}

int ScrollBar::Paint(const RECT& dirty) {
  if (!IsVisible()) return 1;
  const bool alone = m_Parent == nullptr && m_Device != nullptr;
  if (alone) m_Device->BeginDraw();
  RECT clip;
  if (!ui::IsEmpty(dirty) && ui::Intersect(clip, m_ScreenRect, dirty)) {
    if ((m_Flags & kFlagNoTrack) == 0) {
      RECT track = m_Track;
      ClientToScreenRect(track);
      Fill(track, clip, 3, m_HasFocus != 0 ? m_Bevel[kOuterLight] : m_Bevel[kInnerLight]);
    }
    if ((m_Style & kNoThumb) == 0 && m_Thumb != nullptr) {
      wchar_t text[16] = L"";
      if ((m_Style & kValueCaption) != 0) std::swprintf(text, 16, L"%d", m_Info.position);
      // Only a changed caption is set: setting it invalidates the thumb.
      if (std::wcscmp(text, m_Thumb->Caption()) != 0) m_Thumb->SetText(text);
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

void ScrollBar::SetColourA(std::uint32_t rgb) {
  Wnd::SetColourA(rgb);
  for (auto& child : m_Children) child->SetColourA(rgb);
}

void ScrollBar::SetColourB(std::uint32_t rgb) {
  Wnd::SetColourB(rgb);
  for (auto& child : m_Children) child->SetColourB(rgb);
}

void ScrollBar::SetColourC(std::uint32_t rgb) {
  Wnd::SetColourC(rgb);
  for (auto& child : m_Children) child->SetColourC(rgb);
}

void ScrollBar::SetBevelColours(const std::uint32_t rgb[5]) {
  Wnd::SetBevelColours(rgb);
  for (auto& child : m_Children) child->SetBevelColours(rgb);
}

void ScrollBar::SendScroll(int code) {
  if (m_Parent == nullptr) return;
  const WPARAM p1 = static_cast<WPARAM>((static_cast<std::uint32_t>(code) & 0xFFFFu) |
                                        (static_cast<std::uint32_t>(m_Info.position) & 0xFFFFu) << 16);
  m_Parent->WndProc(m_Vertical != 0 ? ui::kMsgVScroll : ui::kMsgHScroll, p1, reinterpret_cast<LPARAM>(this));
}

LRESULT ScrollBar::WndProc(UINT message, WPARAM p1, LPARAM p2) {
  if (message == ui::kMsgCommand) {
    const int id = ui::CommandId(p1), code = ui::CommandCode(p1);
    int result = -1;
    if (id == kFirstArrowId && code == ui::kNotifyClicked) {
      if (ArrowsOnly()) {
        result = 0;
      } else if (m_Info.position > m_Info.minimum) {
        --m_Info.position;
        result = 0;
      }
    } else if (id == kSecondArrowId && code == ui::kNotifyClicked) {
      if (ArrowsOnly()) {
        result = 1;
      } else if (m_Info.position < m_Info.maximum) {
        ++m_Info.position;
        result = 1;
      }
    } else if (id == kThumbId && code == ui::kNotifyPressed && m_Thumb != nullptr) {
      m_AnchorX = ui::PosX(p2);
      m_AnchorY = ui::PosY(p2);
      m_GrabX = m_Thumb->ScreenRect().left - m_AnchorX;
      m_GrabY = m_Thumb->ScreenRect().top - m_AnchorY;
      SetCapture(this);
    }
    PlaceThumb();
    if (result >= 0 && m_Parent != nullptr) {
      if (ArrowsOnly()) {
        const int key =
            m_Vertical != 0 ? (result == 0 ? ui::kKeyUp : ui::kKeyDown) : (result == 0 ? ui::kKeyLeft : ui::kKeyRight);
        m_Parent->WndProc(ui::kMsgKeyUp, static_cast<WPARAM>(key), reinterpret_cast<LPARAM>(this));
      } else {
        SendScroll(result);
      }
    }
    return 0;
  }
  if (message == ui::kMsgKeyUp) {
    const int key = static_cast<int>(p1);
    if (key == ui::kKeyEnter || key == ui::kKey9) {
      ReleaseCapture();
      return 0;
    }
    bool own = false;
    if (m_Vertical == 0) {
      if (key == ui::kKeyLeft) {
        own = true;
        if (m_Info.position > m_Info.minimum) {
          --m_Info.position;
          SendScroll(kStepBack);
        }
      } else if (key == ui::kKeyRight) {
        own = true;
        if (m_Info.position < m_Info.maximum) {
          ++m_Info.position;
          SendScroll(kStepForward);
        }
      }
    } else {
      // Up counts forward on a vertical bar, as the game always had it.
      if (key == ui::kKeyUp) {
        own = true;
        if (m_Info.position < m_Info.maximum) {
          ++m_Info.position;
          SendScroll(kStepForward);
        }
      } else if (key == ui::kKeyDown) {
        own = true;
        if (m_Info.position > m_Info.minimum) {
          --m_Info.position;
          SendScroll(kStepBack);
        }
      }
    }
    if (own) PlaceThumb();
    return 0;
  }
  return 0;
}

int ScrollBar::OnPenMove(std::uint32_t buttons, LPARAM pos) {
  if (m_Capture != this) return Wnd::OnPenMove(buttons, pos);
  const int size = m_ButtonSize;
  const bool vertical = m_Vertical != 0;
  const int length = vertical ? (m_Position.bottom - m_Position.top) : (m_Position.right - m_Position.left);
  const int span = length - 3 * size;
  if (span > 0) {
    const int start = (vertical ? m_ScreenRect.top : m_ScreenRect.left) + size;
    const int end = (vertical ? m_ScreenRect.bottom : m_ScreenRect.right) - 2 * size;
    int t = (vertical ? ui::PosY(pos) + m_GrabY : ui::PosX(pos) + m_GrabX);
    if (t > end) t = end;
    if (t < start) t = start;
    t -= start;
    m_Info.position = m_Info.minimum + MulDivToward0(std::int64_t{m_Info.maximum} - m_Info.minimum, t, span);
  }
  PlaceThumb();
  SendScroll(kDragging);
  return 1;
}

int ScrollBar::OnPenDown(std::uint32_t buttons, LPARAM pos) {
  if (!HitTest(pos)) return 0;
  FocusAt(pos);
  if (m_Focused != nullptr) return m_Focused->OnPenDown(buttons, pos);
  if ((m_Style & kNoThumb) != 0 || m_Thumb == nullptr) return 0;
  const bool vertical = m_Vertical != 0;
  const int pen = vertical ? ui::PosY(pos) : ui::PosX(pos);
  const int thumb = vertical ? m_Thumb->ScreenRect().top : m_Thumb->ScreenRect().left;
  const std::int64_t page = m_Info.page;
  int code;
  if (pen >= thumb) {
    m_Info.position =
        m_Info.position < m_Info.maximum - page ? static_cast<int>(m_Info.position + page) : m_Info.maximum;
    code = kPageForward;
  } else {
    m_Info.position =
        m_Info.position > m_Info.minimum + page ? static_cast<int>(m_Info.position - page) : m_Info.minimum;
    code = kPageBack;
  }
  SendScroll(code);
  PlaceThumb();
  return 0;
}

int ScrollBar::OnPenUp(std::uint32_t buttons, LPARAM pos) {
  if (m_Capture != this) return Wnd::OnPenUp(buttons, pos);
  if ((m_Style & kKeepPressed) == 0 && m_Thumb != nullptr) {
    m_Thumb->SetState(0);
    m_Thumb->Invalidate(0);
  }
  ReleaseCapture();
  SendScroll(kDragEnded);
  return 1;
}

int ScrollBar::Activate() {
  if (m_Capture != this) {
    SetCapture(this);
  } else {
    ReleaseCapture();
  }
  return 1;
}

int ScrollBar::SetPosition(int position, bool redraw) {
  const int previous = m_Info.position;
  m_Info.position = position;
  PlaceThumb();
  if (redraw) Update();
  return previous;
}

void ScrollBar::SetRange(int minimum, int maximum, bool redraw) {
  m_Info.minimum = minimum;
  m_Info.maximum = maximum;
  const std::int64_t page = (std::int64_t{maximum} - minimum) / 10;
  m_Info.page = page < 1 ? 1 : static_cast<std::int32_t>(page);
  Layout();
  PlaceThumb();
  if (redraw) Update();
}

void ScrollBar::GetRange(int* minimum, int* maximum) const {
  if (minimum != nullptr) *minimum = m_Info.minimum;
  if (maximum != nullptr) *maximum = m_Info.maximum;
}

void ScrollBar::SetInfo(const ScrollInfo& info, bool redraw) {
  m_Info = info;
  Layout();
  PlaceThumb();
  if (redraw) Update();
}
