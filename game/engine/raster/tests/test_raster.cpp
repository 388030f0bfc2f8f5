// Scan converters, lines and the triangle fill, checked against coverage
// and texel mappings computed here independently (edge functions with the
// top-left rule, direct texel arithmetic), on surfaces with a guard border.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "raster/raster.h"
#include "raster/texel_span.h"

namespace {

constexpr std::uint16_t kGuard = 0xBEEF;

// A 16- or 8-bit surface with two guard pixels after each row and a guard row.
struct Surface {
  int w, h, bpp;
  std::vector<std::uint8_t> bytes;
  Surface(int width, int height, int bits = 16) : w(width), h(height), bpp(bits / 8) {
    bytes.resize(static_cast<std::size_t>(Pitch() * (h + 1)));
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
      bytes[i] = kGuard & 0xFF;
      bytes[i + 1] = kGuard >> 8;
    }
  }
  int Pitch() const { return (w + 2) * bpp; }
  void Clear(std::uint16_t value) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) Set(x, y, value);
  }
  void Set(int x, int y, std::uint16_t v) {
    std::uint8_t* p = &bytes[static_cast<std::size_t>(y * Pitch() + x * bpp)];
    p[0] = v & 0xFF;
    if (bpp == 2) p[1] = v >> 8;
  }
  std::uint16_t At(int x, int y) const {
    const std::uint8_t* p = &bytes[static_cast<std::size_t>(y * Pitch() + x * bpp)];
    return bpp == 2 ? static_cast<std::uint16_t>(p[0] | (p[1] << 8)) : p[0];
  }
  bool GuardsIntact() const {
    for (int y = 0; y <= h; ++y)
      for (int x = (y == h ? 0 : w); x < w + 2; ++x)
        if (At(x, y) != (bpp == 2 ? kGuard : (kGuard & 0xFF)) && !(bpp == 1 && At(x, y) == (kGuard >> 8))) return false;
    return true;
  }
  ssRasterTarget Target(int depth = 16) {
    ssRasterTarget t;
    t.pixels = bytes.data();
    t.pitch = Pitch();
    t.width = w;
    t.height = h;
    t.bits = bpp * 8;
    t.depth = depth;
    return t;
  }
};

ssVertex V(double x, double y, std::uint32_t pixel = 0, double u = 0, double v = 0) {
  ssVertex r;
  r.sx = static_cast<std::int32_t>(x * 65536);
  r.sy = static_cast<std::int32_t>(y * 65536);
  r.u = static_cast<std::int32_t>(u * 65536);
  r.v = static_cast<std::int32_t>(v * 65536);
  r.data[0] = pixel;
  return r;
}

// Reference coverage of a convex outline (anticlockwise on the screen, rows
// down) at pixel centre (px, py): inside every edge, and on an edge only
// when it is a left edge (running down) or a top edge (running leftwards).
bool Covers(const std::vector<ssVertex>& poly, int px, int py) {
  const std::int64_t x = std::int64_t{px} << 16, y = std::int64_t{py} << 16;
  const std::size_t n = poly.size();
  for (std::size_t i = 0; i < n; ++i) {
    const ssVertex& a = poly[i];
    const ssVertex& b = poly[(i + 1) % n];
    const std::int64_t e = (std::int64_t{b.sx} - a.sx) * (y - a.sy) - (std::int64_t{b.sy} - a.sy) * (x - a.sx);
    if (e > 0) return false;
    if (e == 0) {
      const bool left = b.sy > a.sy;
      const bool top = b.sy == a.sy && b.sx < a.sx;
      if (!left && !top) return false;
    }
  }
  return true;
}

