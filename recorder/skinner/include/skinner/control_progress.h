// The skinned bar that shows a fraction from 0 to 1 and reports where the
// pointer presses or drags it; it moves only when a listener sets the value.
#pragma once

#include <string>

#include "skinner/control.h"

namespace skinner {

class ControlProgressBase : public Control {
 public:
  ControlProgressBase(Container& container, const std::wstring& name, NamingMode mode = NamingMode::Named);

  virtual void notify_tracking(double value) { on_value_tracking(this, value); }
  virtual void notify_changed() { on_value_changed(this); }
  virtual double value_at_point(Point point) const = 0;

  void on_pointer_move(Point point) override;
  void on_pointer_down(PointerKind kind, Point point, bool double_tap) override;
  void on_pointer_up(PointerKind kind, Point point, bool double_tap) override;
  void load_properties() override;

  // Clamped to 0..1; a change is reported and repainted.
  void set_value(double value);
  void set_value_in_range(double minimum, double maximum, double value);
  double get_value() const { return value_; }
  bool is_tracking() const { return tracking_; }

 protected:
  Picture background_;
  Picture track_;
  Picture track_disabled_;

 private:
  double value_ = 0.0;
  bool tracking_ = false;
};

class ControlProgress : public ControlProgressBase {
 public:
  ControlProgress(Container& container, const std::wstring& name, NamingMode mode = NamingMode::Named);

  double value_at_point(Point point) const override;
  void draw(Canvas& canvas, const Rect& clip) override;
  void load_properties() override;

  // The fill and the thumb for a value, in form coordinates.
  Rect fill_rect(double value) const;
  Rect thumb_rect(double value) const;
  std::int32_t get_orientation() const { return orientation_; }

 private:
  Picture progress_;
  std::int32_t orientation_ = 3;
  std::int32_t track_size_ = 0;
};

}  // namespace skinner
