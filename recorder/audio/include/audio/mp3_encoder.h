// The recorder's own MPEG-1/2/2.5 Layer III encoder: 16-bit PCM in, constant
// bitrate MP3 frames out. Mono or joint (mid/side) stereo, long blocks only,
// no psychoacoustic model; everything after set-up is 64-bit integer
// arithmetic with 14-fraction-bit constants (floating point only in set-up
// and in the optional resampler).
//
// Use: mp3_encoder_create, then mp3_encoder_encode with a frame's worth of
// samples at a time (any count works), mp3_encoder_flush once at the end to
// get the encoder's delay and the last partial frame out, then
// mp3_encoder_release.
#pragma once

#include <cstdint>

namespace audio {

struct MP3EncoderState;

// The caller-visible parameters, filled by mp3_encoder_create.
struct MP3EncoderParams {
  std::int32_t channels_in = 0;        // 1 or 2
  std::int32_t input_rate = 0;         // Hz
  std::int32_t output_rate = 0;        // Hz, derived at set-up
  std::int32_t mode = 3;               // 1 joint stereo, 3 mono
  std::int32_t bitrate = 0;            // kbit/s
  float compression_ratio = 0.0f;      // derived at set-up
  std::int32_t reservoir_off = 0;      // set at 320 kbit/s and above
  std::int32_t lowpass = 0;            // Hz
  std::int32_t version = 0;            // 1 MPEG-1, 0 MPEG-2 and MPEG-2.5
  std::int32_t samples_per_frame = 0;  // 576 or 1152
  MP3EncoderState* state = nullptr;
};

// Creates an encoder for `input_rate` Hz, 1 or 2 channels and a bitrate in
// kbit/s. The output rate is the standard rate at or just above 97 % of the
// input rate (lowered when the bitrate is too small for it), and the bitrate
// must be one of the Layer III bitrates of that rate's MPEG version. Returns
// null when the channels, the rates or the bitrate cannot be coded.
MP3EncoderParams* mp3_encoder_create(std::int32_t input_rate, std::int32_t channels, std::int32_t bitrate_kbps);

// Encodes `count` samples per channel (`right` is read only for two
// channels) and writes the finished MP3 bytes to `out`. `capacity` 0 means
// "large enough". Returns the bytes written, or -1 when `capacity` is too
// small for them (they stay in the encoder and come out with the next call).
std::int32_t mp3_encoder_encode(MP3EncoderParams* params, const std::int16_t* left, const std::int16_t* right,
                                std::int32_t count, std::uint8_t* out, std::int32_t capacity);

// Pushes the buffered samples and the encoder's delay through with silence,
// ends the stream on a whole frame and writes the remaining bytes. Returns
// the bytes written or -1 (capacity too small).
std::int32_t mp3_encoder_flush(MP3EncoderParams* params, std::uint8_t* out, std::int32_t capacity);

// 1152 for MPEG-1, 576 for MPEG-2 and MPEG-2.5.
std::int32_t mp3_encoder_samples_per_frame(const MP3EncoderParams* params);

// Samples (at the output rate) of the encoder's delay: a stream decodes to
// this much more than was encoded, then silence up to a whole frame.
inline constexpr std::int32_t kMP3EncoderDelay = 1728;

// The most bytes one mp3_encoder_flush call can produce; a buffer this large
// never gives -1.
inline constexpr std::int32_t kMP3FlushBytes = 16384;

void mp3_encoder_release(MP3EncoderParams* params);

}  // namespace audio
