#include "runtime/bmp_writer.h"

#include <cstddef>

#include "runtime/le_bytes.h"

namespace ks::runtime {

namespace {

// The file and info headers and the colour table of `colours` greys.
std::string Headers(int width, int height, int bits, std::uint32_t colours, std::uint32_t pixelsPerMetre,
                    std::uint32_t stride) {
  const std::uint32_t offset = 14 + 40 + colours * 4;
  const std::uint32_t size = stride * static_cast<std::uint32_t>(height);
  std::string out = "BM";
  AppendLe(out, offset + size, 4);
  AppendLe(out, 0, 4);
  AppendLe(out, offset, 4);
  AppendLe(out, 40, 4);
  AppendLe(out, static_cast<std::uint32_t>(width), 4);
  AppendLe(out, static_cast<std::uint32_t>(height), 4);
  AppendLe(out, 1, 2);
  AppendLe(out, static_cast<std::uint32_t>(bits), 2);
  AppendLe(out, 0, 4);  // BI_RGB
  AppendLe(out, size, 4);
  AppendLe(out, pixelsPerMetre, 4);
  AppendLe(out, pixelsPerMetre, 4);
  AppendLe(out, colours, 4);
  AppendLe(out, 0, 4);
  for (std::uint32_t i = 0; i < colours; ++i) AppendLe(out, i | (i << 8) | (i << 16), 4);
  return out;
}

std::uint32_t Stride(int width, int bits) { return (static_cast<std::uint32_t>(bits * width) + 31) / 32 * 4; }

}  // namespace

std::string EncodeBmp24(int width, int height, const std::uint32_t* pixels, std::uint32_t pixelsPerMetre) {
  const std::uint32_t stride = Stride(width, 24);
  std::string out = Headers(width, height, 24, 0, pixelsPerMetre, stride);
  for (int y = height - 1; y >= 0; --y) {
    const std::size_t row = out.size();
    for (int x = 0; x < width; ++x) AppendLe(out, pixels[static_cast<std::size_t>(y) * width + x], 3);
    out.resize(row + stride, '\0');
  }
  return out;
}

std::string EncodeBmp8Grey(int width, int height, const std::uint8_t* levels, std::uint32_t pixelsPerMetre) {
  const std::uint32_t stride = Stride(width, 8);
  std::string out = Headers(width, height, 8, 256, pixelsPerMetre, stride);
  for (int y = height - 1; y >= 0; --y) {
    const std::size_t row = out.size();
    for (int x = 0; x < width; ++x) out.push_back(static_cast<char>(levels[static_cast<std::size_t>(y) * width + x]));
    out.resize(row + stride, '\0');
  }
  return out;
}

}  // namespace ks::runtime
