// Keyboard: the on-screen text entry with its pad of 40 keys.
#include "ui/keyboard.h"

#include <algorithm>
#include <cstdlib>
#include <cwchar>

#include "ui/button.h"

namespace {

// The caption of key i: digits, capital letters in alphabetical order, and
// the four wide keys.
void KeyCaption(int i, wchar_t* out) {
  const wchar_t* word = nullptr;
  wchar_t c = 0;
  if (i <= 8) {
    c = static_cast<wchar_t>(L'1' + i);
  } else if (i == 9) {
    c = L'0';
  } else if (i == Keyboard::kKeyDel) {
    word = L"DEL";
  } else if (i <= 20) {
    c = static_cast<wchar_t>(i + 54);
  } else if (i == Keyboard::kKeyDone) {
    word = L"Done";
  } else if (i <= 30) {
    c = static_cast<wchar_t>(i + 53);
  } else if (i == Keyboard::kKeyShift) {
    word = L"SHIFT";
  } else if (i <= 38) {
    c = static_cast<wchar_t>(i + 52);
  } else {
    word = L"SPACE";
  }
  if (word != nullptr) {
    std::swprintf(out, 8, L"%ls", word);
  } else {
    out[0] = c;
    out[1] = 0;
  }
}

constexpr std::uint32_t kCentred = 0x300 | 0xC00;  // across and down

bool IsLetterKey(int i) { return (i >= 11 && i <= 20) || (i >= 22 && i <= 30) || (i >= 32 && i <= 38); }

}  // namespace

Keyboard::Keyboard() = default;
// The keys are children: they go with the children.
Keyboard::~Keyboard() = default;

bool Keyboard::Create(ssDisplay* device, Wnd* parent, const RECT& fracRect, const wchar_t* caption, int kind,
                      std::uint32_t style, std::uint32_t flags, int id, std::uint32_t spare) {
  if (!Wnd::Create(device, parent, fracRect, caption, kind, style | ui::kStyleFocusable, flags, id, spare)) {
    return false;
  }
  // A provisional key of 8 x 9 border units, replaced by Layout at once.
  const int u = static_cast<int>(m_BorderUnit);
  const int sw = std::max(1, ui::ScreenWidth(device));
  const int sh = std::max(1, ui::ScreenHeight(device));
  const RECT provisional{0, 0, static_cast<LONG>((8 * u * 65536) / sw), static_cast<LONG>((9 * u * 65536) / sh)};
  for (int i = 0; i < kKeyCount; ++i) {
    wchar_t caption[8];
    KeyCaption(i, caption);
    auto* key = new Button();
    // Captions centred in their keys: the narrow keys of a small screen
    // have no room for the usual left inset beside the widest letters.
    key->Create(device, this, provisional, caption, ui::kKindButton, 0x10808000 | kCentred, 0x20020, kFirstKeyId + i,
                0);
    key->SetColourA(i == kKeyDone ? 0xFFFF00 : 0xFFFFFF);
    key->SetColourB(0x000000);
    m_Keys[i] = key;
  }
  SetCase(0);
  m_LaidOut = 1;
  Layout();
  return true;
}

Button* Keyboard::Key(int index) const { return index >= 0 && index < kKeyCount ? m_Keys[index] : nullptr; }

void Keyboard::SetCase(int value) {
  m_Case = value;
  // A red edge on SHIFT announces a capital.
  if (m_Keys[kKeyShift] == nullptr || m_Device == nullptr) return;
  const std::uint32_t pixel = value == 0 ? m_Device->ColorToPixel(0xFF0000) : m_Keys[32]->BevelPixel(Wnd::kOuterLight);
  m_Keys[kKeyShift]->SetBevelPixel(Wnd::kOuterLight, pixel);
}

