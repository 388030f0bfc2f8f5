// The rectangle fills and the blend of the 16-bit display device. Fills
// write two pixels per 32-bit word; a pixel left over at either edge is
// written on its own, so the rectangle is exact.
#include <algorithm>
#include <cstring>

#include "display/display_s16.h"

namespace {

struct Span {
  LONG left, top, right, bottom;
};

// The rectangle with its left and top edges cut at 0; false when empty.
bool Normalise(const ssRect& rect, Span& s) {
  s = Span{std::max<LONG>(rect.left, 0), std::max<LONG>(rect.top, 0), rect.right, rect.bottom};
  return s.left < s.right && s.top < s.bottom;
}

std::uint16_t* Row16(void* surface, LONG y, int pitch) {
  return reinterpret_cast<std::uint16_t*>(static_cast<BYTE*>(surface) + static_cast<std::ptrdiff_t>(y) * pitch);
}

// One row: pixel x takes the low half of `word` when x is even, the high
// half when it is odd, as a word store at an even pixel would.
void FillRow(std::uint16_t* row, LONG left, LONG right, std::uint32_t word) {
  LONG x = left;
  if (x & 1) {
    row[x] = static_cast<std::uint16_t>(word >> 16);
    ++x;
  }
  for (; x + 1 < right; x += 2) std::memcpy(row + x, &word, 4);
  if (x < right) row[x] = static_cast<std::uint16_t>(word);
}

}  // namespace

void ssDisplayS16::FillRect16(void* surface, const ssRect& rect, std::uint32_t pixel, int pitch) {
  Span s;
  if (surface == nullptr || !Normalise(rect, s)) return;
  const std::uint32_t word = (pixel & 0xFFFF) | (pixel << 16);
  for (LONG y = s.top; y < s.bottom; ++y) FillRow(Row16(surface, y, pitch), s.left, s.right, word);
}

int ssDisplayS16::FillRectRaw(void* surface, const ssRect& rect, std::uint32_t pattern, int pitch) {
  Span s;
  if (surface == nullptr || !Normalise(rect, s)) return 0;
  const std::uint32_t swapped = (pattern >> 16) | (pattern << 16);
  for (LONG y = s.top; y < s.bottom; ++y) {
    // Rows keep their phase from the rectangle's own top edge.
    FillRow(Row16(surface, y, pitch), s.left, s.right, ((y - rect.top) & 1) ? swapped : pattern);
  }
  return 0;
}

void ssDisplayS16::BlendRect(void* surface, const ssRect& rect, std::uint32_t pixel, int pitch) const {
  Span s;
  if (surface == nullptr || !Normalise(rect, s)) return;
  // The pixel spread into a 32-bit word with room above each channel, so
  // one multiply moves all three channels; 64-bit products keep the signed
  // differences exact.
  const bool rgb444 = m_Depth == 12;
  const std::uint32_t mask = rgb444 ? 0x00F00F0Fu : 0x07E0F81Fu;
  const int shift = rgb444 ? 4 : 5;
  const std::int64_t factor = rgb444 ? 9 : 18;
  auto spread = [&](std::uint32_t p) { return (p | (p << 16)) & mask; };
  const std::int64_t target = spread(pixel & 0xFFFF);
  for (LONG y = s.top; y < s.bottom; ++y) {
    std::uint16_t* row = Row16(surface, y, pitch);
    for (LONG x = s.left; x < s.right; ++x) {
      const std::int64_t p = spread(row[x]);
      const auto mixed = static_cast<std::uint32_t>(p + (((target - p) * factor) >> shift)) & mask;
      row[x] = static_cast<std::uint16_t>(mixed | (mixed >> 16));
    }
  }
}

void ssDisplayS16::FillRect8(void* surface, const ssRect& rect, std::uint8_t value, int pitch) {
  Span s;
  if (surface == nullptr || !Normalise(rect, s)) return;
  for (LONG y = s.top; y < s.bottom; ++y) {
    std::memset(static_cast<BYTE*>(surface) + static_cast<std::ptrdiff_t>(y) * pitch + s.left, value,
                static_cast<std::size_t>(s.right - s.left));
  }
}