void FillOutline(const ssRasterTarget& t, const std::vector<ssVertex>& poly) {
  std::vector<std::uint16_t> order(poly.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<std::uint16_t>(i);
  ssFillFlat(t, poly.data(), order.data(), static_cast<int>(poly.size()));
}

TEST(FlatFill, CoverageFollowsTheTopLeftRule) {
  // Edges with power-of-two heights keep the stepped slopes exact, so the
  // edge-function reference must agree pixel for pixel.
  const std::vector<std::vector<ssVertex>> cases = {
      {V(2, 1), V(2, 9), V(10, 1)},                // right angle on integer points
      {V(3.25, 0.5), V(1.5, 8.5), V(12.75, 4.5)},  // fractional corners
      {V(1, 2), V(5, 10), V(13, 6), V(9, 2)},      // quadrilateral, horizontal top edge
      {V(6, 0), V(0, 16), V(14, 16)},              // horizontal bottom edge (excluded)
      {V(7.5, 3.5), V(7.5, 3.75), V(7.75, 3.5)},   // smaller than a pixel: nothing
  };
  for (std::size_t c = 0; c < cases.size(); ++c) {
    Surface s(16, 18);
    s.Clear(0);
    std::vector<ssVertex> poly = cases[c];
    for (auto& v : poly) v.data[0] = 0x1234;
    FillOutline(s.Target(), poly);
    for (int y = 0; y < s.h; ++y)
      for (int x = 0; x < s.w; ++x)
        ASSERT_EQ(s.At(x, y), Covers(poly, x, y) ? 0x1234 : 0) << "case " << c << " at " << x << "," << y;
    EXPECT_TRUE(s.GuardsIntact());
  }
}

TEST(FlatFill, SharedEdgeWrittenOnceAndWrongOrderDrawsNothing) {
  Surface s(16, 16);
  s.Clear(0);
  // Two triangles of a quad sharing the diagonal: each pixel exactly once.
  const std::vector<ssVertex> a = {V(1, 1), V(1, 13), V(13, 1)};
  const std::vector<ssVertex> b = {V(13, 1), V(1, 13), V(13, 13)};
  int both = 0;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) both += Covers(a, x, y) && Covers(b, x, y);
  EXPECT_EQ(both, 0);
  ssRasterTarget t = s.Target();
  std::vector<ssVertex> a1 = a, b1 = b;
  for (auto& v : a1) v.data[0] = 1;
  for (auto& v : b1) v.data[0] = 2;
  FillOutline(t, a1);
  FillOutline(t, b1);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const int want = (x >= 1 && x < 13 && y >= 1 && y < 13) ? (Covers(a, x, y) ? 1 : 2) : 0;
      ASSERT_EQ(s.At(x, y), want) << x << "," << y;
    }
  // The same outline in the other order draws nothing; so does a flat one.
  Surface r(16, 16);
  r.Clear(0);
  FillOutline(r.Target(), {V(1, 1, 7), V(13, 1, 7), V(1, 13, 7)});
  FillOutline(r.Target(), {V(1, 4, 7), V(5, 4, 7), V(9, 4, 7)});
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) ASSERT_EQ(r.At(x, y), 0);
}

TEST(FlatFill, ClippedToTargetAndClipRectangle) {
  Surface s(12, 10);
  s.Clear(0);
  ssRasterTarget t = s.Target();
  t.clipLeft = 2;
  t.clipTop = 3;
  t.clipRight = 9;
  t.clipBottom = 100;  // beyond the target: the target bounds it
  const std::vector<ssVertex> big = {V(-40, -30, 5), V(-40, 60, 5), V(70, -30, 5)};
  FillOutline(t, big);
  for (int y = 0; y < s.h; ++y)
    for (int x = 0; x < s.w; ++x) {
      const bool in = x >= 2 && x < 9 && y >= 3 && Covers(big, x, y);
      ASSERT_EQ(s.At(x, y), in ? 5 : 0) << x << "," << y;
    }
  EXPECT_TRUE(s.GuardsIntact());
}

TEST(FlatFill, EightBitTargetWritesTheLowByte) {
  Surface s(8, 8, 8);
  s.Clear(0);
  FillOutline(s.Target(), {V(0, 0, 0xAB42), V(0, 4, 0xAB42), V(4, 0, 0xAB42)});
  EXPECT_EQ(s.At(0, 0), 0x42);
  EXPECT_EQ(s.At(3, 0), 0x42);
  EXPECT_EQ(s.At(4, 0), 0);
  EXPECT_EQ(s.At(0, 4), 0);
}

