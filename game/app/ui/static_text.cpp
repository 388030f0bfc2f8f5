// StaticText and Picture.
#include "ui/static_text.h"

#include <algorithm>

#include "display/font.h"

// ---- StaticText ---------------------------------------------------------------

StaticText::~StaticText() = default;

bool StaticText::Create(ssDisplay* device, Wnd* parent, const RECT& fracRect, const wchar_t* caption, int kind,
                        std::uint32_t style, std::uint32_t flags, int id, std::uint32_t spare) {
  if (!Wnd::Create(device, parent, fracRect, caption, kind, style, flags, id, spare)) return false;
  Layout();
  return true;
}

void StaticText::InvalidateRect(const RECT& rect, int value) { Wnd::InvalidateRect(rect, value); }

void StaticText::Layout() {
  Wnd::Layout();
  RECT box{0, 0, m_Position.right - m_Position.left, m_Position.bottom - m_Position.top};
  ClientToScreenRect(box);
  if ((m_Style & ui::kStyleInset) != 0) {
    box.left += FontHeight() / 4;
    box.top += FontHeight() / 4;
    const int h = static_cast<int>(m_BorderUnit) / 2;
    box = RECT{box.left + h, box.top + h, box.right - h, box.bottom - h};
  }
  m_TextBox = box;
  int width = box.right - box.left, height = 0;
  if (m_Device != nullptr && m_Font != nullptr) {
    const bool single = (m_Style & 0xF) == kSingleLine;
    m_Device->MeasureText(m_Font, m_Caption, &width, &height, !single);
  } else {
    width = 0;
  }
  m_TextY = box.top;
  if ((m_Style & kVCentre) != 0) m_TextY = box.top + ((box.bottom - box.top) - height) / 2;
  m_TextX = box.left;
  if ((m_Style & kAlignMask) == 2) m_TextX = box.right - 2 * static_cast<int>(m_BorderUnit) - width;
}

std::vector<std::wstring> StaticText::Pages(const std::wstring& text) {
  if (m_Device == nullptr || m_Font == nullptr || text.empty()) return {text};
  // The words as the display's box layout takes them: split at blanks and
  // line ends, a line end closing its line.
  struct Word {
    std::size_t start, end;
    bool lineEnd;
  };
  std::vector<Word> words;
  std::size_t from = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L' ' || text[i] == L'\n') {
      words.push_back(Word{from, i, text[i] == L'\n'});
      from = i + 1;
    }
  }
  if (from < text.size()) words.push_back(Word{from, text.size(), false});
  const RECT box = m_TextBox;
  const int bottom = std::max<int>(box.bottom, m_TextY + FontHeight());
  const int bound = std::max<int>(box.right - 1, 0);
  const int lineStep = m_Font->m_Spacing + m_Font->Height();
  std::vector<std::size_t> starts{0};
  int penX = m_TextX, penY = m_TextY;
  bool pageEmpty = true;
  for (std::size_t i = 0; i < words.size();) {
    const std::wstring word = text.substr(words[i].start, words[i].end - words[i].start);
    int ww = 0, wh = 0;
    m_Device->MeasureText(m_Font, word.c_str(), &ww, &wh, false);
    if (penY + wh > bottom && !pageEmpty) {
      // A new page: blank words and empty lines at its top are left out.
      while (i < words.size() && words[i].start == words[i].end) ++i;
      if (i == words.size()) break;
      starts.push_back(words[i].start);
      penX = m_TextX;
      penY = m_TextY;
      pageEmpty = true;
      continue;
    }
    if (penX + ww <= bound || m_TextX + ww >= bound) {
      // Placed; a word wider than a whole line takes a line of its own.
      pageEmpty = false;
      penX += ww + m_Font->m_SpaceWidth + m_Font->m_Spacing;
      if (words[i].lineEnd || m_TextX + ww >= bound) {
        penX = m_TextX;
        penY += lineStep;
      }
      ++i;
      continue;
    }
    penX = m_TextX;
    penY += lineStep;
  }
  std::vector<std::wstring> pages;
  for (std::size_t p = 0; p < starts.size(); ++p) {
    std::size_t end = p + 1 < starts.size() ? starts[p + 1] : text.size();
    while (end > starts[p] && (text[end - 1] == L' ' || text[end - 1] == L'\n')) --end;
    pages.push_back(text.substr(starts[p], end - starts[p]));
  }
  return pages;
}

bool StaticText::CaptionFits() {
  if (m_Device == nullptr || m_Font == nullptr || m_Caption[0] == 0) return true;
  const int room = m_TextBox.right - m_TextX;
  if ((m_Style & 0xF) == kSingleLine) {
    int w = 0, h = 0;
    m_Device->MeasureText(m_Font, m_Caption, &w, &h, false);
    return m_TextX >= m_TextBox.left && w <= room;
  }
  const std::wstring caption = m_Caption;
  std::size_t from = 0;
  while (from <= caption.size()) {
    const std::size_t end = caption.find_first_of(L" \n", from);
    const std::wstring word = caption.substr(from, end == std::wstring::npos ? std::wstring::npos : end - from);
    int w = 0, h = 0;
    m_Device->MeasureText(m_Font, word.c_str(), &w, &h, false);
    if (w >= room) return false;
    if (end == std::wstring::npos) break;
    from = end + 1;
  }
  return m_TextX >= m_TextBox.left && Pages(caption).size() == 1;
}

