#include "audio/shared_buffer.h"

#include <cstring>
#include <new>

#include "liba/thread.h"

namespace audio {

SharedBuffer::Holder* SharedBuffer::new_holder(std::uint32_t size) {
  auto* holder = new Holder{1, nullptr};
  if (size != 0) holder->bytes = new std::uint8_t[size];
  return holder;
}

void SharedBuffer::release(Holder* holder) {
  if (liba::atomic_decrement(&holder->count) == 0) {
    delete[] holder->bytes;
    delete holder;
  }
}

SharedBuffer::SharedBuffer() : holder_(new_holder(0)) {}

SharedBuffer::SharedBuffer(std::uint32_t size) : holder_(new_holder(size)), size_(size) {}

SharedBuffer::SharedBuffer(const void* bytes, std::uint32_t size) : SharedBuffer(size) {
  if (size != 0) std::memcpy(holder_->bytes, bytes, size);
}

SharedBuffer::SharedBuffer(const SharedBuffer& other)
    : holder_(other.holder_), offset_(other.offset_), size_(other.size_) {
  liba::atomic_increment(&holder_->count);
}

SharedBuffer::SharedBuffer(const SharedBuffer& source, std::uint32_t start, std::uint32_t length)
    : holder_(source.holder_), offset_(source.offset_ + start), size_(length) {
  liba::atomic_increment(&holder_->count);
}

SharedBuffer& SharedBuffer::operator=(const SharedBuffer& other) {
  // Take the new reference before dropping the old one: self-assignment safe.
  liba::atomic_increment(&other.holder_->count);
  release(holder_);
  holder_ = other.holder_;
  offset_ = other.offset_;
  size_ = other.size_;
  return *this;
}

SharedBuffer::~SharedBuffer() { release(holder_); }

const std::uint8_t* SharedBuffer::data() const {
  return holder_->bytes == nullptr ? nullptr : holder_->bytes + offset_;
}

std::uint8_t* SharedBuffer::make_unique() {
  if (holder_->count != 1) {
    Holder* copy = new_holder(size_);
    if (size_ != 0) std::memcpy(copy->bytes, holder_->bytes + offset_, size_);
    release(holder_);
    holder_ = copy;
    offset_ = 0;
  }
  return holder_->bytes == nullptr ? nullptr : holder_->bytes + offset_;
}

void SharedBuffer::fill(std::uint8_t value) {
  std::uint8_t* bytes = make_unique();
  if (size_ != 0) std::memset(bytes, value, size_);
}

std::int32_t SharedBuffer::use_count() const { return holder_->count; }

}  // namespace audio
