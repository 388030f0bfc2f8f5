// Rectangle fills, the checkerboard, the blend and DrawRect's rotation map,
// on small surfaces with a guard border that must stay untouched.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "display/display_s16.h"

namespace {

constexpr int kW = 12;  // pixels a row; the pitch adds two guard pixels
constexpr int kH = 6;
constexpr int kPitchPixels = kW + 2;
constexpr std::uint16_t kGuard = 0xBEEF;

struct Surface {
  std::vector<std::uint16_t> pixels = std::vector<std::uint16_t>(kPitchPixels * (kH + 1), kGuard);
  std::uint16_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y * kPitchPixels + x)]; }
  // Pixels of row y inside [0, kW) that are not the guard value.
  int Written(int y) const {
    int n = 0;
    for (int x = 0; x < kW; ++x) n += At(x, y) != kGuard;
    return n;
  }
  void ExpectGuardsIntact() const {
    for (int y = 0; y <= kH; ++y) {
      for (int x = 0; x < kPitchPixels; ++x) {
        if (y == kH || x >= kW) {
          EXPECT_EQ(At(x, y), kGuard) << x << "," << y;
        }
      }
    }
  }
};

constexpr int kPitch = kPitchPixels * 2;

TEST(DisplayFills, FillRect16IsExactAtOddEdges) {
  struct Row {
    ssRect rect;
    int firstX, lastX;  // inclusive columns written
  };
  const Row rows[] = {
      {{0, 0, 12, 6}, 0, 11}, {{1, 1, 4, 3}, 1, 3}, {{3, 2, 4, 3}, 3, 3}, {{2, 0, 9, 6}, 2, 8}, {{-3, -1, 2, 1}, 0, 1},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.rect.left);
    Surface s;
    ssDisplayS16::FillRect16(s.pixels.data(), r.rect, 0x1357, kPitch);
    for (int y = 0; y < kH; ++y) {
      const bool inRow = y >= std::max<LONG>(r.rect.top, 0) && y < r.rect.bottom;
      for (int x = 0; x < kW; ++x) {
        const bool inside = inRow && x >= r.firstX && x <= r.lastX;
        EXPECT_EQ(s.At(x, y), inside ? 0x1357 : kGuard) << x << "," << y;
      }
    }
    s.ExpectGuardsIntact();
  }
  Surface empty;
  ssDisplayS16::FillRect16(empty.pixels.data(), ssRect{5, 2, 5, 4}, 1, kPitch);
  ssDisplayS16::FillRect16(empty.pixels.data(), ssRect{6, 2, 4, 4}, 1, kPitch);
  for (int y = 0; y < kH; ++y) EXPECT_EQ(empty.Written(y), 0);
}

TEST(DisplayFills, FillRectRawAlternatesThePatternHalvesByRow) {
  ssDisplayS16 d;
  Surface s;
  // An odd left edge: the checkerboard keeps its columns' phase.
  d.FillRectRaw(s.pixels.data(), ssRect{1, 1, 6, 4}, 0x0000ABCD, kPitch);
  for (int y = 1; y < 4; ++y) {
    for (int x = 1; x < 6; ++x) {
      const bool colour = ((x + (y - 1)) & 1) == 0;
      EXPECT_EQ(s.At(x, y), colour ? 0xABCD : 0x0000) << x << "," << y;
    }
  }
  EXPECT_EQ(s.Written(0), 0);
  EXPECT_EQ(s.Written(4), 0);
  s.ExpectGuardsIntact();
}

TEST(DisplayFills, BlendRectMovesEighteenThirtySecondsTowardsThePixel) {
  struct Vector {
    int depth;
    std::uint16_t dst, colour, want;
  };
  const Vector vectors[] = {
      {16, 0xFFFF, 0x0000, 0x6B6D},  // towards black
      {16, 0x0000, 0xFFFF, 0x8C71},  // 31 * 18 / 32 = 17, 63 * 18 / 32 = 35
      {16, 0x1234, 0x1234, 0x1234},  // the colour itself stays
      {12, 0x0FFF, 0x0000, 0x0666},  // 15 - ceil(15 * 9 / 16) = 6
      {12, 0x0000, 0x0FFF, 0x0888},
  };
  for (const Vector& v : vectors) {
    SCOPED_TRACE(v.depth);
    ssDisplayS16 d;
    d.m_Depth = v.depth;
    Surface s;
    ssDisplayS16::FillRect16(s.pixels.data(), ssRect{0, 0, kW, kH}, v.dst, kPitch);
    d.BlendRect(s.pixels.data(), ssRect{3, 1, 8, 2}, v.colour, kPitch);
    EXPECT_EQ(s.At(3, 1), v.want) << std::hex << v.dst << " to " << v.colour;
    EXPECT_EQ(s.At(7, 1), v.want);
    EXPECT_EQ(s.At(2, 1), v.dst);
    EXPECT_EQ(s.At(8, 1), v.dst);
    EXPECT_EQ(s.At(3, 2), v.dst);
  }
}

