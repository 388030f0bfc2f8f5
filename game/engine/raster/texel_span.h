// The inner loop of the opaque 16-bit affine texture span, eight texels at
// a time where the processor has AVX2. Internal to the rasteriser.
#pragma once

#include <cstdint>

namespace ks::raster {

// Whether the vector span may be used: the processor has AVX2 and it has
// not been turned off (tests compare it with the one-texel-at-a-time rule).
bool VectorSpans();
void AllowVectorSpans(bool allow);

// Writes the first n & ~7 pixels of p from texel (u, v), stepping (du, dv)
// a pixel, with texel index ((v >> vShift) & rowMask) | ((u >> 16) &
// colMask) as the scalar loop reads it; u and v are left past the last
// texel read. The texture holds (rowMask | colMask) + 1 texels, at least 2.
// Returns the pixels written.
int CopyTexelsAvx2(std::uint16_t* p, int n, std::uint32_t& u, std::uint32_t& v, std::uint32_t du, std::uint32_t dv,
                   int vShift, std::uint32_t rowMask, std::uint32_t colMask, const std::uint16_t* texels);

// The shade-map span: texel a (one byte) scales the RGB565 pixel's
// channels by a / 256 in 5-6-5 steps, 255 leaves it; the first n & ~7
// pixels, as CopyTexelsAvx2 steps. The texture holds at least 4 texels.
int ShadeTexelsAvx2(std::uint16_t* p, int n, std::uint32_t& u, std::uint32_t& v, std::uint32_t du, std::uint32_t dv,
                    int vShift, std::uint32_t rowMask, std::uint32_t colMask, const std::uint8_t* texels);

}  // namespace ks::raster
