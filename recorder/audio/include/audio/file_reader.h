// The interface of every playable file: length, position, seeking and the
// end, in the reader's own units (bytes for PCM WAV and MP3, encoded blocks
// for MS ADPCM and GSM WAV, sample frames for Musepack and Ogg Vorbis), with
// the seconds operations common to all readers.
#pragma once

#include <cstdint>

namespace audio {

class FileReader {
 public:
  virtual ~FileReader() = default;

  virtual bool is_open() = 0;
  virtual bool is_end() = 0;
  virtual std::uint32_t get_channels() = 0;
  virtual std::uint32_t get_bits_per_sample() = 0;
  virtual std::uint32_t get_sample_rate() = 0;
  virtual std::uint32_t get_bitrate() = 0;
  virtual std::uint32_t time_to_units(double seconds) = 0;
  virtual double units_to_time(std::uint32_t units) = 0;

  double get_length_time() { return units_to_time(get_length()); }
  double get_position_time() { return units_to_time(get_position()); }
  void seek_time(double seconds) { seek(time_to_units(seconds)); }

  virtual std::uint32_t get_length() = 0;
  virtual std::uint32_t get_position() = 0;
  virtual void seek(std::uint32_t units) = 0;
  // Pulls that much from the reader itself and pushes it, piece by piece, to
  // the reader's linked consumer; false when the file ends first.
  virtual bool read_time(double seconds) = 0;
  virtual bool read(std::uint32_t units) = 0;
};

// Units from seconds with the conversion every reader uses: truncation
// toward zero, 0 for negative, NaN or out-of-range times.
std::uint32_t seconds_to_count(double value);

}  // namespace audio
