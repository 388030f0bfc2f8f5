// A rectangle as an origin and a size, in pixels of form coordinates.
#pragma once

#include <cstdint>

#include "skinner/properties.h"

namespace skinner {

struct Rect {
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;

  Point position() const { return {x, y}; }
  Point size() const { return {width, height}; }
  static Rect of(Point position, Point size) { return {position.x, position.y, size.x, size.y}; }
  // Strict overlap: rectangles that only touch do not overlap.
  bool overlaps(const Rect& other) const {
    return static_cast<std::int64_t>(
               x)<static_cast<std::int64_t>(other.x) + other.width&& static_cast<std::int64_t>(y) <
                  static_cast<std::int64_t>(other.y) + other.height&& static_cast<std::int64_t>(x) + width>
               other.x &&
           static_cast<std::int64_t>(y) + height > other.y;
  }
  friend bool operator==(const Rect&, const Rect&) = default;
};

}  // namespace skinner
