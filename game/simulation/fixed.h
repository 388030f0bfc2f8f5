// Fixed-point arithmetic of the table simulation.
//
// Formats (all signed 32-bit unless said otherwise):
//   Fix16    16 fraction bits (0x10000 = 1.0): positions and lengths in ball
//            radii, speeds in radii per second, angles in radians.
//   Fix30    30 fraction bits (0x40000000 = 1.0): unit vectors, sines, cosines.
//   Fix24    24 fraction bits: friction and spin factors.
//   FixAngle unsigned, 0x40000 = one turn; only the low 18 bits count.
//
// Every function is pure integer code: no floating point, no allocation, no
// failure. Divisions that cannot be represented saturate as documented.
// Signed overflow is never relied on: sums that may wrap go through the
// wrapping helpers below.
#pragma once

#include <cstdint>

namespace ks {

using Fix16 = int32_t;
using Fix24 = int32_t;
using Fix30 = int32_t;
using FixAngle = uint32_t;

inline constexpr Fix16 kFixOne16 = 0x10000;
inline constexpr Fix30 kFixOne30 = 0x40000000;
inline constexpr FixAngle kAngleMask = 0x3FFFF;
inline constexpr FixAngle kQuarterTurn = 0x10000;
inline constexpr Fix16 kHalfPi16 = 102944;

// A 64-bit value as two words, low word first; signed values in two's complement.
struct Int64Parts {
  uint32_t low = 0;
  uint32_t high = 0;
};

struct FixVec3 {
  int32_t x = 0;
  int32_t y = 0;
  int32_t z = 0;
  friend bool operator==(const FixVec3&, const FixVec3&) = default;
};

struct FixVec2 {
  int32_t x = 0;
  int32_t z = 0;
  friend bool operator==(const FixVec2&, const FixVec2&) = default;
};

struct FixSinCos {
  Fix30 sin = 0;
  Fix30 cos = 0;
};

// Quarter-wave sine table, Q14 (16384 = 1.0), entries 0..1024.
extern const int16_t kSineTable[1025];

// ---- wrapping helpers (defined two's-complement results, no UB) ----
constexpr int32_t WrapAdd32(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
constexpr int32_t WrapSub32(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
constexpr int32_t WrapNeg32(int32_t a) { return static_cast<int32_t>(0u - static_cast<uint32_t>(a)); }
constexpr int64_t WrapAdd64(int64_t a, int64_t b) {
  return static_cast<int64_t>(static_cast<uint64_t>(a) + static_cast<uint64_t>(b));
}
constexpr int64_t WrapSub64(int64_t a, int64_t b) {
  return static_cast<int64_t>(static_cast<uint64_t>(a) - static_cast<uint64_t>(b));
}
constexpr int64_t SMul64(int32_t a, int32_t b) { return static_cast<int64_t>(a) * b; }
constexpr int64_t ToInt64(Int64Parts v) { return static_cast<int64_t>((static_cast<uint64_t>(v.high) << 32) | v.low); }
constexpr uint64_t ToUint64(Int64Parts v) { return (static_cast<uint64_t>(v.high) << 32) | v.low; }
constexpr Int64Parts FromUint64(uint64_t v) {
  return Int64Parts{static_cast<uint32_t>(v), static_cast<uint32_t>(v >> 32)};
}
constexpr Int64Parts FromInt64(int64_t v) { return FromUint64(static_cast<uint64_t>(v)); }
constexpr int32_t Abs32(int32_t v) { return v < 0 ? WrapNeg32(v) : v; }  // |INT_MIN| stays INT_MIN

// ---- the operations ----
int CountLeadingZeros(uint32_t v);

// Quotient of (high:low) / divisor. A high word not below the divisor (a zero
// divisor included) gives 0xFFFFFFFF for quotient and remainder.
uint32_t UDiv64By32(uint32_t high, uint32_t low, uint32_t divisor, uint32_t* remainder = nullptr);
// Signed form; the remainder takes the dividend's sign. Saturates to 0x80000000
// for quotient and remainder when the quotient does not fit (or divisor is 0).
int32_t SDiv64By32(int32_t high, uint32_t low, int32_t divisor, int32_t* remainder = nullptr);
uint32_t UDiv64By32To64(const Int64Parts& dividend, uint32_t divisor, Int64Parts* result);
int32_t SDiv64By32To64(const Int64Parts& dividend, int32_t divisor, Int64Parts* result);

Int64Parts UMul32To64(uint32_t a, uint32_t b);
Int64Parts SMul32To64(int32_t a, int32_t b);
Int64Parts USquareTo64(uint32_t a);
Int64Parts SSquareTo64(int32_t a);

constexpr uint32_t UMulShr(uint32_t a, uint32_t b, int n) {
  return static_cast<uint32_t>((static_cast<uint64_t>(a) * b) >> n);
}
constexpr uint32_t UMulShr16(uint32_t a, uint32_t b) { return UMulShr(a, b, 16); }
constexpr uint32_t UMulShr24(uint32_t a, uint32_t b) { return UMulShr(a, b, 24); }
constexpr uint32_t UMulShr28(uint32_t a, uint32_t b) { return UMulShr(a, b, 28); }
constexpr uint32_t UMulShr30(uint32_t a, uint32_t b) { return UMulShr(a, b, 30); }

// Signed product shifted right arithmetically (rounds toward minus infinity).
constexpr int32_t FixMulShr(int32_t a, int32_t b, int n) {
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(SMul64(a, b) >> n)));
}
constexpr int32_t FixMul16(int32_t a, int32_t b) { return FixMulShr(a, b, 16); }
constexpr int32_t FixMul24(int32_t a, int32_t b) { return FixMulShr(a, b, 24); }
constexpr int32_t FixMul28(int32_t a, int32_t b) { return FixMulShr(a, b, 28); }
constexpr int32_t FixMul30(int32_t a, int32_t b) { return FixMulShr(a, b, 30); }

Int64Parts Add64(const Int64Parts& a, const Int64Parts& b);
Int64Parts Sub64(const Int64Parts& a, const Int64Parts& b);
// Low 32 bits of (high:low) shifted right logically by n (1..31).
uint32_t Shr64To32(uint32_t low, uint32_t high, int n);

// Low 32 bits of the value shifted right by n, plus 1 when bit n-1 is set.
constexpr int32_t Round64Shr(int64_t v, int n) {
  const uint64_t u = static_cast<uint64_t>(v);
  return static_cast<int32_t>(static_cast<uint32_t>((u >> n) + ((u >> (n - 1)) & 1)));
}
constexpr int32_t Round64Shr8(int64_t v) { return Round64Shr(v, 8); }
constexpr int32_t Round64Shr16(int64_t v) { return Round64Shr(v, 16); }
constexpr int32_t Round64Shr24(int64_t v) { return Round64Shr(v, 24); }
constexpr int32_t Round64Shr28(int64_t v) { return Round64Shr(v, 28); }
constexpr int32_t Round64Shr29(int64_t v) { return Round64Shr(v, 29); }
constexpr int32_t Round64Shr30(int64_t v) { return Round64Shr(v, 30); }
constexpr int32_t Round64Shr16(Int64Parts v) { return Round64Shr(ToInt64(v), 16); }
constexpr int32_t Round64Shr30(Int64Parts v) { return Round64Shr(ToInt64(v), 30); }

// Largest integer whose square does not exceed the unsigned value.
uint32_t ISqrt64(const Int64Parts& v);
uint32_t ISqrt64(uint64_t v);

int32_t Dot3Fix30(const FixVec3& a, const FixVec3& b);
int32_t Dot2Fix30(const FixVec2& a, const FixVec2& b);
int32_t Length3D(const FixVec3& v);
int32_t Length2D(const FixVec3& v);

// Normalisation to a Fix30 unit vector; a zero vector stays zero and returns 0.
int32_t Normalize3D(FixVec3& v);
int32_t Normalize2D(FixVec3& v);  // x and z; y untouched
int32_t NormalizeVec2(FixVec2& v);
// As above after pre-scaling short vectors up to keep their precision.
int32_t Normalize3DScaled(FixVec3& v);
int32_t Normalize2DScaled(FixVec3& v);
int32_t NormalizeVec2Scaled(FixVec2& v);

FixSinCos SinCos(FixAngle angle);
// Arctangent of a/b in Fix16 radians, between -pi/2 and +pi/2.
Fix16 ArcTan2(int32_t a, int32_t b);
// 4 x ArcTan2(sqrt(1 - c^2), c) for a Fix30 cosine c (clamped to +-1).
Fix16 ArcCosFix(Fix30 c);

}  // namespace ks
