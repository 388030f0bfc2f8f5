// GSM 06.10 as pipeline stages over libgsm. One block holds two 160-sample
// frames in the WAV49 packing (32.5 bytes each), 65 bytes for 320 samples
// of 16-bit mono at 8,000 Hz. The coder state alternates between the two
// halves of a block, so frames always go through it in pairs.
#pragma once

#include <cstdint>

#include "audio/block_coder.h"
#include "audio/file_writer.h"

struct gsm_state;

namespace audio {

inline constexpr std::uint32_t gsm_frame_samples = 160;
inline constexpr std::uint32_t gsm_block_samples = 2 * gsm_frame_samples;
inline constexpr std::uint32_t gsm_block_bytes = GSMData::kBlockBytes;
inline constexpr std::uint32_t gsm_sample_rate = 8000;

class EncoderGSM : public BlockEncoderPCM<GSMData>, public Encoder {
 public:
  EncoderGSM();
  ~EncoderGSM() override;

  std::uint32_t get_bitrate() override { return 13000; }

 protected:
  // Takes 16-bit mono at 8,000 Hz only: 320 samples per block.
  void get_block_format(PCMData& out, const PCMData& in) override;
  void encode_block(GSMData& out, const PCMData& in) override;

 private:
  gsm_state* state_;  // null when libgsm could not make one: every format is refused
};

class DecoderGSM : public BlockDecoderPCM<GSMData> {
 public:
  DecoderGSM();
  ~DecoderGSM() override;

 protected:
  // Whole 65-byte blocks into 320 samples each; a trailing partial block is
  // ignored.
  void decode_block(PCMData& out, const GSMData& in) override;
  // (frames + 159) / 160 blocks per pull.
  std::uint32_t count_blocks(std::uint32_t frames) override;

 private:
  gsm_state* state_;  // null when libgsm could not make one: nothing decodes
};

}  // namespace audio
