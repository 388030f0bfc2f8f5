// What controls and containers need of the form they belong to: repainting,
// form timers, the modifier keys and the report of a picture that failed to
// load. The form implements it; tests may stand in for it.
#pragma once

#include <cstdint>

#include "skinner/geometry.h"
#include "skinner/key_code.h"

namespace skinner {

class Picture;

class FormHost {
 public:
  // Repaints the rectangle (form coordinates).
  virtual void invalidate(const Rect& rect) = 0;
  // Starts a timer of the form window; the interval in seconds is turned
  // into whole milliseconds. Answers the timer's id (never 0).
  virtual std::uint32_t set_timer(double seconds) = 0;
  // Id 0 is ignored.
  virtual void kill_timer(std::uint32_t id) = 0;
  // Shift, Ctrl or Alt held; false for any other code.
  virtual bool is_key_pressed(KeyCode key) const = 0;
  virtual void on_picture_failed_to_load(const Picture& picture) = 0;

 protected:
  ~FormHost() = default;
};

}  // namespace skinner
