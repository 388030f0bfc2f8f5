// How a screen's memory lies under the picture, from the byte steps an
// output reports to the next pixel right (x step) and down (y step) of the
// top-left pixel. The display device's back buffer copies this memory
// layout, so a frame is shown by one block copy.
#pragma once

#include <cstddef>
#include <optional>

struct ssScreenLayout {
  int width = 0;   // pixels in a memory row
  int height = 0;  // memory rows
  // Quarter turns from the screen to the buffer, in the sense of the
  // display's m_Rotate: 1 when the screen's x runs up the buffer, 3 when
  // its y runs leftwards along memory rows, 2 when both run backwards.
  int turn = 0;
  // Bytes from the top-left pixel to the lowest address of the memory.
  std::ptrdiff_t lowOffset = 0;

  // Nothing when the memory is not one contiguous block of pixelBytes-wide
  // pixels (or the sizes are out of range).
  static std::optional<ssScreenLayout> FromSteps(long long width, long long height, long long xStep, long long yStep,
                                                 int pixelBytes);
};
