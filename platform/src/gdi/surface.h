// Pixels as plain memory behind a small typed view: a pixel format (depth,
// colour masks or colour table) and a surface (where pixel (0, 0) is and the
// byte steps to the next row and column). DIB sections, compatible bitmaps
// and the screen in any orientation are all surfaces, so every drawing
// routine works on this one view.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <vector>

#include "ce/wingdi.h"

namespace ce::gdi {

struct Channel {
  DWORD mask = 0;
  int shift = 0;  // position of the mask's lowest bit
  int bits = 0;   // width of the mask
};

class PixelFormat {
 public:
  // Direct colour at 16, 24 or 32 bits with the given masks (24 bits always
  // uses blue, green, red bytes). Masks must be non-zero, contiguous and
  // disjoint; Valid() tells.
  static std::shared_ptr<const PixelFormat> Direct(int bitsPerPixel, DWORD red, DWORD green, DWORD blue);
  // A colour table of at most 2^bitsPerPixel entries, at 1, 4 or 8 bits.
  static std::shared_ptr<const PixelFormat> Indexed(int bitsPerPixel, std::vector<RGBQUAD> table);
  static std::shared_ptr<const PixelFormat> Rgb565() { return Direct(16, 0xF800, 0x07E0, 0x001F); }
  static std::shared_ptr<const PixelFormat> Xrgb8888() { return Direct(32, 0xFF0000, 0x00FF00, 0x0000FF); }
  static std::shared_ptr<const PixelFormat> Monochrome();

  int bitsPerPixel() const { return bitsPerPixel_; }
  bool indexed() const { return bitsPerPixel_ <= 8; }
  const std::vector<RGBQUAD>& table() const { return table_; }
  const std::array<Channel, 3>& channels() const { return channels_; }
  bool Valid() const { return valid_; }
  // All bits a pixel value may use.
  DWORD valueMask() const { return bitsPerPixel_ >= 32 ? 0xFFFFFFFFu : (1u << bitsPerPixel_) - 1u; }

  // The pixel closest to a colour (exact colours first, then the nearest
  // table entry), and the colour a pixel shows (channels widened by
  // repeating their bits, so 5-bit 31 is 255).
  DWORD FromColor(COLORREF color) const;
  COLORREF ToColor(DWORD pixel) const;

  bool SameAs(const PixelFormat& other) const;

 private:
  int bitsPerPixel_ = 0;
  std::array<Channel, 3> channels_{};  // red, green, blue
  std::vector<RGBQUAD> table_;
  bool valid_ = false;
};

// A rectangle of pixels in memory. Rows may run up (a bottom-up DIB has a
// negative rowStep) and, on a turned screen, columns may run along memory
// rows or columns; colStep is 0 only for 1- and 4-bit rows, which are
// packed along memory rows, high bits first.
struct Surface {
  BYTE* origin = nullptr;
  std::ptrdiff_t rowStep = 0;
  std::ptrdiff_t colStep = 0;
  int width = 0;
  int height = 0;
  const PixelFormat* format = nullptr;

  DWORD Read(int x, int y) const;
  void Write(int x, int y, DWORD value) const;
  bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
  // True when a row is plain consecutive bytes (a row copy is one memcpy).
  bool RowsAreContiguous() const { return colStep > 0 && colStep * 8 == format->bitsPerPixel(); }
  BYTE* RowAddress(int x, int y) const { return origin + y * rowStep + x * colStep; }
};

// Bytes in a DIB row: rows are padded to whole 32-bit words.
inline std::size_t DibRowBytes(int width, int bitsPerPixel) {
  return ((static_cast<std::size_t>(width) * static_cast<std::size_t>(bitsPerPixel) + 31) / 32) * 4;
}

// Combines pattern, source and destination pixels by the truth table in
// bits 16-23 of a raster operation; only the bits in `mask` matter.
DWORD ApplyRop(DWORD rop, DWORD pattern, DWORD source, DWORD dest, DWORD mask);
// Whether a raster operation reads the source, or the pattern.
bool RopUsesSource(DWORD rop);
bool RopUsesPattern(DWORD rop);

}  // namespace ce::gdi
