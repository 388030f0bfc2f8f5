// The launcher bar's module-wide state shared by the bar, the icon area
// and the dialogs: sizes scaled to the screen, the fonts, the scroll-arrow
// pictures, the home colour table, the keyboard selection and the first
// visible scrolling line. Plain globals on the host's UI thread.
#pragma once

#include "ce/windows.h"
#include "common/bitmap_image.h"
#include "common/color_scheme.h"

namespace tessivo {

// Slots of the home colour table used by the bar.
inline constexpr int COLOR_HOMETEXT = suite::CColorScheme::kHomeText;
inline constexpr int COLOR_HOMEHIGHLIGHT = suite::CColorScheme::kHomeHighlight;
inline constexpr int COLOR_HOMEHIGHLIGHTTEXT = suite::CColorScheme::kHomeHighlightText;
inline constexpr int COLOR_HOMERULE = suite::CColorScheme::kHomeRule;

// The module whose resources the bar uses: the plug-in library, or the
// running program when the bar is linked into one.
HINSTANCE Module();

// (n * DPI + 48) / 96 with the screen's horizontal DPI.
int S(int n);

struct LauncherState {
  COLORREF colors[suite::CColorScheme::kColorCount] = {};
  int screenWidth = 240;
  // The icon the keyboard selection is on: an item index, -1 the date,
  // -3 / -4 the arrows.
  int tappedIndex = -1;
  // The first scrolling line shown, from 1.
  int firstLine = 1;
  HFONT normalFont = nullptr;
  HFONT boldFont = nullptr;
  HFONT largeFont = nullptr;
  RECT dialogTitleRect = {};
  HBITMAP header = nullptr;  // the tool dialogs' header band
  suite::CBitmapImage scrollDown;
  suite::CBitmapImage scrollUp;
};

LauncherState& State();

// Reads the home screen's current colours into the table.
void ReloadColors();

// Asks the home screen to repaint the bar (the plug-in library defines it).
void RequestRedraw();

// Copies a picture onto `dest`, leaving out its magenta pixels.
void CopyTransparent(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY);

}  // namespace tessivo
