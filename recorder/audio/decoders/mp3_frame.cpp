#include <cstdint>

#include "audio/mp3_reader.h"

namespace audio {
namespace {

// kbit/s by version row (MPEG-1, MPEG-2, MPEG-2.5) and layer, then the index.
constexpr std::uint16_t kBitrates[9][16] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
};

constexpr std::uint32_t kSampleRates[3][4] = {
    {44100, 48000, 32000, 0},
    {22050, 24000, 16000, 0},
    {11025, 12000, 8000, 0},
};

std::uint32_t read_word(const std::uint8_t* bytes) {
  return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) | bytes[3];
}

}  // namespace

bool is_valid_frame_header(const std::uint8_t* header) {
  const std::uint32_t h = read_word(header);
  if ((h & 0xFFE00000u) != 0xFFE00000u) return false;
  if (((h >> 17) & 3) == 0) return false;
  const std::uint32_t bitrate_index = (h >> 12) & 15;
  if (bitrate_index == 0 || bitrate_index == 15) return false;
  return ((h >> 10) & 3) != 3;
}

bool parse_frame_header(const std::uint8_t* header, MP3FrameInfo& out) {
  if (!is_valid_frame_header(header)) return false;
  const std::uint32_t h = read_word(header);
  MP3FrameInfo info;
  if ((h >> 20) & 1) {
    info.version = ((h >> 19) & 1) ? 1 : 2;
  } else {
    info.version = 3;
  }
  info.layer = 4 - ((h >> 17) & 3);
  info.channels = ((h >> 6) & 3) == 3 ? 1 : 2;
  info.bitrate = kBitrates[(info.version - 1) * 3 + (info.layer - 1)][(h >> 12) & 15];
  info.sample_rate = kSampleRates[info.version - 1][(h >> 10) & 3];
  if (info.bitrate == 0 || info.sample_rate == 0) return false;
  const std::uint32_t padding = (h >> 9) & 1;
  if (info.layer == 1) {
    info.frame_length = (12000 * info.bitrate / info.sample_rate + padding) * 4;
    info.samples = 384;
  } else if (info.layer == 2 || info.version == 1) {
    info.frame_length = 144000 * info.bitrate / info.sample_rate + padding;
    info.samples = 1152;
  } else {
    info.frame_length = 72000 * info.bitrate / info.sample_rate + padding;
    info.samples = 576;
  }
  out = info;
  return true;
}

}  // namespace audio
