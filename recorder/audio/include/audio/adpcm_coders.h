// Microsoft ADPCM as pipeline stages: the encoder gathers 16-bit PCM into
// whole blocks and encodes each with the best of the seven predictors; the
// decoder turns whole blocks back into 16-bit PCM.
#pragma once

#include <atomic>
#include <cstdint>

#include "audio/adpcm.h"
#include "audio/block_coder.h"
#include "audio/file_writer.h"

namespace audio {

class EncoderADPCM : public BlockEncoderPCM<ADPCMData>, public Encoder {
 public:
  // Bits per second of the encoded stream; 0 until the first block's format
  // has been taken (32,768 at 8,000 Hz mono).
  std::uint32_t get_bitrate() override { return bitrate_.load(std::memory_order_relaxed); }

 protected:
  // Takes 16-bit mono or stereo at any rate: one block's worth of samples.
  void get_block_format(PCMData& out, const PCMData& in) override;
  // Encodes the block with every predictor and keeps the one with the
  // smallest error (the lower predictor on a tie).
  void encode_block(ADPCMData& out, const PCMData& in) override;

 private:
  // Read by the user interface while the buffering thread sets it.
  std::atomic<std::uint32_t> bitrate_{0};
  // The input block as samples, and the encoded block.
  std::int16_t samples_[adpcm_max_encoded_block * 2];
  std::uint8_t block_[adpcm_max_encoded_block];
  // The predictor chosen for the previous block, tried first.
  std::uint32_t last_predictor_ = 0;
};

class DecoderADPCM : public BlockDecoderPCM<ADPCMData> {
 protected:
  // Decodes every whole block of the input into 16-bit PCM of the same
  // channels and rate; an empty answer when the block format is unusable.
  void decode_block(PCMData& out, const ADPCMData& in) override;
  // One encoded block per pull.
  std::uint32_t count_blocks(std::uint32_t /*frames*/) override { return 1; }
};

}  // namespace audio
