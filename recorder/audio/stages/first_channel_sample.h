// How the level meters read a sample frame: only its first channel.
#pragma once

#include <cstdint>
#include <cstring>

namespace audio {

// The first channel's sample of the frame at `frame`: 16-bit samples
// (`wide`) as signed, every other width by its first byte read as unsigned
// 8-bit and centred on 0.
inline int first_channel_sample(const std::uint8_t* frame, bool wide) {
  if (!wide) return static_cast<int>(frame[0]) - 128;
  std::int16_t s;
  std::memcpy(&s, frame, 2);
  return s;
}

}  // namespace audio
