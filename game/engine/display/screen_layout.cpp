#include "display/screen_layout.h"

#include <algorithm>

std::optional<ssScreenLayout> ssScreenLayout::FromSteps(long long width, long long height, long long xStep,
                                                        long long yStep, int pixelBytes) {
  constexpr long long kMaxSide = 4096;
  if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide || pixelBytes < 1) return std::nullopt;
  const long long b = pixelBytes;
  ssScreenLayout layout;
  if (xStep == b && yStep == width * b) {
    layout = {static_cast<int>(width), static_cast<int>(height), 0, 0};
  } else if (xStep == -b && yStep == -width * b) {
    layout = {static_cast<int>(width), static_cast<int>(height), 2, 0};
  } else if (yStep == -b && xStep == height * b) {
    layout = {static_cast<int>(height), static_cast<int>(width), 3, 0};
  } else if (yStep == b && xStep == -height * b) {
    layout = {static_cast<int>(height), static_cast<int>(width), 1, 0};
  } else {
    return std::nullopt;
  }
  layout.lowOffset =
      static_cast<std::ptrdiff_t>(std::min(0LL, (width - 1) * xStep) + std::min(0LL, (height - 1) * yStep));
  return layout;
}
