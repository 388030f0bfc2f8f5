// Reading MPEG audio files (Layers I, II and III of MPEG-1, MPEG-2 and
// MPEG-2.5) frame by frame, undecoded, and the 128-byte tag at a file's end.
// Only the 4-byte frame headers are parsed: enough to find frames and to step
// from one to the next.
#pragma once

#include <cstdint>
#include <string>

#include "audio/file_reader.h"
#include "audio/link.h"
#include "liba/nocopy.h"
#include "liba/thread.h"
#include "os/file.h"

namespace audio {

struct MP3FrameInfo {
  std::uint32_t version = 0;       // 1 MPEG-1, 2 MPEG-2, 3 MPEG-2.5
  std::uint32_t layer = 0;         // 1, 2 or 3
  std::uint32_t channels = 0;      // 1 for single channel, else 2
  std::uint32_t sample_rate = 0;   // Hz
  std::uint32_t bitrate = 0;       // kbit/s
  std::uint32_t frame_length = 0;  // bytes, padding included
  std::uint32_t samples = 0;       // samples per channel in the frame
};

// The four bytes at `header`, read big-endian, carry the sync bits and usable
// layer, bitrate and sampling-rate indices.
bool is_valid_frame_header(const std::uint8_t* header);
// Fills `out` from the four bytes at `header`; false (and `out` untouched)
// when they are not a usable frame header.
bool parse_frame_header(const std::uint8_t* header, MP3FrameInfo& out);

struct MP3TagInfo {
  std::string title;
  std::string artist;
  std::string album;
  std::string year;
  std::string comment;
  std::uint32_t track = 0;  // 0 when the tag has none
  std::uint32_t genre = 0;
  std::uint8_t found = 0;
};

// The trailing 128-byte tag of the file: the last "TAG" within its final
// 1000 bytes followed by 125 bytes. A missing or short tag gives the cleared
// record with `found` 0.
MP3TagInfo read_mp3_tag(const std::wstring& path);

// The reader's units are bytes of the file. Each block it gives holds a copy
// that begins at a frame's first byte, at least 2000 bytes and always the
// whole frame plus 8 zero-padded guard bytes (the decoder reads a little past
// a frame's end); the block's frame_size is the frame's length.
class FileReaderMP3 : public Provider<MP3Data>, public FileReader, private liba::Nocopy {
 public:
  explicit FileReaderMP3(const std::wstring& path);
  ~FileReaderMP3() override;

  // Gives the next frame whose version, layer, sample rate, samples and
  // channels match the first one; the wanted amount is ignored. An empty
  // block only at the end of the file.
  MP3Data& get_data(MP3Data& out, std::uint32_t count) override;

  bool is_open() override;
  bool is_end() override;
  std::uint32_t get_channels() override;
  std::uint32_t get_bits_per_sample() override;
  std::uint32_t get_sample_rate() override;
  std::uint32_t get_bitrate() override;
  std::uint32_t time_to_units(double seconds) override;
  double units_to_time(std::uint32_t units) override;
  std::uint32_t get_length() override;
  std::uint32_t get_position() override;
  void seek(std::uint32_t units) override;
  bool read_time(double seconds) override;
  bool read(std::uint32_t units) override;

  static constexpr std::uint32_t kBufferSize = 10000;
  static constexpr std::uint32_t kBlockBytes = 2000;

 private:
  // File offset of the read position.
  std::int64_t file_position() const { return read_so_far_ - valid_ + position_; }
  bool at_end() const { return file_position() >= size_; }
  // Keeps at least `ahead` valid bytes after the read position, unless the
  // file ends first; answers whether any new byte came in.
  bool refill(std::int64_t ahead);
  bool find_frame(MP3FrameInfo& out);
  // find_frame, refilling past stretches without a frame; false only when
  // the file has no further frame.
  bool find_frame_to_end(MP3FrameInfo& out);
  bool matches_reference(const MP3FrameInfo& info) const;
  void open_stream();
  // Pulls from itself and pushes to the consumer until the position has
  // moved `amount` units (time_units: in seconds) from where it stood.
  bool read_forward(double amount, bool time_units);

  os::File file_;
  std::int64_t size_ = 0;
  MP3FrameInfo reference_;
  std::int64_t read_so_far_ = 0;
  std::uint8_t open_ = 0;
  // Set when the file stopped giving bytes before its size: a read error
  // counts as the end, so playback does not wait forever.
  bool failed_ = false;
  liba::CriticalSection lock_;
  std::uint8_t buffer_[kBufferSize];
  std::int64_t valid_ = 0;
  std::int64_t position_ = 0;
};

}  // namespace audio