void Keyboard::Layout() {
  Wnd::Layout();
  int w = 0, h = 0;
  Measure(L"M", &w, &h);
  const int u = static_cast<int>(m_BorderUnit);
  const int p = u / 2 + 2 * u;
  // A key's caption is centred in it and keeps a border unit from each edge
  // (its frame is half a unit). The widest rows hold ten keys and a triple
  // one, about 13.9 key widths with their gaps; on a narrow screen the keys
  // get narrower to fit.
  const int captionRoom = w + 2 * u;
  const int across = m_ScreenRect.right - m_ScreenRect.left;
  const int kw = std::max(1, std::min(std::max(p + w, captionRoom), across * 16 / 222)), kh = p + h;
  const int g = kw / 16, m = kw / 4;
  m_TextBox = m_ScreenRect;
  m_TextBox.right = m_TextBox.left + 13 * (g + kw) + m;
  // As high as a key is wide, and never lower than its line of text (the
  // keys of a narrow screen are narrower than the font is high).
  m_TextBox.bottom = m_TextBox.top + std::max(g + kw, h + u);
  m_KeyPad = RECT{m_TextBox.left, m_TextBox.bottom + kh / 4, m_TextBox.right, 0};
  m_KeyPad.bottom = m_KeyPad.top + 5 * (g + kh);
  if (m_LaidOut == 0 || m_Open == 0) return;
  const int rowX[4] = {m, m, m + kw / 2, m + 2 * kw};
  const int firstRowY = (m_KeyPad.top - m_ScreenRect.top) + kh / 4;
  static constexpr int kRowStart[5] = {0, 11, 22, 32, 40};
  for (int row = 0; row < 4; ++row) {
    int x = rowX[row];
    const int y = firstRowY + row * (g + kh);
    for (int i = kRowStart[row]; i < kRowStart[row + 1]; ++i) {
      int width = kw;
      if (i == kKeyDel || i == kKeyDone) width = 3 * kw;
      if (i == kKeyShift) width = kw / 2 + 3 * kw;
      if (i == kKeySpace) width = 4 * kw;
      m_Keys[i]->SetFont(GetFont());
      m_Keys[i]->MoveWindow(x, y, width, kh, false);
      x += g + kw;
    }
  }
}

void Keyboard::ShowKeys(bool show) {
  for (int i = 0; i < kKeyCount; ++i) {
    Button* key = m_Keys[i];
    if (key == nullptr) continue;
    if (show) {
      key->SetStyle(key->Style() | ui::kStyleVisible);
      key->SetFocusFlag(i == 0);
    } else {
      key->SetStyle(key->Style() & ~ui::kStyleVisible);
    }
  }
}

void Keyboard::SetOpen(bool open) {
  m_Open = open ? 1 : 0;
  ShowKeys(open);
  Layout();
}

void Keyboard::SetInputText(const wchar_t* text) {
  std::wcsncpy(m_Text, text != nullptr ? text : L"", kTextChars - 1);
  m_Text[kTextChars - 1] = 0;
  Invalidate(0);
}

void Keyboard::GetInputText(wchar_t* out, std::size_t capacity) const {
  if (out == nullptr || capacity == 0) return;
  std::wcsncpy(out, m_Text, capacity - 1);
  out[capacity - 1] = 0;
}

void Keyboard::SetMaxLength(std::uint32_t length) {
  // The text buffer bounds the length whatever a caller asks for.
  m_MaxLength = length < kTextChars - 1 ? length : kTextChars - 1;
}

int Keyboard::Activate() {
  m_Focused = m_Keys[0];
  ShowKeys(true);
  m_Open = 1;
  SetCapture(this);
  Layout();
  Invalidate(0);
  return 1;
}

void Keyboard::Close(int code, LPARAM p2) {
  Invalidate(0);
  m_Open = 0;
  ShowKeys(false);
  ReleaseCapture();
  NotifyParent(code, p2);
  Layout();
}

bool Keyboard::Append(wchar_t c) {
  const std::size_t length = std::wcslen(m_Text);
  if (m_MaxWidth != 0 && m_Device != nullptr && m_Font != nullptr) {
    wchar_t candidate[kTextChars + 1];
    std::wmemcpy(candidate, m_Text, length);
    candidate[length] = c;
    candidate[length + 1] = 0;
    int width = 0;
    m_Device->MeasureText(m_Font, candidate, &width, nullptr, false);
    if (width >= m_MaxWidth) return false;
  }
  if (length < m_MaxLength && length < kTextChars - 1) {
    m_Text[length] = c;
    m_Text[length + 1] = 0;
  }
  return true;
}

