// The encoder's front end: parameter set-up, input buffering with the
// optional resampler, the per-frame driver and the flush.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <new>
#include <numeric>

#include "audio/mp3_encoder.h"
#include "encoder_state.h"
#include "tables.h"

namespace audio {
namespace mp3enc {
namespace {

int standard_rate(double x) {
  static const int kRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100};
  for (int r : kRates)
    if (x <= r) return r;
  return 48000;
}

// The nearest Layer III bitrate of the version's table; the lower on a tie.
int nearest_bitrate(double kbps, int version) {
  const std::int32_t* table = kBitrates[version];
  int best = table[1];
  for (int i = 2; i < 15; ++i)
    if (std::fabs(table[i] - kbps) < std::fabs(best - kbps)) best = table[i];
  return best;
}

// The bandwidth a bitrate can carry at `rate` Hz (c = 2 in joint stereo).
int optimum_bandwidth(double bitrate, int rate, double c) {
  const int k = rate < 32000 ? (c == 1.0 ? 13 : 21) : (c == 1.0 ? 21 : 36);
  const int side = rate < 32000 ? k * rate / 72 : k * rate / 144;
  double x = bitrate - side;
  if (c >= 2.0) x /= (c - 2.0) * 0.25 + 1.75;
  x *= 0.5;
  double f = x / std::log10(x * 0.004425);
  if (f > 18400) f = (f - 18400) * 0.25 + 18400;
  return static_cast<int>(std::min(f, rate * 0.5));
}

void set_subband_gains(MP3EncoderState& s) {
  s.first_zeroed_subband = 32;
  for (int i = 0; i < 32; ++i) {
    const double centre = i / 31.0;
    s.subband_gain[i] = 16384;
    if (centre >= s.lowpass_upper) {
      s.subband_gain[i] = 0;
      if (s.first_zeroed_subband == 32) s.first_zeroed_subband = i;
    } else if (centre > s.lowpass_lower) {
      const double g =
          std::cos(3.14159265358979323846 / 2 * (s.lowpass_lower - centre) / (s.lowpass_upper - s.lowpass_lower));
      s.subband_gain[i] = std::llround(16384.0 * g);
    }
  }
  s.lowpass_lower = (s.first_zeroed_subband - 0.75) / 31.0;
  s.lowpass_upper = s.first_zeroed_subband / 31.0;
}

bool setup(MP3EncoderParams& p, MP3EncoderState& s) {
  if (p.channels_in != 1 && p.channels_in != 2) return false;
  // Input rates far from the output rates would need absurd resampling.
  if (p.input_rate < 1000 || p.input_rate > 384000 || p.bitrate < 0 || p.bitrate > 1000) return false;
  s.channels_in = p.channels_in;
  s.channels_out = p.channels_in == 2 ? 2 : 1;
  p.mode = p.channels_in == 2 ? 1 : 3;
  s.mode_extension = 0;
  const int chout = s.channels_out;
  double ratio = p.compression_ratio;
  if (p.bitrate == 0 && ratio == 0) ratio = 11.025;
  if (ratio != 0 && p.output_rate == 0) {
    p.output_rate = standard_rate(p.input_rate * 0.97);
    p.bitrate = nearest_bitrate(p.output_rate * chout * 16 / (ratio * 1000), p.output_rate > 24000 ? 1 : 0);
  }
  if (p.output_rate == 0) {
    p.output_rate = standard_rate(p.input_rate * 0.97);
    if (p.bitrate != 0) {
      ratio = p.output_rate * chout * 16.0 / (p.bitrate * 1000.0);
      if (ratio > 13) p.output_rate = standard_rate(p.bitrate * 10000.0 / (chout * 16));
    }
  }
  s.granules = p.output_rate <= 24000 ? 1 : 2;
  p.samples_per_frame = 576 * s.granules;
  s.resample_ratio = static_cast<double>(p.input_rate) / p.output_rate;
  ratio = p.output_rate * chout * 16.0 / (p.bitrate * 1000.0);
  p.compression_ratio = static_cast<float>(ratio);

  p.lowpass =
      optimum_bandwidth(p.output_rate * chout * 16.0 / p.compression_ratio, p.output_rate, p.mode == 1 ? 2.0 : 1.0);
  if (p.lowpass > 0) s.lowpass_lower = s.lowpass_upper = 2.0 * p.lowpass / p.output_rate;
  set_subband_gains(s);

  struct RateEntry {
    int rate, version, index, bands;
  };
  static const RateEntry kRates[] = {
      {44100, 1, 0, 3}, {48000, 1, 1, 4}, {32000, 1, 2, 5}, {22050, 0, 0, 0}, {24000, 0, 1, 1},
      {16000, 0, 2, 2}, {11025, 0, 0, 6}, {12000, 0, 1, 7}, {8000, 0, 2, 8},
  };
  const RateEntry* entry = nullptr;
  for (const RateEntry& e : kRates)
    if (e.rate == p.output_rate) entry = &e;
  if (entry == nullptr) return false;
  p.version = entry->version;
  s.rate_index = entry->index;
  s.long_bands = kLongBands[entry->bands];
  s.bitrate_index = 0;
  for (int i = 1; i < 15; ++i)
    if (kBitrates[p.version][i] == p.bitrate) s.bitrate_index = i;
  if (s.bitrate_index == 0) return false;
  p.reservoir_off = p.bitrate >= 320 ? 1 : 0;

  s.side_info_bytes = p.version == 1 ? (chout == 1 ? 21 : 36) : (chout == 1 ? 13 : 21);
  s.frame_need = std::max(p.samples_per_frame + 752, s.granules * 576 + 862);
  // The largest frame a decoder must buffer, in bits; no reservoir at 320.
  s.frame_max_bits = p.reservoir_off ? 0 : 11520;
  return true;
}

void setup_resampler(MP3EncoderParams& p, MP3EncoderState& s) {
  Resampler& r = s.resampler;
  const double ratio = s.resample_ratio;
  r.active = !(ratio >= 0.9999 && ratio <= 1.0001);
  if (!r.active) return;
  r.ratio = ratio;
  const int g = std::gcd(p.output_rate, p.input_rate);
  r.phases = std::min(p.output_rate / g, 320);
  r.taps = std::fabs(ratio - std::floor(ratio + 0.5)) < 0.0001 ? 32 : 31;
  const int l = r.taps;
  const double fc = std::min(1.0 / ratio, 1.0);
  const double pi = 3.14159265358979323846;
  auto window = [&](double x) {
    const double d = std::clamp(x / l, 0.0, 1.0);
    const double e = d - 0.5;
    if (std::fabs(e) < 1e-9) return fc;
    return (0.42 - 0.5 * std::cos(2 * pi * d) + 0.08 * std::cos(4 * pi * d)) * std::sin(l * e * pi * fc) / (pi * l * e);
  };
  r.table.assign(static_cast<std::size_t>((2 * r.phases + 1) * (l + 1)), 0.0);
  for (int j = -r.phases; j <= r.phases; ++j) {
    double* row = &r.table[static_cast<std::size_t>((j + r.phases) * (l + 1))];
    const double offset = static_cast<double>(j) / (2 * r.phases);
    double sum = 0;
    for (int i = 0; i <= l; ++i) sum += row[i] = window(i - offset);
    for (int i = 0; i <= l; ++i) row[i] /= sum;
  }
  // History of l + 1 zeros before the first sample.
  for (auto& f : r.fifo) f.assign(2 * 1152 + 2 * (l + 2), 0);
  r.fifo_count = l + 1;
  r.position = l + 1;
}

// Resamples buffered input into the frame buffer until `room` samples are
// made or the input runs out. Returns the samples made.
int resample(MP3EncoderState& s, int room) {
  Resampler& r = s.resampler;
  const int l = r.taps;
  const double shift = (l & 1) ? 0.5 : 0.0;
  int made = 0;
  while (made < room) {
    const double t = r.position;
    const int j = static_cast<int>(std::floor(t));
    const int first = j - l / 2;
    if (first + l >= r.fifo_count) break;
    int phase = static_cast<int>(std::lround((t - j - shift) * 2 * r.phases)) + r.phases;
    phase = std::clamp(phase, 0, 2 * r.phases);
    const double* taps = &r.table[static_cast<std::size_t>(phase * (l + 1))];
    for (int ch = 0; ch < s.channels_out; ++ch) {
      const std::int16_t* in = r.fifo[ch].data() + first;
      double acc = 0;
      for (int i = 0; i <= l; ++i) acc += taps[i] * in[i];
      acc = std::clamp(acc, -32768.0, 32767.0);
      s.frame_buffer[ch][s.buffered + made] = static_cast<std::int16_t>(acc);
    }
    ++made;
    r.position += r.ratio;
  }
  // Keep l + 1 samples of history before the next output's window.
  const int keep_from = std::max(0, static_cast<int>(std::floor(r.position)) - l / 2 - (l + 1));
  const int drop = std::min(keep_from, r.fifo_count);
  if (drop > 0) {
    for (int ch = 0; ch < s.channels_out; ++ch)
      std::memmove(r.fifo[ch].data(), r.fifo[ch].data() + drop,
                   static_cast<std::size_t>(r.fifo_count - drop) * sizeof(std::int16_t));
    r.fifo_count -= drop;
    r.position -= drop;
  }
  return made;
}

int encode_frame(MP3EncoderParams& p, MP3EncoderState& s, std::uint8_t* out, int room) {
  if (s.first_frame) {
    s.first_frame = false;
    s.padding_step = static_cast<std::int32_t>(((p.version + 1) * 72000LL * p.bitrate) % p.output_rate);
    s.padding_remainder = s.padding_step;
    prime_filter_bank(s);
    build_quantizer_tables(s);
  }
  s.padding = 0;
  s.padding_remainder -= s.padding_step;
  if (s.padding_remainder < 0) {
    s.padding_remainder += p.output_rate;
    s.padding = 1;
  }
  s.frame_bits = 8 * frame_bytes(p, s);
  for (int gr = 0; gr < s.granules; ++gr)
    for (int ch = 0; ch < s.channels_out; ++ch) {
      s.granule[gr][ch].block_type = 0;
      analyse_granule(s, gr, ch, s.frame_buffer[ch]);
      transform_granule(s, gr, ch);
    }
  s.mode_extension = p.mode == 1 ? 2 : 0;
  quantize_frame(s);
  write_frame(p, s);
  if (s.stream_overflow) return -1;
  return copy_out(s, out, room);
}

}  // namespace

int frame_bytes(const MP3EncoderParams& p, const MP3EncoderState& s) {
  return static_cast<int>((p.version + 1) * 72000LL * kBitrates[p.version][s.bitrate_index] / p.output_rate) +
         s.padding;
}

}  // namespace mp3enc

