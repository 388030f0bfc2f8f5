// Uncompressed BMP files for the build's picture makers and the tests:
// rows stored bottom-up as the format has them, each padded to four bytes.
#pragma once

#include <cstdint>
#include <string>

namespace ks::runtime {

// The resolution the header states, in pixels per metre (72 and 96 DPI).
inline constexpr std::uint32_t kBmp72Dpi = 2835;
inline constexpr std::uint32_t kBmp96Dpi = 3780;

// A 24-bit BMP of `pixels` (rows from the top, each 0xRRGGBB).
std::string EncodeBmp24(int width, int height, const std::uint32_t* pixels, std::uint32_t pixelsPerMetre);

// An 8-bit BMP of grey levels (rows from the top), with the 256 greys as
// its colour table.
std::string EncodeBmp8Grey(int width, int height, const std::uint8_t* levels, std::uint32_t pixelsPerMetre);

}  // namespace ks::runtime
