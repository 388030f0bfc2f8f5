// The two faces a recording's last stages show the user interface.
#pragma once

#include <cstdint>

namespace audio {

// The last stage of a recording: a consumer of encoded blocks into one file.
class FileWriter {
 public:
  virtual ~FileWriter() = default;
  // Whether the writer still accepts blocks.
  virtual bool is_open() = 0;
  // Bytes stored so far (shown as the size of the recording).
  virtual std::uint32_t get_written() = 0;
};

class Encoder {
 public:
  virtual ~Encoder() = default;
  // Bits per second of the encoded stream.
  virtual std::uint32_t get_bitrate() = 0;
};

}  // namespace audio
