// Walks the chunks of a RIFF file ("RIFF", its size, its form type, then
// chunks of a four-character id, a 32-bit size and a body padded to an even
// length) held in memory. Nothing is read past the buffer: a chunk that
// runs past its end is given with the part that is there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace ks::runtime {

struct RiffChunk {
  std::string_view id;                 // four characters
  std::uint32_t size = 0;              // as the chunk states it
  std::size_t offset = 0;              // of the body in the buffer
  std::span<const std::uint8_t> body;  // the part of the body the buffer holds
  bool whole() const { return body.size() == size; }
};

class RiffReader {
 public:
  // A file of form `form` ("WAVE", "AVI "): `ok()` tells whether it is one.
  RiffReader(std::span<const std::uint8_t> file, std::string_view form);
  // The chunks inside a list's body (after its own form type).
  explicit RiffReader(std::span<const std::uint8_t> chunks, std::size_t at = 0) : bytes_(chunks), at_(at), ok_(true) {}

  bool ok() const { return ok_; }
  // The next chunk; false at the end (less than a chunk header left).
  bool Next(RiffChunk& chunk);

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t at_ = 12;
  bool ok_ = false;
};

}  // namespace ks::runtime
