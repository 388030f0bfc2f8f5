// Decoding MPEG audio frames to 16-bit PCM through libmad: a small decode
// layer (one state per decoder, one frame per call, fixed-point samples to
// integers with error feedback and clipping) and the decoder stage that turns
// the reader's frames into PCM blocks for the player.
#pragma once

#include <cstdint>

#include "audio/block_coder.h"

namespace audio {

// libmad's stream, frame and synthesis objects, owned by one decoder.
struct MP3DecodeState;

MP3DecodeState* mp3_decoder_create();
void mp3_decoder_destroy(MP3DecodeState* state);

// Results of mp3_decoder_decode.
inline constexpr int kMP3DecodeDone = 0;
inline constexpr int kMP3DecodeNeedInput = 1;
inline constexpr int kMP3DecodeOutputTooSmall = 2;
inline constexpr int kMP3DecodeRecoverable = -1;
inline constexpr int kMP3DecodeFatal = -2;

// Decodes exactly one frame from `input` into interleaved little-endian PCM
// of `bits` (8, 16, 24 or 32) per sample. `half_rate` makes libmad
// synthesise at half the sample rate. `consumed` is how far the next frame
// starts from `input`, `written` the bytes of PCM.
int mp3_decoder_decode(MP3DecodeState* state, const std::uint8_t* input, std::uint32_t input_size, std::uint8_t* output,
                       std::uint32_t output_capacity, std::uint32_t* consumed, std::uint32_t* written,
                       std::uint32_t bits, bool half_rate);

// Writes `length` instants of libmad samples (28 fraction bits; `right` is
// used only for two channels) as interleaved integers of `bits`, rounding by
// error feedback per channel and clipping to just below 1.0. Other widths
// write nothing and only advance. Answers the bytes advanced.
std::uint32_t write_pcm(std::uint8_t* output, std::uint32_t channels, std::uint32_t length, const std::int32_t* left,
                        const std::int32_t* right, std::uint32_t bits);

// One MP3 frame per pull, decoded to 16 bits at the frame's own rate.
// Frames that do not decode, and frames at 12000, 16000 or 32000 Hz, give
// empty blocks and so are passed over.
class DecoderMP3 : public BlockDecoderPCM<MP3Data> {
 public:
  DecoderMP3();
  ~DecoderMP3() override;

 protected:
  void decode_block(PCMData& out, const MP3Data& in) override;
  std::uint32_t count_blocks(std::uint32_t /*frames*/) override { return 1; }

 private:
  MP3DecodeState* state_ = nullptr;
};

}  // namespace audio
