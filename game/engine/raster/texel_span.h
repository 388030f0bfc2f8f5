// The inner loops of the opaque 16-bit and the shade-map affine texture
// spans, eight pixels at a time where the processor has AVX2. Internal to
// the rasteriser.
#pragma once

#include <cstdint>

namespace ks::raster {

// Whether the vector span may be used: the processor has AVX2 and it has
// not been turned off (tests compare it with the one-texel-at-a-time rule).
bool VectorSpans();
void AllowVectorSpans(bool allow);

// Where a span's texels come from: texel (u, v) for its first pixel,
// stepping (du, dv) a pixel, index ((v >> vShift) & rowMask) | ((u >> 16) &
// colMask), as the one-texel loop reads them. The vector spans leave u and v
// past the last texel read.
struct TexelWalk {
  std::uint32_t u, v, du, dv;
  int vShift;
  std::uint32_t rowMask, colMask;
};

// Writes the first n & ~7 pixels of p with opaque 16-bit texels. The texture
// holds (rowMask | colMask) + 1 texels, at least 2. Returns the pixels
// written.
int CopyTexelsAvx2(std::uint16_t* p, int n, TexelWalk& walk, const std::uint16_t* texels);

// The shade-map span: texel a (one byte) scales the RGB565 pixel's
// channels by a / 256 in 5-6-5 steps, 255 leaves it; the first n & ~7
// pixels. The texture holds at least 4 texels.
int ShadeTexelsAvx2(std::uint16_t* p, int n, TexelWalk& walk, const std::uint8_t* texels);

}  // namespace ks::raster
