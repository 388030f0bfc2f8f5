// YCbCr 4:2:0 to the display's 16-bit pixels, with a 4 x 4 ordered dither.
//
// Per pixel, in 13-bit fixed point (9576 is about 1.169 x 8192):
//   y' = (Y - 16) x 9576, cr' = Cr - 128, cb' = Cb - 128
//   R = y' + 13123 cr',  G = y' - 6686 cr' - 3218 cb',  B = y' + 16591 cb'
// RGB565: red (R >> 16) plus one when the dither value d is below the three
// dropped bits ((R >> 13) & 7), green (G >> 15) plus one when d < ((G >> 13)
// & 3), blue like red; each clamped to its channel. RGB444 (depth 12): each
// channel (C >> 17) plus one when d < ((C >> 13) & 15), clamped to 0..15.
// d is the dither table's entry at (x mod 4) + 4 (y mod 4) of the picture
// pixel.
#pragma once

#include <cstdint>

#include "ce/windef.h"

// The decoded planes: Y at full size, Cb and Cr at half size both ways
// (one chroma row for two luma rows, one sample for two pixels).
struct ssYuvPlanes {
  const std::uint8_t* y = nullptr;
  const std::uint8_t* cb = nullptr;
  const std::uint8_t* cr = nullptr;
  int yPitch = 0;  // bytes
  int cPitch = 0;
  int width = 0;  // of the picture, in luma pixels
  int height = 0;
};

// Where the picture goes: a 16-bit buffer and how the logical screen lies
// in it (the display's m_Rotate: quarter turns from the logical screen to
// the buffer).
struct ssPixelTarget {
  std::uint16_t* pixels = nullptr;
  int pitch = 0;  // pixels a row
  int width = 0;  // of the buffer
  int height = 0;
  int rotate = 0;
  int depth = 16;  // 12: RGB444, otherwise RGB565
};

extern const std::uint8_t kDither565[16];
extern const std::uint8_t kDither444[16];

// One pixel; x and y pick the dither entry.
std::uint16_t ssYuvToRgb565(int y, int cb, int cr, int x, int row);
std::uint16_t ssYuvToRgb444(int y, int cb, int cr, int x, int row);
// 8-bit channels dithered the same way (top bits, plus one when the table
// value is below the dropped bits, never past the channel's maximum).
std::uint16_t ssRgbToRgb565(int r, int g, int b, int x, int row);
std::uint16_t ssRgbToRgb444(int r, int g, int b, int x, int row);

// Converts the picture into the target, centred in `area` (logical screen
// pixels; null: the whole logical screen), every picture pixel a 2 x 2
// block when `doubled`. Whatever falls outside the area or the buffer is
// cut, so a picture larger than the screen shows its middle.
void ssConvertYuv(const ssYuvPlanes& planes, const ssPixelTarget& target, bool doubled, const RECT* area);

// For tests and benchmarks: the widest vector converter used at most (0
// plain code, 1 AVX2, 2 AVX-512; all give the same pixels). Returns the one
// now in use, which also depends on the processor.
int ssLimitYuvSimd(int level);
