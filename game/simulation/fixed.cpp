#include "simulation/fixed.h"

namespace ks {

int CountLeadingZeros(uint32_t v) {
  if (v == 0) return 32;
  int n = 0;
  if ((v & 0xFFFF0000u) == 0) {
    n += 16;
    v <<= 16;
  }
  if ((v & 0xFF000000u) == 0) {
    n += 8;
    v <<= 8;
  }
  if ((v & 0xF0000000u) == 0) {
    n += 4;
    v <<= 4;
  }
  if ((v & 0xC0000000u) == 0) {
    n += 2;
    v <<= 2;
  }
  if ((v & 0x80000000u) == 0) {
    n += 1;
  }
  return n;
}

// The quotient of a 64-by-32 division whose quotient fits in 32 bits is
// unique, so the host's 64-bit division gives the same digits as the long
// division of the device.
uint32_t UDiv64By32(uint32_t high, uint32_t low, uint32_t divisor, uint32_t* remainder) {
  if (high >= divisor) {
    if (remainder) *remainder = 0xFFFFFFFFu;
    return 0xFFFFFFFFu;
  }
  const uint64_t n = (static_cast<uint64_t>(high) << 32) | low;
  if (remainder) *remainder = static_cast<uint32_t>(n % divisor);
  return static_cast<uint32_t>(n / divisor);
}

int32_t SDiv64By32(int32_t high, uint32_t low, int32_t divisor, int32_t* remainder) {
  const int64_t n = static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(high)) << 32) | low);
  const uint64_t mag_n = n < 0 ? 0u - static_cast<uint64_t>(n) : static_cast<uint64_t>(n);
  const uint64_t mag_d =
      divisor < 0 ? 0u - static_cast<uint64_t>(static_cast<int64_t>(divisor)) : static_cast<uint64_t>(divisor);
  const bool negative = (n < 0) != (divisor < 0);
  auto saturate = [&]() {
    if (remainder) *remainder = static_cast<int32_t>(0x80000000u);
    return static_cast<int32_t>(0x80000000u);
  };
  if ((mag_n >> 32) >= mag_d) return saturate();  // also a zero divisor
  const uint64_t q = mag_n / mag_d;
  const uint64_t r = mag_n % mag_d;
  if (negative ? q > 0x80000000u : q > 0x7FFFFFFFu) return saturate();
  if (remainder) {
    *remainder = static_cast<int32_t>(static_cast<uint32_t>(n < 0 ? 0u - r : r));
  }
  return static_cast<int32_t>(static_cast<uint32_t>(negative ? 0u - q : q));
}

uint32_t UDiv64By32To64(const Int64Parts& dividend, uint32_t divisor, Int64Parts* result) {
  const uint32_t q = UDiv64By32(dividend.high, dividend.low, divisor, nullptr);
  if (result) *result = Int64Parts{q, 0};
  return q;
}

int32_t SDiv64By32To64(const Int64Parts& dividend, int32_t divisor, Int64Parts* result) {
  const int32_t q = SDiv64By32(static_cast<int32_t>(dividend.high), dividend.low, divisor, nullptr);
  if (result) *result = Int64Parts{static_cast<uint32_t>(q), 0};
  return q;
}

Int64Parts UMul32To64(uint32_t a, uint32_t b) { return FromUint64(static_cast<uint64_t>(a) * b); }
Int64Parts SMul32To64(int32_t a, int32_t b) { return FromInt64(SMul64(a, b)); }
Int64Parts USquareTo64(uint32_t a) { return UMul32To64(a, a); }
Int64Parts SSquareTo64(int32_t a) { return SMul32To64(a, a); }

Int64Parts Add64(const Int64Parts& a, const Int64Parts& b) { return FromUint64(ToUint64(a) + ToUint64(b)); }
Int64Parts Sub64(const Int64Parts& a, const Int64Parts& b) { return FromUint64(ToUint64(a) - ToUint64(b)); }