MP3EncoderParams* mp3_encoder_create(std::int32_t input_rate, std::int32_t channels, std::int32_t bitrate_kbps) {
  auto* p = new (std::nothrow) MP3EncoderParams();
  if (p == nullptr) return nullptr;
  p->state = new (std::nothrow) MP3EncoderState();
  if (p->state == nullptr) {
    delete p;
    return nullptr;
  }
  p->input_rate = input_rate;
  if (channels == 1 || channels == 2) p->channels_in = channels;
  p->bitrate = bitrate_kbps;
  if (bitrate_kbps >= 320) p->reservoir_off = 1;
  // A failed set-up would give frames no decoder can read: refuse it here.
  if (!mp3enc::setup(*p, *p->state)) {
    mp3_encoder_release(p);
    return nullptr;
  }
  mp3enc::setup_resampler(*p, *p->state);
  mp3enc::prepare_constants();
  p->state->setup_ok = true;
  return p;
}

void mp3_encoder_release(MP3EncoderParams* params) {
  if (params == nullptr) return;
  delete params->state;
  delete params;
}

std::int32_t mp3_encoder_samples_per_frame(const MP3EncoderParams* params) {
  return params != nullptr ? params->samples_per_frame : 0;
}

std::int32_t mp3_encoder_encode(MP3EncoderParams* params, const std::int16_t* left, const std::int16_t* right,
                                std::int32_t count, std::uint8_t* out, std::int32_t capacity) {
  if (params == nullptr || params->state == nullptr || !params->state->setup_ok) return -1;
  if (count <= 0) return 0;
  if (left == nullptr || (params->channels_in == 2 && right == nullptr) || out == nullptr || capacity < 0) return -1;
  MP3EncoderParams& p = *params;
  MP3EncoderState& s = *p.state;
  const int spf = p.samples_per_frame;
  auto room_left = [&](int used) { return capacity == 0 ? INT_MAX : capacity - used; };
  // Bytes that do not fit stay in the bit stream for the next call; the
  // input is still taken in full, so no sample is lost.
  int total = mp3enc::copy_out(s, out, room_left(0));
  bool short_of_room = total < 0;
  if (short_of_room) total = 0;
  auto run_frame = [&]() -> bool {
    const int n = mp3enc::encode_frame(p, s, out + total, short_of_room ? 0 : room_left(total));
    s.buffered -= spf;
    s.to_encode -= spf;
    for (int ch = 0; ch < s.channels_out; ++ch)
      std::memmove(s.frame_buffer[ch], s.frame_buffer[ch] + spf, static_cast<std::size_t>(s.buffered) * 2);
    if (s.stream_overflow) return false;
    if (n < 0)
      short_of_room = true;
    else
      total += n;
    return true;
  };
  // The input arrays hold 1152 samples: longer calls go in pieces.
  for (int done = 0; done < count;) {
    const int n = std::min(count - done, 1152);
    std::memcpy(s.input[0], left + done, static_cast<std::size_t>(n) * 2);
    if (s.channels_in == 2) std::memcpy(s.input[1], right + done, static_cast<std::size_t>(n) * 2);
    done += n;
    if (!s.resampler.active) {
      for (int used = 0; used < n;) {
        const int take = std::min(spf, n - used);
        for (int ch = 0; ch < s.channels_out; ++ch)
          std::memcpy(s.frame_buffer[ch] + s.buffered, s.input[ch] + used, static_cast<std::size_t>(take) * 2);
        used += take;
        s.buffered += take;
        s.to_encode += take;
        if (s.buffered >= s.frame_need && !run_frame()) return -1;
      }
    } else {
      mp3enc::Resampler& r = s.resampler;
      for (int ch = 0; ch < s.channels_out; ++ch)
        std::memcpy(r.fifo[ch].data() + r.fifo_count, s.input[ch], static_cast<std::size_t>(n) * 2);
      r.fifo_count += n;
      for (;;) {
        const int made = mp3enc::resample(s, s.frame_need - s.buffered);
        s.buffered += made;
        s.to_encode += made;
        if (s.buffered >= s.frame_need) {
          if (!run_frame()) return -1;
        } else {
          break;
        }
      }
    }
  }
  return short_of_room ? -1 : total;
}

std::int32_t mp3_encoder_flush(MP3EncoderParams* params, std::uint8_t* out, std::int32_t capacity) {
  if (params == nullptr || params->state == nullptr || !params->state->setup_ok || out == nullptr || capacity < 0)
    return -1;
  MP3EncoderParams& p = *params;
  MP3EncoderState& s = *p.state;
  static const std::int16_t kZeros[1152] = {};
  const int spf = p.samples_per_frame;
  int total = 0;
  while (s.to_encode > 0) {
    if (capacity != 0 && capacity == total) return -1;
    const int n = mp3_encoder_encode(params, kZeros, kZeros, spf, out + total, capacity == 0 ? 0 : capacity - total);
    s.to_encode -= spf;
    if (n < 0) return n;
    total += n;
  }
  mp3enc::flush_stream(s);
  const int n = mp3enc::copy_out(s, out + total, capacity == 0 ? INT_MAX : capacity - total);
  if (n < 0) return n;
  return total + n;
}

}  // namespace audio