// A texture whose texel (x, y) holds y * 256 + x + 1.
std::vector<std::uint16_t> NumberedTexture(int w, int h) {
  std::vector<std::uint16_t> t(static_cast<std::size_t>(w * h));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) t[static_cast<std::size_t>(y * w + x)] = static_cast<std::uint16_t>(y * 256 + x + 1);
  return t;
}

ssTexture Texture(const void* texels, int w, int h, int log2w, int bytes, int mode = kTextureOpaque) {
  ssTexture t;
  t.texels = texels;
  t.width = w;
  t.height = h;
  t.log2Width = log2w;
  t.texelBytes = bytes;
  t.mode = mode;
  EXPECT_TRUE(ssPrepareTexture(t));
  return t;
}

// Draws the quad (x0, y0)-(x1, y1) as two textured triangles, anticlockwise.
void TexturedQuad(const ssRasterTarget& target, const ssTexture& tex, double x0, double y0, double x1, double y1,
                  double u0, double v0, double u1, double v1) {
  const ssVertex vs[4] = {V(x0, y0, 0, u0, v0), V(x0, y1, 0, u0, v1), V(x1, y1, 0, u1, v1), V(x1, y0, 0, u1, v0)};
  static constexpr std::uint16_t kOrder[4] = {0, 1, 2, 3};
  std::int32_t du, dv;
  ASSERT_NE(ssTextureGradients(vs[0], vs[1], vs[2], du, dv), 0);
  ssFillTextured(target, vs, kOrder, 4, tex, du, dv);
}

TEST(TexturedFill, QuadMapsTexelsOneToOne) {
  const auto texels = NumberedTexture(16, 8);
  const ssTexture tex = Texture(texels.data(), 16, 8, 4, 2);
  for (int offset : {0, 1}) {  // odd start exercises the single first pixel before pairs
    Surface s(20, 12);
    s.Clear(0);
    TexturedQuad(s.Target(), tex, 2 + offset, 1, 18 + offset, 9, 0, 0, 16, 8);
    for (int y = 0; y < s.h; ++y)
      for (int x = 0; x < s.w; ++x) {
        const int tx = x - 2 - offset, ty = y - 1;
        const bool in = tx >= 0 && tx < 16 && ty >= 0 && ty < 8;
        ASSERT_EQ(s.At(x, y), in ? texels[static_cast<std::size_t>(ty * 16 + tx)] : 0) << x << "," << y;
      }
    EXPECT_TRUE(s.GuardsIntact());
  }
}

TEST(TexturedFill, CoordinatesWrapAtTheTextureSize) {
  // A 64 x 32 texture addressed from u = 64.5 reads column 0, then on.
  const auto texels = NumberedTexture(64, 32);
  const ssTexture tex = Texture(texels.data(), 64, 32, 6, 2);
  Surface s(8, 4);
  s.Clear(0);
  TexturedQuad(s.Target(), tex, 0, 0, 4, 4, 64.5, 32.5, 68.5, 36.5);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(s.At(x, y), texels[static_cast<std::size_t>(y * 64 + x)]);
}

