// Turns rows of the device screen, in whatever pixel format and orientation
// the screen has, into the window picture's 0x00RRGGBB pixels. The tables
// are made once per screen format, so a row costs a load and a few lookups
// a pixel, with no call per pixel; the colours are exactly the ones
// PixelFormat::ToColor gives.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "gdi/surface.h"

namespace ce::backend::sdl {

class FrameConverter {
 public:
  FrameConverter() = default;
  explicit FrameConverter(const gdi::PixelFormat& format);

  // Pixel values as read from the screen (gdi::ReadSpan) to 0x00RRGGBB, in
  // place.
  void Convert(std::uint32_t* values, std::size_t count) const;

 private:
  enum class Kind { Indexed, Direct };
  Kind kind_ = Kind::Indexed;
  std::array<std::uint32_t, 256> table_{};                    // indexed formats
  std::array<std::array<std::uint32_t, 256>, 3> channels_{};  // direct: each channel's top 8 bits
  std::array<int, 3> shift_{};
  std::array<std::uint32_t, 3> mask_{};
};

}  // namespace ce::backend::sdl
