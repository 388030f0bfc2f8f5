// Row-at-a-time pixel work for the blits: reading a row of pixels into
// plain values, converting them between formats, combining them by a raster
// operation and writing them back. Each step picks its loop once per row,
// so no pixel pays for a switch on depth, format or operation.
#pragma once

#include <array>
#include <cstddef>

#include "gdi/surface.h"

namespace ce::gdi {

// Turns pixel values of one format into the values the other format gives
// the same colours, exactly as PixelFormat::FromColor(ToColor(v)) does.
class RowConverter {
 public:
  // Callers hold the GDI lock: the per-channel tables are shared.
  RowConverter(const PixelFormat& source, const PixelFormat& dest);
  void Convert(DWORD* values, std::size_t count) const;

 private:
  enum class Kind { Same, Table, Channels, Rgb565FromX888, X888FromRgb565, Generic };
  Kind kind_ = Kind::Same;
  const PixelFormat& source_;
  const PixelFormat& dest_;
  std::array<DWORD, 256> table_{};                                   // indexed sources
  const std::array<std::array<DWORD, 256>, 3>* channels_ = nullptr;  // direct sources
  std::array<int, 3> shift_{};                                       // where each source channel's top 8 bits start
  std::array<DWORD, 3> mask_{};                                      // the source channel masks
};

// Pixel values of row y at the given columns (all inside the surface).
void ReadRow(const Surface& surface, int y, const int* columns, std::size_t count, DWORD* out);
// Pixel values of row y from column x on.
void ReadSpan(const Surface& surface, int x, int y, std::size_t count, DWORD* out);
// Writes values to row y from column x on.
void WriteSpan(const Surface& surface, int x, int y, std::size_t count, const DWORD* values);
// dest[k] = ApplyRop(rop, pattern, source[k], dest[k], mask); source may be
// null for operations that do not read it.
void CombineRow(DWORD rop, DWORD pattern, const DWORD* source, DWORD* dest, std::size_t count, DWORD mask);
// Whether a raster operation reads the destination.
bool RopUsesDest(DWORD rop);

}  // namespace ce::gdi
