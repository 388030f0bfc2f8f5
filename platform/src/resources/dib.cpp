#include "resources/dib.h"

#include <cstring>

#include "resources/resource_table.h"

namespace ce::resources {
namespace {

constexpr int kMaxSide = 4096;

}  // namespace

std::optional<Dib> ReadDib(std::span<const std::uint8_t> bytes, bool icon) {
  Dib dib{};
  if (bytes.size() < sizeof(BITMAPINFOHEADER)) return std::nullopt;
  std::memcpy(&dib.header, bytes.data(), sizeof dib.header);
  const BITMAPINFOHEADER& h = dib.header;
  if (h.biSize != 40 || h.biPlanes != 1) return std::nullopt;
  const int bpp = h.biBitCount;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return std::nullopt;
  if (!(h.biCompression == BI_RGB || (h.biCompression == BI_BITFIELDS && (bpp == 16 || bpp == 32) && !icon))) {
    return std::nullopt;
  }
  std::int64_t rows = h.biHeight;
  dib.bottomUp = rows > 0;
  if (rows < 0) {
    if (icon) return std::nullopt;
    rows = -rows;
  }
  if (h.biWidth <= 0 || h.biWidth > kMaxSide || rows == 0 || rows > std::int64_t{kMaxSide} * (icon ? 2 : 1)) {
    return std::nullopt;
  }
  if (icon) {
    if (rows % 2) return std::nullopt;
    rows /= 2;
  }
  dib.width = h.biWidth;
  dib.height = static_cast<int>(rows);
  std::size_t tableAt = 40;
  if (h.biCompression == BI_BITFIELDS) tableAt += 12;
  std::size_t colors = 0;
  if (bpp <= 8) {
    colors = h.biClrUsed == 0 ? (std::size_t{1} << bpp) : h.biClrUsed;
    if (colors > (std::size_t{1} << bpp)) return std::nullopt;
  } else if (h.biClrUsed != 0) {
    return std::nullopt;
  }
  const std::size_t pixelsAt = tableAt + colors * 4;
  dib.stride = ((std::size_t(dib.width) * bpp + 31) / 32) * 4;
  std::size_t need = dib.stride * rows;
  if (icon) need += ((std::size_t(dib.width) + 31) / 32) * 4 * rows;
  if (pixelsAt > bytes.size() || bytes.size() - pixelsAt < need) return std::nullopt;
  for (std::size_t i = 0; i < colors; ++i) {
    RGBQUAD c;
    std::memcpy(&c, bytes.data() + tableAt + 4 * i, 4);
    dib.colors.push_back(c);
  }
  dib.infoBytes = bytes.first(pixelsAt);
  dib.pixels = bytes.subspan(pixelsAt, need);
  return dib;
}

RGBQUAD DibPixel(const Dib& dib, int x, int y) {
  const int row = dib.bottomUp ? dib.height - 1 - y : y;
  const std::uint8_t* line = dib.pixels.data() + dib.stride * static_cast<std::size_t>(row);
  const int bpp = dib.header.biBitCount;
  auto indexed = [&](unsigned index) {
    return index < dib.colors.size()
               ? RGBQUAD{dib.colors[index].rgbBlue, dib.colors[index].rgbGreen, dib.colors[index].rgbRed, 255}
               : RGBQUAD{0, 0, 0, 255};
  };
  switch (bpp) {
    case 1:
      return indexed((line[x / 8] >> (7 - x % 8)) & 1);
    case 4:
      return indexed((line[x / 2] >> (x % 2 ? 0 : 4)) & 0xF);
    case 8:
      return indexed(line[x]);
    case 16: {
      const unsigned v = line[2 * x] | (line[2 * x + 1] << 8);
      auto scale = [](unsigned five) { return static_cast<BYTE>((five << 3) | (five >> 2)); };
      return RGBQUAD{scale(v & 0x1F), scale((v >> 5) & 0x1F), scale((v >> 10) & 0x1F), 255};
    }
    case 24:
      return RGBQUAD{line[3 * x], line[3 * x + 1], line[3 * x + 2], 255};
    default:
      return RGBQUAD{line[4 * x], line[4 * x + 1], line[4 * x + 2], line[4 * x + 3]};
  }
}

bool DibMaskSet(const Dib& dib, int x, int y) {
  const std::size_t maskStride = ((std::size_t(dib.width) + 31) / 32) * 4;
  const std::size_t colorBytes = dib.stride * static_cast<std::size_t>(dib.height);
  const std::size_t row = static_cast<std::size_t>(dib.height - 1 - y);  // icons are bottom-up
  return (dib.pixels[colorBytes + maskStride * row + static_cast<std::size_t>(x) / 8] >> (7 - x % 8)) & 1;
}

}  // namespace ce::resources
