#include "raster/texel_span.h"

#include <atomic>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace ks::raster {

namespace {
std::atomic<bool> g_allow{true};
}  // namespace

#if defined(__x86_64__)

bool VectorSpans() {
  static const bool have = __builtin_cpu_supports("avx2");
  return have && g_allow.load(std::memory_order_relaxed);
}

// A 32-bit gather reads a texel and the one after it; the last texel of the
// texture has none after it, so its lanes read the pair that ends with it
// and take the upper half. Nothing outside the texture is read.
__attribute__((target("avx2"))) int CopyTexelsAvx2(std::uint16_t* p, int n, std::uint32_t& u, std::uint32_t& v,
                                                   std::uint32_t du, std::uint32_t dv, int vShift,
                                                   std::uint32_t rowMask, std::uint32_t colMask,
                                                   const std::uint16_t* texels) {
  const int count = n & ~7;
  if (count == 0) return 0;
  const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  __m256i uu = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int>(u)),
                                _mm256_mullo_epi32(lane, _mm256_set1_epi32(static_cast<int>(du))));
  __m256i vv = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int>(v)),
                                _mm256_mullo_epi32(lane, _mm256_set1_epi32(static_cast<int>(dv))));
  const __m256i du8 = _mm256_set1_epi32(static_cast<int>(du * 8));
  const __m256i dv8 = _mm256_set1_epi32(static_cast<int>(dv * 8));
  const __m256i rows = _mm256_set1_epi32(static_cast<int>(rowMask));
  const __m256i cols = _mm256_set1_epi32(static_cast<int>(colMask));
  const __m256i last = _mm256_set1_epi32(static_cast<int>(rowMask | colMask));
  const __m256i sixteen = _mm256_set1_epi32(16);
  const __m128i vCount = _mm_cvtsi32_si128(vShift);
  const __m128i uCount = _mm_cvtsi32_si128(16);
  // The low halves of the eight 32-bit lanes, in order, in the low 128 bits.
  const __m256i lowHalves = _mm256_setr_epi8(0, 1, 4, 5, 8, 9, 12, 13, -1, -1, -1, -1, -1, -1, -1, -1, 0, 1, 4, 5, 8, 9,
                                             12, 13, -1, -1, -1, -1, -1, -1, -1, -1);
  const auto* base = reinterpret_cast<const int*>(texels);
  for (int i = 0; i < count; i += 8) {
    const __m256i index = _mm256_or_si256(_mm256_and_si256(_mm256_srl_epi32(vv, vCount), rows),
                                          _mm256_and_si256(_mm256_srl_epi32(uu, uCount), cols));
    const __m256i atLast = _mm256_cmpeq_epi32(index, last);  // -1 where the index is the last texel
    const __m256i pairs = _mm256_i32gather_epi32(base, _mm256_add_epi32(index, atLast), 2);
    const __m256i texel = _mm256_srlv_epi32(pairs, _mm256_and_si256(atLast, sixteen));
    const __m256i packed = _mm256_permute4x64_epi64(_mm256_shuffle_epi8(texel, lowHalves), 0x08);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i), _mm256_castsi256_si128(packed));
    uu = _mm256_add_epi32(uu, du8);
    vv = _mm256_add_epi32(vv, dv8);
  }
  u += du * static_cast<std::uint32_t>(count);
  v += dv * static_cast<std::uint32_t>(count);
  return count;
}