uint32_t Shr64To32(uint32_t low, uint32_t high, int n) {
  if (n < 1) n = 1;
  if (n > 31) n = 31;
  return static_cast<uint32_t>(((static_cast<uint64_t>(high) << 32) | low) >> n);
}

// The floor of the square root is unique, so any exact method serves: Newton
// from a power of two above the root decreases monotonically onto it.
uint32_t ISqrt64(uint64_t v) {
  if (v == 0) return 0;
  const uint32_t high = static_cast<uint32_t>(v >> 32);
  const int bits = high ? 64 - CountLeadingZeros(high) : 32 - CountLeadingZeros(static_cast<uint32_t>(v));
  uint64_t x = uint64_t{1} << ((bits + 1) / 2);
  for (;;) {
    const uint64_t y = (x + v / x) >> 1;
    if (y >= x) break;
    x = y;
  }
  return static_cast<uint32_t>(x);
}

uint32_t ISqrt64(const Int64Parts& v) { return ISqrt64(ToUint64(v)); }

namespace {

uint64_t SumSquares(int32_t a, int32_t b, int32_t c) {
  // Each square is below 2^62 + 1, so three of them fit an unsigned 64-bit sum.
  return static_cast<uint64_t>(SMul64(a, a)) + static_cast<uint64_t>(SMul64(b, b)) +
         static_cast<uint64_t>(SMul64(c, c));
}

int32_t RoundDot(int64_t sum) {
  const uint64_t u = static_cast<uint64_t>(sum);
  return static_cast<int32_t>(static_cast<uint32_t>((u >> 30) + ((u >> 29) & 1)));
}

int32_t UnitComponent(int32_t c, uint32_t length) {
  // |c| <= length, so the quotient is within +-2^30.
  return static_cast<int32_t>((static_cast<int64_t>(c) * (int64_t{1} << 30)) / static_cast<int64_t>(length));
}

int ScaleShift(uint32_t m) {
  if (m >= 0x1000000u) return 0;
  if (m >= 0x100000u) return 4;
  if (m >= 0x10000u) return 8;
  if (m >= 4096u) return 12;
  if (m >= 256u) return 16;
  return 20;
}

uint32_t Mag(int32_t v) { return v < 0 ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v); }

int32_t ShiftLeft(int32_t v, int s) { return static_cast<int32_t>(static_cast<uint32_t>(v) << s); }

}  // namespace

int32_t Dot3Fix30(const FixVec3& a, const FixVec3& b) {
  int64_t s = SMul64(a.x, b.x);
  s = WrapAdd64(s, SMul64(a.y, b.y));
  s = WrapAdd64(s, SMul64(a.z, b.z));
  return RoundDot(s);
}

int32_t Dot2Fix30(const FixVec2& a, const FixVec2& b) {
  return RoundDot(WrapAdd64(SMul64(a.x, b.x), SMul64(a.z, b.z)));
}

int32_t Length3D(const FixVec3& v) { return static_cast<int32_t>(ISqrt64(SumSquares(v.x, v.y, v.z))); }
int32_t Length2D(const FixVec3& v) { return static_cast<int32_t>(ISqrt64(SumSquares(v.x, 0, v.z))); }

int32_t Normalize3D(FixVec3& v) {
  const uint32_t len = ISqrt64(SumSquares(v.x, v.y, v.z));
  if (len == 0) {
    v = FixVec3{};
    return 0;
  }
  v.x = UnitComponent(v.x, len);
  v.y = UnitComponent(v.y, len);
  v.z = UnitComponent(v.z, len);
  return v.z;
}

int32_t Normalize2D(FixVec3& v) {
  const uint32_t len = ISqrt64(SumSquares(v.x, 0, v.z));
  if (len == 0) {
    v.x = 0;
    v.z = 0;
    return 0;
  }
  v.x = UnitComponent(v.x, len);
  v.z = UnitComponent(v.z, len);
  return v.z;
}

