#include "skinner/control_progress.h"

#include <algorithm>

namespace skinner {

namespace {

double clamp01(double v) {
  if (!(v > 0.0)) return 0.0;  // NaN as well
  return v > 1.0 ? 1.0 : v;
}

}  // namespace

ControlProgressBase::ControlProgressBase(Container& container, const std::wstring& name, NamingMode mode)
    : Control(container, name, mode) {}

void ControlProgressBase::on_pointer_down(PointerKind kind, Point point, bool double_tap) {
  if (kind != PointerKind::Tap || double_tap) return;
  tracking_ = true;
  notify_tracking(value_at_point(point));
}

void ControlProgressBase::on_pointer_move(Point point) {
  if (tracking_) notify_tracking(value_at_point(point));
}

void ControlProgressBase::on_pointer_up(PointerKind kind, Point, bool) {
  if (kind == PointerKind::Tap) tracking_ = false;
}

void ControlProgressBase::load_properties() {
  Control::load_properties();
  background_ = read_picture(L"Background", Picture());
  track_ = read_picture(L"Track", Picture());
  track_disabled_ = read_picture(L"TrackDisabled", Picture());
}

void ControlProgressBase::set_value(double value) {
  const double v = clamp01(value);
  if (v == value_) return;
  value_ = v;
  notify_changed();
  invalidate();
}

void ControlProgressBase::set_value_in_range(double minimum, double maximum, double value) {
  set_value(maximum <= minimum ? 0.0 : (value - minimum) / (maximum - minimum));
}

ControlProgress::ControlProgress(Container& container, const std::wstring& name, NamingMode mode)
    : ControlProgressBase(container, name, mode) {}

double ControlProgress::value_at_point(Point p) const {
  const Rect r = get_rect();
  const double t = track_size_;
  const double half = track_size_ / 2;
  double numerator = 0.0;
  double denominator = 0.0;
  switch (orientation_) {
    case 0:
      numerator = p.y - half - r.y;
      denominator = r.height - t;
      break;
    case 1:
      numerator = r.width - half - p.x + r.x;
      denominator = r.width - t;
      break;
    case 2:
      numerator = r.height - half - p.y + r.y;
      denominator = r.height - t;
      break;
    case 3:
      numerator = p.x - half - r.x;
      denominator = r.width - t;
      break;
    default:
      return 0.0;
  }
  if (denominator == 0.0) return 0.0;
  return clamp01(numerator / denominator);
}

Rect ControlProgress::fill_rect(double v) const {
  const Rect r = get_rect();
  const int t = track_size_;
  switch (orientation_) {
    case 0:
      return {r.x, r.y, r.width, static_cast<int>((r.height - t) * v)};
    case 1:
      return {r.x + static_cast<int>((r.width - t) * (1 - v)), r.y, static_cast<int>((r.width - t) * v), r.height};
    case 2:
      return {r.x, r.y + static_cast<int>((r.height - t) * (1 - v)), r.width, static_cast<int>((r.height - t) * v)};
    default:
      return {r.x, r.y, static_cast<int>((r.width - t) * v), r.height};
  }
}

Rect ControlProgress::thumb_rect(double v) const {
  const Rect r = get_rect();
  const Rect f = fill_rect(v);
  const int t = track_size_;
  switch (orientation_) {
    case 0:
      return {r.x, f.y + f.height, r.width, t};
    case 1:
      return {f.x, r.y, t, r.height};
    case 2:
      return {r.x, f.y, r.width, t};
    default:
      return {f.x + f.width, r.y, t, r.height};
  }
}

void ControlProgress::draw(Canvas& canvas, const Rect& clip) {
  const Rect r = get_rect();
  const double v = get_value();
  const int t = track_size_;
  if (orientation_ == 1 || orientation_ == 2) {
    progress_.draw(canvas, r.position(), r.size());
    if (orientation_ == 2)
      background_.draw(canvas, r.position(), Point{r.width, static_cast<int>((r.height - t) * (1 - v))});
    else
      background_.draw(canvas, r.position(), Point{static_cast<int>((r.width - t) * (1 - v)), r.height});
  } else {
    background_.draw(canvas, r.position(), r.size());
    const Rect f = fill_rect(v);
    progress_.draw(canvas, f.position(), f.size());
  }
  const Rect thumb = thumb_rect(v);
  (is_enabled() ? track_ : track_disabled_).draw(canvas, thumb.position(), thumb.size());
  Control::draw(canvas, clip);
}

void ControlProgress::load_properties() {
  ControlProgressBase::load_properties();
  orientation_ = read_int(L"Orientation", 3);
  progress_ = read_picture(L"Progress", Picture());
  track_size_ = read_scaled_int(L"TrackSize", 0);
}

}  // namespace skinner
