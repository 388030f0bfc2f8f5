// Triangles and pipeline primitives drawn through the device: they land in
// the render target, turned for the screen and held inside the clip.
#include <cstdint>
#include <memory>
#include <vector>

#include "display_test_support.h"
#include "engine/image.h"
#include "engine/model.h"

namespace {

using ks::test::OpenDevice;

std::uint16_t At(const ssDisplayS16& d, int x, int y) {
  return d.m_BackBuffer[static_cast<std::size_t>(y) * (d.m_RenderPitch / 2) + static_cast<std::size_t>(x)];
}

TEST(DisplayTriangle, FillsInsideTheClipOnly) {
  auto d = OpenDevice(ssDisplayS16::kModeGdi, 320, 240);
  ASSERT_EQ(d->m_Rotate, 0);
  d->BeginDraw();
  d->Clear();
  // Clockwise on the screen: right along the top, then down the left.
  d->FillTriangle(10, 10, 50, 10, 10, 50, 0x07E0);
  EXPECT_EQ(At(*d, 15, 15), 0x07E0);
  EXPECT_EQ(At(*d, 30, 12), 0x07E0);
  EXPECT_EQ(At(*d, 45, 45), 0) << "beyond the long edge";
  EXPECT_EQ(At(*d, 5, 5), 0);

  d->Clear();
  d->PushClipRect(ssRect{20, 0, 40, 30});
  d->FillTriangle(10, 10, 50, 10, 10, 50, 0xF800);
  d->PopClipRect();
  int inside = 0;
  for (int y = 0; y < 240; ++y) {
    for (int x = 0; x < 320; ++x) {
      if (At(*d, x, y) == 0) continue;
      EXPECT_TRUE(x >= 20 && x < 40 && y < 30) << x << "," << y;
      ++inside;
    }
  }
  EXPECT_GT(inside, 100);
  EXPECT_EQ(At(*d, 25, 15), 0xF800);
}

TEST(DisplayTriangle, TurnedWithTheScreenAndSafeWithoutATarget) {
  auto d = OpenDevice(ssDisplayS16::kModeGdi, 240, 320);
  ASSERT_EQ(d->m_Rotate, 1);
  d->BeginDraw();
  d->Clear();
  d->FillTriangle(10, 10, 50, 10, 10, 50, 0x001F);
  // Logical (x, y) is buffer (y, height - x - 1) at a quarter turn.
  EXPECT_EQ(At(*d, 15, 320 - 15 - 1), 0x001F);
  EXPECT_EQ(At(*d, 45, 320 - 45 - 1), 0);

  ssDisplayS16 closed;
  EXPECT_EQ(closed.FillTriangle(0, 0, 10, 0, 0, 10, 0xFFFF), 0);
}

// The clip bounds the rasteriser exactly where it bounds every other kind of
// drawing: the logical rectangle pushed, in each screen turn.
TEST(DisplayTriangle, ClipHoldsExactlyToTheLogicalRectangleInEveryTurn) {
  for (int rotate = 0; rotate < 4; ++rotate) {
    SCOPED_TRACE(rotate);
    const bool odd = (rotate & 1) != 0;
    auto d = std::make_unique<ssDisplayS16>();
    d->ForceOutput(ssDisplayS16::kModeGdi);
    d->m_Rotate = rotate;
    ASSERT_EQ(d->Init(nullptr, odd ? 240 : 320, odd ? 320 : 240, 16, 0), 0);
    const int w = d->m_Width, h = d->m_Height;
    auto logical = [&](int x, int y) {
      switch (rotate) {
        case 1:
          return At(*d, y, h - 1 - x);
        case 2:
          return At(*d, w - 1 - x, h - 1 - y);
        case 3:
          return At(*d, w - 1 - y, x);
        default:
          return At(*d, x, y);
      }
    };
    d->BeginDraw();
    d->Clear();
    d->PushClipRect(ssRect{20, 10, 60, 40});
    d->FillTriangle(0, 0, 200, 0, 0, 200, 0xFFFF);  // covers the whole clip
    d->PopClipRect();
    for (int y = 0; y < 240; ++y)
      for (int x = 0; x < 320; ++x) {
        const bool inside = x >= 20 && x < 60 && y >= 10 && y < 40;
        ASSERT_EQ(logical(x, y), inside ? 0xFFFF : 0) << x << "," << y;
      }
  }
}

// A 16 x 16 texture on the quad (-0.5 .. 0.5)^2 with the default identity
// transforms: the viewport puts it on buffer (80 .. 240, 60 .. 180), each
// texel 10 x 7.5 pixels; a clip set on the device cuts it.
TEST(DisplayPipeline, TexturedQuadDrawsThroughTheDevice) {
  auto d = OpenDevice(ssDisplayS16::kModeGdi, 320, 240);
  ASSERT_EQ(d->m_Rotate, 0);
  std::vector<std::uint16_t> texels(16 * 16);
  for (int i = 0; i < 256; ++i) texels[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(i + 1);
  ssImage image;
  image.SetBorrowedPixels(reinterpret_cast<std::uint8_t*>(texels.data()), kPixelDisplay, 16, 16, 512);
  d->SetTexture(0, &image);
  auto S = [](double x, double y) {
    ssSourceVertex v;
    v.x = static_cast<Fix16>(x * 65536);
    v.y = static_cast<Fix16>(y * 65536);
    v.z = 0;
    return v;
  };
  const std::vector<ssSourceVertex> vs = {S(-0.5, -0.5), S(-0.5, 0.5), S(0.5, 0.5), S(0.5, -0.5)};
  const Fix16 k16 = 16 << 16;
  const ssTexQuadFace face{{0, 1, 2, 3}, {0, 0, k16, k16}, {0, k16, k16, 0}};

  for (const bool clipped : {false, true}) {
    SCOPED_TRACE(clipped);
    d->BeginDraw();
    d->Clear();
    if (clipped) d->PushClipRect(ssRect{0, 0, 160, 120});
    d->DrawIndexedPrimitive(kPrimitiveTexturedQuads, 0, vs.data(), 4, &face, 1, 1, nullptr);
    if (clipped) d->PopClipRect();
    for (int y = 0; y < 240; ++y) {
      for (int x = 0; x < 320; ++x) {
        const bool inQuad = x >= 80 && x < 240 && y >= 60 && y < 180;
        const bool inClip = !clipped || (x < 160 && y < 120);
        if (!(inQuad && inClip)) {
          ASSERT_EQ(At(*d, x, y), 0) << x << "," << y;
        }
      }
    }
    // The middle of every texel's cell shows that texel.
    for (int j = 0; j < 16; ++j) {
      for (int i = 0; i < 16; ++i) {
        const int x = 80 + 10 * i + 5, y = 60 + (15 * j) / 2 + 4;
        if (clipped && (x >= 160 || y >= 120)) continue;
        EXPECT_EQ(At(*d, x, y), texels[static_cast<std::size_t>(j * 16 + i)]) << i << "," << j;
      }
    }
  }
}

}  // namespace
