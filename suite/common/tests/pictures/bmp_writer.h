// Uncompressed 24-bit BMP files of one colour, for the suite's test
// pictures: made by the build for resources and by the tests for files.
#pragma once

#include <cstdint>
#include <string>

namespace suite_test {

inline void PutLittleEndian(std::string& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

inline std::string MakeBmp(int width, int height, std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  const std::uint32_t stride = (static_cast<std::uint32_t>(width) * 3 + 3) & ~3u;
  const std::uint32_t pixels = stride * static_cast<std::uint32_t>(height);
  std::string out = "BM";
  PutLittleEndian(out, 54 + pixels, 4);
  PutLittleEndian(out, 0, 4);
  PutLittleEndian(out, 54, 4);
  PutLittleEndian(out, 40, 4);
  PutLittleEndian(out, static_cast<std::uint32_t>(width), 4);
  PutLittleEndian(out, static_cast<std::uint32_t>(height), 4);
  PutLittleEndian(out, 1, 2);
  PutLittleEndian(out, 24, 2);
  PutLittleEndian(out, 0, 4);
  PutLittleEndian(out, pixels, 4);
  PutLittleEndian(out, 3780, 4);
  PutLittleEndian(out, 3780, 4);
  PutLittleEndian(out, 0, 4);
  PutLittleEndian(out, 0, 4);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      out.push_back(static_cast<char>(blue));
      out.push_back(static_cast<char>(green));
      out.push_back(static_cast<char>(red));
    }
    for (std::uint32_t pad = static_cast<std::uint32_t>(width) * 3; pad < stride; ++pad) out.push_back('\0');
  }
  return out;
}

}  // namespace suite_test
