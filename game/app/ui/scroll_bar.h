// ScrollBar: two arrow buttons, a track and a draggable thumb button (all
// Button children, ids 8000-8002) over a position within a range. Changes
// go to the parent as messages 276 (horizontal) or 277 (vertical); in the
// arrows-only mode the arrows become direction-key presses for the parent.
#pragma once

#include "ui/wnd.h"

class Button;

// The scroll information record.
struct ScrollInfo {
  std::int32_t size = 28;
  std::int32_t mask = -1;
  std::int32_t minimum = 0;
  std::int32_t maximum = 0;
  std::int32_t page = 10;
  std::int32_t position = 0;
  std::int32_t trackPosition = 0;
};

class ScrollBar : public Wnd {
 public:
  // Style bits.
  static constexpr std::uint32_t kVertical = 0x1;
  static constexpr std::uint32_t kValueCaption = 0x20;
  static constexpr std::uint32_t kNoArrows = 0x40;
  static constexpr std::uint32_t kNoThumb = 0x80;
  static constexpr std::uint32_t kKeepPressed = 0x80000000u;
  // Flag bits.
  static constexpr std::uint32_t kFlagNoTrack = 0x20;
  static constexpr std::uint32_t kFlagArrowsOnly = 0x200;
  // Child ids.
  static constexpr int kFirstArrowId = 8000;
  static constexpr int kThumbId = 8001;
  static constexpr int kSecondArrowId = 8002;
  // Scroll codes (low 16 bits of the first parameter).
  static constexpr int kStepBack = 0;
  static constexpr int kStepForward = 1;
  static constexpr int kPageBack = 2;
  static constexpr int kPageForward = 3;
  static constexpr int kDragEnded = 4;
  static constexpr int kDragging = 5;

  ~ScrollBar() override;
  bool Create(ssDisplay* device, Wnd* parent, const RECT& fracRect, const wchar_t* caption, int kind,
              std::uint32_t style, std::uint32_t flags, int id, std::uint32_t spare) override;
  int Paint(const RECT& dirty) override;
  void Layout() override;
  void SetColourA(std::uint32_t rgb) override;
  void SetColourB(std::uint32_t rgb) override;
  void SetColourC(std::uint32_t rgb) override;
  void SetBevelColours(const std::uint32_t rgb[5]) override;
  int OnPenMove(std::uint32_t buttons, LPARAM pos) override;
  int OnPenDown(std::uint32_t buttons, LPARAM pos) override;
  int OnPenUp(std::uint32_t buttons, LPARAM pos) override;
  LRESULT WndProc(UINT message, WPARAM p1, LPARAM p2) override;
  int Activate() override;

  // Returns the previous position.
  int SetPosition(int position, bool redraw);
  int GetPosition() const { return m_Info.position; }
  void SetRange(int minimum, int maximum, bool redraw);
  void GetRange(int* minimum, int* maximum) const;
  int GetMaximum() const { return m_Info.maximum; }
  void SetInfo(const ScrollInfo& info, bool redraw);
  void GetInfo(ScrollInfo* out) const { *out = m_Info; }

  bool IsVerticalBar() const { return m_Vertical != 0; }
  bool Dragging() const { return m_Capture == this; }
  Button* FirstArrow() const { return m_First; }
  Button* Thumb() const { return m_Thumb; }
  Button* SecondArrow() const { return m_Second; }
  const RECT& Track() const { return m_Track; }
  int ButtonSize() const { return m_ButtonSize; }
  int ThumbLength() const { return m_ThumbLength; }

 private:
  void ComputeSizes();
  void PlaceThumb();
  bool ArrowsOnly() const { return (m_Flags & kFlagArrowsOnly) != 0; }
  // Message 276 or 277 to the parent with code | position << 16.
  void SendScroll(int code);

  std::uint8_t m_Vertical = 0;
  Button* m_First = nullptr;
  Button* m_Thumb = nullptr;
  Button* m_Second = nullptr;
  RECT m_Track{};
  ScrollInfo m_Info;
  int m_AnchorX = 0;
  int m_AnchorY = 0;
  int m_GrabX = 0;
  int m_GrabY = 0;
  int m_ButtonSize = 0;
  int m_ThumbLength = 0;
  int m_MinButtonUnits = 2;
};