// A 32-bit gather at a byte reads it and the three after it; lanes within
// three bytes of the texture's end read the four that end there instead and
// shift their byte down.
__attribute__((target("avx2"))) int ShadeTexelsAvx2(std::uint16_t* p, int n, std::uint32_t& u, std::uint32_t& v,
                                                    std::uint32_t du, std::uint32_t dv, int vShift,
                                                    std::uint32_t rowMask, std::uint32_t colMask,
                                                    const std::uint8_t* texels) {
  const int count = n & ~7;
  if (count == 0) return 0;
  const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  __m256i uu = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int>(u)),
                                _mm256_mullo_epi32(lane, _mm256_set1_epi32(static_cast<int>(du))));
  __m256i vv = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int>(v)),
                                _mm256_mullo_epi32(lane, _mm256_set1_epi32(static_cast<int>(dv))));
  const __m256i du8 = _mm256_set1_epi32(static_cast<int>(du * 8));
  const __m256i dv8 = _mm256_set1_epi32(static_cast<int>(dv * 8));
  const __m256i rows = _mm256_set1_epi32(static_cast<int>(rowMask));
  const __m256i cols = _mm256_set1_epi32(static_cast<int>(colMask));
  const __m256i lastFour = _mm256_set1_epi32(static_cast<int>((rowMask | colMask) - 3));
  const __m256i byteMask = _mm256_set1_epi32(0xFF);
  const __m256i channels = _mm256_set1_epi32(0x07E0F81F);
  const __m256i keep = _mm256_set1_epi32(255);
  const __m128i vCount = _mm_cvtsi32_si128(vShift);
  const __m128i uCount = _mm_cvtsi32_si128(16);
  const __m256i lowHalves = _mm256_setr_epi8(0, 1, 4, 5, 8, 9, 12, 13, -1, -1, -1, -1, -1, -1, -1, -1, 0, 1, 4, 5, 8, 9,
                                             12, 13, -1, -1, -1, -1, -1, -1, -1, -1);
  const auto* base = reinterpret_cast<const int*>(texels);
  for (int i = 0; i < count; i += 8) {
    const __m256i index = _mm256_or_si256(_mm256_and_si256(_mm256_srl_epi32(vv, vCount), rows),
                                          _mm256_and_si256(_mm256_srl_epi32(uu, uCount), cols));
    const __m256i start = _mm256_min_epu32(index, lastFour);
    const __m256i four = _mm256_i32gather_epi32(base, start, 1);
    const __m256i a =
        _mm256_and_si256(_mm256_srlv_epi32(four, _mm256_slli_epi32(_mm256_sub_epi32(index, start), 3)), byteMask);
    const __m256i pixel = _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)));
    // The channels spread apart, scaled by a >> 3 in 32nds, and gathered.
    __m256i spread = _mm256_and_si256(_mm256_or_si256(pixel, _mm256_slli_epi32(pixel, 16)), channels);
    spread = _mm256_and_si256(_mm256_srli_epi32(_mm256_mullo_epi32(spread, _mm256_srli_epi32(a, 3)), 5), channels);
    const __m256i shaded = _mm256_or_si256(spread, _mm256_srli_epi32(spread, 16));
    const __m256i out = _mm256_blendv_epi8(shaded, pixel, _mm256_cmpeq_epi32(a, keep));
    const __m256i packed = _mm256_permute4x64_epi64(_mm256_shuffle_epi8(out, lowHalves), 0x08);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i), _mm256_castsi256_si128(packed));
    uu = _mm256_add_epi32(uu, du8);
    vv = _mm256_add_epi32(vv, dv8);
  }
  u += du * static_cast<std::uint32_t>(count);
  v += dv * static_cast<std::uint32_t>(count);
  return count;
}

#else

bool VectorSpans() { return false; }

int ShadeTexelsAvx2(std::uint16_t*, int, std::uint32_t&, std::uint32_t&, std::uint32_t, std::uint32_t, int,
                    std::uint32_t, std::uint32_t, const std::uint8_t*) {
  return 0;
}

int CopyTexelsAvx2(std::uint16_t*, int, std::uint32_t&, std::uint32_t&, std::uint32_t, std::uint32_t, int,
                   std::uint32_t, std::uint32_t, const std::uint16_t*) {
  return 0;
}

#endif

void AllowVectorSpans(bool allow) { g_allow.store(allow, std::memory_order_relaxed); }

}  // namespace ks::raster
