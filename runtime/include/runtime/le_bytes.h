// Little-endian integers in byte buffers, as the device's file formats
// store them: loads at a pointer the caller has checked (the bytes are
// there), reads through a `ByteReader` that checks every step itself, and
// appends for the writers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace ks::runtime {

inline std::uint16_t LoadLe16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

inline std::uint32_t LoadLe32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// Appends the low `bytes` bytes of `value`, lowest first, to a container
// of bytes or chars (std::string, std::vector<std::uint8_t>).
template <class Bytes>
void AppendLe(Bytes& out, std::uint32_t value, int bytes) {
  using Byte = typename Bytes::value_type;
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<Byte>((value >> (8 * i)) & 0xFF));
}

// Reads forward through a buffer. A read past the end fails, reads
// nothing (the value is 0) and leaves the reader failed, so a loader may
// read a whole header and check `ok()` once.
class ByteReader {
 public:
  explicit ByteReader(std::span<const std::uint8_t> bytes, std::size_t at = 0)
      : bytes_(bytes), at_(at), ok_(at <= bytes.size()) {}

  std::uint8_t U8() { return Take(1) ? bytes_[at_ - 1] : 0; }
  std::uint16_t U16() { return Take(2) ? LoadLe16(bytes_.data() + at_ - 2) : 0; }
  std::uint32_t U32() { return Take(4) ? LoadLe32(bytes_.data() + at_ - 4) : 0; }
  // The next `count` bytes (empty on failure).
  std::span<const std::uint8_t> Bytes(std::size_t count) {
    return Take(count) ? bytes_.subspan(at_ - count, count) : std::span<const std::uint8_t>{};
  }
  bool Skip(std::size_t count) { return Take(count); }

  bool ok() const { return ok_; }
  std::size_t offset() const { return at_; }
  std::size_t remaining() const { return ok_ ? bytes_.size() - at_ : 0; }

 private:
  bool Take(std::size_t count) {
    if (!ok_ || count > bytes_.size() - at_) {
      ok_ = false;
      return false;
    }
    at_ += count;
    return true;
  }

  std::span<const std::uint8_t> bytes_;
  std::size_t at_;
  bool ok_;
};

}  // namespace ks::runtime
