// The home screen's 29 scheme colours, by slot, with the names a layout or
// colour-scheme file gives them, and the colours used before any file is read.
#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "ce/windef.h"

namespace home {

inline constexpr int kColorCount = 29;
using ColorTable = std::array<COLORREF, kColorCount>;

// Slots the home screen itself draws with.
enum ColorSlot : int {
  kColorWindow = 0,
  kColorStatic = 2,
  kColorStaticText = 3,
  kColorTrayGradLeft = 13,
  kColorTrayGradRight = 14,
  kColorTrayText = 17,
  kColorHomeText = 22,
  kColorHomeHighlight = 23,
  kColorHomeRule = 25,
};

// The slot a colour name stands for (exact match), if any.
std::optional<int> ColorSlotOf(std::wstring_view name);
std::wstring_view ColorName(int slot);

// "#RRGGBB" exactly: seven characters, six hexadecimal digits. Anything else
// (short, long, no "#", other characters) is refused.
std::optional<COLORREF> ParseColorValue(std::wstring_view text);

// A quiet light scheme, used until a scheme file is read and for every
// colour a file leaves out.
ColorTable DefaultColors();

}  // namespace home
