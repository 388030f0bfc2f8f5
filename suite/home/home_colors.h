// The home screen's colours: the scheme's 29 colours in slot order (the
// suite's colour scheme reads them), the slots the home screen draws with,
// and the background picture.
#pragma once

#include <array>
#include <string>

#include "ce/windef.h"

namespace home {

inline constexpr int kColorCount = 29;
using ColorTable = std::array<COLORREF, kColorCount>;

// Slots the home screen itself draws with.
enum ColorSlot : int {
  kColorWindow = 0,
  kColorStatic = 2,
  kColorTrayGradLeft = 13,
  kColorTrayGradRight = 14,
  kColorTrayText = 17,
  kColorHomeRule = 25,
};

struct HomeScheme {
  ColorTable colors{};
  std::wstring background;  // a BMP file on the device; empty: none
};

// The scheme's colours before any file is read.
HomeScheme DefaultScheme();
// The scheme the home screen's settings name now: the colour-scheme file,
// else the layout's own colours, and "BgImage" over the file's background.
// Whatever cannot be read keeps its default.
HomeScheme ReadCurrentScheme();

}  // namespace home
