// The software rasteriser: scan converters for flat, affine-textured and
// perspective-textured polygons, Bresenham lines and the integer triangle
// fill, writing 16-bit (RGB565 or RGB444) or 8-bit render targets.
//
// Polygons arrive as transformed vertices (ssVertex, 16.16 screen
// coordinates) and an outline of vertex indices. Every span is bounded by
// the target's size and its clip rectangle, so callers may hand in points
// outside the buffer without anything being written out of bounds.
#pragma once

#include <cstdint>

// A transformed vertex: clip-space x, y, z, w; 16 bytes of per-vertex data
// (the low 16 bits of data[0] are the flat pixel); screen x and y (16.16
// buffer pixels, rows grow downwards); z / w; 1 / w; texture u and v (16.16
// texels); the outcode.
struct ssVertex {
  std::int32_t x = 0, y = 0, z = 0, w = 0;
  std::uint32_t data[4] = {};
  std::int32_t sx = 0, sy = 0;
  std::int32_t zw = 0, rw = 0;
  std::int32_t u = 0, v = 0;
  std::uint32_t outcode = 0;
};

// Outcode bits.
inline constexpr std::uint32_t kOutYLow = 1;
inline constexpr std::uint32_t kOutYHigh = 2;
inline constexpr std::uint32_t kOutXLow = 4;
inline constexpr std::uint32_t kOutXHigh = 8;
inline constexpr std::uint32_t kOutNear = 16;
inline constexpr std::uint32_t kOutFar = 32;
inline constexpr std::uint32_t kOutBehind = 64;  // w below 1.0: behind the eye, never clipped
inline constexpr std::uint32_t kOutAny = 127;

// The longest outline the clipper makes, and so the rasteriser accepts.
inline constexpr int kMaxPolygon = 32;

// Texture modes.
inline constexpr int kTextureOpaque = 0;
inline constexpr int kTextureColourKey = 1;
inline constexpr int kTextureShadeMap = 2;

// Where drawing goes. Pitch is in bytes; bits is 16 or 8; depth 12 selects
// RGB444 for the shade map, anything else RGB565. The clip rectangle is in
// buffer pixels, right and bottom exclusive; it is intersected with the
// target's size.
struct ssRasterTarget {
  void* pixels = nullptr;
  int pitch = 0;
  int width = 0;
  int height = 0;
  int bits = 16;
  int depth = 16;
  int clipLeft = 0, clipTop = 0, clipRight = 0x7FFFFFFF, clipBottom = 0x7FFFFFFF;
};

// The bound texture. Sizes must be powers of two with width == 1 << log2Width;
// texel bytes are 2 (device pixels) or 1 (shade values or 8-bit targets).
// uMask and vMask are (width << 16) - 1 and (height << 16) - 1.
struct ssTexture {
  const void* texels = nullptr;
  int width = 0;
  int height = 0;
  int log2Width = 0;
  int texelBytes = 2;
  std::uint32_t uMask = 0;
  std::uint32_t vMask = 0;
  int mode = kTextureOpaque;
};

// Fills in the masks and checks the shape; false for a texture the
// converters cannot address safely (null, not a power of two, width not
// 1 << log2Width).
bool ssPrepareTexture(ssTexture& texture);

// Flat polygon: the colour is the pixel of the top vertex (the start of the
// left edge). 16-bit targets get the low 16 bits, 8-bit targets the low byte.
// The outline must run anticlockwise on the screen (rows grow downwards);
// the other order draws nothing.
void ssFillFlat(const ssRasterTarget& target, const ssVertex* vertices, const std::uint16_t* outline, int count);

// Affine-textured polygon with constant gradients du/dx, dv/dx (16.16).
void ssFillTextured(const ssRasterTarget& target, const ssVertex* vertices, const std::uint16_t* outline, int count,
                    const ssTexture& texture, std::int32_t dudx, std::int32_t dvdx);

// Perspective-textured polygon: u/w, v/w and 1/w from each vertex's w (word
// 3, 16.16, at least 1.0) are interpolated and divided per pixel. Opaque
// 16-bit texels into a 16-bit target.
void ssFillPerspective(const ssRasterTarget& target, const ssVertex* vertices, const std::uint16_t* outline, int count,
                       const ssTexture& texture);

// The constant texture gradients of an affine polygon from three of its
// vertices. Returns the doubled area A (16.16 rounded); 0 means degenerate.
std::int32_t ssTextureGradients(const ssVertex& a, const ssVertex& b, const ssVertex& c, std::int32_t& dudx,
                                std::int32_t& dvdx);

// The back-face test value on the integer parts of the screen points:
// (x1 - x0)(y2 - y0) - (y1 - y0)(x2 - x0). Negative faces the viewer.
std::int64_t ssBackFaceCross(const ssVertex& a, const ssVertex& b, const ssVertex& c);

// A Bresenham line between the integer parts of two screen points (each
// coordinate first held to the target), stepping |major delta| pixels from
// the first point (the end point is not written). With `dashed`, the pixels
// go two in `pixel`, two in `pixel2`, repeating from the start.
void ssDrawLine(const ssRasterTarget& target, std::int32_t sx0, std::int32_t sy0, std::int32_t sx1, std::int32_t sy1,
                std::uint32_t pixel, std::uint32_t pixel2, bool dashed);

// Fills a triangle of three logical pixels turned into the buffer by
// `rotate` (quarter turns; width and height are the buffer's). Points that
// run clockwise on the screen fill; the other order draws nothing.
void ssFillTriangle(const ssRasterTarget& target, int rotate, int x0, int y0, int x1, int y1, int x2, int y2,
                    std::uint32_t pixel);
