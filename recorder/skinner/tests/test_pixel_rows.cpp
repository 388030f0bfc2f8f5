#include <gtest/gtest.h>

#include <vector>

#include "skinner/pixel_rows.h"

namespace {

TEST(PixelRows, RowStartsFollowTheStrideEitherWay) {
  std::vector<std::uint8_t> pixels(1200);
  std::uint8_t* base = pixels.data();
  skinner::PixelRows up(base, 100, 3, -400);
  EXPECT_EQ(up.row_bytes(0), base + 800);
  EXPECT_EQ(up.row_bytes(1), base + 400);
  EXPECT_EQ(up.row_bytes(2), base);
  skinner::PixelRows down(base, 100, 3, 400);
  EXPECT_EQ(down.row_bytes(2), base + 800);
  EXPECT_EQ(reinterpret_cast<std::uint8_t*>(down.row(1)), base + 400);
}

TEST(PixelRows, TheArrayGrowsButNeverShrinks) {
  std::vector<std::uint8_t> pixels(4 * 8 * 8);
  skinner::PixelRows rows(pixels.data(), 8, 8, 32);
  std::uint8_t* const* const table = rows.table();
  rows.assign(pixels.data(), 8, 2, -32);
  EXPECT_EQ(rows.table(), table);
  EXPECT_EQ(rows.capacity(), 8u);
  EXPECT_EQ(rows.row_bytes(0), pixels.data() + 32);
  rows.assign(pixels.data(), 8, 0, 32);
  EXPECT_EQ(rows.height(), 0u);
  EXPECT_EQ(rows.table(), table);
  rows.assign(pixels.data(), 4, 16, 16);
  EXPECT_EQ(rows.capacity(), 16u);
  EXPECT_EQ(rows.row_bytes(15), pixels.data() + 240);
}

}  // namespace
