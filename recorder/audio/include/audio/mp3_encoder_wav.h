// Whole-file helper over the MP3 encoder: a 16-bit PCM WAV image in, the MP3
// bytes out (for tools and tests; the recorder streams through EncoderMP3).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace audio {

enum class WavToMp3Result {
  kOk,
  kBadWav,          // not a RIFF/WAVE image with fmt and data chunks
  kUnsupportedWav,  // not 16-bit PCM mono or stereo
  kEncoderRefused,  // no encoder for this rate, channel count and bitrate
  kEncoderFailed,
};

// Encodes the samples of `wav` (a whole WAV file image) at `bitrate_kbps`
// into `mp3` (replaced). A data chunk that runs past the image is read to
// its end; a trailing odd byte is ignored.
WavToMp3Result encode_wav_to_mp3(const std::uint8_t* wav, std::size_t size, std::int32_t bitrate_kbps,
                                 std::vector<std::uint8_t>& mp3);

}  // namespace audio