// The eight-texel spans read the same texels as the one-texel rule and
// write the same pixels: opaque texels and shade maps (over a patterned
// picture, with 255 keeping the pixel), on turned quads of every length,
// wrapping coordinates and gradients of either sign, on textures from the
// smallest each accepts (whose last texels have nothing after them) up.
TEST(TexturedFill, EightAtATimeMatchesOneAtATime) {
  if (!ks::raster::VectorSpans()) GTEST_SKIP() << "no AVX2 here";
  std::uint32_t seed = 12345;
  auto next = [&seed](double lo, double hi) {
    seed = seed * 1103515245u + 12345u;
    return lo + (hi - lo) * static_cast<double>(seed >> 8) / static_cast<double>(1u << 24);
  };
  const struct {
    int w, h, log2w, mode;
  } cases[] = {{2, 1, 1, kTextureOpaque},   {1, 2, 0, kTextureOpaque},     {4, 4, 2, kTextureOpaque},
               {64, 32, 6, kTextureOpaque}, {256, 256, 8, kTextureOpaque}, {4, 1, 2, kTextureShadeMap},
               {2, 2, 1, kTextureShadeMap}, {8, 8, 3, kTextureShadeMap},   {64, 32, 6, kTextureShadeMap}};
  for (const auto& c : cases) {
    // Exactly as large as the texture.
    const auto texels16 = NumberedTexture(c.w, c.h);
    std::vector<std::uint8_t> texels8(static_cast<std::size_t>(c.w * c.h));
    for (std::size_t i = 0; i < texels8.size(); ++i) texels8[i] = i % 3 == 0 ? 255 : static_cast<std::uint8_t>(i * 37);
    const bool shade = c.mode == kTextureShadeMap;
    const ssTexture tex = shade ? Texture(texels8.data(), c.w, c.h, c.log2w, 1, c.mode)
                                : Texture(texels16.data(), c.w, c.h, c.log2w, 2, c.mode);
    for (int round = 0; round < 40; ++round) {
      const double cx = next(-10, 90), cy = next(-10, 70), r = next(2, 60), a = next(0, 6.3);
      const double u0 = next(-300, 300), v0 = next(-300, 300), su = next(-4, 4), sv = next(-4, 4);
      ssVertex vs[4];
      for (int k = 0; k < 4; ++k) {
        const double t = a + k * 1.5707963;
        // Anticlockwise on the screen (rows down): the angle falls.
        const double x = cx + r * std::cos(-t), y = cy + r * std::sin(-t);
        vs[k] = V(x, y, 0, u0 + su * x + sv * y, v0 + sv * x - su * y);
      }
      static constexpr std::uint16_t kOrder[4] = {0, 1, 2, 3};
      std::int32_t du, dv;
      if (ssTextureGradients(vs[0], vs[1], vs[2], du, dv) == 0) continue;
      Surface one(80, 60), eight(80, 60);
      for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 80; ++x) {
          one.Set(x, y, static_cast<std::uint16_t>(x * 2113 + y * 977));
          eight.Set(x, y, static_cast<std::uint16_t>(x * 2113 + y * 977));
        }
      ks::raster::AllowVectorSpans(false);
      ssFillTextured(one.Target(), vs, kOrder, 4, tex, du, dv);
      ks::raster::AllowVectorSpans(true);
      ssFillTextured(eight.Target(), vs, kOrder, 4, tex, du, dv);
      ASSERT_EQ(one.bytes, eight.bytes) << c.w << "x" << c.h << " mode " << c.mode << " round " << round;
      EXPECT_TRUE(eight.GuardsIntact());
    }
  }
}

TEST(TexturedFill, ColourKeyKeepsThePixelBelow) {
  std::vector<std::uint16_t> texels = {0, 0x0F00, 0, 0x00F0};
  const ssTexture tex = Texture(texels.data(), 2, 2, 1, 2, kTextureColourKey);
  Surface s(4, 4);
  s.Clear(0x5555);
  TexturedQuad(s.Target(), tex, 0, 0, 2, 2, 0, 0, 2, 2);
  EXPECT_EQ(s.At(0, 0), 0x5555);
  EXPECT_EQ(s.At(1, 0), 0x0F00);
  EXPECT_EQ(s.At(0, 1), 0x5555);
  EXPECT_EQ(s.At(1, 1), 0x00F0);
}

