// WAV to MP3 over the MP3 encoder: a 16-bit PCM WAV file in, the MP3 bytes
// out, streamed in blocks or from a whole image in memory (for tools and
// tests; the recorder streams through EncoderMP3).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace audio {

enum class WavToMp3Result {
  kOk,
  kBadWav,          // not a RIFF/WAVE file with fmt and data chunks
  kUnsupportedWav,  // not 16-bit PCM mono or stereo
  kEncoderRefused,  // no encoder for this rate, channel count and bitrate
  kEncoderFailed,
  kReadFailed,   // the WAV bytes could not be read
  kWriteFailed,  // the MP3 bytes could not be written
};

// Where a streamed encoding reads the WAV file and writes the MP3 bytes.
class WavToMp3Stream {
 public:
  virtual ~WavToMp3Stream() = default;
  // Reads up to `size` bytes into `into`: the count read, 0 at the end of
  // the file, -1 on an error.
  virtual std::int64_t read(std::uint8_t* into, std::size_t size) = 0;
  // Takes the next MP3 bytes; false on an error.
  virtual bool write(const std::uint8_t* bytes, std::size_t size) = 0;
};

// What a WAV file held, as far as the encoding read it.
struct WavToMp3Info {
  std::uint32_t rate = 0;
  std::uint32_t channels = 0;
  std::uint64_t frames = 0;  // sample frames encoded
};

// Encodes the samples of the WAV file `stream` reads at `bitrate_kbps`,
// writing the MP3 bytes to it as they come, a block of the file in memory at
// a time. A data chunk that runs past the end of the file is read to its
// end; a trailing partial sample frame is ignored. On a failure part of the
// MP3 bytes may have been written.
WavToMp3Result encode_wav_stream_to_mp3(WavToMp3Stream& stream, std::int32_t bitrate_kbps,
                                        WavToMp3Info* info = nullptr);

// The same over a whole WAV file image: `mp3` is replaced by the MP3 bytes,
// and left empty on a failure.
WavToMp3Result encode_wav_to_mp3(const std::uint8_t* wav, std::size_t size, std::int32_t bitrate_kbps,
                                 std::vector<std::uint8_t>& mp3);

}  // namespace audio
