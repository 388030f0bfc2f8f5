#include "gdi/rows.h"

#include <cstdint>
#include <cstring>

namespace ce::gdi {
namespace {

bool HasMasks(const PixelFormat& f, DWORD red, DWORD green, DWORD blue) {
  const auto& c = f.channels();
  return !f.indexed() && c[0].mask == red && c[1].mask == green && c[2].mask == blue;
}

bool IsX888(const PixelFormat& f) {
  return (f.bitsPerPixel() == 24 || f.bitsPerPixel() == 32) && HasMasks(f, 0xFF0000, 0x00FF00, 0x0000FF);
}

bool IsRgb565(const PixelFormat& f) { return f.bitsPerPixel() == 16 && HasMasks(f, 0xF800, 0x07E0, 0x001F); }

// Per-channel tables for a pair of direct formats: for the top 8 bits of
// one source channel, that channel's part of the destination pixel. The
// channels convert independently, so OR-ing the three parts is the whole
// conversion. A few pairs are in use at a time; they are kept.
struct ChannelTables {
  int sourceBits = 0;
  int destBits = 0;
  std::array<DWORD, 3> sourceMasks{};
  std::array<DWORD, 3> destMasks{};
  std::array<std::array<DWORD, 256>, 3> tables{};
};

int TopShift(const Channel& c) { return c.shift + (c.bits > 8 ? c.bits - 8 : 0); }

const std::array<std::array<DWORD, 256>, 3>& TablesFor(const PixelFormat& source, const PixelFormat& dest) {
  static std::array<ChannelTables, 4> cache;
  static std::size_t used = 0;
  static std::size_t next = 0;
  std::array<DWORD, 3> sourceMasks{};
  std::array<DWORD, 3> destMasks{};
  for (int i = 0; i < 3; ++i) {
    sourceMasks[i] = source.channels()[i].mask;
    destMasks[i] = dest.channels()[i].mask;
  }
  for (std::size_t n = 0; n < used; ++n) {
    const ChannelTables& t = cache[n];
    if (t.sourceBits == source.bitsPerPixel() && t.destBits == dest.bitsPerPixel() && t.sourceMasks == sourceMasks &&
        t.destMasks == destMasks) {
      return t.tables;
    }
  }
  ChannelTables& t = cache[next];
  next = (next + 1) % cache.size();
  if (used < cache.size()) ++used;
  t.sourceBits = source.bitsPerPixel();
  t.destBits = dest.bitsPerPixel();
  t.sourceMasks = sourceMasks;
  t.destMasks = destMasks;
  for (int i = 0; i < 3; ++i) {
    const Channel& c = source.channels()[i];
    const int shift = TopShift(c);
    const DWORD limit = c.bits >= 8 ? 256u : (1u << c.bits);
    for (DWORD v = 0; v < 256; ++v) {
      // A pixel with only this channel set: the others stay 0 both ways.
      t.tables[i][v] = v < limit ? dest.FromColor(source.ToColor((v << shift) & c.mask)) : 0;
    }
  }
  return t.tables;
}

template <typename Read>
void Gather(const BYTE* row, std::ptrdiff_t step, const int* columns, std::size_t count, DWORD* out, Read read) {
  for (std::size_t k = 0; k < count; ++k) out[k] = read(row + columns[k] * step);
}

DWORD Load16(const BYTE* p) {
  std::uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}
DWORD Load24(const BYTE* p) { return p[0] | (DWORD{p[1]} << 8) | (DWORD{p[2]} << 16); }
DWORD Load32(const BYTE* p) {
  DWORD v;
  std::memcpy(&v, p, 4);
  return v;
}

template <typename Op>
void Combine(const DWORD* source, DWORD* dest, std::size_t count, DWORD mask, Op op) {
  for (std::size_t k = 0; k < count; ++k) dest[k] = op(source != nullptr ? source[k] : 0u, dest[k]) & mask;
}

}  // namespace

RowConverter::RowConverter(const PixelFormat& source, const PixelFormat& dest) : source_(source), dest_(dest) {
  if (dest.SameAs(source)) {
    kind_ = Kind::Same;
  } else if (source.indexed()) {
    kind_ = Kind::Table;
    const std::size_t size = std::size_t{1} << source.bitsPerPixel();
    for (std::size_t v = 0; v < size; ++v) table_[v] = dest.FromColor(source.ToColor(static_cast<DWORD>(v)));
  } else if (dest.indexed()) {
    kind_ = Kind::Generic;  // nearest table entry: no shortcut
  } else if (IsX888(source) && IsRgb565(dest)) {
    kind_ = Kind::Rgb565FromX888;
  } else if (IsRgb565(source) && IsX888(dest)) {
    kind_ = Kind::X888FromRgb565;
  } else {
    kind_ = Kind::Channels;
    channels_ = &TablesFor(source, dest);
    for (int i = 0; i < 3; ++i) {
      shift_[i] = TopShift(source.channels()[i]);
      mask_[i] = source.channels()[i].mask;
    }
  }
}

void RowConverter::Convert(DWORD* values, std::size_t count) const {
  switch (kind_) {
    case Kind::Same:
      break;
    case Kind::Table:
      for (std::size_t k = 0; k < count; ++k) values[k] = table_[values[k] & 0xFF];
      break;
    case Kind::Rgb565FromX888:
      for (std::size_t k = 0; k < count; ++k) {
        const DWORD p = values[k];
        values[k] = ((p >> 8) & 0xF800) | ((p >> 5) & 0x07E0) | ((p >> 3) & 0x001F);
      }
      break;
    case Kind::X888FromRgb565:
      for (std::size_t k = 0; k < count; ++k) {
        const DWORD p = values[k];
        const DWORD r = (p >> 11) & 0x1F;
        const DWORD g = (p >> 5) & 0x3F;
        const DWORD b = p & 0x1F;
        values[k] = (((r << 3) | (r >> 2)) << 16) | (((g << 2) | (g >> 4)) << 8) | ((b << 3) | (b >> 2));
      }
      break;
    case Kind::Channels: {
      const auto& t = *channels_;
      for (std::size_t k = 0; k < count; ++k) {
        const DWORD p = values[k];
        values[k] = t[0][((p & mask_[0]) >> shift_[0]) & 0xFF] | t[1][((p & mask_[1]) >> shift_[1]) & 0xFF] |
                    t[2][((p & mask_[2]) >> shift_[2]) & 0xFF];
      }
      break;
    }
    case Kind::Generic:
      for (std::size_t k = 0; k < count; ++k) values[k] = dest_.FromColor(source_.ToColor(values[k]));
      break;
  }
}

void ReadRow(const Surface& surface, int y, const int* columns, std::size_t count, DWORD* out) {
  const BYTE* row = surface.origin + y * surface.rowStep;
  const std::ptrdiff_t step = surface.colStep;
  switch (surface.format->bitsPerPixel()) {
    case 8:
      Gather(row, step, columns, count, out, [](const BYTE* p) { return DWORD{*p}; });
      break;
    case 16:
      Gather(row, step, columns, count, out, Load16);
      break;
    case 24:
      Gather(row, step, columns, count, out, Load24);
      break;
    case 32:
      Gather(row, step, columns, count, out, Load32);
      break;
    default:
      for (std::size_t k = 0; k < count; ++k) out[k] = surface.Read(columns[k], y);
      break;
  }
}

void ReadSpan(const Surface& surface, int x, int y, std::size_t count, DWORD* out) {
  const int bpp = surface.format->bitsPerPixel();
  if (bpp < 8) {
    for (std::size_t k = 0; k < count; ++k) out[k] = surface.Read(x + static_cast<int>(k), y);
    return;
  }
  const BYTE* p = surface.RowAddress(x, y);
  const std::ptrdiff_t step = surface.colStep;
  switch (bpp) {
    case 8:
      for (std::size_t k = 0; k < count; ++k, p += step) out[k] = *p;
      break;
    case 16:
      for (std::size_t k = 0; k < count; ++k, p += step) out[k] = Load16(p);
      break;
    case 24:
      for (std::size_t k = 0; k < count; ++k, p += step) out[k] = Load24(p);
      break;
    default:
      for (std::size_t k = 0; k < count; ++k, p += step) out[k] = Load32(p);
      break;
  }
}

void WriteSpan(const Surface& surface, int x, int y, std::size_t count, const DWORD* values) {
  const int bpp = surface.format->bitsPerPixel();
  if (bpp < 8) {
    for (std::size_t k = 0; k < count; ++k) surface.Write(x + static_cast<int>(k), y, values[k]);
    return;
  }
  BYTE* p = surface.RowAddress(x, y);
  const std::ptrdiff_t step = surface.colStep;
  switch (bpp) {
    case 8:
      for (std::size_t k = 0; k < count; ++k, p += step) *p = static_cast<BYTE>(values[k]);
      break;
    case 16:
      for (std::size_t k = 0; k < count; ++k, p += step) {
        const auto v = static_cast<std::uint16_t>(values[k]);
        std::memcpy(p, &v, 2);
      }
      break;
    case 24:
      for (std::size_t k = 0; k < count; ++k, p += step) {
        p[0] = static_cast<BYTE>(values[k]);
        p[1] = static_cast<BYTE>(values[k] >> 8);
        p[2] = static_cast<BYTE>(values[k] >> 16);
      }
      break;
    default:
      for (std::size_t k = 0; k < count; ++k, p += step) std::memcpy(p, &values[k], 4);
      break;
  }
}

void CombineRow(DWORD rop, DWORD pattern, const DWORD* source, DWORD* dest, std::size_t count, DWORD mask) {
  switch ((rop >> 16) & 0xFF) {
    case 0xCC:
      Combine(source, dest, count, mask, [](DWORD s, DWORD) { return s; });
      break;
    case 0x88:
      Combine(source, dest, count, mask, [](DWORD s, DWORD d) { return s & d; });
      break;
    case 0xEE:
      Combine(source, dest, count, mask, [](DWORD s, DWORD d) { return s | d; });
      break;
    case 0x66:
      Combine(source, dest, count, mask, [](DWORD s, DWORD d) { return s ^ d; });
      break;
    case 0x33:
      Combine(source, dest, count, mask, [](DWORD s, DWORD) { return ~s; });
      break;
    case 0xF0:
      Combine(source, dest, count, mask, [pattern](DWORD, DWORD) { return pattern; });
      break;
    case 0x55:
      Combine(source, dest, count, mask, [](DWORD, DWORD d) { return ~d; });
      break;
    default:
      for (std::size_t k = 0; k < count; ++k) {
        dest[k] = ApplyRop(rop, pattern, source != nullptr ? source[k] : 0u, dest[k], mask);
      }
      break;
  }
}

bool RopUsesDest(DWORD rop) {
  const DWORD table = (rop >> 16) & 0xFF;
  return (((table >> 1) ^ table) & 0x55) != 0;
}

}  // namespace ce::gdi
