#include "audio/file_reader.h"

namespace audio {

std::uint32_t seconds_to_count(double value) {
  // Comparisons are false for NaN, so NaN falls to 0 as well.
  if (!(value > 0.0)) return 0;
  if (value >= 4294967295.0) return 0xFFFFFFFFu;
  return static_cast<std::uint32_t>(value);
}

}  // namespace audio
