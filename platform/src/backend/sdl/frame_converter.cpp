#include "backend/sdl/frame_converter.h"

namespace ce::backend::sdl {
namespace {

std::uint32_t Xrgb(COLORREF c) {
  return (static_cast<std::uint32_t>(GetRValue(c)) << 16) | (static_cast<std::uint32_t>(GetGValue(c)) << 8) |
         GetBValue(c);
}

}  // namespace

FrameConverter::FrameConverter(const gdi::PixelFormat& format) {
  if (format.indexed()) {
    kind_ = Kind::Indexed;
    const std::size_t size = std::size_t{1} << format.bitsPerPixel();
    for (std::size_t v = 0; v < size && v < table_.size(); ++v) table_[v] = Xrgb(format.ToColor(static_cast<DWORD>(v)));
    return;
  }
  // The channels of a direct format widen independently, and a channel of
  // more than 8 bits shows only its top 8: a table of 256 entries a channel,
  // each made by ToColor from a pixel holding that channel alone, gives every
  // pixel's colour as the OR of three lookups.
  kind_ = Kind::Direct;
  for (int i = 0; i < 3; ++i) {
    const gdi::Channel& c = format.channels()[static_cast<std::size_t>(i)];
    const int top = c.shift + (c.bits > 8 ? c.bits - 8 : 0);
    shift_[static_cast<std::size_t>(i)] = top;
    mask_[static_cast<std::size_t>(i)] = c.mask;
    const std::uint32_t limit = c.bits >= 8 ? 256u : (1u << c.bits);
    for (std::uint32_t v = 0; v < limit; ++v) {
      channels_[static_cast<std::size_t>(i)][v] = Xrgb(format.ToColor((v << top) & c.mask));
    }
  }
}

void FrameConverter::Convert(std::uint32_t* values, std::size_t count) const {
  if (kind_ == Kind::Indexed) {
    for (std::size_t k = 0; k < count; ++k) values[k] = table_[values[k] & 0xFF];
    return;
  }
  const auto& [red, green, blue] = channels_;
  for (std::size_t k = 0; k < count; ++k) {
    const std::uint32_t p = values[k];
    values[k] = red[((p & mask_[0]) >> shift_[0]) & 0xFF] | green[((p & mask_[1]) >> shift_[1]) & 0xFF] |
                blue[((p & mask_[2]) >> shift_[2]) & 0xFF];
  }
}

}  // namespace ce::backend::sdl
