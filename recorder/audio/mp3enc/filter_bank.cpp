// 32-band polyphase analysis, MDCT 36 -> 18 per subband and the
// alias-reduction butterflies, in 64-bit integers with Q14 constants: every
// product of a constant and a value is shifted right by 14.
//
// Scales: input samples are 16-bit; the Q14 window carries the factor that
// makes a windowed sum, shifted right by 14, hold subband values with about
// 33.2 fraction bits; the cosine stage keeps 28.2 of them, and the MDCT's
// window constants take the rest of the way to lines with 32 fraction bits,
// at the level a decoder reproduces.
//
// Both cosine stages are factorised, in forms whose rounding with Q14
// constants stays at the level of the direct sums (factorisations that
// divide by cosines near zero, or end in a running difference, amplify it
// and cost measurable tone SNR):
// - the analysis matrix cos((2k + 1) d pi / 64) over the 32 folded window
//   sums is a 32-point DCT-III, split recursively on the symmetry of
//   outputs k and 31 - k (about half the multiplications);
// - the 36 -> 18 MDCT folds its windowed inputs onto an 18-point DCT-IV and
//   computes that as a 9-point complex DFT between two sets of turns (a
//   sixth of the multiplications).
#include <cmath>
#include <cstring>

#include "encoder_state.h"
#include "tables.h"

