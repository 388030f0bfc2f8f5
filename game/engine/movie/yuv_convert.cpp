#include "engine/movie/yuv_convert.h"

#include <algorithm>
#include <atomic>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

const std::uint8_t kDither565[16] = {0, 4, 1, 5, 6, 2, 7, 3, 1, 5, 0, 4, 7, 3, 6, 2};
const std::uint8_t kDither444[16] = {0, 8, 3, 11, 12, 4, 15, 7, 3, 11, 0, 8, 14, 7, 12, 4};

namespace {

constexpr std::int32_t kY = 9576, kRCr = 13123, kGCr = 6686, kGCb = 3218, kBCb = 16591;

inline std::int32_t Clamp(std::int32_t v, std::int32_t hi) { return v < 0 ? 0 : (v > hi ? hi : v); }

// The channel rule, for a channel whose 13-bit value is C and whose 8-bit
// value is V = C >> 13: the top bits of V, plus one when the dither entry d
// is below the dropped bits, clamped. That is (V + (2^k - 1) - d) >> k with
// the sum clamped to 0..255 (k the dropped bits: 3, or 2 for green of
// RGB565, 4 for RGB444); the fast converters use this form.
template <bool k444>
inline std::uint16_t Pack(std::int32_t r, std::int32_t g, std::int32_t b, std::int32_t d) {
  if constexpr (k444) {
    const std::int32_t rr = Clamp((r >> 17) + (d < ((r >> 13) & 15)), 15);
    const std::int32_t gg = Clamp((g >> 17) + (d < ((g >> 13) & 15)), 15);
    const std::int32_t bb = Clamp((b >> 17) + (d < ((b >> 13) & 15)), 15);
    return static_cast<std::uint16_t>(rr << 8 | gg << 4 | bb);
  } else {
    const std::int32_t rr = Clamp((r >> 16) + (d < ((r >> 13) & 7)), 31);
    const std::int32_t gg = Clamp((g >> 15) + (d < ((g >> 13) & 3)), 63);
    const std::int32_t bb = Clamp((b >> 16) + (d < ((b >> 13) & 7)), 31);
    return static_cast<std::uint16_t>(rr << 11 | gg << 5 | bb);
  }
}

template <bool k444>
inline std::uint16_t Pixel(int y, int cb, int cr, int d) {
  const std::int32_t yy = (y - 16) * kY, crr = cr - 128, cbb = cb - 128;
  return Pack<k444>(yy + kRCr * crr, yy - kGCr * crr - kGCb * cbb, yy + kBCb * cbb, d);
}

// One picture row, columns [x0, x1), into out[0 .. x1 - x0).
template <bool k444>
void LineScalar(const std::uint8_t* y, const std::uint8_t* cb, const std::uint8_t* cr, int x0, int x1, int row,
                std::uint16_t* out) {
  const std::uint8_t* d = (k444 ? kDither444 : kDither565) + 4 * (row & 3);
  for (int px = x0; px < x1; ++px) *out++ = Pixel<k444>(y[px], cb[px >> 1], cr[px >> 1], d[px & 3]);
}

#if defined(__x86_64__)
// The fast converters work from Y itself: 9576 (Y - 16) = 8192 (a - 19) +
// (b + 2432), with 9576 Y = 8192 a + b.
constexpr int kLumaCarry = 19;
constexpr int kLumaRest = 2432;

// What the fast converters add before dropping bits, for each dither row and
// each starting column mod 4, 32 lanes: 7 - d for red and blue and
// max(0, 3 - d) for green of RGB565, 15 - d for each channel of RGB444;
// less the 19 of the luma offset.
struct DitherRows {
  alignas(64) std::int16_t rb[4][4][32];
  alignas(64) std::int16_t g[4][4][32];
};

template <bool k444>
const DitherRows& DitherFor() {
  static const DitherRows rows = [] {
    DitherRows r{};
    for (int row = 0; row < 4; ++row) {
      for (int phase = 0; phase < 4; ++phase) {
        for (int i = 0; i < 32; ++i) {
          const int d = (k444 ? kDither444 : kDither565)[4 * row + ((phase + i) & 3)];
          r.rb[row][phase][i] = static_cast<std::int16_t>((k444 ? 15 : 7) - d - kLumaCarry);
          r.g[row][phase][i] = static_cast<std::int16_t>((k444 ? 15 - d : std::max(0, 3 - d)) - kLumaCarry);
        }
      }
    }
    return r;
  }();
  return rows;
}

#define V __m256i
#define LOAD(p) _mm256_load_si256(reinterpret_cast<const __m256i*>(p))
#define STORE(p, x) _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), x)
#define SET16(x) _mm256_set1_epi16(x)
#define SET32(x) _mm256_set1_epi32(x)
#define ZERO() _mm256_setzero_si256()
#define BYTES16(...) _mm256_setr_epi8(__VA_ARGS__, __VA_ARGS__)
#define ADD16 _mm256_add_epi16
#define SUB16 _mm256_sub_epi16
#define MULLO _mm256_mullo_epi16
#define MULHI _mm256_mulhi_epi16
#define MULHIU _mm256_mulhi_epu16
#define MADD _mm256_madd_epi16
#define AND _mm256_and_si256
#define OR _mm256_or_si256
#define SLLI _mm256_slli_epi16
#define SRLI _mm256_srli_epi16
#define SRAI32 _mm256_srai_epi32
#define UNPACKLO16 _mm256_unpacklo_epi16
#define UNPACKHI16 _mm256_unpackhi_epi16
#define UNPACKLO8 _mm256_unpacklo_epi8
#define PACKS32 _mm256_packs_epi32
#define PACKUS16 _mm256_packus_epi16
#define SHUFFLE8 _mm256_shuffle_epi8
// r << 8 | g and b (16-bit lanes of bytes) to RGB565.
#define PACK565(rg, b16) \
  OR(OR(AND(rg, SET16(static_cast<short>(0xF800))), SLLI(AND(rg, SET16(0x00FC)), 3)), SRLI(b16, 3))
// 16 luma bytes to 16-bit lanes; 8 chroma bytes, each twice.
#define WIDEN(p) _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)))
#define CHROMA8(p) _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))
#define DUPLICATE(p) _mm256_cvtepu8_epi16(_mm_unpacklo_epi8(CHROMA8(p), CHROMA8(p)))
// Sixteen (AVX2) or thirty-two (AVX-512) pixels at a time in 16-bit lanes,
// exactly as LineScalar, for one row or for the two rows that share a chroma
// row (y1 and out1 not null). With L = 9576 (Y - 16) = 8192 a' + b' and a
// chroma term T = 8192 q + r (0 <= r < 8192, 0 <= b' < 10624), a channel's
// 8-bit value is V = (L + T) >> 13 = a' + q + ((b' + r) >> 13). The dithered sum V + 7 - d
// (and so on) is clamped to 0..255 by the saturating pack to bytes.
template <bool k444>
__attribute__((target("avx2"))) void LinesAvx2(const std::uint8_t* y0, const std::uint8_t* y1, const std::uint8_t* cb,
                                               const std::uint8_t* cr, int x0, int x1, int row, std::uint16_t* out0,
                                               std::uint16_t* out1) {
  constexpr int kStep = 16;
  int px = x0;
  if ((px & 1) != 0 && px < x1) {
    LineScalar<k444>(y0, cb, cr, px, px + 1, row, out0++);
    if (y1 != nullptr) LineScalar<k444>(y1, cb, cr, px, px + 1, row + 1, out1++);
    ++px;
  }
  const DitherRows& dither = DitherFor<k444>();
  const int phase = px & 3;
  const V ditherRB[2] = {LOAD(dither.rb[row & 3][phase]), LOAD(dither.rb[(row + 1) & 3][phase])};
  const V ditherG[2] = {LOAD(dither.g[row & 3][phase]), LOAD(dither.g[(row + 1) & 3][phase])};
  const V c128 = SET16(128), low13 = SET16(8191), zero = ZERO(), rest = SET16(kLumaRest);
  const V kLuma = SET16(kY), kRed = SET16(kRCr), kBlue = SET16(kBCb);
  const V kGreen =
      SET32(static_cast<std::int32_t>((static_cast<std::uint32_t>(-kGCb) << 16) | static_cast<std::uint16_t>(-kGCr)));
  // Bytes g0..g7 r0..r7 of each 128-bit lane to 16-bit r << 8 | g.
  const V interleave = BYTES16(0, 8, 1, 9, 2, 10, 3, 11, 4, 12, 5, 13, 6, 14, 7, 15);
  const int rows = y1 != nullptr ? 2 : 1;
  const std::uint8_t* yRows[2] = {y0, y1};
  std::uint16_t* outs[2] = {out0, out1};
  for (; px + kStep <= x1; px += kStep) {
    // kStep / 2 chroma samples, each twice.
    const V u = SUB16(DUPLICATE(cb + (px >> 1)), c128);
    const V v = SUB16(DUPLICATE(cr + (px >> 1)), c128);
    const V loR = MULLO(v, kRed), loB = MULLO(u, kBlue);
    const V qR = OR(SLLI(MULHI(v, kRed), 3), SRLI(loR, 13)), rR = AND(loR, low13);
    const V qB = OR(SLLI(MULHI(u, kBlue), 3), SRLI(loB, 13)), rB = AND(loB, low13);
    const V g0 = MADD(UNPACKLO16(v, u), kGreen), g1 = MADD(UNPACKHI16(v, u), kGreen);
    const V qG = PACKS32(SRAI32(g0, 13), SRAI32(g1, 13));
    const V rG = PACKS32(AND(g0, SET32(8191)), AND(g1, SET32(8191)));
    for (int k = 0; k < rows; ++k) {
      const V luma = WIDEN(yRows[k] + px);
      const V a = MULHIU(SLLI(luma, 3), kLuma), b = ADD16(AND(MULLO(luma, kLuma), low13), rest);
      const V aRB = ADD16(a, ditherRB[k]), aG = ADD16(a, ditherG[k]);
      const V sr = ADD16(ADD16(aRB, qR), SRLI(ADD16(b, rR), 13));
      const V sg = ADD16(ADD16(aG, qG), SRLI(ADD16(b, rG), 13));
      const V sb = ADD16(ADD16(aRB, qB), SRLI(ADD16(b, rB), 13));
      const V rg = SHUFFLE8(PACKUS16(sg, sr), interleave);  // r << 8 | g, each clamped
      const V b16 = UNPACKLO8(PACKUS16(sb, sb), zero);
      V pixel;
      if constexpr (k444) {
        pixel = OR(OR(SRLI(AND(rg, SET16(0xF000)), 4), AND(rg, SET16(0x00F0))), SRLI(b16, 4));
      } else {
        pixel = PACK565(rg, b16);
      }
      STORE(outs[k], pixel);
      outs[k] += kStep;
    }
  }
  LineScalar<k444>(y0, cb, cr, px, x1, row, outs[0]);
  if (y1 != nullptr) LineScalar<k444>(y1, cb, cr, px, x1, row + 1, outs[1]);
}
#undef V
#undef LOAD
#undef STORE
#undef SET16
#undef SET32
#undef ZERO
#undef BYTES16
#undef ADD16
#undef SUB16
#undef MULLO
#undef MULHI
#undef MULHIU
#undef MADD
#undef AND
#undef OR
#undef SLLI
#undef SRLI
#undef SRAI32
#undef UNPACKLO16
#undef UNPACKHI16
#undef UNPACKLO8
#undef PACKS32
#undef PACKUS16
#undef SHUFFLE8
#undef PACK565
#undef WIDEN
#undef DUPLICATE
#undef CHROMA8
#undef CHROMA16

// GCC 12 reports the AVX-512 headers' deliberately undefined operands.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#define V __m512i
#define LOAD(p) _mm512_load_si512(p)
#define STORE(p, x) _mm512_storeu_si512(p, x)
#define SET16(x) _mm512_set1_epi16(x)
#define SET32(x) _mm512_set1_epi32(x)
#define ZERO() _mm512_setzero_si512()
#define BYTES16(...) _mm512_broadcast_i32x4(_mm_setr_epi8(__VA_ARGS__))
#define ADD16 _mm512_add_epi16
#define SUB16 _mm512_sub_epi16
#define MULLO _mm512_mullo_epi16
#define MULHI _mm512_mulhi_epi16
#define MULHIU _mm512_mulhi_epu16
#define MADD _mm512_madd_epi16
#define AND _mm512_and_si512
#define OR _mm512_or_si512
#define SLLI _mm512_slli_epi16
#define SRLI _mm512_srli_epi16
#define SRAI32 _mm512_srai_epi32
#define UNPACKLO16 _mm512_unpacklo_epi16
#define UNPACKHI16 _mm512_unpackhi_epi16
#define UNPACKLO8 _mm512_unpacklo_epi8
#define PACKS32 _mm512_packs_epi32
#define PACKUS16 _mm512_packus_epi16
#define SHUFFLE8 _mm512_shuffle_epi8
// The same with bit selects: red from rg, green from rg << 3, blue b >> 3.
#define SELECT(mask, a, b) _mm512_ternarylogic_epi32(mask, a, b, 0xCA)
#define PACK565(rg, b16) SELECT(SET16(0x001F), SRLI(b16, 3), SELECT(SET16(static_cast<short>(0xF800)), rg, SLLI(rg, 3)))
// 32 luma bytes to 16-bit lanes; 16 chroma bytes, each twice.
#define WIDEN(p) _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)))
#define CHROMA16(p) _mm_loadu_si128(reinterpret_cast<const __m128i*>(p))
#define DUPLICATE(p)    \
  _mm512_cvtepu8_epi16( \
      _mm256_set_m128i(_mm_unpackhi_epi8(CHROMA16(p), CHROMA16(p)), _mm_unpacklo_epi8(CHROMA16(p), CHROMA16(p))))
template <bool k444>
__attribute__((target("avx512bw"))) void LinesAvx512(const std::uint8_t* y0, const std::uint8_t* y1,
                                                     const std::uint8_t* cb, const std::uint8_t* cr, int x0, int x1,
                                                     int row, std::uint16_t* out0, std::uint16_t* out1) {
  constexpr int kStep = 32;
  int px = x0;
  if ((px & 1) != 0 && px < x1) {
    LineScalar<k444>(y0, cb, cr, px, px + 1, row, out0++);
    if (y1 != nullptr) LineScalar<k444>(y1, cb, cr, px, px + 1, row + 1, out1++);
    ++px;
  }
  const DitherRows& dither = DitherFor<k444>();
  const int phase = px & 3;
  const V ditherRB[2] = {LOAD(dither.rb[row & 3][phase]), LOAD(dither.rb[(row + 1) & 3][phase])};
  const V ditherG[2] = {LOAD(dither.g[row & 3][phase]), LOAD(dither.g[(row + 1) & 3][phase])};
  const V c128 = SET16(128), low13 = SET16(8191), zero = ZERO(), rest = SET16(kLumaRest);
  const V kLuma = SET16(kY), kRed = SET16(kRCr), kBlue = SET16(kBCb);
  const V kGreen =
      SET32(static_cast<std::int32_t>((static_cast<std::uint32_t>(-kGCb) << 16) | static_cast<std::uint16_t>(-kGCr)));
  // Bytes g0..g7 r0..r7 of each 128-bit lane to 16-bit r << 8 | g.
  const V interleave = BYTES16(0, 8, 1, 9, 2, 10, 3, 11, 4, 12, 5, 13, 6, 14, 7, 15);
  const int rows = y1 != nullptr ? 2 : 1;
  const std::uint8_t* yRows[2] = {y0, y1};
  std::uint16_t* outs[2] = {out0, out1};
  for (; px + kStep <= x1; px += kStep) {
    // kStep / 2 chroma samples, each twice.
    const V u = SUB16(DUPLICATE(cb + (px >> 1)), c128);
    const V v = SUB16(DUPLICATE(cr + (px >> 1)), c128);
    const V loR = MULLO(v, kRed), loB = MULLO(u, kBlue);
    const V qR = OR(SLLI(MULHI(v, kRed), 3), SRLI(loR, 13)), rR = AND(loR, low13);
    const V qB = OR(SLLI(MULHI(u, kBlue), 3), SRLI(loB, 13)), rB = AND(loB, low13);
    const V g0 = MADD(UNPACKLO16(v, u), kGreen), g1 = MADD(UNPACKHI16(v, u), kGreen);
    const V qG = PACKS32(SRAI32(g0, 13), SRAI32(g1, 13));
    const V rG = PACKS32(AND(g0, SET32(8191)), AND(g1, SET32(8191)));
    for (int k = 0; k < rows; ++k) {
      const V luma = WIDEN(yRows[k] + px);
      const V a = MULHIU(SLLI(luma, 3), kLuma), b = ADD16(AND(MULLO(luma, kLuma), low13), rest);
      const V aRB = ADD16(a, ditherRB[k]), aG = ADD16(a, ditherG[k]);
      const V sr = ADD16(ADD16(aRB, qR), SRLI(ADD16(b, rR), 13));
      const V sg = ADD16(ADD16(aG, qG), SRLI(ADD16(b, rG), 13));
      const V sb = ADD16(ADD16(aRB, qB), SRLI(ADD16(b, rB), 13));
      const V rg = SHUFFLE8(PACKUS16(sg, sr), interleave);  // r << 8 | g, each clamped
      const V b16 = UNPACKLO8(PACKUS16(sb, sb), zero);
      V pixel;
      if constexpr (k444) {
        pixel = OR(OR(SRLI(AND(rg, SET16(0xF000)), 4), AND(rg, SET16(0x00F0))), SRLI(b16, 4));
      } else {
        pixel = PACK565(rg, b16);
      }
      STORE(outs[k], pixel);
      outs[k] += kStep;
    }
  }
  LineScalar<k444>(y0, cb, cr, px, x1, row, outs[0]);
  if (y1 != nullptr) LineScalar<k444>(y1, cb, cr, px, x1, row + 1, outs[1]);
}
#undef V
#undef LOAD
#undef STORE
#undef SET16
#undef SET32
#undef ZERO
#undef BYTES16
#undef ADD16
#undef SUB16
#undef MULLO
#undef MULHI
#undef MULHIU
#undef MADD
#undef AND
#undef OR
#undef SLLI
#undef SRLI
#undef SRAI32
#undef UNPACKLO16
#undef UNPACKHI16
#undef UNPACKLO8
#undef PACKS32
#undef PACKUS16
#undef SHUFFLE8
#undef PACK565
#undef SELECT
#undef WIDEN
#undef DUPLICATE
#undef CHROMA8
#undef CHROMA16
#pragma GCC diagnostic pop

bool HaveAvx512() {
  static const bool have = __builtin_cpu_supports("avx512bw");
  return have;
}

bool HaveAvx2() {
  static const bool have = __builtin_cpu_supports("avx2");
  return have;
}
#endif

// The widest converter allowed: 2 AVX-512, 1 AVX2, 0 none.
std::atomic<int> g_simdLimit{2};

int SimdLevel() {
#if defined(__x86_64__)
  const int limit = g_simdLimit.load(std::memory_order_relaxed);
  if (limit >= 2 && HaveAvx512()) return 2;
  if (limit >= 1 && HaveAvx2()) return 1;
#endif
  return 0;
}

// Row `row` into out0 and, when y1 is not null, row + 1 (same chroma row)
// into out1.
template <bool k444>
void Lines(const std::uint8_t* y0, const std::uint8_t* y1, const std::uint8_t* cb, const std::uint8_t* cr, int x0,
           int x1, int row, std::uint16_t* out0, std::uint16_t* out1) {
#if defined(__x86_64__)
  const int level = SimdLevel();
  if (level == 2) {
    LinesAvx512<k444>(y0, y1, cb, cr, x0, x1, row, out0, out1);
    return;
  }
  if (level == 1) {
    LinesAvx2<k444>(y0, y1, cb, cr, x0, x1, row, out0, out1);
    return;
  }
#endif
  LineScalar<k444>(y0, cb, cr, x0, x1, row, out0);
  if (y1 != nullptr) LineScalar<k444>(y1, cb, cr, x0, x1, row + 1, out1);
}

// The visible part of the picture and where it goes.
struct Placement {
  int x0, x1, y0, y1;     // picture pixels [x0, x1) x [y0, y1)
  std::uint16_t* first;   // buffer address of picture pixel (x0, y0) (its block's top left)
  std::ptrdiff_t sx, sy;  // buffer steps for one logical pixel right and down
};

template <bool k444>
void Convert(const ssYuvPlanes& p, const Placement& at, bool doubled) {
  const int scale = doubled ? 2 : 1;
  const bool direct = !doubled && at.sx == 1;
  const auto width = static_cast<std::size_t>(at.x1 - at.x0);
  std::vector<std::uint16_t> lines(direct ? 0 : 2 * width);
  for (int py = at.y0; py < at.y1;) {
    // Two rows at a time when they share a chroma row.
    const bool pair = (py & 1) == 0 && py + 1 < at.y1;
    const std::uint8_t* y0 = p.y + static_cast<std::ptrdiff_t>(py) * p.yPitch;
    const std::uint8_t* y1 = pair ? y0 + p.yPitch : nullptr;
    const std::uint8_t* cbRow = p.cb + static_cast<std::ptrdiff_t>(py >> 1) * p.cPitch;
    const std::uint8_t* crRow = p.cr + static_cast<std::ptrdiff_t>(py >> 1) * p.cPitch;
    std::uint16_t* out = at.first + static_cast<std::ptrdiff_t>(py - at.y0) * scale * at.sy;
    if (direct) {
      Lines<k444>(y0, y1, cbRow, crRow, at.x0, at.x1, py, out, out + at.sy);
    } else {
      Lines<k444>(y0, y1, cbRow, crRow, at.x0, at.x1, py, lines.data(), lines.data() + width);
      const std::ptrdiff_t sx = at.sx, sy = at.sy;
      for (int k = 0; k < (pair ? 2 : 1); ++k) {
        std::uint16_t* o = out + static_cast<std::ptrdiff_t>(k) * scale * sy;
        const std::uint16_t* line = lines.data() + static_cast<std::size_t>(k) * width;
        if (doubled) {
          for (std::size_t i = 0; i < width; ++i, o += 2 * sx) {
            o[0] = o[sx] = o[sy] = o[sx + sy] = line[i];
          }
        } else {
          for (std::size_t i = 0; i < width; ++i, o += sx) *o = line[i];
        }
      }
    }
    py += pair ? 2 : 1;
  }
}

}  // namespace

