#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>

#include "encoder_state.h"
#include "tables.h"

using namespace audio::mp3enc;

TEST(Mp3Tables, AnalysisWindowCarriesTheEncoderScale) {
  // C[1], C[65], C[129], C[193], C[257] scaled by 0.740951125354959 / 2.384e-06 * 16384.
  EXPECT_EQ(kAnalysisWindow[1], -2428);
  EXPECT_EQ(kAnalysisWindow[65], 529336);
  EXPECT_EQ(kAnalysisWindow[129], 4856274);
  EXPECT_EQ(kAnalysisWindow[193], 14469275);
  EXPECT_EQ(kAnalysisWindow[257], 182090913);
  EXPECT_EQ(kAnalysisWindow[0], 0);
  EXPECT_EQ(kAnalysisWindow[511], 2428);
}

// Every pair and count-1 table must be a complete prefix code, or a decoder
// reads a different spectrum from the bits.
TEST(Mp3Tables, HuffmanTablesAreCompletePrefixCodes) {
  auto check = [](const char* name, const std::uint16_t* codes, const std::uint8_t* lengths, int xlen, int shift) {
    double kraft = 0;
    std::set<std::string> words;
    for (int i = 0; i < xlen * xlen; ++i) {
      const int x = i / xlen, y = i % xlen;
      const int signs = shift ? __builtin_popcount(static_cast<unsigned>(i)) : (x != 0) + (y != 0);
      const int n = lengths[i] - signs;
      const unsigned code = shift ? codes[i] >> signs : codes[i];
      kraft += std::ldexp(1.0, -n);
      std::string w;
      for (int b = n - 1; b >= 0; --b) w += ((code >> b) & 1) ? '1' : '0';
      words.insert(w);
    }
    EXPECT_DOUBLE_EQ(kraft, 1.0) << name;
    for (auto a = words.begin(), b = std::next(a); b != words.end(); ++a, ++b)
      EXPECT_NE(b->rfind(*a, 0), 0u) << name << ": " << *a << " prefixes " << *b;
  };
  for (int t = 1; t < 32; ++t) {
    const HuffTable& h = kHuffTables[t];
    if (h.xlen == 0) continue;
    check(("table " + std::to_string(t)).c_str(), h.codes, h.lengths, h.xlen, 0);
  }
  std::uint16_t a[16], b[16];
  for (int i = 0; i < 16; ++i) a[i] = kQuadCodesA[i], b[i] = kQuadCodesB[i];
  check("count-1 A", a, kQuadLengthsA, 4, 1);
  check("count-1 B", b, kQuadLengthsB, 4, 1);
  // Table 1 with its sign bits counted.
  EXPECT_EQ(kHuffTables[1].codes[0] + kHuffTables[1].codes[1] + kHuffTables[1].codes[2] + kHuffTables[1].codes[3], 3);
  EXPECT_EQ(kHuffTables[1].lengths[0], 1);
  EXPECT_EQ(kHuffTables[1].lengths[1], 4);
  EXPECT_EQ(kHuffTables[1].lengths[2], 3);
  EXPECT_EQ(kHuffTables[1].lengths[3], 5);
  EXPECT_EQ(kHuffTables[14].xlen, 0);
  EXPECT_EQ(kHuffTables[23].linbits, 13);
  EXPECT_EQ(kHuffTables[31].linbits, 13);
}

TEST(Mp3Tables, Pow34FollowsTheCurveInEveryRange) {
  double worst = 0;
  for (int e = 3; e < 32; ++e)
    for (int k = 0; k < 64; ++k) {
      const auto x = static_cast<std::uint64_t>(std::ldexp(1.0 + k / 64.0, e));
      const double want = 256.0 * std::pow(static_cast<double>(x), 0.75);
      worst = std::max(worst, std::fabs(static_cast<double>(pow34(x)) - want) / want);
    }
  EXPECT_LT(worst, 0.002);
  EXPECT_EQ(pow34(0), 0u);
  EXPECT_EQ(pow34(1), 256u);
  EXPECT_EQ(pow34(1ull << 32), 1ull << 32);
  EXPECT_EQ(pow34(~0ull), 1ull << 32);
}

TEST(Mp3Tables, StepAndRegionTables) {
  auto s = std::make_unique<audio::MP3EncoderState>();
  s->long_bands = kLongBands[3];  // 44100 Hz
  build_quantizer_tables(*s);
  EXPECT_EQ(s->step_table[209], 18657);
  EXPECT_EQ(s->step_table[210], -16384);
  EXPECT_EQ(s->step_table[0], 11680892270171214);
  EXPECT_EQ(s->region_table[288][0], 6);
  EXPECT_EQ(s->region_table[288][1], 7);
  EXPECT_EQ(s->region_table[1][0], 0);
  EXPECT_EQ(s->region_table[1][1], 0);
}

TEST(Mp3Tables, CountBitsRefusesLinesBeyondTheEscapeRange) {
  auto s = std::make_unique<audio::MP3EncoderState>();
  s->long_bands = kLongBands[3];
  build_quantizer_tables(*s);
  GranuleInfo gi{};
  s->pow34_lines[10] = 1ull << 32;  // a full-scale line
  measure_lines(*s);
  // At gain 140 it would quantise to about 2^13.1, beyond 8206.
  EXPECT_EQ(count_bits(*s, gi, 140), kNoCount);
  EXPECT_EQ(count_bits(*s, gi, 0), kNoCount);
  const int bits = count_bits(*s, gi, 170);
  EXPECT_LT(bits, kNoCount);
  EXPECT_GT(gi.quantised[10], 15);    // coded through an escape table
  EXPECT_EQ(gi.table_select[0], 0);   // lines 0..3: nothing
  EXPECT_GE(gi.table_select[2], 16);  // lines 8..11 hold it
  EXPECT_EQ(gi.big_values, 12);
}
