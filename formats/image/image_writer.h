// Writers of the game's image files from an RGBA picture: TGA (types 2 and
// 10, 24 or 32 bits, rows bottom first), the palettised picture
// (0x0CAAD001), raw pictures (0xABCD0001-3 with the 52-byte header), packed
// JPEG (0xABCD0004) and bare JPEG; and PNG in and out for the command line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace imgconv {

struct Picture {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> rgba;  // R, G, B, A bytes, top row first
};

std::vector<std::uint8_t> EncodeTga(const Picture& picture, int bits, bool runLength);
// At most 256 distinct colours. Palette entries hold blue in bits 10-14,
// green 5-9 and red 0-4, with bit 15 set for opaque colours; a fully
// transparent pixel uses entry 0 (which then has bit 15 clear).
std::vector<std::uint8_t> EncodePalettised(const Picture& picture, std::string* error);
// magic 0xABCD0001 (32-bit B, G, R, A), 0xABCD0002 (16-bit: ARGB4444 with
// alpha, else RGB565 with black stored as 1), 0xABCD0003 (32-bit B, G, R, A).
std::vector<std::uint8_t> EncodeRaw(const Picture& picture, std::uint32_t magic, bool withAlpha);
std::vector<std::uint8_t> EncodeJpeg(const Picture& picture, int quality);
std::vector<std::uint8_t> EncodePackedJpeg(const Picture& picture, int quality, bool withAlpha);

// The largest picture side the game's formats hold.
constexpr std::uint32_t kMaxSide = 4096;

// Reads a PNG picture of 1 to kMaxSide pixels a side; a bigger declared size
// is refused from the header, before any pixel memory is taken.
bool DecodePng(const std::vector<std::uint8_t>& bytes, Picture* picture, std::string* error);
std::vector<std::uint8_t> EncodePng(const Picture& picture);

}  // namespace imgconv
