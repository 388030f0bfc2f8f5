// Image copies, blends and stretches, with their clipping.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "raster/image_blit.h"

namespace {

struct Surface {
  int w, h;
  std::vector<std::uint16_t> px;  // one guard column on the right
  Surface(int width, int height, std::uint16_t fill)
      : w(width), h(height), px(static_cast<std::size_t>((width + 1) * height), fill) {}
  ssRasterTarget Target(int depth = 16) {
    ssRasterTarget t;
    t.pixels = px.data();
    t.pitch = (w + 1) * 2;
    t.width = w;
    t.height = h;
    t.depth = depth;
    return t;
  }
  std::uint16_t At(int x, int y) const { return px[static_cast<std::size_t>(y * (w + 1) + x)]; }
};

TEST(DrawImage, CopyKeysAndClipsBothRectangles) {
  // 4 x 3 image numbered 1.., with one keyed texel.
  std::vector<std::uint16_t> img(12);
  for (int i = 0; i < 12; ++i) img[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(i + 1);
  img[5] = 0;
  const ssImageView view{img.data(), 4, 3, true};
  Surface s(6, 5, 0xAAAA);
  ssRasterTarget t = s.Target();
  t.clipTop = 1;
  // Destination hangs off the left; the source runs past the image bottom.
  ssDrawImage(t, view, {-1, 0, 3, 4}, {0, 0, 4, 4}, true);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) {
      std::uint16_t want = 0xAAAA;
      const int ix = x + 1, iy = y;
      if (x < 3 && y >= 1 && y < 3 && img[static_cast<std::size_t>(iy * 4 + ix)] != 0)
        want = img[static_cast<std::size_t>(iy * 4 + ix)];
      if (x == 6) want = 0xAAAA;  // guard
      EXPECT_EQ(s.px[static_cast<std::size_t>(y * 7 + x)], want) << x << "," << y;
    }
}

TEST(DrawImage, ArgbBlendsByAlpha) {
  struct Case {
    int depth;
    std::uint16_t below;
    std::uint32_t argb;
    std::uint16_t want;
  };
  const Case cases[] = {
      // The top five alpha bits weigh the colour by a / 32, so even full
      // alpha leaves 1/32 of the pixel below.
      {16, 0x0000, 0xFFFFFFFF, static_cast<std::uint16_t>((30 << 11) | (61 << 5) | 30)},
      {16, 0x1234, 0x00FFFFFF, 0x1234},
      {16, 0x0000, 0x80FF0000, 0x7800},  // 16/32 of red 31 is 15
      {12, 0x0000, 0xFFFFFFFF, 0x0EEE},  // 15/16 at most on RGB444
      {12, 0x0F00, 0x00000000, 0x0F00},
  };
  for (const Case& c : cases) {
    const std::uint32_t pixel = c.argb;
    const ssImageView view{&pixel, 1, 1, false};
    Surface s(2, 1, c.below);
    ssDrawImage(s.Target(c.depth), view, {0, 0, 1, 1}, {0, 0, 1, 1}, false);
    EXPECT_EQ(s.At(0, 0), c.want) << std::hex << c.argb;
    EXPECT_EQ(s.At(1, 0), c.below);
  }
}

TEST(StretchImage, BilinearNearestAndMixers) {
  // 2 x 1 device image, black and red, stretched to 4 x 2: samples at u =
  // 0, 0.5, 1, 1.5 and v = 0, 0.5. Past the last column or row a sample
  // repeats the top-left one, so the second row's half-way pixel gets only
  // a quarter of the red.
  const std::uint16_t img[2] = {0x0000, 0xF800};
  Surface s(4, 2, 0);
  ssDrawImage(s.Target(), {img, 2, 1, true}, {0, 0, 4, 2}, {0, 0, 2, 1}, false);
  const std::uint16_t rows[2][4] = {{0x0000, 0x7800, 0xF800, 0xF800}, {0x0000, 0x3800, 0xF800, 0xF800}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(s.At(x, y), rows[y][x]) << x << "," << y;

  // 32-bit images take the nearest column and blend.
  const std::uint32_t argb[2] = {0xFF0000FF, 0xFF00FF00};
  Surface n(4, 1, 0);
  ssStretchImage(n.Target(), {argb, 2, 1, false}, {0, 0, 4, 1}, {0, 0, 2, 1}, false);
  EXPECT_EQ(n.At(0, 0), 30);
  EXPECT_EQ(n.At(1, 0), 30);
  EXPECT_EQ(n.At(2, 0), 61 << 5);
  EXPECT_EQ(n.At(3, 0), 61 << 5);

  // A destination far outside the target writes nothing out of bounds.
  Surface c(4, 2, 0x1111);
  ssStretchImage(c.Target(), {img, 2, 1, true}, {-50, -50, 3000, 3000}, {0, 0, 2, 1}, true);
  for (int y = 0; y < 2; ++y) EXPECT_EQ(c.px[static_cast<std::size_t>(y * 5 + 4)], 0x1111);

  const std::uint16_t four[4] = {0xFFFF, 0x0000, 0x0000, 0x0000};
  const std::int32_t quarter[4] = {0x4000, 0x4000, 0x4000, 0x4000};
  EXPECT_EQ(ssMix4RGB565(four, quarter), static_cast<std::uint16_t>((7 << 11) | (15 << 5) | 7));
  const std::uint16_t four444[4] = {0x0FFF, 0x0FFF, 0x0000, 0x0000};
  EXPECT_EQ(ssMix4RGB444(four444, quarter), 0x0777);
}

}  // namespace
