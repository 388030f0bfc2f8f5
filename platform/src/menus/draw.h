// How popups and bars look: sizes from the screen's DPI, and the drawing,
// all through GDI so both back ends show the same pixels.
#pragma once

#include <vector>

#include "ce/windef.h"
#include "menus/menus.h"

namespace ce::menus {

// The colours, for tests that read the screen.
inline constexpr COLORREF kPopupFace = 0x00FFFFFF;      // white
inline constexpr COLORREF kPopupFrame = 0x00000000;     // black
inline constexpr COLORREF kPopupSelected = 0x00993300;  // RGB(0x00, 0x33, 0x99)
inline constexpr COLORREF kPopupGrayed = 0x00C0C0C0;
inline constexpr COLORREF kSeparator = 0x00808080;
inline constexpr COLORREF kBarFace = 0x00602000;    // RGB(0x00, 0x20, 0x60)
inline constexpr COLORREF kBarButton = 0x00A05020;  // RGB(0x20, 0x50, 0xA0)
inline constexpr COLORREF kBarButtonDisabled = 0x00705848;

// A device-independent length (at 96 DPI) in screen pixels.
int Scaled(int length96);

// Where a popup's items go, relative to its top-left corner.
struct PopupLayout {
  SIZE size{};
  std::vector<RECT> items;
};
PopupLayout LayoutPopup(const std::vector<ItemView>& items);

// Draws a popup whose top-left corner is at `origin` on the screen.
void DrawPopup(HDC screen, POINT origin, const PopupLayout& layout, const std::vector<ItemView>& items, int selected);

// The rectangles of a bar's visible buttons in the bar's own coordinates
// (one entry per button; hidden ones get an empty rectangle).
std::vector<RECT> LayoutBar(const std::vector<BarButtonView>& buttons, SIZE bar);
// A button's image: a slice of a bar's image strip, drawn through its
// mask (set where the picture is transparent), then its colours (black
// there).
struct BarImage {
  HBITMAP color = nullptr;
  HBITMAP mask = nullptr;
  int x = 0;  // where the slice starts in the strip
  SIZE size{};
};
// `images` runs beside `buttons`: a null colour bitmap means no image.
void DrawBar(HDC dc, SIZE bar, const std::vector<BarButtonView>& buttons, const std::vector<BarImage>& images,
             COLORREF face);

}  // namespace ce::menus
