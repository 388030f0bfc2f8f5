#include "skinner/pixel_rows.h"

#include <cstddef>

namespace skinner {

void PixelRows::assign(std::uint8_t* base, std::int32_t width, std::uint32_t height, std::int32_t stride) {
  base_ = base;
  width_ = width;
  height_ = height;
  stride_ = stride;
  if (height > capacity_) {
    rows_ = std::make_unique<std::uint8_t*[]>(height);
    capacity_ = height;
  }
  // Offsets from the lowest address, so no address before the buffer is
  // ever formed.
  const std::ptrdiff_t step = stride;
  for (std::uint32_t i = 0; i < height; ++i) {
    const std::ptrdiff_t offset =
        step >= 0 ? static_cast<std::ptrdiff_t>(i) * step : static_cast<std::ptrdiff_t>(height - 1 - i) * -step;
    rows_[i] = base + offset;
  }
}

}  // namespace skinner
