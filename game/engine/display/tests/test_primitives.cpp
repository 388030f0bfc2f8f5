// Triangles and pipeline primitives drawn through the device: they land in
// the render target, turned for the screen and held inside the clip.
#include <cstdint>

#include "display_test_support.h"

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

}  // namespace