TEST(TexturedFill, ShadeMapScalesChannels) {
  struct Case {
    int depth;
    std::uint16_t pixel;
    std::uint8_t shade;
    std::uint16_t want;
  };
  const Case cases[] = {
      {16, 0xFFFF, 255, 0xFFFF},                                                   // 255 changes nothing
      {16, 0xFFFF, 0, 0x0000},                                                     // 0 is black
      {16, 0xFFFF, 128, static_cast<std::uint16_t>((15 << 11) | (31 << 5) | 15)},  // 16/32 of each channel
      {16, 0x8410, 128, static_cast<std::uint16_t>((8 << 11) | (16 << 5) | 8)},
      {12, 0x0FFF, 255, 0x0FFF},
      {12, 0x0FFF, 0, 0x0000},
      {12, 0x0FFF, 128, 0x0777},  // 8/16 of 15
      {12, 0x0F84, 128, 0x0742},
  };
  for (const Case& c : cases) {
    const std::uint8_t shade[4] = {c.shade, c.shade, c.shade, c.shade};
    const ssTexture tex = Texture(shade, 2, 2, 1, 1, kTextureShadeMap);
    Surface s(4, 4);
    s.Clear(c.pixel);
    TexturedQuad(s.Target(c.depth), tex, 0, 0, 2, 2, 0, 0, 2, 2);
    EXPECT_EQ(s.At(0, 0), c.want) << "depth " << c.depth << " shade " << int{c.shade};
    EXPECT_EQ(s.At(2, 0), c.pixel);
  }
}

TEST(TexturedFill, EightBitTargetReadsRowsOfTheTextureWidth) {
  std::uint8_t texels[4 * 4];
  for (int i = 0; i < 16; ++i) texels[i] = static_cast<std::uint8_t>(i + 1);
  const ssTexture tex = Texture(texels, 4, 4, 2, 1);
  Surface s(6, 6, 8);
  s.Clear(0);
  TexturedQuad(s.Target(), tex, 1, 1, 5, 5, 0, 0, 4, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(s.At(x + 1, y + 1), texels[y * 4 + x]);
}

TEST(TexturedFill, RefusesTexturesItCannotAddress) {
  std::uint16_t texels[12] = {};
  ssTexture t;
  t.texels = texels;
  t.width = 3;
  t.height = 4;
  t.log2Width = 2;
  EXPECT_FALSE(ssPrepareTexture(t));  // not a power of two
  t.width = 4;
  t.log2Width = 3;
  EXPECT_FALSE(ssPrepareTexture(t));  // width is not 1 << log2Width
  t.log2Width = 2;
  t.texels = nullptr;
  EXPECT_FALSE(ssPrepareTexture(t));
}

TEST(Gradients, DegenerateTriangleHasNoArea) {
  std::int32_t du = 1, dv = 1;
  EXPECT_EQ(ssTextureGradients(V(0, 0), V(4, 4), V(8, 8), du, dv), 0);
  EXPECT_EQ(ssBackFaceCross(V(0, 0), V(4, 4), V(8, 8)), 0);
  EXPECT_LT(ssBackFaceCross(V(0, 0), V(0, 8), V(8, 0)), 0);
  EXPECT_GT(ssBackFaceCross(V(0, 0), V(8, 0), V(0, 8)), 0);
}

TEST(PerspectiveFill, ConstantDepthMatchesAffineAndDepthBendsTheMapping) {
  const auto texels = NumberedTexture(16, 16);
  const ssTexture tex = Texture(texels.data(), 16, 16, 4, 2);
  auto pv = [](double x, double y, double u, double v, double w) {
    ssVertex r = V(x, y, 0, u, v);
    r.w = static_cast<std::int32_t>(w * 65536);
    return r;
  };
  static constexpr std::uint16_t kOrder[4] = {0, 1, 2, 3};
  {
    Surface s(16, 16);
    s.Clear(0);
    const ssVertex vs[4] = {pv(0, 0, 0, 0, 2), pv(0, 16, 0, 16, 2), pv(16, 16, 16, 16, 2), pv(16, 0, 16, 0, 2)};
    ssFillPerspective(s.Target(), vs, kOrder, 4, tex);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) ASSERT_EQ(s.At(x, y), texels[static_cast<std::size_t>(y * 16 + x)]);
  }
  {
    // w from 1 on the left to 4 on the right: at the middle of the screen
    // 1/w = 5/8 and u/w = 2, so u = 3.2, not the affine 8.
    Surface s(16, 4);
    s.Clear(0);
    const ssVertex vs[4] = {pv(0, 0, 0, 0, 1), pv(0, 4, 0, 4, 1), pv(16, 4, 16, 4, 4), pv(16, 0, 16, 0, 4)};
    ssFillPerspective(s.Target(), vs, kOrder, 4, tex);
    EXPECT_EQ(s.At(8, 0) & 0xFF, 3 + 1);
    EXPECT_EQ(s.At(0, 0) & 0xFF, 0 + 1);
    // A vertex behind the eye (w below 1.0) draws nothing.
    Surface t(16, 4);
    t.Clear(0);
    const ssVertex behind[4] = {pv(0, 0, 0, 0, 0), pv(0, 4, 0, 4, 1), pv(16, 4, 16, 4, 1), pv(16, 0, 16, 0, 1)};
    ssFillPerspective(t.Target(), behind, kOrder, 4, tex);
    for (int x = 0; x < 16; ++x) EXPECT_EQ(t.At(x, 1), 0);
  }
}

