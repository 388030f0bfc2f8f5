// What the headless speaker has played by a moment of the platform clock,
// from its own record of the buffers it began: each buffer begun by then
// counts whole if it has ended, the one under way as far as the clock has
// gone. The truth a playback display is held to.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "ce/testing.h"

namespace ce::test {

inline double SpeakerSeconds(const std::vector<ce::testing::PlayedBuffer>& played, std::uint64_t now_ms) {
  double seconds = 0.0;
  for (const ce::testing::PlayedBuffer& buffer : played) {
    const std::uint32_t frame = buffer.format.channels * buffer.format.bits / 8;
    if (frame == 0 || buffer.format.rate == 0 || buffer.startMs > now_ms) continue;
    const double length = static_cast<double>(buffer.bytes.size() / frame) / buffer.format.rate;
    seconds += std::min(length, static_cast<double>(now_ms - buffer.startMs) / 1000.0);
  }
  return seconds;
}

}  // namespace ce::test
