// Image files made in memory for the decoder's tests, fuzz seeds and
// benchmark, over a picture whose every pixel is known.
#pragma once

#include <cstdint>
#include <vector>

namespace ce::imaging::testkit {

// The eight colours with channels of 0 or 255 (exact at every depth), as
// 0x00RRGGBB; the pattern's pixel (x, y) is colour (x + 3y) mod n, where n
// is 2, 4 or 8 for pictures of 1, 2 or more bits of colour.
std::uint32_t PatternColour(int index);
std::uint32_t PatternPixel(int x, int y, int colours = 8);

struct BmpOptions {
  int bitCount = 24;  // 1, 4, 8, 16, 24 or 32
  bool topDown = false;
  bool bitfields = false;  // 16 and 32 bits: BI_BITFIELDS (5-6-5, 8-8-8)
};
// The pattern (1 bit: two colours; 4 and 8 bits: all eight through the
// colour table).
std::vector<std::uint8_t> EncodeBmp(int width, int height, const BmpOptions& options);

// A 4 x 2 RLE8 picture of two colours, black (0) and white (1): the
// bottom row (stored first) is white, white, black, black, through two
// runs; the top row is white, black, white, black, through a literal run.
std::vector<std::uint8_t> Rle8Sample();
// The same colours in RLE4, rows the other way round: the bottom row is
// white, black, white, black, through one run of two alternating colours;
// the top row white, white, black, black, through a literal run.
std::vector<std::uint8_t> Rle4Sample();

// The pattern as a GIF of eight colours; `transparent` (-1: none) is the
// index given as the transparent colour.
std::vector<std::uint8_t> EncodeGif(int width, int height, bool interlace, int transparent = -1);

// Four flat quadrants: red, green, blue and white (top left, top right,
// bottom left, bottom right).
std::vector<std::uint8_t> EncodeJpeg(int width, int height);
std::uint32_t QuadrantPixel(int x, int y, int width, int height);

}  // namespace ce::imaging::testkit
