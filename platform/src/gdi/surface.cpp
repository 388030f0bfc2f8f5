#include "gdi/surface.h"

#include <bit>
#include <cstring>

namespace ce::gdi {
namespace {

Channel MakeChannel(DWORD mask) {
  Channel c;
  c.mask = mask;
  if (mask != 0) {
    c.shift = std::countr_zero(mask);
    c.bits = std::popcount(mask);
  }
  return c;
}

bool Contiguous(DWORD mask) {
  if (mask == 0) return false;
  const DWORD shifted = mask >> std::countr_zero(mask);
  return (shifted & (shifted + 1)) == 0;
}

// Widens a channel value of `bits` bits to 8 bits by repeating its bits.
BYTE Widen(DWORD value, int bits) {
  if (bits <= 0) return 0;
  if (bits >= 8) return static_cast<BYTE>(value >> (bits - 8));
  DWORD out = 0;
  int filled = 0;
  while (filled < 8) {
    out = (out << bits) | value;
    filled += bits;
  }
  return static_cast<BYTE>(out >> (filled - 8));
}

DWORD Narrow(BYTE value, int bits) {
  if (bits >= 8) return static_cast<DWORD>(value) << (bits - 8);
  return static_cast<DWORD>(value) >> (8 - bits);
}

}  // namespace

std::shared_ptr<const PixelFormat> PixelFormat::Direct(int bitsPerPixel, DWORD red, DWORD green, DWORD blue) {
  auto format = std::make_shared<PixelFormat>();
  format->bitsPerPixel_ = bitsPerPixel;
  if (bitsPerPixel == 24) {
    red = 0xFF0000;
    green = 0x00FF00;
    blue = 0x0000FF;
  }
  format->channels_ = {MakeChannel(red), MakeChannel(green), MakeChannel(blue)};
  const DWORD limit = bitsPerPixel >= 32 ? 0xFFFFFFFFu : (1u << bitsPerPixel) - 1u;
  format->valid_ = (bitsPerPixel == 16 || bitsPerPixel == 24 || bitsPerPixel == 32) && Contiguous(red) &&
                   Contiguous(green) && Contiguous(blue) && (red & green) == 0 && (red & blue) == 0 &&
                   (green & blue) == 0 && ((red | green | blue) & ~limit) == 0;
  return format;
}

std::shared_ptr<const PixelFormat> PixelFormat::Indexed(int bitsPerPixel, std::vector<RGBQUAD> table) {
  auto format = std::make_shared<PixelFormat>();
  format->bitsPerPixel_ = bitsPerPixel;
  format->valid_ = (bitsPerPixel == 1 || bitsPerPixel == 4 || bitsPerPixel == 8) && !table.empty() &&
                   table.size() <= (std::size_t{1} << bitsPerPixel);
  format->table_ = std::move(table);
  return format;
}

std::shared_ptr<const PixelFormat> PixelFormat::Monochrome() {
  static const auto* mono =  // never destroyed, like the stock objects
      new std::shared_ptr<const PixelFormat>(Indexed(1, {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}}));
  return *mono;
}

DWORD PixelFormat::FromColor(COLORREF color) const {
  const BYTE r = GetRValue(color);
  const BYTE g = GetGValue(color);
  const BYTE b = GetBValue(color);
  if (indexed()) {
    DWORD best = 0;
    long bestDistance = -1;
    for (std::size_t i = 0; i < table_.size(); ++i) {
      const long dr = long{table_[i].rgbRed} - r;
      const long dg = long{table_[i].rgbGreen} - g;
      const long db = long{table_[i].rgbBlue} - b;
      const long distance = dr * dr + dg * dg + db * db;
      if (bestDistance < 0 || distance < bestDistance) {
        best = static_cast<DWORD>(i);
        bestDistance = distance;
        if (distance == 0) break;
      }
    }
    return best;
  }
  const BYTE values[3] = {r, g, b};
  DWORD pixel = 0;
  for (int i = 0; i < 3; ++i) pixel |= (Narrow(values[i], channels_[i].bits) << channels_[i].shift) & channels_[i].mask;
  return pixel;
}

