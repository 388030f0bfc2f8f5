// BMP files: the 12-byte core header and the 40-byte (and longer) info
// headers; 1, 4 and 8 bits through a colour table, 16, 24 and 32 bits
// direct (BI_RGB or BI_BITFIELDS), RLE8 and RLE4; rows bottom-up or
// top-down. Every size, offset and count is checked against the file.
#include <bit>
#include <cstring>

#include "picture.h"

namespace ce::imaging {
namespace {

constexpr std::uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3;

std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t U32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// One colour channel of a BI_BITFIELDS pixel, widened to 8 bits.
struct Channel {
  std::uint32_t mask = 0;
  int shift = 0;
  int bits = 0;

  // False for a mask whose bits are not one run.
  bool Set(std::uint32_t m) {
    mask = m;
    if (m == 0) return true;
    shift = std::countr_zero(m);
    bits = std::popcount(m);
    return (m >> shift) == (bits == 32 ? 0xFFFFFFFFu : (1u << bits) - 1);
  }
  std::uint32_t Of(std::uint32_t pixel) const {
    if (mask == 0) return 0;
    const std::uint32_t v = (pixel & mask) >> shift;
    if (bits >= 8) return v >> (bits - 8);
    return v * 255 / ((1u << bits) - 1);
  }
};

struct Header {
  std::int64_t width = 0;
  std::int64_t height = 0;  // negative: top-down
  int bitCount = 0;
  std::uint32_t compression = kRgb;
  std::uint32_t colorsUsed = 0;
  std::uint32_t headerSize = 0;
};

// Expands indexed RLE data (RLE8 or RLE4) into the picture; rows are
// bottom-up. Pixels the data skips stay at the first colour.
bool DecodeRle(const std::uint8_t* p, std::size_t size, bool four, const std::vector<std::uint32_t>& palette,
               Picture& out) {
  const auto colour = [&](std::uint32_t index) { return index < palette.size() ? palette[index] : 0u; };
  std::uint64_t x = 0, row = 0;  // row counts from the bottom
  std::size_t i = 0;
  const auto put = [&](std::uint32_t index) {
    if (x < out.width && row < out.height) out.Row(out.height - 1 - row)[x] = colour(index);
    ++x;
  };
  while (i + 2 <= size) {
    const std::uint8_t count = p[i], value = p[i + 1];
    i += 2;
    if (count > 0) {
      for (std::uint32_t k = 0; k < count; ++k) put(four ? ((k & 1) ? value & 0x0F : value >> 4) : value);
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++row;
    } else if (value == 1) {  // end of picture
      return true;
    } else if (value == 2) {  // move
      if (i + 2 > size) return false;
      x += p[i];
      row += p[i + 1];
      i += 2;
    } else {  // literal run of `value` pixels, padded to 16 bits
      const std::size_t bytes = four ? (value + 1u) / 2 : value;
      if (i + bytes > size) return false;
      for (std::uint32_t k = 0; k < value; ++k) {
        put(four ? ((k & 1) ? p[i + k / 2] & 0x0F : p[i + k / 2] >> 4) : p[i + k]);
      }
      i += (bytes + 1) & ~std::size_t{1};
    }
    if (row > out.height) return false;
  }
  // Data that ends without the end-of-picture mark is cut short.
  return false;
}

}  // namespace

bool DecodeBmp(const std::uint8_t* data, std::size_t size, Picture& out) {
  if (size < 14 + 12 || data[0] != 'B' || data[1] != 'M') return false;
  const std::uint32_t offBits = U32(data + 10);
  const std::uint8_t* info = data + 14;
  Header h;
  h.headerSize = U32(info);
  std::size_t tableEntry = 4;
  if (h.headerSize == 12) {
    h.width = U16(info + 4);
    h.height = static_cast<std::int16_t>(U16(info + 6));
    if (U16(info + 8) != 1) return false;
    h.bitCount = U16(info + 10);
    tableEntry = 3;
  } else if (h.headerSize >= 40 && h.headerSize <= 124) {
    if (size < 14 + std::size_t{h.headerSize}) return false;
    h.width = static_cast<std::int32_t>(U32(info + 4));
    h.height = static_cast<std::int32_t>(U32(info + 8));
    if (U16(info + 12) != 1) return false;
    h.bitCount = U16(info + 14);
    h.compression = U32(info + 16);
    h.colorsUsed = U32(info + 32);
  } else {
    return false;
  }
  const bool topDown = h.height < 0;
  const std::int64_t height = topDown ? -h.height : h.height;
  if (h.width <= 0 || height == 0) return false;

  std::size_t at = 14 + std::size_t{h.headerSize};
  // Masks of BI_BITFIELDS: inside the longer headers, else right after the
  // 40-byte one.
  Channel red, green, blue;
  const int bpp = h.bitCount;
  switch (h.compression) {
    case kRgb:
      if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return false;
      if (bpp == 16) {
        red.Set(0x7C00), green.Set(0x03E0), blue.Set(0x001F);
      } else if (bpp == 32) {
        red.Set(0xFF0000), green.Set(0xFF00), blue.Set(0xFF);
      }
      break;
    case kRle8:
    case kRle4:
      if (bpp != (h.compression == kRle8 ? 8 : 4) || topDown) return false;
      break;
    case kBitfields: {
      if (bpp != 16 && bpp != 32) return false;
      const std::size_t masks = h.headerSize == 40 ? at : 14 + 40;
      if (masks + 12 > size) return false;
      if (!red.Set(U32(data + masks)) || !green.Set(U32(data + masks + 4)) || !blue.Set(U32(data + masks + 8))) {
        return false;
      }
      if (h.headerSize == 40) at += 12;
      break;
    }
    default:
      return false;
  }

  std::vector<std::uint32_t> palette;
  if (bpp <= 8) {
    const std::uint32_t most = 1u << bpp;
    const std::uint32_t count = h.colorsUsed == 0 || h.headerSize == 12 ? most : h.colorsUsed;
    if (count > most) return false;
    if (at + std::size_t{count} * tableEntry > size) return false;
    palette.resize(count);
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::uint8_t* e = data + at + i * tableEntry;
      palette[i] = static_cast<std::uint32_t>(e[2]) << 16 | static_cast<std::uint32_t>(e[1]) << 8 | e[0];
    }
    at += std::size_t{count} * tableEntry;
  }
  if (offBits < at || offBits > size) return false;
  const std::uint8_t* pixels = data + offBits;
  const std::size_t available = size - offBits;
  const bool rle = h.compression == kRle8 || h.compression == kRle4;
  // Uncompressed rows must all be there before the picture is made.
  const std::uint64_t stride = (static_cast<std::uint64_t>(h.width) * bpp + 31) / 32 * 4;
  if (!rle && stride * static_cast<std::uint64_t>(height) > available) return false;
  if (!out.Allocate(static_cast<std::uint64_t>(h.width), static_cast<std::uint64_t>(height))) return false;

