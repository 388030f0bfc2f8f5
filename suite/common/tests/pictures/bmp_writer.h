// Uncompressed 24-bit BMP files for the suite's pictures: made by the
// build's picture makers for resources and by the tests for files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace suite_test {

inline void PutLittleEndian(std::string& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// A 24-bit BMP of `pixels` (rows from the top, each 0xRRGGBB), stored
// bottom-up as the format has it.
inline std::string MakeBmp24(int width, int height, const std::uint32_t* pixels) {
  const std::uint32_t stride = (static_cast<std::uint32_t>(width) * 3 + 3) & ~3u;
  const std::uint32_t size = stride * static_cast<std::uint32_t>(height);
  std::string out = "BM";
  PutLittleEndian(out, 54 + size, 4);
  PutLittleEndian(out, 0, 4);
  PutLittleEndian(out, 54, 4);
  PutLittleEndian(out, 40, 4);
  PutLittleEndian(out, static_cast<std::uint32_t>(width), 4);
  PutLittleEndian(out, static_cast<std::uint32_t>(height), 4);
  PutLittleEndian(out, 1, 2);
  PutLittleEndian(out, 24, 2);
  PutLittleEndian(out, 0, 4);
  PutLittleEndian(out, size, 4);
  PutLittleEndian(out, 3780, 4);
  PutLittleEndian(out, 3780, 4);
  PutLittleEndian(out, 0, 4);
  PutLittleEndian(out, 0, 4);
  for (int y = height - 1; y >= 0; --y) {
    for (int x = 0; x < width; ++x) PutLittleEndian(out, pixels[static_cast<std::size_t>(y) * width + x], 3);
    for (std::uint32_t pad = static_cast<std::uint32_t>(width) * 3; pad < stride; ++pad) out.push_back('\0');
  }
  return out;
}

inline std::string MakeBmp(int width, int height, std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  const std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height),
                                          (std::uint32_t{red} << 16) | (std::uint32_t{green} << 8) | blue);
  return MakeBmp24(width, height, pixels.data());
}

}  // namespace suite_test
