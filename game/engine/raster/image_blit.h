// Image drawing into a render target: the 1:1 copy with its colour key or
// alpha blend, and the stretch (bilinear for device-format pixels, nearest
// with blend for 32-bit ones). Rectangles are already turned into buffer
// and stored-image coordinates by the device. Everything is clipped: the
// destination to the target and its clip rectangle, the source to the image.
#pragma once

#include <cstdint>

#include "raster/raster.h"

// An image as stored: rows of `width` pixels, 16-bit device pixels when
// `devicePixels` is set, else 32-bit 0xAARRGGBB.
struct ssImageView {
  const void* pixels = nullptr;
  int width = 0;
  int height = 0;
  bool devicePixels = true;
};

// Rectangles with right and bottom exclusive.
struct ssBlitRect {
  int left = 0, top = 0, right = 0, bottom = 0;
};

// Copies `source` to `dest` (`colourKey`: device pixels of value 0 are not
// written); when their sizes differ the stretch runs, always keyed.
void ssDrawImage(const ssRasterTarget& target, const ssImageView& image, const ssBlitRect& dest,
                 const ssBlitRect& source, bool colourKey);
void ssStretchImage(const ssRasterTarget& target, const ssImageView& image, const ssBlitRect& dest,
                    const ssBlitRect& source, bool colourKey);

// The 4-tap mixers: each channel sum(c_i x w_i) >> 16, truncated; weights
// are 16.16 and add up to about 1.0.
std::uint16_t ssMix4RGB565(const std::uint16_t p[4], const std::int32_t w[4]);
std::uint16_t ssMix4RGB444(const std::uint16_t p[4], const std::int32_t w[4]);

// Mixes a colour into a pixel by a coverage or alpha byte in spread form,
// p + ((c - p) x a >> 5) as unsigned 32-bit words: RGB565 with a = byte >> 3
// (0-31 of 32), RGB444 with (byte >> 3) >> 1 (0-15 of 16).
std::uint16_t ssCoverageBlend565(std::uint16_t dst, std::uint16_t color, int coverage);
std::uint16_t ssCoverageBlend444(std::uint16_t dst, std::uint16_t color, int coverage);

// A 32-bit 0xAARRGGBB colour reduced to the device's packing and mixed over
// a device pixel by its alpha byte (RGB444 at depth 12, else RGB565).
std::uint16_t ssBlendArgb(std::uint16_t pixel, std::uint32_t argb, int depth);