std::uint16_t ssYuvToRgb565(int y, int cb, int cr, int x, int row) {
  return Pixel<false>(y, cb, cr, kDither565[(x & 3) + 4 * (row & 3)]);
}

std::uint16_t ssYuvToRgb444(int y, int cb, int cr, int x, int row) {
  return Pixel<true>(y, cb, cr, kDither444[(x & 3) + 4 * (row & 3)]);
}

std::uint16_t ssRgbToRgb565(int r, int g, int b, int x, int row) {
  const int d = kDither565[(x & 3) + 4 * (row & 3)];
  r = std::clamp(r, 0, 255), g = std::clamp(g, 0, 255), b = std::clamp(b, 0, 255);
  const int rr = std::min((r >> 3) + (d < (r & 7)), 31);
  const int gg = std::min((g >> 2) + (d < (g & 3)), 63);
  const int bb = std::min((b >> 3) + (d < (b & 7)), 31);
  return static_cast<std::uint16_t>(rr << 11 | gg << 5 | bb);
}

std::uint16_t ssRgbToRgb444(int r, int g, int b, int x, int row) {
  const int d = kDither444[(x & 3) + 4 * (row & 3)];
  r = std::clamp(r, 0, 255), g = std::clamp(g, 0, 255), b = std::clamp(b, 0, 255);
  const int rr = std::min((r >> 4) + (d < (r & 15)), 15);
  const int gg = std::min((g >> 4) + (d < (g & 15)), 15);
  const int bb = std::min((b >> 4) + (d < (b & 15)), 15);
  return static_cast<std::uint16_t>(rr << 8 | gg << 4 | bb);
}

