#include <mad.h>

#include <cstdint>
#include <cstdlib>
#include <type_traits>

#include "audio/mp3_decoder.h"

namespace audio {

static_assert(std::is_same_v<mad_fixed_t, std::int32_t>, "libmad samples are 32-bit fixed point");

struct MP3DecodeState {
  mad_stream stream;
  mad_frame frame;
  mad_synth synth;
};

MP3DecodeState* mp3_decoder_create() {
  // One zeroed block; libmad's init calls then set up each part.
  auto* state = static_cast<MP3DecodeState*>(std::calloc(1, sizeof(MP3DecodeState)));
  if (state == nullptr) return nullptr;
  mad_stream_init(&state->stream);
  mad_frame_init(&state->frame);
  mad_synth_init(&state->synth);
  return state;
}

void mp3_decoder_destroy(MP3DecodeState* state) {
  if (state == nullptr) return;
  mad_synth_finish(&state->synth);
  mad_frame_finish(&state->frame);
  mad_stream_finish(&state->stream);
  std::free(state);
}

std::uint32_t write_pcm(std::uint8_t* output, std::uint32_t channels, std::uint32_t length, const std::int32_t* left,
                        const std::int32_t* right, std::uint32_t bits) {
  const std::uint32_t bytes = bits / 8;
  const std::uint32_t quant_bits = bits < 24 ? bits : 24;
  const int shift = 29 - static_cast<int>(quant_bits);
  const std::int64_t one = std::int64_t{1} << 28;
  const std::int64_t low_mask = (std::int64_t{1} << shift) - 1;
  // Wide enough for samples near libmad's +-8.0 plus the carried error.
  std::int64_t error[2] = {0, 0};
  std::uint8_t* p = output;
  for (std::uint32_t i = 0; i < length; ++i) {
    for (std::uint32_t ch = 0; ch < channels && ch < 2; ++ch) {
      const std::int64_t v = static_cast<std::int64_t>(ch == 0 ? left[i] : right[i]) + error[ch];
      const std::int64_t clipped = v >= one ? one - 1 : (v < -one ? -one : v);
      const std::int64_t q = clipped & ~low_mask;
      error[ch] = v - q;
      const std::int32_t value = static_cast<std::int32_t>(q >> shift);
      switch (bits) {
        case 8:
          p[0] = static_cast<std::uint8_t>(value + 128);
          break;
        case 16:
          p[0] = static_cast<std::uint8_t>(value);
          p[1] = static_cast<std::uint8_t>(value >> 8);
          break;
        case 24:
          p[0] = static_cast<std::uint8_t>(value);
          p[1] = static_cast<std::uint8_t>(value >> 8);
          p[2] = static_cast<std::uint8_t>(value >> 16);
          break;
        case 32: {
          const std::uint32_t wide = static_cast<std::uint32_t>(value) << 8;
          p[0] = static_cast<std::uint8_t>(wide);
          p[1] = static_cast<std::uint8_t>(wide >> 8);
          p[2] = static_cast<std::uint8_t>(wide >> 16);
          p[3] = static_cast<std::uint8_t>(wide >> 24);
          break;
        }
        default:
          break;
      }
      p += bytes;
    }
  }
  return static_cast<std::uint32_t>(p - output);
}

int mp3_decoder_decode(MP3DecodeState* state, const std::uint8_t* input, std::uint32_t input_size, std::uint8_t* output,
                       std::uint32_t output_capacity, std::uint32_t* consumed, std::uint32_t* written,
                       std::uint32_t bits, bool half_rate) {
  *consumed = 0;
  *written = 0;
  mad_stream_buffer(&state->stream, input, input_size);
  if (mad_frame_decode(&state->frame, &state->stream) != 0) {
    if (state->stream.error == MAD_ERROR_BUFLEN) return kMP3DecodeNeedInput;
    return MAD_RECOVERABLE(state->stream.error) ? kMP3DecodeRecoverable : kMP3DecodeFatal;
  }
  if (half_rate) {
    state->frame.options |= MAD_OPTION_HALFSAMPLERATE;
  } else {
    state->frame.options &= ~MAD_OPTION_HALFSAMPLERATE;
  }
  mad_synth_frame(&state->synth, &state->frame);

  const mad_pcm& pcm = state->synth.pcm;
  const std::uint64_t need = std::uint64_t{pcm.channels} * pcm.length * bits / 8;
  if (need > output_capacity) return kMP3DecodeOutputTooSmall;
  write_pcm(output, pcm.channels, pcm.length, pcm.samples[0], pcm.samples[1], bits);
  *written += static_cast<std::uint32_t>(need);
  *consumed = static_cast<std::uint32_t>(state->stream.next_frame - input);
  return kMP3DecodeDone;
}

}  // namespace audio
