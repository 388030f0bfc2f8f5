#include "audio/adpcm.h"

#include <algorithm>

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

std::int32_t adpcm_encode_block(const std::int16_t* in, std::uint32_t channels, std::uint32_t predictor,
                                std::uint8_t* out, std::uint32_t block_align) {
  const std::uint32_t frames = adpcm_samples_per_block(block_align, channels);
  if (frames == 0 || predictor >= adpcm_predictor_count) return -1;
  const std::uint32_t samples = frames * channels;
  ADPCMChannel state[2];
  for (std::uint32_t c = 0; c < channels; ++c) {
    const HeaderOffsets at = header_offsets(channels, c);
    state[c].delta = adpcm_min_delta;
    state[c].sample1 = in[channels + c];
    state[c].sample2 = in[c];
    out[at.predictor] = static_cast<std::uint8_t>(predictor);
    write_i16(out + at.delta, state[c].delta);
    write_i16(out + at.sample1, state[c].sample1);
    write_i16(out + at.sample2, state[c].sample2);
  }
  std::int32_t error = 0;
  std::uint8_t* codes = out + 7 * channels;
  for (std::uint32_t i = 2 * channels; i < samples; i += 2) {
    // Two samples per byte: in mono consecutive samples, in stereo one frame.
    const std::uint32_t high = adpcm_encode_nibble(state[i % channels], predictor, in[i], error);
    const std::uint32_t low = adpcm_encode_nibble(state[(i + 1) % channels], predictor, in[i + 1], error);
    *codes++ = static_cast<std::uint8_t>((high << 4) | low);
  }
  return error;
}

}  // namespace audio
