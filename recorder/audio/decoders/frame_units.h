// Sample-frame units shared by the readers that decode by themselves
// (Musepack and Ogg Vorbis).
#pragma once

#include <cstdint>

#include "audio/file_reader.h"
#include "audio/link.h"

namespace audio::frame_units {

inline std::uint32_t to_units(std::uint32_t rate, double seconds) { return seconds_to_count(rate * seconds); }

inline double to_time(std::uint32_t rate, std::uint32_t frames) {
  return rate == 0 ? 0.0 : static_cast<double>(frames) / rate;
}

// Pulls `frames` sample frames from the reader itself and pushes them to its
// consumer; false when the stream ends first.
inline bool read(Provider<PCMData>& self, bool open, std::uint32_t frames) {
  if (!open) return false;
  while (frames > 0) {
    PCMData block;
    self.get_data(block, frames);
    const std::uint32_t got = block.get_frames();
    if (got == 0) return false;
    self.push(block);
    frames -= got < frames ? got : frames;
  }
  return true;
}

}  // namespace audio::frame_units