TEST(DisplayFills, FillRect8WritesBytes) {
  std::vector<std::uint8_t> bytes(10 * 4, 0);
  ssDisplayS16::FillRect8(bytes.data(), ssRect{3, 1, 6, 3}, 31, 10);
  int written = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) written += bytes[i] == 31;
  EXPECT_EQ(written, 6);
  EXPECT_EQ(bytes[13], 31);
  EXPECT_EQ(bytes[25], 31);
  EXPECT_EQ(bytes[26], 0);
}

// A device whose back buffer is a plain array, to test DrawRect alone.
class DrawRectTest : public ::testing::Test {
 protected:
  void Use(int width, int height, int rotate) {
    m_Buffer.assign(static_cast<std::size_t>(width * height), 0);
    m_D.m_Width = width;
    m_D.m_Height = height;
    m_D.m_Rotate = rotate;
    m_D.m_Depth = 16;
    m_D.m_RenderBuffer = m_Buffer.data();
    m_D.m_RenderWidth = width;
    m_D.m_RenderHeight = height;
    m_D.m_RenderPitch = width * 2;
    m_D.m_RenderBits = 16;
  }
  std::uint16_t At(int x, int y) const { return m_Buffer[static_cast<std::size_t>(y * m_D.m_Width + x)]; }
  // The bounding box of non-zero pixels.
  ssRect Box() const {
    ssRect box{1 << 20, 1 << 20, -1, -1};
    for (int y = 0; y < m_D.m_Height; ++y) {
      for (int x = 0; x < m_D.m_Width; ++x) {
        if (At(x, y) == 0) continue;
        box.left = std::min<LONG>(box.left, x);
        box.top = std::min<LONG>(box.top, y);
        box.right = std::max<LONG>(box.right, x + 1);
        box.bottom = std::max<LONG>(box.bottom, y + 1);
      }
    }
    return box;
  }
  ssDisplayS16 m_D;
  std::vector<std::uint16_t> m_Buffer;
};

TEST_F(DrawRectTest, RotationMapsLogicalEdgesIntoTheBuffer) {
  struct Row {
    int rotate;
    ssRect want;
  };
  const Row rows[] = {
      {0, {10, 20, 30, 40}},
      {1, {20, 290, 40, 310}},
      {2, {210, 280, 230, 300}},
      {3, {200, 10, 220, 30}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.rotate);
    Use(240, 320, r.rotate);
    m_D.DrawRect(ssRect{10, 20, 30, 40}, ssDisplayS16::kRectFilled, 0xFFFF);
    const ssRect box = Box();
    EXPECT_EQ(box.left, r.want.left);
    EXPECT_EQ(box.top, r.want.top);
    EXPECT_EQ(box.right, r.want.right);
    EXPECT_EQ(box.bottom, r.want.bottom);
  }
}

TEST_F(DrawRectTest, OutlineTouchesOnlyTheBorder) {
  Use(16, 12, 0);
  m_D.DrawRect(ssRect{0, 0, 10, 10}, 0, 0x00FF);
  for (int y = 0; y < 12; ++y) {
    for (int x = 0; x < 16; ++x) {
      const bool border = x < 10 && y < 10 && (x == 0 || y == 0 || x == 9 || y == 9);
      EXPECT_EQ(At(x, y), border ? 0x00FF : 0) << x << "," << y;
    }
  }
}

TEST_F(DrawRectTest, FlagsChooseCheckerboardBlendOrSolid) {
  Use(16, 12, 0);
  m_D.DrawRect(ssRect{1, 1, 5, 4}, ssDisplayS16::kRectFilled | ssDisplayS16::kRectChecker, 0xF800);
  EXPECT_EQ(At(1, 1), 0);  // odd column of the first row: the pattern's high half
  EXPECT_EQ(At(2, 1), 0xF800);
  EXPECT_EQ(At(1, 2), 0xF800);
  EXPECT_EQ(At(2, 2), 0);
  Use(16, 12, 0);
  m_D.DrawRect(ssRect{0, 0, 16, 12}, ssDisplayS16::kRectFilled, 0xFFFF);
  m_D.DrawRect(ssRect{2, 2, 4, 4}, ssDisplayS16::kRectFilled | ssDisplayS16::kRectBlend, 0);
  EXPECT_EQ(At(2, 2), 0x6B6D);
  EXPECT_EQ(At(4, 4), 0xFFFF);
}

TEST_F(DrawRectTest, RectanglesOutsideTheTargetAreCut) {
  Use(16, 12, 0);
  m_D.DrawRect(ssRect{-5, -5, 3, 2}, ssDisplayS16::kRectFilled, 0x0001);
  m_D.DrawRect(ssRect{14, 10, 40, 40}, 0, 0x0002);
  m_D.DrawRect(ssRect{100, 100, 200, 200}, ssDisplayS16::kRectFilled | ssDisplayS16::kRectBlend, 0x0003);
  EXPECT_EQ(At(0, 0), 0x0001);
  EXPECT_EQ(At(2, 1), 0x0001);
  EXPECT_EQ(At(3, 1), 0);
  EXPECT_EQ(At(15, 10), 0x0002);
  EXPECT_EQ(At(14, 11), 0x0002);
  const ssRect box = Box();
  EXPECT_EQ(box.right, 16);
  EXPECT_EQ(box.bottom, 12);
}

}  // namespace
