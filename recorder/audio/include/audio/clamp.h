// A small numeric helper shared by the stages.
#pragma once

namespace audio {

// `low` when x < low, otherwise `high` when x > high, otherwise x.
inline double clamp_double(double x, double low, double high) {
  if (x < low) return low;
  if (x > high) return high;
  return x;
}

}  // namespace audio