TEST(Lines, BresenhamSolidDashedAndHeld) {
  struct Case {
    double x0, y0, x1, y1;
    bool dashed;
    std::vector<std::pair<int, int>> pixels;  // in drawing order
  };
  const Case cases[] = {
      {0, 0, 4, 0, false, {{0, 0}, {1, 0}, {2, 0}, {3, 0}}},
      {1, 1, 5, 3, false, {{1, 1}, {2, 2}, {3, 2}, {4, 3}}},  // steps across when the decision is 0
      {2, 5, 2, 1, false, {{2, 5}, {2, 4}, {2, 3}, {2, 2}}},
      {0.75, 0.5, 6.9, 0.2, true, {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}}},
      {-5, -5, 3, 3, false, {{0, 0}, {1, 1}, {2, 2}}},  // negative ends are held at 0
      {6, 2, 40, 2, false, {{6, 2}}},                   // the far end is held at the last column and not written
  };
  for (const Case& c : cases) {
    Surface s(8, 6);
    s.Clear(0);
    ssDrawLine(s.Target(), static_cast<std::int32_t>(c.x0 * 65536), static_cast<std::int32_t>(c.y0 * 65536),
               static_cast<std::int32_t>(c.x1 * 65536), static_cast<std::int32_t>(c.y1 * 65536), 0x11, 0x22, c.dashed);
    int written = 0;
    for (int y = 0; y < s.h; ++y)
      for (int x = 0; x < s.w; ++x) written += s.At(x, y) != 0;
    EXPECT_EQ(written, static_cast<int>(c.pixels.size())) << c.x0 << "," << c.y0;
    for (std::size_t i = 0; i < c.pixels.size(); ++i) {
      const int want = c.dashed && ((i >> 1) & 1) ? 0x22 : 0x11;
      EXPECT_EQ(s.At(c.pixels[i].first, c.pixels[i].second), want) << "pixel " << i;
    }
    EXPECT_TRUE(s.GuardsIntact());
  }
}

TEST(FillTriangle, ClockwiseFillsInEveryTurnAndStaysInside) {
  // Logical screen 10 wide, 14 high. The triangle, turned back to logical
  // coordinates, covers every pixel strictly inside it and nothing outside
  // its closed outline.
  const int lw = 10, lh = 14;
  const int px[3] = {1, 8, 2}, py[3] = {1, 3, 12};  // clockwise on the screen
  auto edge = [&](int i, int x, int y) {
    const int j = (i + 1) % 3;
    return (px[j] - px[i]) * (y - py[i]) - (py[j] - py[i]) * (x - px[i]);
  };
  for (int rotate = 0; rotate < 4; ++rotate) {
    const int bw = (rotate & 1) ? lh : lw, bh = (rotate & 1) ? lw : lh;
    Surface s(bw, bh);
    s.Clear(0);
    ssFillTriangle(s.Target(), rotate, px[0], py[0], px[1], py[1], px[2], py[2], 0x77);
    int drawn = 0;
    for (int ly = 0; ly < lh; ++ly)
      for (int lx = 0; lx < lw; ++lx) {
        int bx = lx, by = ly;
        if (rotate == 1) bx = ly, by = bh - lx - 1;
        if (rotate == 2) bx = bw - lx - 1, by = bh - ly - 1;
        if (rotate == 3) bx = bw - ly - 1, by = lx;
        const bool on = s.At(bx, by) == 0x77;
        drawn += on;
        const int e0 = edge(0, lx, ly), e1 = edge(1, lx, ly), e2 = edge(2, lx, ly);
        if (e0 > 0 && e1 > 0 && e2 > 0) {
          EXPECT_TRUE(on) << "rotate " << rotate << " " << lx << "," << ly;
        }
        if (e0 < 0 || e1 < 0 || e2 < 0) {
          EXPECT_FALSE(on) << "rotate " << rotate << " " << lx << "," << ly;
        }
      }
    EXPECT_GT(drawn, 20);
    // Anticlockwise points draw nothing; points far outside write nothing out of bounds.
    Surface r(bw, bh);
    r.Clear(0);
    ssFillTriangle(r.Target(), rotate, px[0], py[0], px[2], py[2], px[1], py[1], 0x77);
    ssFillTriangle(r.Target(), rotate, -1000, -1000, 100000, 5, -7, 90000, 0x77);
    EXPECT_TRUE(r.GuardsIntact());
  }
}

