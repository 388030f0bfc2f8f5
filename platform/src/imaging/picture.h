// The decoders' common ground: a picture as rows of 0x00RRGGBB pixels, and
// the limits every decoder holds its input to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ce::imaging {

// No side longer, and no picture larger, is decoded: the limits keep a
// hostile header from asking for gigabytes.
inline constexpr std::uint32_t kMaxSide = 32767;
inline constexpr std::uint64_t kMaxPixels = 1u << 24;

struct Picture {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint32_t> pixels;  // width * height, top row first

  // Sizes the picture, or false when the size is out of the limits.
  bool Allocate(std::uint64_t w, std::uint64_t h) {
    if (w == 0 || h == 0 || w > kMaxSide || h > kMaxSide || w * h > kMaxPixels) return false;
    width = static_cast<std::uint32_t>(w);
    height = static_cast<std::uint32_t>(h);
    pixels.assign(static_cast<std::size_t>(w * h), 0);
    return true;
  }
  std::uint32_t* Row(std::uint32_t y) { return pixels.data() + static_cast<std::size_t>(y) * width; }
};

// Each decoder reads a whole file held in memory and fills the picture;
// false for data it cannot read (corrupt, truncated, out of the limits).
bool DecodeBmp(const std::uint8_t* data, std::size_t size, Picture& out);
// `background` (0x00RRGGBB, or kUseGifBackground) fills transparent pixels
// and the screen outside the picture.
inline constexpr std::uint32_t kUseGifBackground = 0xFFFFFFFF;
bool DecodeGif(const std::uint8_t* data, std::size_t size, std::uint32_t background, Picture& out);
bool DecodeJpeg(const std::uint8_t* data, std::size_t size, Picture& out);

}  // namespace ce::imaging
