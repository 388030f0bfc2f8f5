// Uncompressed 24-bit BMP files for the suite's tests, at 96 DPI, through
// the shared BMP writer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/bmp_writer.h"

namespace suite_test {

// A 24-bit BMP of `pixels` (rows from the top, each 0xRRGGBB).
inline std::string MakeBmp24(int width, int height, const std::uint32_t* pixels) {
  return ks::runtime::EncodeBmp24(width, height, pixels, ks::runtime::kBmp96Dpi);
}

inline std::string MakeBmp(int width, int height, std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  const std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height),
                                          (std::uint32_t{red} << 16) | (std::uint32_t{green} << 8) | blue);
  return MakeBmp24(width, height, pixels.data());
}

}  // namespace suite_test
