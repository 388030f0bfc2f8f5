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

// The texel indices of eight pixels at a time along a span, lane k at
// (u + k du, v + k dv), each as the one-texel loop computes it.
struct EightSteps {
  __m256i u, v, du, dv, rows, cols;
  __m128i vCount, uCount;
};

__attribute__((target("avx2"))) inline EightSteps StartSteps(const TexelWalk& w) {
  const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  EightSteps s;
  s.u = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int>(w.u)),
                         _mm256_mullo_epi32(lane, _mm256_set1_epi32(static_cast<int>(w.du))));
  s.v = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int>(w.v)),
                         _mm256_mullo_epi32(lane, _mm256_set1_epi32(static_cast<int>(w.dv))));
  s.du = _mm256_set1_epi32(static_cast<int>(w.du * 8));
  s.dv = _mm256_set1_epi32(static_cast<int>(w.dv * 8));
  s.rows = _mm256_set1_epi32(static_cast<int>(w.rowMask));
  s.cols = _mm256_set1_epi32(static_cast<int>(w.colMask));
  s.vCount = _mm_cvtsi32_si128(w.vShift);
  s.uCount = _mm_cvtsi32_si128(16);
  return s;
}

// The next eight indices, ((v >> vShift) & rowMask) | ((u >> 16) & colMask).
__attribute__((target("avx2"))) inline __m256i NextIndices(EightSteps& s) {
  const __m256i index = _mm256_or_si256(_mm256_and_si256(_mm256_srl_epi32(s.v, s.vCount), s.rows),
                                        _mm256_and_si256(_mm256_srl_epi32(s.u, s.uCount), s.cols));
  s.u = _mm256_add_epi32(s.u, s.du);
  s.v = _mm256_add_epi32(s.v, s.dv);
  return index;
}

// Stores the low halves of the eight 32-bit lanes as eight pixels.
__attribute__((target("avx2"))) inline void StorePixels(std::uint16_t* p, __m256i lanes) {
  const __m256i lowHalves = _mm256_setr_epi8(0, 1, 4, 5, 8, 9, 12, 13, -1, -1, -1, -1, -1, -1, -1, -1, 0, 1, 4, 5, 8, 9,
                                             12, 13, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m256i packed = _mm256_permute4x64_epi64(_mm256_shuffle_epi8(lanes, lowHalves), 0x08);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(packed));
}

// Moves the walk past `count` pixels and returns it.
inline int Walked(TexelWalk& w, int count) {
  w.u += w.du * static_cast<std::uint32_t>(count);
  w.v += w.dv * static_cast<std::uint32_t>(count);
  return count;
}

// A 32-bit gather reads a texel and the one after it; the last texel of the
// texture has none after it, so its lanes read the pair that ends with it
// and take the upper half. Nothing outside the texture is read.
__attribute__((target("avx2"))) int CopyTexelsAvx2(std::uint16_t* p, int n, TexelWalk& walk,
                                                   const std::uint16_t* texels) {
  const int count = n & ~7;
  EightSteps steps = StartSteps(walk);
  const __m256i last = _mm256_set1_epi32(static_cast<int>(walk.rowMask | walk.colMask));
  const __m256i sixteen = _mm256_set1_epi32(16);
  const auto* base = reinterpret_cast<const int*>(texels);
  for (int i = 0; i < count; i += 8) {
    const __m256i index = NextIndices(steps);
    const __m256i atLast = _mm256_cmpeq_epi32(index, last);  // -1 where the index is the last texel
    const __m256i pairs = _mm256_i32gather_epi32(base, _mm256_add_epi32(index, atLast), 2);
    StorePixels(p + i, _mm256_srlv_epi32(pairs, _mm256_and_si256(atLast, sixteen)));
  }
  return Walked(walk, count);
}

// A 32-bit gather at a byte reads it and the three after it; lanes within
// three bytes of the texture's end read the four that end there instead and
// shift their byte down.
__attribute__((target("avx2"))) int ShadeTexelsAvx2(std::uint16_t* p, int n, TexelWalk& walk,
                                                    const std::uint8_t* texels) {
  const int count = n & ~7;
  EightSteps steps = StartSteps(walk);
  const __m256i lastFour = _mm256_set1_epi32(static_cast<int>((walk.rowMask | walk.colMask) - 3));
  const __m256i byteMask = _mm256_set1_epi32(0xFF);
  const __m256i channels = _mm256_set1_epi32(0x07E0F81F);
  const __m256i keep = _mm256_set1_epi32(255);
  const auto* base = reinterpret_cast<const int*>(texels);
  for (int i = 0; i < count; i += 8) {
    const __m256i index = NextIndices(steps);
    const __m256i start = _mm256_min_epu32(index, lastFour);
    const __m256i four = _mm256_i32gather_epi32(base, start, 1);
    const __m256i a =
        _mm256_and_si256(_mm256_srlv_epi32(four, _mm256_slli_epi32(_mm256_sub_epi32(index, start), 3)), byteMask);
    const __m256i pixel = _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)));
    // The channels spread apart, scaled by a >> 3 in 32nds, and gathered.
    __m256i spread = _mm256_and_si256(_mm256_or_si256(pixel, _mm256_slli_epi32(pixel, 16)), channels);
    spread = _mm256_and_si256(_mm256_srli_epi32(_mm256_mullo_epi32(spread, _mm256_srli_epi32(a, 3)), 5), channels);
    const __m256i shaded = _mm256_or_si256(spread, _mm256_srli_epi32(spread, 16));
    StorePixels(p + i, _mm256_blendv_epi8(shaded, pixel, _mm256_cmpeq_epi32(a, keep)));
  }
  return Walked(walk, count);
}

#else

bool VectorSpans() { return false; }

int ShadeTexelsAvx2(std::uint16_t*, int, TexelWalk&, const std::uint8_t*) { return 0; }

int CopyTexelsAvx2(std::uint16_t*, int, TexelWalk&, const std::uint16_t*) { return 0; }

#endif

void AllowVectorSpans(bool allow) { g_allow.store(allow, std::memory_order_relaxed); }

}  // namespace ks::raster
