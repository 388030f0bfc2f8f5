// Mixing one effect sample into the stream: a + e, less their product
// scaled down, so two loud sounds compress instead of adding, and clamped to
// 16 bits so two full-scale samples give 32767, not a wrapped negative value.
#pragma once

#include <algorithm>
#include <cstdint>

inline std::int16_t MixSample(int a, int e) {
  const int mixed = a + e - (((e >> 2) * (a >> 2)) >> 14);
  return static_cast<std::int16_t>(std::clamp(mixed, -32768, 32767));
}
