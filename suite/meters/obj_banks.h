// CObjBanks: the row of banks on the home screen: the left icon, the
// configured meters and the right icons, scrolled sideways when they do not
// fit, with a focus that moves bank by bank and between a bank's areas.
#pragma once

#include "ce/windows.h"
#include "obj_meter.h"

namespace pelmora {

struct BankRecord {
  RECT whole{};
  RECT upper{};
  RECT lower{};
  CObjMeter* meter = nullptr;
};

class CObjBanks {
 public:
  static constexpr int kMaxBanks = 8;
  virtual ~CObjBanks() = default;

  BOOL Init(HINSTANCE instance, HWND window, HFONT normalFont, HFONT secondFont, BOOL active);
  int GetHeight();
  void Draw(HDC dc, const RECT& rect, BOOL selected);
  // Polls every meter; TRUE when one reported a change.
  BOOL PollMeters();
  void Relayout();
  BOOL OnKeyRight();
  BOOL OnKeyLeft();
  BOOL OnKeyUp() { return 1; }
  BOOL OnKeyDown() { return 1; }
  void OnAction();
  // The pen at (x, y) of the row: a scroll arrow scrolls; the bank area
  // under it takes the focus, and a tap (not a hold) acts on it.
  void OnPen(int x, int y, BOOL hold);

  // The scroll arrows' pictures (Init loads them).
  void LoadArrows(HINSTANCE instance);
  void Layout();
  void FindLastVisible();
  void LayoutRects();
  BOOL FitsOnScreen(int i);

  int first = 0;
  int count = 0;
  int lastVisible = 0;
  int focus = 0;
  int focusUpper = 1;
  BOOL active = 0;
  BankRecord banks[kMaxBanks];
  int screenWidth = 240;

 private:
  int Width(int i);
  // The arrow at each end the row scrolls towards.
  void DrawScrollArrows(HDC dc, int size);
  MeterPicture m_arrows;  // left half: the left arrow, right half: the right one
  MeterPicture m_strip;   // behind an arrow
  HFONT m_normalFont = nullptr;
  HFONT m_secondFont = nullptr;
  HINSTANCE m_instance = nullptr;
  HWND m_window = nullptr;
};

CObjBanks& Banks();
// Asks the host to repaint the plug-in (set by the plug-in frame).
void RequestRedraw();
// The focus brushes' colours: inner, and the per-byte average of the
// highlight and its text colour.
COLORREF OuterFocusColour(COLORREF highlight, COLORREF highlightText);

}  // namespace pelmora
