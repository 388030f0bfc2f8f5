// Fixed-point primitives: exact values at the edges and properties against
// wide integer oracles.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "simulation/fixed.h"

namespace ks {
namespace {

TEST(Fixed, CountLeadingZeros) {
  EXPECT_EQ(CountLeadingZeros(0), 32);
  EXPECT_EQ(CountLeadingZeros(1), 31);
  EXPECT_EQ(CountLeadingZeros(0x80000000u), 0);
  for (int i = 0; i < 32; ++i) EXPECT_EQ(CountLeadingZeros(1u << i), 31 - i);
}

TEST(Fixed, UnsignedDivisionSaturatesAndOtherwiseIsExact) {
  uint32_t rem = 0;
  EXPECT_EQ(UDiv64By32(5, 0, 5, &rem), 0xFFFFFFFFu);
  EXPECT_EQ(rem, 0xFFFFFFFFu);
  EXPECT_EQ(UDiv64By32(0, 7, 0, &rem), 0xFFFFFFFFu);  // zero divisor takes the same branch
  std::mt19937_64 g(1);
  for (int i = 0; i < 20000; ++i) {
    const uint32_t d = static_cast<uint32_t>(g()) >> (g() % 32) | 1u;
    const uint32_t hi = static_cast<uint32_t>(g() % d), lo = static_cast<uint32_t>(g());
    const unsigned __int128 n = (static_cast<unsigned __int128>(hi) << 32) | lo;
    ASSERT_EQ(UDiv64By32(hi, lo, d, &rem), static_cast<uint32_t>(n / d));
    ASSERT_EQ(rem, static_cast<uint32_t>(n % d));
  }
}

TEST(Fixed, SignedDivision) {
  int32_t rem = 0;
  EXPECT_EQ(SDiv64By32(0, 0x80000000u, 1, &rem), INT32_MIN);  // +2^31 does not fit
  EXPECT_EQ(rem, INT32_MIN);
  EXPECT_EQ(SDiv64By32(-1, 0x80000000u, 1, &rem), INT32_MIN);  // -2^31 fits exactly
  EXPECT_EQ(rem, 0);
  EXPECT_EQ(SDiv64By32(-1, static_cast<uint32_t>(-7), 2, &rem), -3);
  EXPECT_EQ(rem, -1) << "the remainder takes the dividend's sign";
  EXPECT_EQ(SDiv64By32(0, 7, 0, &rem), INT32_MIN);
  Int64Parts q;
  EXPECT_EQ(SDiv64By32To64(FromInt64(-100), 7, &q), -14);
  EXPECT_EQ(q.high, 0u);
}

TEST(Fixed, SquareRoot) {
  EXPECT_EQ(ISqrt64(uint64_t{0}), 0u);
  EXPECT_EQ(ISqrt64(uint64_t{1}), 1u);
  EXPECT_EQ(ISqrt64(UINT64_MAX), 0xFFFFFFFFu);
  EXPECT_EQ(ISqrt64(uint64_t{1} << 60), 1u << 30);
  std::mt19937_64 g(2);
  for (int i = 0; i < 20000; ++i) {
    const uint64_t v = g() >> (g() % 64);
    const uint64_t r = ISqrt64(v);
    ASSERT_LE(static_cast<unsigned __int128>(r) * r, v);
    ASSERT_GT(static_cast<unsigned __int128>(r + 1) * (r + 1), v);
  }
}

TEST(Fixed, MultiplyAndRound) {
  EXPECT_EQ(Round64Shr16(int64_t{0x8000}), 1);
  EXPECT_EQ(Round64Shr16(int64_t{0x7FFF}), 0);
  EXPECT_EQ(FixMul16(-1, 1), -1) << "arithmetic shift floors";
  EXPECT_EQ(FixMul30(kFixOne30, -12345), -12345);
  EXPECT_EQ(UMulShr24(0xFFFFFFFFu, 0x1000000u), 0xFFFFFFFFu);
  EXPECT_EQ(Shr64To32(0, 1, 1), 0x80000000u);
  EXPECT_EQ(ToInt64(Add64(FromInt64(-1), FromInt64(1))), 0);
  EXPECT_EQ(ToInt64(Sub64(FromInt64(0), FromInt64(1))), -1);
  EXPECT_EQ(ToInt64(SSquareTo64(INT32_MIN)), int64_t{1} << 62);
  EXPECT_EQ(Dot3Fix30(FixVec3{kFixOne30, 0, 0}, FixVec3{kFixOne30, 0, 0}), kFixOne30);
  EXPECT_EQ(Dot2Fix30(FixVec2{1 << 15, 0}, FixVec2{1 << 14, 0}), 1) << "bit 29 rounds up";
}

TEST(Fixed, Normalisation) {
  FixVec3 z{};
  EXPECT_EQ(Normalize3D(z), 0);
  EXPECT_EQ(z, FixVec3{});
  FixVec3 v{3, 0, 4};
  EXPECT_EQ(Normalize3D(v), 0x33333333);
  EXPECT_EQ(v, (FixVec3{0x26666666, 0, 0x33333333}));
  FixVec3 w{3, 77, 4};
  Normalize2D(w);
  EXPECT_EQ(w, (FixVec3{0x26666666, 77, 0x33333333})) << "y untouched";
  // The scaled forms keep the precision of very short vectors.
  FixVec3 tiny{1, 0, 1};
  Normalize2D(tiny);
  FixVec3 tinyScaled{1, 0, 1};
  Normalize2DScaled(tinyScaled);
  EXPECT_EQ(tiny.x, kFixOne30) << "length 1 after rounding: not unit";
  EXPECT_NEAR(tinyScaled.x, 759250125, 1000);
  // Each pre-shift threshold gives a unit vector.
  for (int32_t m : {0x1000000, 0x100000, 0x10000, 4096, 256, 3}) {
    FixVec3 s{m, m / 2, m};
    Normalize3DScaled(s);
    const double len = std::sqrt(double(s.x) * s.x + double(s.y) * s.y + double(s.z) * s.z) / kFixOne30;
    EXPECT_NEAR(len, 1.0, m >= 256 ? 1e-6 : 1e-3) << m;
  }
  FixVec2 p{-5, 0};
  EXPECT_EQ(NormalizeVec2Scaled(p), 0);
  EXPECT_EQ(p.x, -kFixOne30);
}

TEST(Fixed, SineTableAndSinCos) {
  EXPECT_EQ(kSineTable[0], 0);
  EXPECT_EQ(kSineTable[1], 25);
  EXPECT_EQ(kSineTable[341], 8192);
  EXPECT_EQ(kSineTable[512], 11594);
  EXPECT_EQ(kSineTable[682], 14188);
  EXPECT_EQ(kSineTable[1022], 16383);
  EXPECT_EQ(kSineTable[1023], 16384);
  EXPECT_EQ(kSineTable[1024], 16384);
  struct Case {
    FixAngle a;
    Fix30 s, c;
  };
  for (const Case& c : {Case{0, 0, kFixOne30}, Case{0x10000, kFixOne30, 0}, Case{0x20000, 0, -kFixOne30},
                        Case{0x40000, 0, kFixOne30}, Case{768, 0x012D0000, 0x3FFD0000}}) {
    const FixSinCos sc = SinCos(c.a);
    EXPECT_EQ(sc.sin, c.s) << c.a;
    EXPECT_EQ(sc.cos, c.c) << c.a;
  }
  for (FixAngle a = 0; a < 0x40000; a += 7) {
    const FixSinCos sc = SinCos(a);
    ASSERT_EQ(sc.sin, -SinCos(a + 0x20000).sin) << a;
    const double n = (double(sc.sin) * sc.sin + double(sc.cos) * sc.cos) / (double(kFixOne30) * kFixOne30);
    ASSERT_NEAR(n, 1.0, 0.004) << a;
  }
}

TEST(Fixed, ArcTangent) {
  EXPECT_EQ(ArcTan2(1000, 1000), 51471);
  EXPECT_EQ(ArcTan2(1, 2), 30385);
  EXPECT_EQ(ArcTan2(2, 1), 72559);
  EXPECT_EQ(ArcTan2(65536, 0), 102943);
  EXPECT_EQ(ArcTan2(1, 0), ArcTan2(1, 1)) << "b = 0 is taken as 1";
  EXPECT_EQ(ArcTan2(1, -1), -51471);
  EXPECT_EQ(ArcTan2(-1, 1), -51471);
  EXPECT_EQ(ArcTan2(-1, -1), ArcTan2(1, 1));
  for (int32_t y : {0, 1, -1, INT32_MIN, INT32_MAX}) EXPECT_EQ(ArcTan2(0, y), 0);
  // The most negative word neither loops nor overflows.
  EXPECT_EQ(ArcTan2(INT32_MIN, 1), -ArcTan2(INT32_MAX, 1));
  EXPECT_EQ(ArcTan2(INT32_MIN, INT32_MIN), ArcTan2(1, 1));
  std::mt19937 g(3);
  for (int i = 0; i < 20000; ++i) {
    const int32_t a = static_cast<int32_t>(g() % 2000001) - 1000000;
    int32_t b = static_cast<int32_t>(g() % 2000001) - 1000000;
    if (b == 0) b = 1;
    if (std::abs(static_cast<double>(a) / b) > 32768) continue;
    ASSERT_NEAR(ArcTan2(a, b), std::atan(static_cast<double>(a) / b) * 65536, 3) << a << "/" << b;
  }
}

TEST(Fixed, ArcCosine) {
  EXPECT_EQ(ArcCosFix(0), 411776);
  EXPECT_EQ(ArcCosFix(1 << 29), 274520);
  EXPECT_EQ(ArcCosFix(kFixOne30), 0);
  EXPECT_EQ(ArcCosFix(kFixOne30 + 5), 0) << "a cosine rounded past 1 is clamped";
  EXPECT_EQ(ArcCosFix(INT32_MIN), ArcCosFix(-kFixOne30));
}

}  // namespace
}  // namespace ks
