// The Microsoft ADPCM codec: 4-bit codes against a second-order predictor
// chosen per block from seven coefficient pairs, with a step size (delta)
// that adapts after every code. These are the bare block and nibble coders;
// audio/adpcm_coders.h wraps them as pipeline stages.
//
// Block layout (all 16-bit fields little-endian, signed):
//   mono:   predictor, delta, sample 1, sample 2, then two codes per byte
//           (high nibble first);
//   stereo: the same header fields for left then right each time, then one
//           frame per byte (left code in the high nibble).
// The first two frames of a block travel in the header: sample 2 is the
// first frame, sample 1 the second.
#pragma once

#include <cstdint>

namespace audio {

// Coefficient pairs (coefficient 1, coefficient 2) in 8.8 fixed point,
// indexed by the block's predictor.
inline constexpr std::int32_t adpcm_coefficients[7][2] = {
    {256, 0}, {512, -256}, {0, 0}, {192, 64}, {240, 0}, {460, -208}, {392, -232},
};
inline constexpr std::uint32_t adpcm_predictor_count = 7;

// Step-size factors in 8.8 fixed point, indexed by the 4-bit code.
inline constexpr std::int32_t adpcm_adaptation[16] = {
    230, 230, 230, 230, 307, 409, 512, 614, 768, 614, 512, 409, 307, 230, 230, 230,
};

// The smallest and largest delta. The ceiling only matters for hostile
// blocks: without it delta can triple every sample and overflow; no honest
// encoder comes near it.
inline constexpr std::int32_t adpcm_min_delta = 16;
inline constexpr std::int32_t adpcm_max_delta = 0x7FFFFFFF / 768;

// The largest block the encoder makes (2,048 bytes per channel, stereo),
// and the largest a file header can describe (a 16-bit field).
inline constexpr std::uint32_t adpcm_max_encoded_block = 4096;
inline constexpr std::uint32_t adpcm_max_block_align = 0xFFFF;

// Per-channel predictor state.
struct ADPCMChannel {
  std::int32_t delta = adpcm_min_delta;
  std::int32_t sample1 = 0;  // the latest output
  std::int32_t sample2 = 0;  // the one before it
};

// Block size in bytes for a sample rate: 256, 512, 1,024 or 2,048 bytes per
// channel below 22,050, 44,100 and 96,000 Hz and above.
std::uint32_t adpcm_block_align(std::uint32_t rate, std::uint32_t channels);

// Sample frames in one block: (block align - 7 x channels) x 2 / channels + 2.
// 0 when the block cannot hold its header, is larger than a file header can
// describe, or the channel count is not 1 or 2.
std::uint32_t adpcm_samples_per_block(std::uint32_t block_align, std::uint32_t channels);

// Decodes one 4-bit code (0..15) with coefficient pair `predictor` (0..6).
std::int16_t adpcm_decode_nibble(ADPCMChannel& state, std::uint32_t predictor, std::uint32_t code);

// Encodes one sample; returns the 4-bit code and raises `block_error` to the
// absolute reconstruction error of this sample when it is larger.
std::uint32_t adpcm_encode_nibble(ADPCMChannel& state, std::uint32_t predictor, std::int32_t sample,
                                  std::int32_t& block_error);

// Decodes one block of `block_align` bytes into samples-per-block frames of
// interleaved 16-bit samples at `out`. A predictor of 7 or more leaves the
// block silent (all zeros). False, with nothing written, when the channel
// count or the block size is unusable.
bool adpcm_decode_block(const std::uint8_t* block, std::uint32_t block_align, std::uint32_t channels,
                        std::int16_t* out);

// Encodes samples-per-block frames of interleaved 16-bit samples at `in`
// into one block of `block_align` bytes at `out`, with `predictor` for every
// channel. Returns the block error: the largest absolute difference between
// an input sample and what a decoder rebuilds; -1 when the channel count,
// the block size or the predictor is unusable.
std::int32_t adpcm_encode_block(const std::int16_t* in, std::uint32_t channels, std::uint32_t predictor,
                                std::uint8_t* out, std::uint32_t block_align);

// Encodes the block with each of the seven predictors and keeps the one
// with the smallest block error, the lower predictor on a tie; returns that
// error and sets `predictor` to the one chosen. `predictor` also says which
// one to try first: a trial stops as soon as its error can no longer win,
// so a good first guess (the previous block's choice) saves work, while the
// result never depends on it. -1, with nothing chosen, when the channel
// count, the block size (at most adpcm_max_encoded_block) or the first
// guess is unusable.
std::int32_t adpcm_encode_block_best(const std::int16_t* in, std::uint32_t channels, std::uint8_t* out,
                                     std::uint32_t block_align, std::uint32_t& predictor);

}  // namespace audio
