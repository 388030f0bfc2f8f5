// The MP3 record chain's encoder stage: PCM blocks pushed in, whole encoded
// frames pushed on to the file writer as MP3Data.
#pragma once

#include <cstdint>

#include "audio/file_writer.h"
#include "audio/link.h"
#include "audio/mp3_encoder.h"

namespace audio {

class EncoderMP3 : public Consumer<PCMData>, public Provider<MP3Data>, public Encoder {
 public:
  // `bitrate` in bit/s (64000 for 64 kbit/s).
  explicit EncoderMP3(std::uint32_t bitrate);
  // Encodes what is pending, flushes the encoder and pushes the last frames.
  ~EncoderMP3() override;

  // Cuts 8- or 16-bit mono or stereo PCM into encoder frames. The encoder is
  // created from the first block's format and made anew when it changes.
  void on_data(const PCMData& block) override;
  // This stage pushes; pulling gives the empty block.
  MP3Data& get_data(MP3Data& out, std::uint32_t count) override;
  std::uint32_t get_bitrate() override { return bitrate_; }

 private:
  // Encodes the pending partial frame, flushes and releases the encoder,
  // pushing every byte it gives.
  void finish_encoder();
  void push_bytes(const std::uint8_t* bytes, std::int32_t count);
  // Splits `samples` frames of `bytes` into the left and right arrays.
  void convert(const std::uint8_t* bytes, std::uint32_t samples);

  std::uint8_t pending_[4608] = {};
  std::uint32_t pending_count_ = 0;
  std::int16_t left_[1152] = {};
  std::int16_t right_[1152] = {};
  std::uint8_t output_[kMP3FlushBytes] = {};
  MP3EncoderParams* encoder_ = nullptr;
  std::uint32_t bitrate_;
  std::uint32_t channels_ = 0;
  std::uint32_t rate_ = 0;
  std::uint32_t bits_ = 0;
};

}  // namespace audio