void Keyboard::OnKey(int index, LPARAM p2) {
  if (index <= 9) {
    Append(index == 9 ? L'0' : static_cast<wchar_t>(L'1' + index));
    Invalidate(0);
  } else if (index == kKeyDel) {
    const std::size_t length = std::wcslen(m_Text);
    if (length > 0) m_Text[length - 1] = 0;
    const std::size_t now = std::wcslen(m_Text);
    SetCase(now > 0 && m_Text[now - 1] == L' ' ? 0 : 1);
    Invalidate(0);
  } else if (IsLetterKey(index)) {
    const wchar_t* caption = m_Keys[index]->Caption();
    const wchar_t letter = m_Case == 0 ? caption[0] : static_cast<wchar_t>(caption[0] + (L'a' - L'A'));
    if (Append(letter)) SetCase(1);
    Invalidate(0);
  } else if (index == kKeyDone) {
    Close(kNotifyDone, p2);
  } else if (index == kKeyShift) {
    SetCase(m_Case == 0 ? 1 : 0);
    Invalidate(0);
  } else if (index == kKeySpace) {
    if (Append(L' ')) SetCase(0);
    Invalidate(0);
  }
}

bool Keyboard::Type(wchar_t c) {
  if (c == 8) {
    OnKey(kKeyDel, 0);
    return true;
  }
  // The digits are the device's keypad ("3" and "9" work the screen), and
  // what the font cannot show is not typed.
  if (c < 32 || c > 126 || (c >= L'0' && c <= L'9')) return false;
  if (Append(c)) SetCase(c == L' ' ? 0 : 1);
  Invalidate(0);
  return true;
}

LRESULT Keyboard::WndProc(UINT message, WPARAM p1, LPARAM p2) {
  if (message == ui::kMsgChar) return Type(static_cast<wchar_t>(p1)) ? 1 : 0;
  if (message == ui::kMsgKeyUp) {
    const int key = static_cast<int>(p1);
    if (key == ui::kKeyEnter) {
      if (m_Focused != nullptr) m_Focused->Activate();
    } else if (key >= ui::kKeyLeft && key <= ui::kKeyDown) {
      MoveFocus(key);
    } else if (key == ui::kKey9) {
      Close(kNotifyNine, p2);
    }
    return 0;
  }
  if (message == ui::kMsgCommand && ui::CommandCode(p1) == ui::kNotifyClicked) {
    const int index = ui::CommandId(p1) - kFirstKeyId;
    if (index >= 0 && index < kKeyCount) {
      OnKey(index, p2);
      return 0;
    }
  }
  return Wnd::WndProc(message, p1, p2);
}

void Keyboard::MoveFocus(int key) {
  Wnd* from = m_Focused;
  if (from == nullptr) return;
  const RECT& f = from->ScreenRect();
  const long fromCentre = (f.left + f.right) / 2;
  Wnd* best = nullptr;
  long bestScore = 99999;
  for (Button* k : m_Keys) {
    if (k == nullptr || k == from || !k->CanFocus() || !k->IsVisible()) continue;
    const RECT& r = k->ScreenRect();
    long score;
    switch (key) {
      case ui::kKeyUp:
        if (r.top >= f.top) continue;
        score = (f.top - r.top) + std::labs((r.left + r.right) / 2 - fromCentre);
        break;
      case ui::kKeyDown:
        if (r.top <= f.top) continue;
        score = (r.top - f.top) + std::labs((r.left + r.right) / 2 - fromCentre);
        break;
      case ui::kKeyLeft:
        if (r.left >= f.left) continue;
        score = (f.left - r.left) + std::labs(static_cast<long>(r.top) - f.top);
        break;
      default:
        if (r.left <= f.left) continue;
        score = (r.left - f.left) + std::labs(static_cast<long>(r.top) - f.top);
        break;
    }
    if (score < bestScore) {
      bestScore = score;
      best = k;
    }
  }
  if (best == nullptr) return;
  best->SetFocusFlag(true);
  best->SetFocus(from);
  m_Focused = best;
}

bool Keyboard::HitTest(LPARAM pos) {
  if (Wnd::HitTest(pos)) return true;
  const int x = ui::PosX(pos), y = ui::PosY(pos);
  return m_Open != 0 && x >= m_KeyPad.left && x <= m_KeyPad.right && y >= m_KeyPad.top && y <= m_KeyPad.bottom;
}

