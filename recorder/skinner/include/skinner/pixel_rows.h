// Row start addresses of a 32-bit pixel buffer, so row y is one table lookup
// whatever the rows' order in memory.
#pragma once

#include <cstdint>
#include <memory>

namespace skinner {

class PixelRows {
 public:
  PixelRows() = default;
  PixelRows(std::uint8_t* base, std::int32_t width, std::uint32_t height, std::int32_t stride) {
    assign(base, width, height, stride);
  }
  PixelRows(const PixelRows&) = delete;
  PixelRows& operator=(const PixelRows&) = delete;

  // With a negative stride the first row is the highest in memory. The
  // array grows to the height and never shrinks.
  void assign(std::uint8_t* base, std::int32_t width, std::uint32_t height, std::int32_t stride);

  std::uint32_t* row(std::uint32_t y) const { return reinterpret_cast<std::uint32_t*>(rows_[y]); }
  std::uint8_t* row_bytes(std::uint32_t y) const { return rows_[y]; }
  std::uint8_t* base() const { return base_; }
  std::int32_t width() const { return width_; }
  std::uint32_t height() const { return height_; }
  std::int32_t stride() const { return stride_; }
  std::uint32_t capacity() const { return capacity_; }
  // The array itself, to tell a reallocation.
  std::uint8_t* const* table() const { return rows_.get(); }

 private:
  std::uint8_t* base_ = nullptr;
  std::unique_ptr<std::uint8_t*[]> rows_;
  std::int32_t width_ = 0;
  std::uint32_t height_ = 0;
  std::int32_t stride_ = 0;
  std::uint32_t capacity_ = 0;
};

}  // namespace skinner
