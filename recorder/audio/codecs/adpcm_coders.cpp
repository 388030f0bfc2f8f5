#include "audio/adpcm_coders.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace audio {

void EncoderADPCM::get_block_format(PCMData& out, const PCMData& in) {
  if (in.bits != 16 || (in.channels != 1 && in.channels != 2)) {
    out = PCMData();
    return;
  }
  const std::uint32_t block_align = adpcm_block_align(in.rate, in.channels);
  const std::uint32_t frames = adpcm_samples_per_block(block_align, in.channels);
  const std::uint64_t bitrate = std::uint64_t{block_align} * 8 * in.rate / frames;
  bitrate_.store(
      static_cast<std::uint32_t>(std::min<std::uint64_t>(bitrate, std::numeric_limits<std::uint32_t>::max())),
      std::memory_order_relaxed);
  out = PCMData(SharedBuffer(frames * in.channels * 2), in.channels, 16, in.rate);
}

void EncoderADPCM::encode_block(ADPCMData& out, const PCMData& in) {
  const std::uint32_t block_align = adpcm_block_align(in.rate, in.channels);
  const std::uint32_t samples = adpcm_samples_per_block(block_align, in.channels) * in.channels;
  const std::uint8_t* bytes = in.buffer.data();
  for (std::uint32_t i = 0; i < samples; ++i) {
    samples_[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8)));
  }
  // The last block's predictor goes first: neighbouring blocks tend to pick
  // the same one, and its error lets the other trials stop early.
  adpcm_encode_block_best(samples_, in.channels, block_, block_align, last_predictor_);
  out.buffer = SharedBuffer(block_, block_align);
  out.channels = in.channels;
  out.bits = 4;
  out.rate = in.rate;
  out.block_align = block_align;
}

void DecoderADPCM::decode_block(PCMData& out, const ADPCMData& in) {
  out = PCMData();
  // The block format comes from a file header: refuse what the block
  // arithmetic cannot handle, and size the output from the bytes at hand.
  const std::uint32_t frames = in.bits == 4 ? adpcm_samples_per_block(in.block_align, in.channels) : 0;
  if (frames == 0) return;
  const std::uint32_t blocks = in.size() / in.block_align;
  const std::uint64_t bytes = std::uint64_t{blocks} * frames * in.channels * 2;
  if (blocks == 0 || bytes > std::numeric_limits<std::uint32_t>::max()) return;
  out = PCMData(SharedBuffer(static_cast<std::uint32_t>(bytes)), in.channels, 16, in.rate);
  std::uint8_t* target = out.buffer.make_unique();
  std::memset(target, 0, static_cast<std::size_t>(bytes));
  std::vector<std::int16_t> samples(std::size_t{frames} * in.channels);
  const std::size_t block_bytes = samples.size() * 2;
  for (std::uint32_t b = 0; b < blocks; ++b) {
    if (!adpcm_decode_block(in.buffer.data() + std::size_t{b} * in.block_align, in.block_align, in.channels,
                            samples.data())) {
      continue;
    }
    std::uint8_t* p = target + b * block_bytes;
    for (std::size_t i = 0; i < samples.size(); ++i) {
      p[2 * i] = static_cast<std::uint8_t>(samples[i] & 0xFF);
      p[2 * i + 1] = static_cast<std::uint8_t>((samples[i] >> 8) & 0xFF);
    }
  }
}

}  // namespace audio
