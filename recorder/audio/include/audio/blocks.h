// The typed audio blocks that travel between the engine's stages. Each holds
// its bytes in a SharedBuffer view; an empty block (size 0, every other field
// 0) means "nothing (more) to give".
#pragma once

#include <cstdint>

#include "audio/shared_buffer.h"

namespace audio {

// Interleaved PCM: 8-bit unsigned (silence 128) or 16-bit signed little-endian.
struct PCMData {
  SharedBuffer buffer;
  std::uint32_t channels = 0;
  std::uint32_t bits = 0;
  std::uint32_t rate = 0;

  PCMData() = default;
  PCMData(const SharedBuffer& bytes, std::uint32_t channels_, std::uint32_t bits_, std::uint32_t rate_)
      : buffer(bytes), channels(channels_), bits(bits_), rate(rate_) {}

  std::uint32_t size() const { return buffer.size(); }
  // Bytes of one sample frame (all channels); 0 for a zero format.
  std::uint32_t frame_size() const { return channels * ((bits + 7) / 8); }
  std::uint32_t get_frames() const {
    const std::uint32_t frame = frame_size();
    return buffer.size() == 0 || frame == 0 ? 0 : buffer.size() / frame;
  }
  bool same_format(const PCMData& other) const {
    return channels == other.channels && bits == other.bits && rate == other.rate;
  }
};

// Whole Microsoft ADPCM blocks of block_align bytes; bits is 4.
//
// `padding` (here and in GSMData): sample frames of silence at the end of
// the last block that are not part of the recording. A recording's last
// block is filled up with silence to a whole block; the writer leaves those
// frames out of the file's sample count and the decoder out of its output.
struct ADPCMData {
  SharedBuffer buffer;
  std::uint32_t channels = 0;
  std::uint32_t bits = 0;
  std::uint32_t rate = 0;
  std::uint32_t block_align = 0;
  std::uint32_t padding = 0;

  std::uint32_t size() const { return buffer.size(); }
};

// Whole 65-byte GSM 06.10 blocks (mono, 8000 Hz).
struct GSMData {
  SharedBuffer buffer;
  std::uint32_t padding = 0;

  static constexpr std::uint32_t kBlockBytes = 65;
  std::uint32_t size() const { return buffer.size(); }
};

// MPEG audio bytes; frame_size valid bytes at the start of the view.
struct MP3Data {
  SharedBuffer buffer;
  std::uint32_t frame_size = 0;

  std::uint32_t size() const { return buffer.size(); }
};

}  // namespace audio
