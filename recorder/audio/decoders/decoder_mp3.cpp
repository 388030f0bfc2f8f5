#include <cstdint>

#include "audio/mp3_decoder.h"
#include "audio/mp3_reader.h"

namespace audio {

DecoderMP3::DecoderMP3() : state_(mp3_decoder_create()) {}

DecoderMP3::~DecoderMP3() { mp3_decoder_destroy(state_); }

void DecoderMP3::decode_block(PCMData& out, const MP3Data& in) {
  out = PCMData();
  MP3FrameInfo info;
  if (state_ == nullptr || in.size() < 4 || !parse_frame_header(in.buffer.data(), info)) return;
  switch (info.sample_rate) {
    case 8000:
    case 11025:
    case 22050:
    case 24000:
    case 44100:
    case 48000:
      break;
    default:
      return;  // 12000, 16000 and 32000 Hz are not played
  }
  const std::uint32_t capacity = info.channels * info.samples * 2;
  SharedBuffer pcm(capacity);
  std::uint32_t consumed = 0;
  std::uint32_t written = 0;
  const int result = mp3_decoder_decode(state_, in.buffer.data(), in.size(), pcm.make_unique(), capacity, &consumed,
                                        &written, 16, false);
  if (result != kMP3DecodeDone) return;
  out = PCMData(SharedBuffer(pcm, 0, written), info.channels, 16, info.sample_rate);
}

}  // namespace audio
