// Global-gain search at a constant bitrate, Huffman bit counting and the bit
// reservoir. Scalefactors stay 0: there is no noise shaping.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "encoder_state.h"
#include "tables.h"

namespace audio::mp3enc {
namespace {

constexpr std::uint64_t kZeroThresholdMul = 0x260DED288CE7ull;  // 0.5946 * 2^46
constexpr std::uint64_t kZeroThresholdDiv = 155871;             // 0.5946 * 2^18
constexpr std::uint64_t kRounding = 6642;                       // 0.4054 * 2^14

// Bits of region [begin, end) under pair table `t` (1..15, 16 and 24 code
// sets with linbits); `t` 14 stands for table 16's codes with 1 linbit.
int pair_bits(const std::int32_t* q, int begin, int end, int t) {
  const HuffTable& h = kHuffTables[t == 14 ? 16 : t];
  const int lin = t == 14 ? 1 : h.linbits;
  int bits = 0;
  if (h.xlen == 16) {
    for (int i = begin; i < end; i += 2) {
      int x = q[i], y = q[i + 1];
      if (x > 14) {
        x = 15;
        bits += lin;
      }
      if (y > 14) {
        y = 15;
        bits += lin;
      }
      bits += h.lengths[x * 16 + y];
    }
  } else {
    for (int i = begin; i < end; i += 2) bits += h.lengths[q[i] * h.xlen + q[i + 1]];
  }
  return bits;
}

// The first table from `first` to `last` whose linbits hold `extra`.
int escape_table(int first, int last, int extra) {
  for (int t = first; t <= last; ++t)
    if (((1 << kHuffTables[t].linbits) - 1) >= extra) return t;
  return last;
}

// Gain to step: multiplier 2^14 * 2^((210 - g) * 3/16) below 210, else the
// divisor 2^14 * 2^((g - 210) * 3/16) stored negated.
struct Step {
  bool divisor;
  std::uint64_t value;
};

Step step_of(const MP3EncoderState& s, int gain) {
  const std::int64_t v = s.step_table[gain];
  return v < 0 ? Step{true, static_cast<std::uint64_t>(-v)} : Step{false, static_cast<std::uint64_t>(v)};
}

}  // namespace

int choose_table(const std::int32_t* q, int begin, int end, int* bits) {
  int m = 0;
  for (int i = begin; i < end; ++i) m = std::max(m, q[i]);
  if (m == 0) {
    *bits = 0;
    return 0;
  }
  if (m > kMaxQuantised) {
    *bits = kNoCount;
    return 0;
  }
  auto best_of = [&](std::initializer_list<int> tables) {
    int best = 0, best_bits = 0;
    for (int t : tables) {
      const int b = pair_bits(q, begin, end, t);
      if (best == 0 || b < best_bits) {
        best = t;
        best_bits = b;
      }
    }
    *bits = best_bits;
    return best;
  };
  if (m == 1) return best_of({1});
  if (m == 2) return best_of({2, 3});
  if (m == 3) return best_of({5, 6});
  if (m <= 5) return best_of({7, 8, 9});
  if (m <= 7) return best_of({10, 11, 12});
  if (m <= 15) return best_of({13, 14, 15});
  const int a = escape_table(16, 23, m - 15);
  const int b = escape_table(24, 31, m - 15);
  return best_of({a, b});
}

void build_quantizer_tables(MP3EncoderState& s) {
  for (int g = 0; g < 330; ++g) {
    const long double e = (g < 210 ? (210 - g) : (g - 210)) * 3.0L / 16.0L;
    const auto v = static_cast<std::int64_t>(std::floor(16384.0L * std::pow(2.0L, e)));
    s.step_table[g] = g < 210 ? v : -v;
  }
  const std::int16_t* band = s.long_bands;
  for (int n = 2; n <= 576; n += 2) {
    int b = 1;
    while (b < 22 && band[b] < n) ++b;
    int r0 = kRegionSubdivision[b][0];
    int r1 = kRegionSubdivision[b][1];
    int t = r0;
    while (t >= 0 && band[t + 1] > n) --t;
    if (t >= 0) r0 = t;
    t = r1;
    while (t >= 0 && band[r0 + t + 2] > n) --t;
    if (t >= 0) r1 = t;
    s.region_table[n / 2][0] = static_cast<std::uint8_t>(r0);
    s.region_table[n / 2][1] = static_cast<std::uint8_t>(r1);
  }
  s.tables_built = true;
}

void measure_lines(MP3EncoderState& s) {
  std::uint64_t top = 0;
  int end = 0;
  for (int i = 0; i < kGranuleLines; ++i) {
    top = std::max(top, s.pow34_lines[i]);
    if (s.pow34_lines[i] != 0) end = i + 1;
  }
  s.pow34_top = top;
  s.pow34_end = end;
}

int count_bits(MP3EncoderState& s, GranuleInfo& gi, int gain) {
  ++s.count_calls;
  const std::uint64_t* v = s.pow34_lines;
  const Step st = step_of(s, gain);
  const std::uint64_t top = s.pow34_top;
  // Lines from `end` on are 0 at every gain (the lines above the low-pass
  // are most of them): only those below are quantised.
  const int end = s.pow34_end;
  std::int32_t* q = gi.quantised;
  std::fill(q + end, q + kGranuleLines, 0);
  // Lines above the largest that quantises to 8206 cannot be coded; the
  // check also keeps value * step inside 64 bits below.
  if (!st.divisor) {
    if (top > (static_cast<std::uint64_t>(kMaxQuantised) << 46) / st.value) return kNoCount;
    const std::uint64_t zero = kZeroThresholdMul / st.value;
    for (int i = 0; i < end; ++i)
      q[i] = v[i] < zero ? 0 : static_cast<std::int32_t>((((v[i] * st.value) >> 32) + kRounding) >> 14);
  } else {
    if ((((top / st.value) >> 4) + kRounding) >> 14 > static_cast<std::uint64_t>(kMaxQuantised)) return kNoCount;
    const std::uint64_t zero = st.value * kZeroThresholdDiv;
    for (int i = 0; i < end; ++i)
      q[i] = v[i] < zero ? 0 : static_cast<std::int32_t>((((v[i] / st.value) >> 4) + kRounding) >> 14);
  }
  // Big values end at the last non-zero pair.
  int n = (end + 1) & ~1;
  while (n > 0 && q[n - 1] == 0 && q[n - 2] == 0) n -= 2;
  // Count-1 region: quadruples of magnitudes 0 or 1 below that end.
  int c1 = n, bits_a = 0, bits_b = 0;
  while (c1 >= 4 && q[c1 - 1] <= 1 && q[c1 - 2] <= 1 && q[c1 - 3] <= 1 && q[c1 - 4] <= 1) {
    const int idx = q[c1 - 4] * 8 + q[c1 - 3] * 4 + q[c1 - 2] * 2 + q[c1 - 1];
    bits_a += kQuadLengthsA[idx];
    bits_b += kQuadLengthsB[idx];
    c1 -= 4;
  }
  gi.count1_end = n;
  gi.big_values = c1;
  gi.count1_table = bits_b < bits_a ? 1 : 0;
  int bits = bits_b < bits_a ? bits_b : bits_a;
  // Regions of the big values.
  gi.table_select[0] = gi.table_select[1] = gi.table_select[2] = 0;
  gi.region0_count = gi.region1_count = 0;
  if (c1 > 0) {
    gi.region0_count = s.region_table[c1 / 2][0];
    gi.region1_count = s.region_table[c1 / 2][1];
    const int a1 = std::min<int>(s.long_bands[gi.region0_count + 1], c1);
    const int a2 = std::min<int>(s.long_bands[gi.region0_count + gi.region1_count + 2], c1);
    int b = 0;
    gi.table_select[0] = choose_table(q, 0, a1, &b);
    bits += b;
    gi.table_select[1] = choose_table(q, a1, a2, &b);
    bits += b;
    gi.table_select[2] = choose_table(q, a2, c1, &b);
    bits += b;
  }
  return std::min(bits, kNoCount);
}

namespace {

// Finds the global gain for channel `ch` of one granule so that its lines fit
// `target` bits.
void search_gain(MP3EncoderState& s, GranuleInfo& gi, const std::int64_t* xr, int ch, int target) {
  std::memset(&gi, 0, sizeof gi);
  gi.global_gain = 210;
  pow34_of_magnitudes(xr, s.pow34_lines, kGranuleLines);
  measure_lines(s);
  if (s.pow34_end == 0) return;  // silence: all lines 0, no bits

  const int start = std::clamp(s.previous_gain[ch], 0, 255);
  int g = start;
  int step = s.search_step;
  int b = count_bits(s, gi, g);
  int last = 0;
  bool turned = false;
  while (b != target) {
    const int dir = b > target ? 1 : -1;
    if (last != 0 && dir != last) turned = true;
    if (turned) step >>= 1;
    if (step == 0) break;
    g += dir * step;
    last = dir;
    if (g > 255 || g < 0) {
      g = std::clamp(g, 0, 255);
      b = count_bits(s, gi, g);
      break;
    }
    b = count_bits(s, gi, g);
    if (turned && step == 1) break;
  }
  s.search_step = std::abs(g - start) >= 4 ? 4 : 2;
  while (b > target && g < 255) b = count_bits(s, gi, ++g);
  if (b > target) {
    // Even the coarsest step does not fit (never at the targets used here):
    // send the granule as silence rather than overrun the frame.
    std::memset(gi.quantised, 0, sizeof gi.quantised);
    gi.big_values = gi.count1_end = 0;
    gi.table_select[0] = gi.table_select[1] = gi.table_select[2] = 0;
    gi.region0_count = gi.region1_count = 0;
    b = 0;
  }
  s.previous_gain[ch] = g;
  gi.global_gain = g;
  gi.part2_3_length = b;
}

}  // namespace

void quantize_frame(MP3EncoderState& s) {
  const int chans = s.channels_out;
  const int side_bits = 8 * s.side_info_bytes;
  const int m = (s.frame_bits - side_bits) / s.granules;
  s.mean_bits = m;
  const int cap = s.granules == 2 ? 4088 : 2040;
  const bool off = s.frame_max_bits == 0;
  s.reservoir_max = (off || s.frame_bits > s.frame_max_bits) ? 0 : std::min(s.frame_max_bits - s.frame_bits, cap);

  for (int gr = 0; gr < s.granules; ++gr) {
    if (s.mode_extension == 2) {
      std::int64_t* l = s.lines[gr][0];
      std::int64_t* r = s.lines[gr][1];
      for (int i = 0; i < kGranuleLines; ++i) {
        const std::int64_t a = l[i], b = r[i];
        l[i] = ((a + b) * 11585) >> 14;
        r[i] = ((a - b) * 11585) >> 14;
      }
    }
    int target = m, excess = 0;
    if (s.reservoir_size * 10 > s.reservoir_max * 9) {
      excess = s.reservoir_size - s.reservoir_max * 9 / 10;
      target += excess;
    } else if (!off) {
      target = m - m / 10;
    }
    const int extra = std::max(0, std::min(s.reservoir_size, s.reservoir_max * 6 / 10) - excess);
    const int granule_max = std::min(target + extra, 4095);
    int t[2] = {std::min(target / chans, 4095), std::min(target / chans, 4095)};
    // Mid/side moves no bits between the channels at the fixed energy ratio
    // of 0.5; only the granule's maximum can scale both down.
    if (chans == 2 && t[0] + t[1] > granule_max) {
      const int sum = t[0] + t[1];
      t[0] = t[0] * granule_max / sum;
      t[1] = t[1] * granule_max / sum;
    }
    for (int ch = 0; ch < chans; ++ch) {
      GranuleInfo& gi = s.granule[gr][ch];
      search_gain(s, gi, s.lines[gr][ch], ch, t[ch]);
      s.reservoir_size += m / chans - gi.part2_3_length;
    }
  }
  if (chans == 2 && (m & 1)) s.reservoir_size += 1;
  const int drain = s.reservoir_size % 8 + std::max(0, (s.reservoir_size / 8) * 8 - s.reservoir_max);
  s.reservoir_size -= drain;
  s.drain_bits = drain;
  // All scalefactors are 0: the smallest compression, and in MPEG-1 the
  // second granule reuses every group of the first.
  for (int ch = 0; ch < chans; ++ch) s.scfsi[ch] = s.granules == 2 ? 0xF : 0;
}

}  // namespace audio::mp3enc
