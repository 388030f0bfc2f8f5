#include "audio/adpcm.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace audio {
namespace {

std::int32_t clamp_sample(std::int64_t value) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, -32768, 32767));
}

std::int32_t read_i16(const std::uint8_t* p) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
}

void write_i16(std::uint8_t* p, std::int32_t value) {
  p[0] = static_cast<std::uint8_t>(value & 0xFF);
  p[1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

std::int32_t predict(const ADPCMChannel& state, std::uint32_t predictor) {
  // Both samples are 16-bit and the coefficients below 2^10, so the sum
  // fits; >> is an arithmetic shift (rounds toward minus infinity).
  return (state.sample1 * adpcm_coefficients[predictor][0] + state.sample2 * adpcm_coefficients[predictor][1]) >> 8;
}

// Moves the state on after `code` rebuilt `value`.
void adapt(ADPCMChannel& state, std::uint32_t code, std::int32_t value) {
  state.sample2 = state.sample1;
  state.sample1 = value;
  const std::int64_t delta = (static_cast<std::int64_t>(adpcm_adaptation[code & 15]) * state.delta) >> 8;
  state.delta = static_cast<std::int32_t>(std::clamp<std::int64_t>(delta, adpcm_min_delta, adpcm_max_delta));
}

// Header fields of one channel, read from or written to a block.
struct HeaderOffsets {
  std::uint32_t predictor, delta, sample1, sample2;
};
HeaderOffsets header_offsets(std::uint32_t channels, std::uint32_t channel) {
  const std::uint32_t words = 2 * channels;  // bytes per 16-bit field over all channels
  return {channel, channels + 2 * channel, channels + words + 2 * channel, channels + 2 * words + 2 * channel};
}

}  // namespace

std::uint32_t adpcm_block_align(std::uint32_t rate, std::uint32_t channels) {
  std::uint32_t per_channel = 2048;
  if (rate < 22050) {
    per_channel = 256;
  } else if (rate < 44100) {
    per_channel = 512;
  } else if (rate < 96000) {
    per_channel = 1024;
  }
  return per_channel * channels;
}

std::uint32_t adpcm_samples_per_block(std::uint32_t block_align, std::uint32_t channels) {
  if (channels != 1 && channels != 2) return 0;
  if (block_align < 7 * channels || block_align > adpcm_max_block_align) return 0;
  return (block_align - 7 * channels) * 2 / channels + 2;
}

std::int16_t adpcm_decode_nibble(ADPCMChannel& state, std::uint32_t predictor, std::uint32_t code) {
  code &= 15;
  const std::int32_t signed_code =
      (code & 8) != 0 ? static_cast<std::int32_t>(code) - 16 : static_cast<std::int32_t>(code);
  const std::int32_t value = clamp_sample(static_cast<std::int64_t>(predict(state, predictor)) +
                                          static_cast<std::int64_t>(state.delta) * signed_code);
  adapt(state, code, value);
  return static_cast<std::int16_t>(value);
}

std::uint32_t adpcm_encode_nibble(ADPCMChannel& state, std::uint32_t predictor, std::int32_t sample,
                                  std::int32_t& block_error) {
  const std::int32_t predicted = predict(state, predictor);
  // Division truncates toward zero; delta is at least 16, never 0.
  const std::int32_t code = std::clamp((sample - predicted) / state.delta, -8, 7);
  const std::int32_t value =
      clamp_sample(static_cast<std::int64_t>(predicted) + static_cast<std::int64_t>(state.delta) * code);
  block_error = std::max(block_error, value > sample ? value - sample : sample - value);
  const std::uint32_t nibble = static_cast<std::uint32_t>(code) & 15;
  adapt(state, nibble, value);
  return nibble;
}

bool adpcm_decode_block(const std::uint8_t* block, std::uint32_t block_align, std::uint32_t channels,
                        std::int16_t* out) {
  const std::uint32_t frames = adpcm_samples_per_block(block_align, channels);
  if (frames == 0) return false;
  const std::uint32_t samples = frames * channels;
  ADPCMChannel state[2];
  std::uint32_t predictor[2] = {0, 0};
  for (std::uint32_t c = 0; c < channels; ++c) {
    const HeaderOffsets at = header_offsets(channels, c);
    predictor[c] = block[at.predictor];
    state[c].delta = read_i16(block + at.delta);
    state[c].sample1 = read_i16(block + at.sample1);
    state[c].sample2 = read_i16(block + at.sample2);
  }
  if (predictor[0] >= adpcm_predictor_count || predictor[channels - 1] >= adpcm_predictor_count) {
    std::fill(out, out + samples, std::int16_t{0});
    return true;
  }
  for (std::uint32_t c = 0; c < channels; ++c) {
    out[c] = static_cast<std::int16_t>(state[c].sample2);
    out[channels + c] = static_cast<std::int16_t>(state[c].sample1);
  }
  // The codes: one per 4 bits from the end of the header, high nibble first;
  // with two channels the high nibble is the left one.
  const std::uint8_t* codes = block + 7 * channels;
  for (std::uint32_t i = 2 * channels; i < samples; ++i) {
    const std::uint32_t k = i - 2 * channels;
    const std::uint32_t code = (k & 1) == 0 ? codes[k >> 1] >> 4 : codes[k >> 1] & 15;
    const std::uint32_t c = i % channels;
    out[i] = adpcm_decode_nibble(state[c], predictor[c], code);
  }
  return true;
}

namespace {

// One sample of one channel with the coefficient pair fixed at compile time.
// The code is the quotient (sample - prediction) / delta truncated toward
// zero and clamped to -8..7: the magnitude of the difference divided by
// delta, at most 7 (8 on the negative side), with the sign put back.
// Signs, clamps and the error are applied with masks and min / max rather
// than branches: they follow the signal and would be mispredicted often.
// The step-size factor depends only on the code's magnitude.
template <std::int32_t C1, std::int32_t C2>
[[gnu::always_inline]] inline std::uint32_t encode_sample(std::int32_t& sample1, std::int32_t& sample2,
                                                          std::int32_t& delta, std::int32_t sample,
                                                          std::int32_t& error) {
  static constexpr std::int32_t kFactor[9] = {230, 230, 230, 230, 307, 409, 512, 614, 768};
  const std::int32_t predicted = (sample1 * C1 + sample2 * C2) >> 8;
  const std::int32_t diff = sample - predicted;
  const std::int32_t sign = diff >> 31;  // 0 or -1
  const std::int32_t d = delta;          // at least adpcm_min_delta
  const auto rest = static_cast<std::uint32_t>((diff ^ sign) - sign);
  const auto magnitude =
      static_cast<std::int32_t>(std::min(rest / static_cast<std::uint32_t>(d), static_cast<std::uint32_t>(7 - sign)));
  const std::int32_t step = magnitude * d;
  const std::int32_t value = std::min(std::max(predicted + ((step ^ sign) - sign), -32768), 32767);
  const std::int32_t miss = value - sample;
  const std::int32_t miss_sign = miss >> 31;
  error = std::max(error, (miss ^ miss_sign) - miss_sign);
  sample2 = sample1;
  sample1 = value;
  // delta is at most adpcm_max_delta, so 768 x delta fits.
  delta = std::min(std::max((kFactor[magnitude] * d) >> 8, adpcm_min_delta), adpcm_max_delta);
  return static_cast<std::uint32_t>((magnitude ^ sign) - sign) & 15;
}

// The codes of a block after its header, for `Channels` channels with the
// coefficient pair of one predictor. Returns the block error, or as soon as
// the error reaches `limit`, a value not below it (the codes are then
// incomplete).
template <std::uint32_t Channels, std::int32_t C1, std::int32_t C2>
std::int32_t encode_codes(const std::int16_t* in, std::uint32_t samples, std::uint8_t* codes, std::int32_t limit) {
  std::int32_t s1[2], s2[2], delta[2];
  for (std::uint32_t c = 0; c < Channels; ++c) {
    s1[c] = in[Channels + c];
    s2[c] = in[c];
    delta[c] = adpcm_min_delta;
  }
  std::int32_t error = 0;
  for (std::uint32_t i = 2 * Channels; i < samples; i += 2) {
    // Two samples per byte: in mono consecutive samples, in stereo one frame.
    constexpr std::uint32_t b = Channels - 1;
    const std::uint32_t high = encode_sample<C1, C2>(s1[0], s2[0], delta[0], in[i], error);
    const std::uint32_t low = encode_sample<C1, C2>(s1[b], s2[b], delta[b], in[i + 1], error);
    *codes++ = static_cast<std::uint8_t>((high << 4) | low);
    if (error >= limit) break;
  }
  return error;
}

template <std::uint32_t Channels>
std::int32_t encode_codes(const std::int16_t* in, std::uint32_t samples, std::uint32_t predictor, std::uint8_t* codes,
                          std::int32_t limit) {
  switch (predictor) {
    case 0:
      return encode_codes<Channels, adpcm_coefficients[0][0], adpcm_coefficients[0][1]>(in, samples, codes, limit);
    case 1:
      return encode_codes<Channels, adpcm_coefficients[1][0], adpcm_coefficients[1][1]>(in, samples, codes, limit);
    case 2:
      return encode_codes<Channels, adpcm_coefficients[2][0], adpcm_coefficients[2][1]>(in, samples, codes, limit);
    case 3:
      return encode_codes<Channels, adpcm_coefficients[3][0], adpcm_coefficients[3][1]>(in, samples, codes, limit);
    case 4:
      return encode_codes<Channels, adpcm_coefficients[4][0], adpcm_coefficients[4][1]>(in, samples, codes, limit);
    case 5:
      return encode_codes<Channels, adpcm_coefficients[5][0], adpcm_coefficients[5][1]>(in, samples, codes, limit);
    default:
      return encode_codes<Channels, adpcm_coefficients[6][0], adpcm_coefficients[6][1]>(in, samples, codes, limit);
  }
}

// The block with one predictor; gives up as soon as the block error reaches
// `limit` (the answer is then not below `limit` and the codes incomplete).
std::int32_t encode_block_within(const std::int16_t* in, std::uint32_t channels, std::uint32_t predictor,
                                 std::uint8_t* out, std::uint32_t block_align, std::int32_t limit) {
  const std::uint32_t frames = adpcm_samples_per_block(block_align, channels);
  if (frames == 0 || predictor >= adpcm_predictor_count) return -1;
  for (std::uint32_t c = 0; c < channels; ++c) {
    const HeaderOffsets at = header_offsets(channels, c);
    out[at.predictor] = static_cast<std::uint8_t>(predictor);
    write_i16(out + at.delta, adpcm_min_delta);
    write_i16(out + at.sample1, in[channels + c]);
    write_i16(out + at.sample2, in[c]);
  }
  std::uint8_t* codes = out + 7 * channels;
  const std::uint32_t samples = frames * channels;
  return channels == 1 ? encode_codes<1>(in, samples, predictor, codes, limit)
                       : encode_codes<2>(in, samples, predictor, codes, limit);
}

}  // namespace

std::int32_t adpcm_encode_block(const std::int16_t* in, std::uint32_t channels, std::uint32_t predictor,
                                std::uint8_t* out, std::uint32_t block_align) {
  return encode_block_within(in, channels, predictor, out, block_align, std::numeric_limits<std::int32_t>::max());
}

std::int32_t adpcm_encode_block_best(const std::int16_t* in, std::uint32_t channels, std::uint8_t* out,
                                     std::uint32_t block_align, std::uint32_t& predictor) {
  const std::uint32_t first = predictor;
  if (adpcm_samples_per_block(block_align, channels) == 0 || block_align > adpcm_max_encoded_block ||
      first >= adpcm_predictor_count) {
    return -1;
  }
  // Trials alternate between `out` and a spare area; the winner's stays.
  std::uint8_t spare[adpcm_max_encoded_block];
  std::uint8_t* areas[2] = {out, spare};
  int best = 0;
  std::int32_t best_error =
      encode_block_within(in, channels, first, areas[0], block_align, std::numeric_limits<std::int32_t>::max());
  for (std::uint32_t p = 0; p < adpcm_predictor_count; ++p) {
    if (p == first) continue;
    // A lower predictor also wins a tie.
    const std::int32_t limit = p < predictor ? best_error + 1 : best_error;
    const std::int32_t error = encode_block_within(in, channels, p, areas[best ^ 1], block_align, limit);
    if (error < limit) {
      best_error = error;
      predictor = p;
      best ^= 1;
    }
  }
  if (best != 0) std::memcpy(out, spare, block_align);
  return best_error;
}

}  // namespace audio