int StaticText::Paint(const RECT& dirty) {
  if (!IsVisible()) return 1;
  const bool alone = m_Parent == nullptr && m_Device != nullptr;
  if (alone) m_Device->BeginDraw();
  if (!ui::IsEmpty(dirty)) {
    RECT clip;
    if (ui::Intersect(clip, m_TextBox, dirty)) {
      if ((m_Flags & ui::kFlagTransparent) == 0) {
        Fill(clip, clip, 1, m_Bevel[kFace]);
      } else if ((m_Flags & ui::kFlagTranslucent) != 0) {
        Fill(ClientScreenRect(), dirty, 5, m_ColourB);
      }
      if ((m_Style & ui::kStyleInset) != 0) DrawInsetFrame(m_ScreenRect, dirty);
      const bool wrap = (m_Style & 0xC) == 0;
      // The display lays out only whole lines inside the box: a label
      // lower than one line of its font still shows that line.
      RECT box = m_TextBox;
      if (wrap && box.bottom < m_TextY + FontHeight()) box.bottom = m_TextY + FontHeight();
      DrawCaption(m_Caption, m_TextX, m_TextY, m_ColourA, m_ColourB, m_ColourC, (m_Flags & ui::kFlagTransparent) == 0,
                  (m_Flags & ui::kFlagShadow) != 0, box, clip, wrap, (m_Style & kAlignMask) == 1);
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

// ---- Picture ------------------------------------------------------------------

Picture::~Picture() = default;

bool Picture::Create(ssDisplay* device, Wnd* parent, const RECT& fracRect, const wchar_t* caption, int kind,
                     std::uint32_t style, std::uint32_t flags, int id, std::uint32_t spare) {
  if (!Wnd::Create(device, parent, fracRect, caption, kind, style, flags, id, spare)) return false;
  Layout();
  return true;
}

void Picture::Layout() {
  Wnd::Layout();
  if (m_Image != nullptr && (m_Style & kFitImage) != 0) {
    const POINT size = ui::ImageSize(m_Device, m_Image);
    m_ScreenRect.right = m_ScreenRect.left + size.x + 2 * m_BorderX;
    m_ScreenRect.bottom = m_ScreenRect.top + size.y + 2 * m_BorderY;
  }
}

RECT Picture::FocusImageRect() const {
  const POINT size = ui::ImageSize(m_Device, m_Image2);
  const int w = m_ScreenRect.right - m_ScreenRect.left, h = m_ScreenRect.bottom - m_ScreenRect.top;
  const int x = m_ScreenRect.left - (size.x - w) / 2, y = m_ScreenRect.top - (size.y - h) / 2;
  return RECT{x, y, x + size.x, y + size.y};
}

int Picture::Paint(const RECT& dirty) {
  if (!IsVisible()) return 1;
  const bool alone = m_Parent == nullptr && m_Device != nullptr;
  if (alone) m_Device->BeginDraw();
  if (!ui::IsEmpty(dirty)) {
    RECT clip;
    if (ui::Intersect(clip, m_ScreenRect, dirty)) {
      if (m_HasFocus != 0) {
        if (m_Image2 != nullptr) {
          // The focus picture may be larger than the window: it is drawn
          // within everything being repainted, not only the window.
          const RECT r = FocusImageRect();
          DrawImageAt(m_Image2, r.left, r.top, dirty, 0);
        } else {
          DrawInsetFrame(m_ScreenRect, clip);
        }
      }
      if ((m_Flags & ui::kFlagTransparent) == 0) {
        if (m_Image != nullptr) {
          DrawImageAt(m_Image, m_ScreenRect.left, m_ScreenRect.top, clip, 1);
        } else {
          Fill(clip, clip, 1, m_Bevel[kFace]);
        }
      }
      if ((m_Flags & ui::kFlagTranslucent) != 0) Fill(ClientScreenRect(), dirty, 5, m_ColourB);
      if ((m_Style & ui::kStyleInset) != 0) DrawInsetFrame(m_ScreenRect, clip);
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

void Picture::Invalidate(int value) {
  m_DirtyRect = m_Image2 != nullptr ? FocusImageRect() : m_ScreenRect;
  m_DirtyFlag = static_cast<std::uint8_t>(value);
  if (m_Parent != nullptr) m_Parent->InvalidateRect(m_DirtyRect, value);
}

int Picture::OnPenDown(std::uint32_t, LPARAM pos) {
  if (IsVisible() && HitTest(pos)) {
    Invalidate(0);
    WndProc(ui::kMsgCommand, ui::MakeCommand(m_Id, ui::kNotifyPressed), pos);
  }
  return 0;
}

int Picture::OnPenUp(std::uint32_t, LPARAM pos) {
  if (IsVisible() && HitTest(pos)) {
    Invalidate(0);
    WndProc(ui::kMsgCommand, ui::MakeCommand(m_Id, ui::kNotifyClicked), pos);
  }
  return 0;
}

int Picture::Activate() {
  Invalidate(0);
  WndProc(ui::kMsgCommand, ui::MakeCommand(m_Id, ui::kNotifyClicked), 0);
  return 1;
}

void Picture::SetFocus(Wnd* previous) {
  Wnd::SetFocus(previous);
  WndProc(ui::kMsgCommand, ui::MakeCommand(m_Id, ui::kNotifyFocus), 0);
}

void Picture::KillFocus() {
  Wnd::KillFocus();
  WndProc(ui::kMsgCommand, ui::MakeCommand(m_Id, ui::kNotifyLostFocus), 0);
}