namespace audio::mp3enc {
namespace {

constexpr double kPi = 3.14159265358979323846;

std::int64_t q14(double v) { return std::llround(v * 16384.0); }

struct FilterConstants {
  // The analysis window by output: window[i][j] = kAnalysisWindow[i + 64 j].
  std::int64_t window[64][8];
  // The odd halves of the DCT-III at each size N = 32, 16, 8, 4, 2:
  // cos((2k + 1)(2m + 1) pi / 2N) at [k][m], N / 2 x N / 2, one after the
  // other from N = 32 down.
  std::int64_t dct3[256 + 64 + 16 + 4 + 1];
  // MDCT fold for a normal block: the sine window times the output scale;
  // fold_a[n] weighs input 26 - n (both halves), fold_b[n] input n + 27
  // (n < 9) or n - 9 (n >= 9).
  std::int64_t fold_a[18];
  std::int64_t fold_b[18];
  // The 18-point DCT-IV as a 9-point complex DFT: turns before (pi m / 18)
  // and after (pi (4p + 1) / 72), and the DFT's inner turns (2 pi j / 9 for
  // j = 1, 2, 4) as cosine and sine pairs.
  std::int64_t pre[9][2];
  std::int64_t post[9][2];
  std::int64_t inner[5][2];
  std::int64_t half_sqrt3;  // sin(2 pi / 3)
};

FilterConstants make_constants() {
  FilterConstants c{};
  for (int i = 0; i < 64; ++i)
    for (int j = 0; j < 8; ++j) c.window[i][j] = kAnalysisWindow[i + 64 * j];
  for (int size = 32, at = 0; size >= 2; at += size * size / 4, size /= 2)
    for (int k = 0; k < size / 2; ++k)
      for (int m = 0; m < size / 2; ++m)
        c.dct3[at + k * size / 2 + m] = q14(std::cos((2 * k + 1) * (2 * m + 1) * kPi / (2.0 * size)));
  // Window factor of kAnalysisWindow, then the shifts of the analysis: the
  // subband values carry F / 16 per unit. A forward MDCT with 1/9 inverts a
  // standard decoder's transform; the rest scales to 2^32.
  const double f = 0.740951125354959 / 2.384e-06 * 16384.0;
  const double scale = (1.0 / 9.0) * 4294967296.0 / (f / 16.0);
  auto window = [&](int k) { return std::sin(kPi / 36.0 * (k + 0.5)) * scale; };
  for (int n = 0; n < 18; ++n) {
    c.fold_a[n] = q14(window(26 - n));
    c.fold_b[n] = q14(window(n < 9 ? n + 27 : n - 9));
  }
  auto turn = [](std::int64_t* out, double angle) {
    out[0] = q14(std::cos(angle));
    out[1] = q14(std::sin(angle));
  };
  for (int m = 0; m < 9; ++m) {
    turn(c.pre[m], kPi * m / 18.0);
    turn(c.post[m], kPi * (4 * m + 1) / 72.0);
  }
  for (int j = 0; j < 5; ++j) turn(c.inner[j], 2.0 * kPi * j / 9.0);
  c.half_sqrt3 = q14(std::sqrt(3.0) / 2.0);
  return c;
}

const FilterConstants& constants() {
  static const FilterConstants c = make_constants();
  return c;
}

// out[n] = sum over k of in[k] cos((2n + 1) k pi / 2N), N a power of two up
// to 32. Outputs n and N - 1 - n share the even inputs' terms and differ in
// the sign of the odd ones': the even inputs make a DCT-III of half the
// size, the odd ones a product with an N / 2 x N / 2 matrix. Unlike the
// factorisations that divide by cosines near zero, every output keeps the
// accuracy of the direct sum.
template <int N>
void dct3(const std::int64_t* in, std::int64_t* out, const std::int64_t* odd_matrix) {
  if constexpr (N == 1) {
    out[0] = in[0];
  } else {
    constexpr int H = N / 2;
    std::int64_t even[H], odd[H], e[H];
    for (int m = 0; m < H; ++m) {
      even[m] = in[2 * m];
      odd[m] = in[2 * m + 1];
    }
    dct3<H>(even, e, odd_matrix + H * H);
    for (int k = 0; k < H; ++k) {
      const std::int64_t* row = odd_matrix + k * H;
      std::int64_t acc = 0;
#pragma GCC unroll 16
      for (int m = 0; m < H; ++m) acc += row[m] * odd[m];
      const std::int64_t o = acc >> 14;
      out[k] = e[k] + o;
      out[N - 1 - k] = e[k] - o;
    }
  }
}

struct Complex {
  std::int64_t re, im;
};

// value x (cos + i sin) with a Q14 pair.
inline Complex turn(Complex v, const std::int64_t* cs) {
  return {(v.re * cs[0] - v.im * cs[1]) >> 14, (v.re * cs[1] + v.im * cs[0]) >> 14};
}

// The 3-point DFT with exp(+2 pi i / 3), in place.
inline void dft3(Complex& a0, Complex& a1, Complex& a2, std::int64_t half_sqrt3) {
  const Complex sum{a1.re + a2.re, a1.im + a2.im};
  const Complex diff{a1.re - a2.re, a1.im - a2.im};
  const Complex mid{a0.re - (sum.re >> 1), a0.im - (sum.im >> 1)};
  // i sin(2 pi / 3) x diff
  const Complex rot{-((diff.im * half_sqrt3) >> 14), (diff.re * half_sqrt3) >> 14};
  a0 = {a0.re + sum.re, a0.im + sum.im};
  a1 = {mid.re + rot.re, mid.im + rot.im};
  a2 = {mid.re - rot.re, mid.im - rot.im};
}

// 18 lines of one subband from its 36 samples (previous granule, then this
// one) with the normal window.
//
// The windowed inputs fold onto an 18-point DCT-IV:
//   u[n] = -z[26 - n] - z[n + 27] (n < 9),  z[n - 9] - z[26 - n] (n >= 9),
//   line k = sum over n of u[n] cos(pi (n + 1/2)(k + 1/2) / 18).
// With a[m] = u[2m] and b[m] = u[17 - 2m], the lines 2p and 17 - 2p are the
// real and imaginary parts of
//   exp(i pi (4p + 1) / 72) x sum over m of (a[m] - i b[m]) exp(i pi m / 18)
//   exp(2 pi i m p / 9),
// a 9-point DFT done as two rounds of 3-point DFTs. Every multiplication
// turns a complex value by a unit angle, so the rounding stays as small as
// in the direct sum.
void mdct18(const std::int64_t* x, std::int64_t* lines, const FilterConstants& fc) {
  std::int64_t u[18];
  for (int n = 0; n < 9; ++n) u[n] = -((x[26 - n] * fc.fold_a[n] + x[n + 27] * fc.fold_b[n]) >> 14);
  for (int n = 9; n < 18; ++n) u[n] = (x[n - 9] * fc.fold_b[n] - x[26 - n] * fc.fold_a[n]) >> 14;
  Complex z[9];
  z[0] = {u[0], -u[17]};
  for (int m = 1; m < 9; ++m) z[m] = turn({u[2 * m], -u[17 - 2 * m]}, fc.pre[m]);
  // m = 3 m1 + m2, p = p1 + 3 p2: DFTs over m1 for each m2, the turns
  // exp(2 pi i m2 p1 / 9), then DFTs over m2 for each p1.
  for (int m2 = 0; m2 < 3; ++m2) dft3(z[m2], z[m2 + 3], z[m2 + 6], fc.half_sqrt3);
  z[4] = turn(z[4], fc.inner[1]);
  z[7] = turn(z[7], fc.inner[2]);
  z[5] = turn(z[5], fc.inner[2]);
  z[8] = turn(z[8], fc.inner[4]);
  // Now z[m2 + 3 p1] holds the value for (m2, p1).
  for (int p1 = 0; p1 < 3; ++p1) {
    Complex a0 = z[3 * p1], a1 = z[3 * p1 + 1], a2 = z[3 * p1 + 2];
    dft3(a0, a1, a2, fc.half_sqrt3);
    const Complex out[3] = {a0, a1, a2};
    for (int p2 = 0; p2 < 3; ++p2) {
      const int p = p1 + 3 * p2;
      const Complex y = turn(out[p2], fc.post[p]);
      lines[2 * p] = y.re;
      lines[17 - 2 * p] = y.im;
    }
  }
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
      const std::int64_t* w = fc.window[i];
      const std::int16_t* x = newest - i;
      std::int64_t acc = 0;
#pragma GCC unroll 8
      for (int j = 0; j < 8; ++j) acc += w[j] * x[-64 * j];
      y[i] = acc >> 14;
    }
    // Fold the 64 sums onto the 32 distinct cosines.
    std::int64_t r[32];
    r[0] = y[16];
    for (int d = 1; d <= 16; ++d) r[d] = y[16 + d] + y[16 - d];
    for (int e = 1; e <= 15; ++e) r[32 - e] = y[48 - e] - y[48 + e];
    std::int64_t v[32];
    dct3<32>(r, v, fc.dct3);
    for (int k = 0; k < limit; ++k) {
      std::int64_t value = v[k] >> 5;
      // The synthesis inverts every odd slot of every odd subband.
      if ((k & 1) && (slot & 1)) value = -value;
      if (s.subband_gain[k] != 16384) value = (value * s.subband_gain[k]) >> 14;
      out[k][slot] = value;
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
      mdct18(in, out, fc);
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