int32_t NormalizeVec2(FixVec2& v) {
  FixVec3 t{v.x, 0, v.z};
  Normalize2D(t);
  v.x = t.x;
  v.z = t.z;
  return v.z;
}

int32_t Normalize3DScaled(FixVec3& v) {
  const int s = ScaleShift(Mag(v.x) | Mag(v.y) | Mag(v.z));
  if (s) {
    v.x = ShiftLeft(v.x, s);
    v.y = ShiftLeft(v.y, s);
    v.z = ShiftLeft(v.z, s);
  }
  return Normalize3D(v);
}

int32_t Normalize2DScaled(FixVec3& v) {
  const int s = ScaleShift(Mag(v.x) | Mag(v.z));
  if (s) {
    v.x = ShiftLeft(v.x, s);
    v.y = ShiftLeft(v.y, s);
    v.z = ShiftLeft(v.z, s);
  }
  return Normalize2D(v);
}

int32_t NormalizeVec2Scaled(FixVec2& v) {
  const int s = ScaleShift(Mag(v.x) | Mag(v.z));
  if (s) {
    v.x = ShiftLeft(v.x, s);
    v.z = ShiftLeft(v.z, s);
  }
  return NormalizeVec2(v);
}

namespace {

Fix30 SineOf(FixAngle angle) {
  const uint32_t a = angle & kAngleMask;
  const uint32_t q = a >> 16;
  switch (q) {
    case 0:
      return static_cast<Fix30>(kSineTable[a >> 6]) * 65536;
    case 1:
      return static_cast<Fix30>(kSineTable[(0x20000 - a) >> 6]) * 65536;
    case 2:
      return -static_cast<Fix30>(kSineTable[(a - 0x20000) >> 6]) * 65536;
    default:
      return -static_cast<Fix30>(kSineTable[(0x40000 - a) >> 6]) * 65536;
  }
}

// ArcTan2 for 0 < a <= b (both below 2^32): the rational approximation.
Fix16 ArcTanCore(uint64_t a, uint64_t b) {
  // a <= b, so the ratio fits Fix16 in 0..1 even for the largest magnitudes.
  const uint64_t t = (a << 16) / b;
  const uint64_t t2 = (t * t) >> 16;
  const uint64_t A = (t2 * (t2 + 1843715)) >> 16;
  const uint64_t B = (t2 * (A + 6521571)) >> 16;
  const uint64_t C = (t2 * 728612) >> 16;
  const uint64_t D = (t2 * (C + 4756697)) >> 16;
  return static_cast<Fix16>((t * (D + 5294652)) / (B + 5294652));
}

}  // namespace

FixSinCos SinCos(FixAngle angle) { return FixSinCos{SineOf(angle), SineOf(angle + kQuarterTurn)}; }

// Worked on 64-bit magnitudes without recursion, so the most negative word
// (whose negation does not fit 32 bits) cannot loop or overflow.
Fix16 ArcTan2(int32_t a32, int32_t b32) {
  int64_t a = a32;
  int64_t b = b32 == 0 ? 1 : b32;
  if (a == 0) return 0;
  if (a < 0) {
    a = -a;
    b = -b;
  }
  int32_t sign = 1;
  if (b < 0) {
    sign = -1;
    b = -b;
  }
  const Fix16 r = a > b ? kHalfPi16 - ArcTanCore(static_cast<uint64_t>(b), static_cast<uint64_t>(a))
                        : ArcTanCore(static_cast<uint64_t>(a), static_cast<uint64_t>(b));
  return sign * r;
}

Fix16 ArcCosFix(Fix30 c) {
  // A rounded cosine may exceed 1.0 slightly; clamp so 1 - c^2 cannot wrap.
  if (c > kFixOne30) c = kFixOne30;
  if (c < -kFixOne30) c = -kFixOne30;
  const uint64_t cc = static_cast<uint64_t>(SMul64(c, c));
  const uint32_t s = ISqrt64((uint64_t{1} << 60) - cc);
  return ArcTan2(static_cast<int32_t>(s), c) * 4;
}

}  // namespace ks
