// Constant tables of the Layer III encoder.
#pragma once

#include <cstdint>

namespace audio::mp3enc {

// A Huffman table for pairs (x, y): code word and length at x * xlen + y.
// Lengths count the sign bits of the pair's non-zero values; the code word
// itself is (length - signs) bits long. Tables 16..31 share two code sets
// and differ in their linbits. xlen 0 marks a table number not in use.
struct HuffTable {
  std::uint8_t xlen;
  std::uint8_t linbits;
  const std::uint16_t* codes;
  const std::uint8_t* lengths;
};

extern const HuffTable kHuffTables[32];

// Count-1 tables A and B by 8v + 4w + 2x + y; the codes are already shifted
// left by the quadruple's sign bits, and the lengths count them.
extern const std::uint8_t kQuadCodesA[16];
extern const std::uint8_t kQuadLengthsA[16];
extern const std::uint8_t kQuadCodesB[16];
extern const std::uint8_t kQuadLengthsB[16];

// The 512-tap analysis window, Q14 with the encoder's input scale.
extern const std::int64_t kAnalysisWindow[512];

// Layer III bitrates in kbit/s by index 1..14 (0 = free format, unused):
// [0] MPEG-2 and MPEG-2.5, [1] MPEG-1.
extern const std::int32_t kBitrates[2][15];

// First line of each long scalefactor band (and 576 at the end) by set:
// MPEG-2 22050, 24000, 16000; MPEG-1 44100, 48000, 32000; MPEG-2.5 11025,
// 12000, 8000.
extern const std::int16_t kLongBands[9][23];

// Region-0 and region-1 counts by the band that ends the big values.
extern const std::uint8_t kRegionSubdivision[23][2];

// Alias-reduction butterflies, Q14.
extern const std::int64_t kAliasCs[8];
extern const std::int64_t kAliasCa[8];

// 256 * x^(3/4), so that a magnitude with 32 fraction bits gives its 3/4
// power with 32 fraction bits; 2^32 (1.0) and above give 2^32.
std::uint64_t pow34(std::uint64_t x);
// out[i] = pow34(|lines[i]|) for `count` lines.
void pow34_of_magnitudes(const std::int64_t* lines, std::uint64_t* out, int count);

}  // namespace audio::mp3enc
