// Button: the push button of the menu screens, the arrow and thumb buttons
// of the scroll bar and the keys of the on-screen keyboard; with style bit
// 1 or 2 it is a check box. A bevelled face that sinks while pressed, a
// caption or an arrow glyph, dimmed while unfocused; clicks go to the
// parent as notifications.
#pragma once

#include "ui/wnd.h"

class Button : public Wnd {
 public:
  // Style bits.
  static constexpr std::uint32_t kCheckBox = 0x2;
  static constexpr std::uint32_t kCheckSquare = 0x4;
  static constexpr std::uint32_t kAcrossMask = 0x300;  // 0x100 left, 0x200 right, 0x300 centred
  static constexpr std::uint32_t kDownMask = 0xC00;    // 0x400 top, 0x800 bottom, 0xC00 middle
  static constexpr std::uint32_t kFlat = 0x8000;
  // Flag bits.
  static constexpr std::uint32_t kArrowMask = 0xF;  // 1 up, 2 right, 3 down, 4 left
  static constexpr std::uint32_t kFlagInsetFill = 0x20000;
  static constexpr std::uint32_t kFlagNoDim = 0x400000;

  ~Button() override;
  bool Create(ssDisplay* device, Wnd* parent, const RECT& fracRect, const wchar_t* caption, int kind,
              std::uint32_t style, std::uint32_t flags, int id, std::uint32_t spare) override;
  int Paint(const RECT& dirty) override;
  void Layout() override;
  int OnPenMove(std::uint32_t buttons, LPARAM pos) override;
  int OnPenDown(std::uint32_t buttons, LPARAM pos) override;
  int OnPenUp(std::uint32_t buttons, LPARAM pos) override;
  void KillFocus() override;
  int Activate() override;

  // Push button: 1 while pressed; check box: 1 checked.
  int State() const { return m_State; }
  void SetState(int state) { m_State = state; }
  const RECT& FaceRect() const { return m_Face; }
  bool IsPushButton() const { return (m_Style & (kCheckBox | kCheckSquare)) == 0; }

 private:
  int m_State = 0;
  RECT m_Face{};
};
