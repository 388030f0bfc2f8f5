// Ogg Vorbis files, read and decoded through the integer Vorbis library into
// 16-bit PCM that goes straight to the player. The reader's units are sample
// frames.
#pragma once

#include <cstdint>
#include <string>

#include "audio/file_reader.h"
#include "audio/link.h"
#include "liba/nocopy.h"
#include "liba/thread.h"
#include "os/file.h"

namespace audio {

class DecoderVorbis : public Provider<PCMData>, public FileReader, private liba::Nocopy {
 public:
  explicit DecoderVorbis(const std::wstring& path);
  ~DecoderVorbis() override;

  // Up to min(count, 8192) sample frames; fewer when a packet ends first.
  // 0 bytes (with the stream's format) at the end of the stream.
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
  void seek(std::uint32_t units) override;
  bool read_time(double seconds) override;
  bool read(std::uint32_t units) override;

  static constexpr std::uint32_t kMaxFrames = 8192;

  // The file callbacks handed to the library, over an os::File (exposed for
  // tests: `origin` 0, 1 or 2 as for fseek; the answer is always 0).
  static std::size_t file_read(void* buffer, std::size_t size, std::size_t count, void* file);
  static int file_seek(void* file, std::int64_t offset, int origin);
  static int file_close(void* file);
  static long file_tell(void* file);

  struct Library;

 private:
  os::File file_;
  Library* library_ = nullptr;
  std::uint32_t channels_ = 0;
  std::uint32_t sample_rate_ = 0;
  std::uint32_t bitrate_ = 0;
  // The stream stopped (its end or a read error): the position then counts
  // as the length, so the player and the position bar agree on the end.
  bool stopped_ = false;
  liba::CriticalSection lock_;
};

}  // namespace audio