void ssConvertYuv(const ssYuvPlanes& p, const ssPixelTarget& t, bool doubled, const RECT* area) {
  if (p.y == nullptr || p.cb == nullptr || p.cr == nullptr || t.pixels == nullptr) return;
  if (p.width <= 0 || p.height <= 0 || t.width <= 0 || t.height <= 0 || t.pitch < t.width) return;
  const int rotate = t.rotate & 3;
  // The logical screen, and the area the picture is centred in (cut to it).
  const int lw = (rotate & 1) != 0 ? t.height : t.width;
  const int lh = (rotate & 1) != 0 ? t.width : t.height;
  RECT box{0, 0, lw, lh};
  if (area != nullptr && area->right > area->left && area->bottom > area->top) {
    box = RECT{std::max<LONG>(area->left, 0), std::max<LONG>(area->top, 0), std::min<LONG>(area->right, lw),
               std::min<LONG>(area->bottom, lh)};
    if (box.right <= box.left || box.bottom <= box.top) return;
  }
  const int scale = doubled ? 2 : 1;
  // Centred: the offset in picture pixels, times the scale (so a doubled
  // picture starts on an even pixel of the area).
  const std::int64_t ox = box.left + (static_cast<std::int64_t>(box.right - box.left) - std::int64_t{p.width} * scale) /
                                         (2 * scale) * scale;
  const std::int64_t oy = box.top + (static_cast<std::int64_t>(box.bottom - box.top) - std::int64_t{p.height} * scale) /
                                        (2 * scale) * scale;
  // Whole picture pixels (whole blocks when doubled) inside the box.
  auto firstInside = [scale](std::int64_t edge, std::int64_t origin) {
    const std::int64_t d = edge - origin;
    return d <= 0 ? std::int64_t{0} : (d + scale - 1) / scale;
  };
  const auto x0 = static_cast<int>(std::min<std::int64_t>(firstInside(box.left, ox), p.width));
  const auto y0 = static_cast<int>(std::min<std::int64_t>(firstInside(box.top, oy), p.height));
  const auto x1 = static_cast<int>(std::clamp<std::int64_t>((box.right - ox) / scale, 0, p.width));
  const auto y1 = static_cast<int>(std::clamp<std::int64_t>((box.bottom - oy) / scale, 0, p.height));
  if (x1 <= x0 || y1 <= y0) return;

  // Logical (lx, ly) to the buffer, as the display turns its picture.
  const std::ptrdiff_t pitch = t.pitch, w = t.width, h = t.height;
  std::ptrdiff_t base = 0, sx = 1, sy = pitch;
  switch (rotate) {
    case 1:  // buffer (ly, h - 1 - lx)
      base = (h - 1) * pitch, sx = -pitch, sy = 1;
      break;
    case 2:  // buffer (w - 1 - lx, h - 1 - ly)
      base = (h - 1) * pitch + (w - 1), sx = -1, sy = -pitch;
      break;
    case 3:  // buffer (w - 1 - ly, lx)
      base = w - 1, sx = pitch, sy = -1;
      break;
    default:
      break;
  }
  // Only addresses of visible pixels are formed: the picture's own origin
  // may lie off the buffer.
  const std::ptrdiff_t first = base + (static_cast<std::ptrdiff_t>(ox) + std::ptrdiff_t{x0} * scale) * sx +
                               (static_cast<std::ptrdiff_t>(oy) + std::ptrdiff_t{y0} * scale) * sy;
  const Placement at{x0, x1, y0, y1, t.pixels + first, sx, sy};
  if (t.depth == 12) {
    Convert<true>(p, at, doubled);
  } else {
    Convert<false>(p, at, doubled);
  }
}

int ssLimitYuvSimd(int level) {
  g_simdLimit = std::clamp(level, 0, 2);
  return SimdLevel();
}