COLORREF PixelFormat::ToColor(DWORD pixel) const {
  if (indexed()) {
    if (pixel >= table_.size()) return RGB(0, 0, 0);
    const RGBQUAD& q = table_[pixel];
    return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
  }
  BYTE values[3];
  for (int i = 0; i < 3; ++i) values[i] = Widen((pixel & channels_[i].mask) >> channels_[i].shift, channels_[i].bits);
  return RGB(values[0], values[1], values[2]);
}

bool PixelFormat::SameAs(const PixelFormat& other) const {
  if (this == &other) return true;
  if (bitsPerPixel_ != other.bitsPerPixel_) return false;
  if (indexed()) {
    if (table_.size() != other.table_.size()) return false;
    return std::memcmp(table_.data(), other.table_.data(), table_.size() * sizeof(RGBQUAD)) == 0;
  }
  for (int i = 0; i < 3; ++i) {
    if (channels_[i].mask != other.channels_[i].mask) return false;
  }
  return true;
}

DWORD Surface::Read(int x, int y) const {
  const int bpp = format->bitsPerPixel();
  const BYTE* row = origin + y * rowStep;
  switch (bpp) {
    case 1:
      return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    case 4:
      return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xFu;
    case 8:
      return row[x * colStep];
    case 16: {
      std::uint16_t v;
      std::memcpy(&v, row + x * colStep, 2);
      return v;
    }
    case 24: {
      const BYTE* p = row + x * colStep;
      return p[0] | (DWORD{p[1]} << 8) | (DWORD{p[2]} << 16);
    }
    default: {
      DWORD v;
      std::memcpy(&v, row + x * colStep, 4);
      return v;
    }
  }
}

void Surface::Write(int x, int y, DWORD value) const {
  const int bpp = format->bitsPerPixel();
  BYTE* row = origin + y * rowStep;
  switch (bpp) {
    case 1: {
      const BYTE bit = static_cast<BYTE>(0x80u >> (x & 7));
      row[x >> 3] = static_cast<BYTE>((value & 1) ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit));
      break;
    }
    case 4: {
      BYTE& b = row[x >> 1];
      b = (x & 1) ? static_cast<BYTE>((b & 0xF0) | (value & 0xF))
                  : static_cast<BYTE>((b & 0x0F) | ((value & 0xF) << 4));
      break;
    }
    case 8:
      row[x * colStep] = static_cast<BYTE>(value);
      break;
    case 16: {
      const auto v = static_cast<std::uint16_t>(value);
      std::memcpy(row + x * colStep, &v, 2);
      break;
    }
    case 24: {
      BYTE* p = row + x * colStep;
      p[0] = static_cast<BYTE>(value);
      p[1] = static_cast<BYTE>(value >> 8);
      p[2] = static_cast<BYTE>(value >> 16);
      break;
    }
    default:
      std::memcpy(row + x * colStep, &value, 4);
      break;
  }
}

DWORD ApplyRop(DWORD rop, DWORD pattern, DWORD source, DWORD dest, DWORD mask) {
  const DWORD table = (rop >> 16) & 0xFF;
  DWORD result;
  switch (table) {
    case 0xCC:
      result = source;
      break;
    case 0x88:
      result = source & dest;
      break;
    case 0xEE:
      result = source | dest;
      break;
    case 0x33:
      result = ~source;
      break;
    case 0x66:
      result = source ^ dest;
      break;
    case 0xF0:
      result = pattern;
      break;
    case 0x55:
      result = ~dest;
      break;
    case 0x00:
      result = 0;
      break;
    case 0xFF:
      result = ~0u;
      break;
    default: {
      // Each set bit of the table names one combination of pattern, source
      // and destination bits (bit number = 4p + 2s + d) that yields a 1.
      result = 0;
      for (int bit = 0; bit < 8; ++bit) {
        if ((table >> bit) & 1) {
          result |= ((bit & 4) ? pattern : ~pattern) & ((bit & 2) ? source : ~source) & ((bit & 1) ? dest : ~dest);
        }
      }
    }
  }
  return result & mask;
}

bool RopUsesSource(DWORD rop) {
  const DWORD table = (rop >> 16) & 0xFF;
  return (((table >> 2) ^ table) & 0x33) != 0;
}

bool RopUsesPattern(DWORD rop) {
  const DWORD table = (rop >> 16) & 0xFF;
  return (((table >> 4) ^ table) & 0x0F) != 0;
}

}  // namespace ce::gdi