  if (rle) {
    if (palette.empty()) return false;
    std::fill(out.pixels.begin(), out.pixels.end(), palette[0]);
    return DecodeRle(pixels, available, h.compression == kRle4, palette, out);
  }

  const auto colour = [&](std::uint32_t index) { return index < palette.size() ? palette[index] : 0u; };
  const std::uint32_t w = out.width;
  for (std::uint32_t y = 0; y < out.height; ++y) {
    const std::uint8_t* src = pixels + y * stride;
    std::uint32_t* dst = out.Row(topDown ? y : out.height - 1 - y);
    switch (bpp) {
      case 1:
        for (std::uint32_t x = 0; x < w; ++x) dst[x] = colour((src[x >> 3] >> (7 - (x & 7))) & 1);
        break;
      case 4:
        for (std::uint32_t x = 0; x < w; ++x) dst[x] = colour((x & 1) ? src[x >> 1] & 0x0F : src[x >> 1] >> 4);
        break;
      case 8:
        for (std::uint32_t x = 0; x < w; ++x) dst[x] = colour(src[x]);
        break;
      case 24:
        for (std::uint32_t x = 0; x < w; ++x, src += 3) {
          dst[x] = static_cast<std::uint32_t>(src[2]) << 16 | static_cast<std::uint32_t>(src[1]) << 8 | src[0];
        }
        break;
      case 16:
        for (std::uint32_t x = 0; x < w; ++x) {
          const std::uint32_t p = U16(src + 2 * x);
          dst[x] = red.Of(p) << 16 | green.Of(p) << 8 | blue.Of(p);
        }
        break;
      default:  // 32
        for (std::uint32_t x = 0; x < w; ++x) {
          const std::uint32_t p = U32(src + 4 * x);
          dst[x] = red.Of(p) << 16 | green.Of(p) << 8 | blue.Of(p);
        }
        break;
    }
  }
  return true;
}

}  // namespace ce::imaging
