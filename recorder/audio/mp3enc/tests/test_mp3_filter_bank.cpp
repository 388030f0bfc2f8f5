// The factorised filter bank against the textbook sums evaluated in double
// precision: the polyphase analysis (window, then the 32 x 64 cosine
// matrix) and the 36 -> 18 MDCT with the alias-reduction butterflies, at
// the scales the encoder uses.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "encoder_state.h"
#include "tables.h"

namespace {

using audio::MP3EncoderState;
using namespace audio::mp3enc;

constexpr double kPi = 3.14159265358979323846;

// A mixture of tones and noise at `level` of full scale.
void fill(std::int16_t* out, int n, double level, std::uint32_t seed) {
  for (int i = 0; i < n; ++i) {
    seed = seed * 1664525u + 1013904223u;
    const double noise = static_cast<double>(seed >> 8) / 8388608.0 - 1.0;
    const double v =
        0.5 * std::sin(2 * kPi * 1000.0 * i / 44100) + 0.3 * std::sin(2 * kPi * 7919.0 * i / 44100) + 0.2 * noise;
    out[i] = static_cast<std::int16_t>(std::lround(std::fmax(-1.0, std::fmin(1.0, v * level)) * 32767));
  }
}

// Subband sample [k][slot] of the analysis in double precision.
void reference_analysis(const std::int16_t* samples, int start, int limit, double (*out)[18]) {
  for (int slot = 0; slot < 18; ++slot) {
    const std::int16_t* newest = samples + start + 32 * slot + 511;
    double y[64];
    for (int i = 0; i < 64; ++i) {
      double acc = 0;
      for (int j = 0; j < 8; ++j) acc += static_cast<double>(kAnalysisWindow[i + 64 * j]) * newest[-(i + 64 * j)];
      y[i] = acc / 16384.0;
    }
    for (int k = 0; k < 32; ++k) {
      double acc = 0;
      for (int i = 0; i < 64; ++i) acc += std::cos((2 * k + 1) * (i - 16) * kPi / 64.0) * y[i];
      // The cosine stage keeps 5 bits fewer; odd slots of odd subbands flip.
      acc /= 32.0;
      if ((k & 1) && (slot & 1)) acc = -acc;
      out[k][slot] = k < limit ? acc : 0.0;
    }
  }
}

// The 576 lines of a granule from the previous and current subband samples.
void reference_mdct(const std::int64_t (*prev)[18], const std::int64_t (*cur)[18], int limit, double* lines) {
  const double f = 0.740951125354959 / 2.384e-06 * 16384.0;
  const double scale = (1.0 / 9.0) * 4294967296.0 / (f / 16.0);
  for (int sb = 0; sb < 32; ++sb) {
    for (int i = 0; i < 18; ++i) {
      double acc = 0;
      if (sb < limit) {
        for (int k = 0; k < 36; ++k) {
          const double x = static_cast<double>(k < 18 ? prev[sb][k] : cur[sb][k - 18]);
          acc += std::sin(kPi / 36.0 * (k + 0.5)) * std::cos(kPi / 72.0 * (2 * k + 1 + 18) * (2 * i + 1)) * x;
        }
      }
      lines[18 * sb + i] = acc * scale;
    }
  }
  for (int sb = 1; sb <= limit && sb < 32; ++sb) {
    for (int i = 0; i < 8; ++i) {
      double& lo = lines[18 * sb - 1 - i];
      double& hi = lines[18 * sb + i];
      const double a = lo, b = hi, cs = kAliasCs[i] / 16384.0, ca = kAliasCa[i] / 16384.0;
      lo = a * cs + b * ca;
      hi = b * cs - a * ca;
    }
  }
}

// Errors against the reference, relative to the reference's RMS: the
// largest one and the RMS of all.
struct Errors {
  double worst, rms;
};
template <typename T>
Errors relative_errors(const T* got, const double* want, int n) {
  double energy = 0, worst = 0, noise = 0;
  for (int i = 0; i < n; ++i) {
    const double e = static_cast<double>(got[i]) - want[i];
    energy += want[i] * want[i];
    noise += e * e;
    worst = std::fmax(worst, std::fabs(e));
  }
  return {worst / std::sqrt(energy / n), std::sqrt(noise / energy)};
}

TEST(Mp3FilterBank, FastFormsFollowTheDirectSums) {
  for (const int limit : {32, 20}) {
    for (const double level : {1.0, 0.001}) {
      SCOPED_TRACE(testing::Message() << "limit " << limit << ", level " << level);
      auto state = std::make_unique<MP3EncoderState>();
      MP3EncoderState& s = *state;
      s.first_zeroed_subband = limit;
      for (int k = 0; k < 32; ++k) s.subband_gain[k] = k < limit ? 16384 : 0;
      fill(s.frame_buffer[0], 2014, level, 7);

      double want[32][18];
      double lines[576];
      for (int gr = 0; gr < 2; ++gr) {
        analyse_granule(s, gr, 0, s.frame_buffer[0]);
        reference_analysis(s.frame_buffer[0], 286 + 576 * gr, limit, want);
        // The direct Q14 sums reach about 1e-4 (worst) and 3e-5 (RMS) in
        // the analysis, 2e-4 and 2.5e-5 in the MDCT.
        const Errors analysis = relative_errors(&s.subband_cur[0][0][0], &want[0][0], 32 * 18);
        EXPECT_LT(analysis.worst, 3e-4);
        EXPECT_LT(analysis.rms, 6e-5);
        // The MDCT from the encoder's own subband samples, so each stage is
        // judged alone.
        std::int64_t prev[32][18], cur[32][18];
        std::memcpy(prev, s.subband_prev[0], sizeof prev);
        std::memcpy(cur, s.subband_cur[0], sizeof cur);
        transform_granule(s, gr, 0);
        reference_mdct(prev, cur, limit, lines);
        const Errors mdct = relative_errors(s.lines[gr][0], lines, 576);
        EXPECT_LT(mdct.worst, 1e-3);
        EXPECT_LT(mdct.rms, 1e-4);
      }
    }
  }
}

}  // namespace