void Keyboard::FocusAt(LPARAM pos) {
  if (m_Focused != nullptr && m_Focused->HitTest(pos)) return;
  Wnd* previous = m_Focused;
  m_Focused = nullptr;
  for (Button* k : m_Keys) {
    if (k != nullptr && k->IsVisible() && k->HitTest(pos)) m_Focused = k;
  }
  if (m_Focused != nullptr && m_Focused != previous) m_Focused->SetFocus(previous);
}

int Keyboard::OnPenDown(std::uint32_t buttons, LPARAM pos) {
  if (!HitTest(pos)) return 0;
  FocusAt(pos);
  return m_Focused != nullptr ? m_Focused->OnPenDown(buttons, pos) : 0;
}

int Keyboard::OnPenUp(std::uint32_t buttons, LPARAM pos) {
  if (HitTest(pos)) {
    FocusAt(pos);
    if (m_Focused != nullptr) return m_Focused->OnPenUp(buttons, pos);
  }
  if (m_Capture == this) {
    Invalidate(0);
    if (m_Open != 0) NotifyParent(kNotifyDone, pos);
    m_Open = 0;
    ShowKeys(false);
    Layout();
    ReleaseCapture();
  }
  return 0;
}

void Keyboard::SetFocus(Wnd* previous) {
  m_HasFocus = 1;
  if (previous != nullptr) previous->KillFocus();
  NotifyParent(ui::kNotifyFocus, 0);
  Invalidate(0);
}

void Keyboard::Invalidate(int value) {
  m_DirtyRect = m_ScreenRect;
  // The pad lies outside the window's own rectangle.
  if (m_Open != 0) m_DirtyRect = ui::Union(m_DirtyRect, m_KeyPad);
  m_DirtyFlag = static_cast<std::uint8_t>(value);
  if (m_Parent != nullptr) m_Parent->InvalidateRect(m_DirtyRect, value);
}

void Keyboard::InvalidateRect(const RECT& rect, int value) {
  m_DirtyFlag = 1;
  m_DirtyRect = ui::Union(m_DirtyRect, rect);
  if (m_Open != 0) m_DirtyRect = ui::Union(m_DirtyRect, m_KeyPad);
  if (m_Parent != nullptr) m_Parent->InvalidateRect(m_DirtyRect, value);
}

int Keyboard::Paint(const RECT& dirty) {
  if (!IsVisible()) return 1;
  const bool alone = m_Parent == nullptr && m_Device != nullptr;
  if (alone) m_Device->BeginDraw();
  if (!ui::IsEmpty(dirty)) {
    if ((m_Flags & ui::kFlagTransparent) == 0) Fill(m_TextBox, dirty, 1, m_ColourB);
    if ((m_Flags & ui::kFlagTranslucent) != 0) {
      const RECT inner{m_TextBox.left + m_BorderX, m_TextBox.top + m_BorderY, m_TextBox.right - m_BorderX,
                       m_TextBox.bottom - m_BorderY};
      Fill(inner, dirty, 5, m_ColourB);
    }
    if (m_Open != 0) {
      Fill(m_KeyPad, dirty, 1, m_ColourB);
      DrawInsetFrame(m_KeyPad, dirty);
    }
    if ((m_Style & ui::kStyleInset) != 0) DrawInsetFrame(m_TextBox, dirty);
    int mw = 0, mh = 0, cw = 0;
    Measure(L"M", &mw, &mh);
    Measure(m_Caption, &cw, nullptr);
    const int x = m_TextBox.left + 2 * mw + m_BorderX;
    const int y =
        std::min<int>(m_TextBox.top + ((m_TextBox.bottom - m_TextBox.top) - mh) / 2 + 1, m_TextBox.bottom - mh);
    DrawCaption(m_Caption, x, y, m_ColourC, m_ColourB, m_ColourC, false, false, m_TextBox, dirty);
    const std::uint32_t colour = m_HasFocus != 0 ? m_ColourA : ScaleColour(m_ColourA, 0.55f);
    DrawCaption(m_Text, x + 4 * static_cast<int>(m_BorderUnit) + cw, y, colour, m_ColourB, m_ColourC, false, false,
                m_TextBox, dirty);
    PaintChildren(dirty);
    ResetDirty();
  }
  if (alone) {
    m_Device->Present();
    m_Device->EndDraw();
  }
  return 1;
}
