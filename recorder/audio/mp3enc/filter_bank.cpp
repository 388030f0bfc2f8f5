// 32-band polyphase analysis, MDCT 36 -> 18 per subband and the
// alias-reduction butterflies, in 64-bit integers with Q14 constants.
//
// Scales: input samples are 16-bit; the Q14 window carries the factor that
// makes a windowed sum, shifted right by 14, hold subband values with about
// 33.2 fraction bits; the cosine stage keeps 28.2 of them, and the MDCT's
// constants take the rest of the way to lines with 32 fraction bits, at the
// level a decoder reproduces.
#include <cmath>
#include <cstring>

#include "encoder_state.h"
#include "tables.h"

namespace audio::mp3enc {
namespace {

struct FilterConstants {
  // Cosine stage folded to 32 inputs: cos((2k + 1) d pi / 64), Q14.
  std::int64_t matrix[32][32];
  // Long-block window and MDCT with the output scale, Q14: [line][input].
  std::int64_t mdct[18][36];
};

FilterConstants make_constants() {
  FilterConstants c{};
  const double pi = 3.14159265358979323846;
  for (int k = 0; k < 32; ++k)
    for (int d = 0; d < 32; ++d) c.matrix[k][d] = std::llround(std::cos((2 * k + 1) * d * pi / 64.0) * 16384.0);
  // Window factor of kAnalysisWindow, then the shifts of the analysis: the
  // subband values carry F / 16 per unit. A forward MDCT with 1/9 inverts a
  // standard decoder's transform; the rest scales to 2^32.
  const double f = 0.740951125354959 / 2.384e-06 * 16384.0;
  const double scale = (1.0 / 9.0) * 4294967296.0 / (f / 16.0);
  for (int i = 0; i < 18; ++i)
    for (int k = 0; k < 36; ++k) {
      const double w = std::sin(pi / 36.0 * (k + 0.5));
      const double v = w * std::cos(pi / 72.0 * (2 * k + 1 + 18) * (2 * i + 1)) * scale;
      c.mdct[i][k] = std::llround(v * 16384.0);
    }
  return c;
}

const FilterConstants& constants() {
  static const FilterConstants c = make_constants();
  return c;
}

// One granule of 18 slots from `samples` (the window of slot 0 starts at
// `start`) into out[subband][slot] for the subbands below `limit`.
void analyse(const MP3EncoderState& s, const std::int16_t* samples, int start, std::int64_t (*out)[18]) {
  const FilterConstants& fc = constants();
  const int limit = s.first_zeroed_subband;
  for (int slot = 0; slot < 18; ++slot) {
    // x[i] is the i-th newest sample of the 512 under the window.
    const std::int16_t* newest = samples + start + 32 * slot + 511;
    std::int64_t y[64];
    for (int i = 0; i < 64; ++i) {
      std::int64_t acc = 0;
      for (int j = 0; j < 8; ++j) acc += kAnalysisWindow[i + 64 * j] * newest[-(i + 64 * j)];
      y[i] = acc >> 14;
    }
    // Fold the 64 sums onto the 32 distinct cosines.
    std::int64_t r[32];
    r[0] = y[16];
    for (int d = 1; d <= 16; ++d) r[d] = y[16 + d] + y[16 - d];
    for (int e = 1; e <= 15; ++e) r[32 - e] = y[48 - e] - y[48 + e];
    for (int k = 0; k < limit; ++k) {
      const std::int64_t* m = fc.matrix[k];
      std::int64_t acc = 0;
      for (int d = 0; d < 32; ++d) acc += m[d] * r[d];
      std::int64_t v = acc >> 19;
      // The synthesis inverts every odd slot of every odd subband.
      if ((k & 1) && (slot & 1)) v = -v;
      if (s.subband_gain[k] != 16384) v = (v * s.subband_gain[k]) >> 14;
      out[k][slot] = v;
    }
    for (int k = limit; k < 32; ++k) out[k][slot] = 0;
  }
}

}  // namespace

void prepare_constants() {
  constants();
  pow34(8);
}

void prime_filter_bank(MP3EncoderState& s) {
  // The granules before the first frame: silence, then the frame buffer's
  // first samples, so that the first granule has its MDCT history.
  std::int16_t prime[2014];
  const int zeros = s.granules * 576;
  for (int ch = 0; ch < s.channels_out; ++ch) {
    std::memset(prime, 0, sizeof prime);
    std::memcpy(prime + zeros, s.frame_buffer[ch], 852 * sizeof(std::int16_t));
    for (int gr = 0; gr < s.granules; ++gr) {
      analyse(s, prime, 286 + 576 * gr, s.subband_cur[ch]);
      std::memcpy(s.subband_prev[ch], s.subband_cur[ch], sizeof s.subband_prev[ch]);
    }
  }
}

void analyse_granule(MP3EncoderState& s, int granule, int channel, const std::int16_t* frame_buffer) {
  analyse(s, frame_buffer, 286 + 576 * granule, s.subband_cur[channel]);
}

void transform_granule(MP3EncoderState& s, int granule, int channel) {
  const FilterConstants& fc = constants();
  std::int64_t* xr = s.lines[granule][channel];
  const int limit = s.first_zeroed_subband;
  for (int sb = 0; sb < 32; ++sb) {
    std::int64_t* out = xr + 18 * sb;
    if (sb < limit) {
      std::int64_t in[36];
      std::memcpy(in, s.subband_prev[channel][sb], 18 * sizeof(std::int64_t));
      std::memcpy(in + 18, s.subband_cur[channel][sb], 18 * sizeof(std::int64_t));
      for (int i = 0; i < 18; ++i) {
        const std::int64_t* m = fc.mdct[i];
        std::int64_t acc = 0;
        for (int k = 0; k < 36; ++k) acc += m[k] * in[k];
        out[i] = acc >> 14;
      }
    } else {
      std::memset(out, 0, 18 * sizeof(std::int64_t));
    }
    // Butterflies with the subband below, also at the edge of a zeroed one.
    if (sb > 0 && sb <= limit) {
      for (int i = 0; i < 8; ++i) {
        std::int64_t& lo = xr[18 * sb - 1 - i];
        std::int64_t& hi = xr[18 * sb + i];
        const std::int64_t a = lo, b = hi;
        lo = ((a * kAliasCs[i]) >> 14) + ((b * kAliasCa[i]) >> 14);
        hi = ((b * kAliasCs[i]) >> 14) - ((a * kAliasCa[i]) >> 14);
      }
    }
  }
  std::memcpy(s.subband_prev[channel], s.subband_cur[channel], sizeof s.subband_prev[channel]);
}

}  // namespace audio::mp3enc
