// StaticText: a label, its caption laid out in a text box, left, right or
// centre aligned, wrapped or on one line, optionally centred vertically.
// Picture: an image at its natural size that works as a clickable picture
// and can show a second "focus" image centred behind itself while focused.
#pragma once

#include <string>
#include <vector>

#include "ui/wnd.h"

class StaticText : public Wnd {
 public:
  // Style bits of a label.
  static constexpr std::uint32_t kAlignMask = 0x3;   // 0 left, 1 centred, 2 right
  static constexpr std::uint32_t kSingleLine = 0xC;  // in bits 0-3: measured as one line
  static constexpr std::uint32_t kVCentre = 0x200;

  ~StaticText() override;
  bool Create(ssDisplay* device, Wnd* parent, const RECT& fracRect, const wchar_t* caption, int kind,
              std::uint32_t style, std::uint32_t flags, int id, std::uint32_t spare) override;
  int Paint(const RECT& dirty) override;
  void InvalidateRect(const RECT& rect, int value) override;
  void Layout() override;

  const RECT& TextBox() const { return m_TextBox; }
  // A long text cut into pieces that each fit this label wrapped, cut
  // between words the way the display lays them out. A page after the
  // first starts at its first word; a text that fits is one page.
  std::vector<std::wstring> Pages(const std::wstring& text);
  // The caption lies whole in the text box: one page, no word wider than
  // a line (a single-line label: the line no wider than the box).
  bool CaptionFits();

 private:
  RECT m_TextBox{};
};

class Picture : public Wnd {
 public:
  // Style bit 1: the screen rectangle is fitted to the image.
  static constexpr std::uint32_t kFitImage = 0x2;

  ~Picture() override;
  bool Create(ssDisplay* device, Wnd* parent, const RECT& fracRect, const wchar_t* caption, int kind,
              std::uint32_t style, std::uint32_t flags, int id, std::uint32_t spare) override;
  int Paint(const RECT& dirty) override;
  void Invalidate(int value) override;
  void Layout() override;
  int OnPenDown(std::uint32_t buttons, LPARAM pos) override;
  int OnPenUp(std::uint32_t buttons, LPARAM pos) override;
  void SetFocus(Wnd* previous) override;
  void KillFocus() override;
  int Activate() override;

 private:
  // The second image's rectangle centred on the window.
  RECT FocusImageRect() const;
};
