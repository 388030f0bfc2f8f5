// A reference-counted byte buffer. Copies share the bytes; a writer calls
// make_unique() first, which copies only when the bytes are shared, so audio
// blocks travel between threads by value without copying samples.
#pragma once

#include <cstdint>

namespace audio {

class SharedBuffer {
 public:
  SharedBuffer();
  explicit SharedBuffer(std::uint32_t size);
  SharedBuffer(const void* bytes, std::uint32_t size);
  SharedBuffer(const SharedBuffer& other);
  // A view of `length` bytes from `start` within `source`'s view.
  SharedBuffer(const SharedBuffer& source, std::uint32_t start, std::uint32_t length);
  SharedBuffer& operator=(const SharedBuffer& other);
  ~SharedBuffer();

  const std::uint8_t* data() const;
  std::uint32_t size() const { return size_; }
  // Copies the viewed bytes into a holder of their own when shared; the
  // answer may then be written.
  std::uint8_t* make_unique();
  void fill(std::uint8_t value);

  // The holder's reference count (for tests and assertions).
  std::int32_t use_count() const;

 private:
  struct Holder {
    volatile std::int32_t count;
    std::uint8_t* bytes;
  };
  static Holder* new_holder(std::uint32_t size);
  static void release(Holder* holder);

  Holder* holder_;
  std::uint32_t offset_ = 0;
  std::uint32_t size_ = 0;
};

}  // namespace audio
