// Musepack files, read and decoded through libmpcdec into 16-bit PCM that
// goes straight to the player. The reader's units are sample frames.
#pragma once

#include <cstdint>
#include <string>

#include "audio/file_reader.h"
#include "audio/link.h"
#include "liba/nocopy.h"
#include "liba/thread.h"
#include "os/file.h"

namespace audio {

class DecoderMPC : public Provider<PCMData>, public FileReader, private liba::Nocopy {
 public:
  explicit DecoderMPC(const std::wstring& path);
  ~DecoderMPC() override;

  // At most `count` sample frames of the decoded frame at hand; a new frame
  // is decoded only when the last one is used up. Empty at the end.
  PCMData& get_data(PCMData& out, std::uint32_t count) override;

  bool is_open() override;
  bool is_end() override;
  std::uint32_t get_channels() override;
  std::uint32_t get_bits_per_sample() override { return 16; }
  std::uint32_t get_sample_rate() override;
  std::uint32_t get_bitrate() override;
  std::uint32_t time_to_units(double seconds) override;
  double units_to_time(std::uint32_t units) override;
  std::uint32_t get_length() override;
  std::uint32_t get_position() override;
  // Moves the decoder to that sample frame; a frame decoded before the seek
  // and not yet given is still given first.
  void seek(std::uint32_t units) override;
  bool read_time(double seconds) override;
  bool read(std::uint32_t units) override;

  struct Library;

 private:
  os::File file_;
  Library* library_ = nullptr;
  std::uint32_t channels_ = 0;
  std::uint32_t sample_rate_ = 0;
  std::uint32_t bitrate_ = 0;
  std::uint32_t position_ = 0;
  std::uint32_t length_ = 0;
  liba::CriticalSection lock_;
  PCMData pending_;
};

}  // namespace audio