TEST(Robustness, ExtremeCoordinatesStayInsideTheTarget) {
  // Random outlines, lines and textures far outside a small target with a
  // clip rectangle: nothing outside the clip may change (the sanitizer
  // build also watches every access).
  std::uint32_t seed = 12345;
  auto next = [&]() {
    seed = seed * 1664525u + 1013904223u;
    return seed;
  };
  auto coord = [&]() {
    const std::uint32_t r = next();
    switch (r % 3) {
      case 0:
        return static_cast<std::int32_t>(next());  // anything
      case 1:
        return static_cast<std::int32_t>(next() % (40u << 16)) - (8 << 16);  // near the target
      default:
        return static_cast<std::int32_t>(next() % (1u << 24)) - (1 << 23);
    }
  };
  std::vector<std::uint16_t> texels(16 * 16, 0x4444);
  std::vector<std::uint8_t> shades(16 * 16, 100);
  for (int round = 0; round < 3000; ++round) {
    Surface s(20, 16);
    s.Clear(0);
    ssRasterTarget t = s.Target();
    t.clipLeft = 3;
    t.clipTop = 2;
    t.clipRight = 17;
    t.clipBottom = 13;
    ssVertex vs[5];
    for (auto& v : vs) {
      v.sx = coord();
      v.sy = coord();
      v.u = static_cast<std::int32_t>(next());
      v.v = static_cast<std::int32_t>(next());
      v.w = static_cast<std::int32_t>(next() % (1u << 24)) + 65536;
      v.data[0] = 0x1111;
    }
    const std::uint16_t order[5] = {0, 1, 2, 3, 4};
    const int n = 3 + round % 3;
    switch (round % 5) {
      case 0:
        ssFillFlat(t, vs, order, n);
        break;
      case 1: {
        std::int32_t du, dv;
        ssTextureGradients(vs[0], vs[1], vs[2], du, dv);
        ssFillTextured(t, vs, order, n, Texture(texels.data(), 16, 16, 4, 2), du, dv);
        break;
      }
      case 2: {
        std::int32_t du, dv;
        ssTextureGradients(vs[0], vs[1], vs[2], du, dv);
        ssFillTextured(t, vs, order, n, Texture(shades.data(), 16, 16, 4, 1, kTextureShadeMap), du, dv);
        break;
      }
      case 3:
        ssFillPerspective(t, vs, order, n, Texture(texels.data(), 16, 16, 4, 2));
        break;
      default:
        ssDrawLine(t, vs[0].sx, vs[0].sy, vs[1].sx, vs[1].sy, 0x1111, 0x2222, true);
        break;
    }
    for (int y = 0; y < s.h; ++y)
      for (int x = 0; x < s.w; ++x)
        if (x < 3 || x >= 17 || y < 2 || y >= 13) {
          ASSERT_EQ(s.At(x, y), 0) << "round " << round;
        }
    ASSERT_TRUE(s.GuardsIntact());
  }
}

}  // namespace
