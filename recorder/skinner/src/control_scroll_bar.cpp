#include "skinner/control_scroll_bar.h"

#include <algorithm>

namespace skinner {

namespace {

// Places a child of a panel's container: its skin rectangle is kept
// relative to the panel, so that the container's own layout later puts it
// in the same place.
void place(Control& child, Point origin, Point position, Point size) {
  child.set_skin_rect(Point{position.x - origin.x, position.y - origin.y}, size);
  child.set_rect(position, size);
}

}  // namespace

// --- The buttons -------------------------------------------------------------

ControlScrollBar::Button::Button(ControlScrollBar& owner, Container& container, const std::wstring& kind, Part part)
    : ControlButton(container, kind, NamingMode::Anonymous), owner_(owner), part_(part) {
  set_want_focus(false);
}

void ControlScrollBar::Button::on_pointer_down(PointerKind kind, Point point, bool double_tap) {
  if (kind == PointerKind::Tap) {
    if (repeat_interval_ != 0.0) {
      countdown_ = 5;
      start_timer(repeat_interval_);
    }
    const Point position = get_position();
    grab_ = {point.x - position.x, point.y - position.y};
    owner_.act(part_);
  }
  ControlButton::on_pointer_down(kind, point, double_tap);
}

void ControlScrollBar::Button::on_pointer_up(PointerKind kind, Point point, bool double_tap) {
  if (kind == PointerKind::Tap) stop_timer();
  ControlButton::on_pointer_up(kind, point, double_tap);
}

void ControlScrollBar::Button::on_pointer_move(Point point) {
  ControlButton::on_pointer_move(point);
  if (is_pressed() && part_ == kThumb) owner_.track_thumb(Point{point.x - grab_.x, point.y - grab_.y});
}

void ControlScrollBar::Button::on_control_timer() {
  if (!is_pressed()) return;
  --countdown_;
  if (countdown_ < 0 && is_enabled()) owner_.act(part_);
}

// --- The bar -------------------------------------------------------------------

ControlScrollBar::ControlScrollBar(Container& container, const std::wstring& name, NamingMode mode)
    : ControlPanel(container, name, mode) {
  Container& inner = get_inner();
  const std::wstring kind_min = read_text(L"KindMin", L"");
  const std::wstring kind_max = read_text(L"KindMax", L"");
  const std::wstring kind_space = read_text(L"KindSpace", L"");
  const std::wstring kind_track = read_text(L"KindTrack", L"");
  buttons_[kMin] = std::make_unique<Button>(*this, inner, kind_min, kMin);
  buttons_[kMax] = std::make_unique<Button>(*this, inner, kind_max, kMax);
  buttons_[kSpaceBefore] = std::make_unique<Button>(*this, inner, kind_space, kSpaceBefore);
  buttons_[kSpaceAfter] = std::make_unique<Button>(*this, inner, kind_space, kSpaceAfter);
  buttons_[kThumb] = std::make_unique<Button>(*this, inner, kind_track, kThumb);
  set_value(0);
}

ControlScrollBar::~ControlScrollBar() = default;

void ControlScrollBar::set_value(std::int32_t v) {
  if (maximum_ < minimum_) maximum_ = minimum_;
  const std::int64_t range = static_cast<std::int64_t>(maximum_) - minimum_;
  if (page_ > range) page_ = static_cast<std::int32_t>(range);
  if (page_ < 0) page_ = 0;
  const std::int32_t value = std::min(std::max(v, minimum_), maximum_ - page_);
  if (value == value_) return;
  value_ = value;
  raise_scroll();
  layout();
  invalidate();
}

void ControlScrollBar::set_range(std::int32_t minimum, std::int32_t maximum) {
  if (minimum == minimum_ && maximum == maximum_) return;
  minimum_ = minimum;
  maximum_ = maximum;
  set_value(value_);
  layout();
  invalidate();
}

void ControlScrollBar::set_page(std::int32_t page) {
  if (page == page_) return;
  page_ = page;
  set_value(value_);
  layout();
}

void ControlScrollBar::act(Part part) {
  switch (part) {
    case kMin:
      set_value(value_ - step_);
      break;
    case kMax:
      set_value(value_ + step_);
      break;
    case kSpaceBefore:
      set_value(value_ - page_);
      break;
    case kSpaceAfter:
      set_value(value_ + page_);
      break;
    case kThumb:
      break;
  }
}

int ControlScrollBar::thumb_min_length() const {
  const Button& thumb = *buttons_[kThumb];
  const Picture& picture = thumb.get_state_looks()[static_cast<std::size_t>(thumb.current_look())].picture;
  const Point min = picture.min_size();
  return std::max(vertical_ ? min.y : min.x, 0);
}

void ControlScrollBar::track_thumb(Point origin) {
  const Rect r = get_rect();
  const int thumb_min = thumb_min_length();
  const int free =
      vertical_ ? r.height - min_length_ - max_length_ - thumb_min : r.width - min_length_ - max_length_ - thumb_min;
  double f = 0.0;
  // A track shorter than the thumb's own minimum has no travel at all.
  if (free > 0) {
    f = vertical_ ? static_cast<double>(origin.y - min_length_ - r.y) / free
                  : static_cast<double>(origin.x - min_length_ - r.x) / free;
  }
  f = std::clamp(f, 0.0, 1.0);
  set_value(minimum_ + static_cast<std::int32_t>((static_cast<double>(maximum_) - minimum_) * f));
}

bool ControlScrollBar::set_rect(Point position, Point size) {
  const bool changed = ControlPanel::set_rect(position, size);
  layout();
  return changed;
}

void ControlScrollBar::layout() {
  const Rect r = get_rect();
  const double range = static_cast<double>(maximum_) - minimum_;
  const double f_pos = range != 0.0 ? (value_ - minimum_) / range : 0.0;
  const double f_page = range != 0.0 ? page_ / range : 1.0;
  const int thumb_min = thumb_min_length();
  Rect rects[5] = {};
  if (vertical_) {
    rects[kMin] = {r.x, r.y, r.width, min_length_};
    rects[kMax] = {r.x, r.y + r.height - max_length_, r.width, max_length_};
    if (r.height >= 1) {
      const int free = std::max(r.height - max_length_ - thumb_min - min_length_, 0);
      const int top = r.y + min_length_;
      const int thumb_y = static_cast<int>(free * f_pos + top);
      const int after = std::max(static_cast<int>((1 - f_pos - f_page) * free), 0);
      const int end = r.y + r.height - max_length_ - after;
      rects[kThumb] = {r.x, thumb_y, r.width, end - thumb_y};
      rects[kSpaceBefore] = {r.x, top, r.width, thumb_y - top};
      rects[kSpaceAfter] = {r.x, end, r.width, after};
    }
  } else {
    rects[kMin] = {r.x, r.y, min_length_, r.height};
    rects[kMax] = {r.x + r.width - max_length_, r.y, max_length_, r.height};
    if (r.width >= 1) {
      const int free = std::max(r.width - max_length_ - min_length_ - thumb_min, 0);
      const int left = r.x + min_length_;
      const int thumb_x = static_cast<int>(free * f_pos + left);
      const int after = std::max(static_cast<int>((1 - f_pos - f_page) * free), 0);
      const int end = r.x + r.width - max_length_ - after;
      rects[kThumb] = {thumb_x, r.y, end - thumb_x, r.height};
      rects[kSpaceBefore] = {left, r.y, thumb_x - left, r.height};
      rects[kSpaceAfter] = {end, r.y, after, r.height};
    }
  }
  min_size_ = rects[kMin].size();
  max_size_ = rects[kMax].size();
  thumb_size_ = rects[kThumb].size();
  const Part order[5] = {kMin, kMax, kSpaceBefore, kThumb, kSpaceAfter};
  for (Part part : order) {
    Rect rect = rects[part];
    rect.width = std::max(rect.width, 0);
    rect.height = std::max(rect.height, 0);
    place(*buttons_[part], r.position(), rect.position(), rect.size());
  }
}

void ControlScrollBar::load_properties() {
  ControlPanel::load_properties();
  vertical_ = read_int(L"Vertical", 0) != 0;
  min_length_ = read_int(L"MinButtonSize", 0);
  max_length_ = read_int(L"MaxButtonSize", 0);
  minimum_ = read_int(L"Min", 0);
  maximum_ = read_int(L"Max", 0);
  page_ = read_int(L"Page", 1);
  set_value(value_);
  layout();
}

// --- The auto-scrolling panel ---------------------------------------------------

ControlPanelAutoScroll::ControlPanelAutoScroll(Container& container, const std::wstring& name, NamingMode mode)
    : ControlPanel(container, name, mode) {
  vertical_ = std::make_unique<ControlScrollBar>(get_inner(), read_text(L"KindScroll", L""), NamingMode::Anonymous);
  horizontal_ = std::make_unique<ControlScrollBar>(get_inner(), read_text(L"KindHScroll", L""), NamingMode::Anonymous);
  vertical_->set_want_focus(false);
  horizontal_->set_want_focus(false);
}

ControlPanelAutoScroll::~ControlPanelAutoScroll() = default;

void ControlPanelAutoScroll::load_properties() {
  ControlPanel::load_properties();
  scroll_width_ = read_int(L"ScrollWidth", 0);
  scroll_height_ = read_int(L"ScrollHeight", scroll_width_);
  border_min_ = read_scaled_point(L"BorderMin", Point{0, 0});
  border_max_ = read_scaled_point(L"BorderMax", border_min_);
  scroll_border_min_ = read_scaled_point(L"ScrollBorderMin", Point{0, 0});
  scroll_border_max_ = read_scaled_point(L"ScrollBorderMax", scroll_border_min_);
}

void ControlPanelAutoScroll::layout_content(Control& content, Point content_size) {
  area_ = get_rect();
  bool need_vertical = false;
  bool need_horizontal = false;
  if (content_size.y > area_.height) {
    need_vertical = true;
    area_.width -= scroll_border_max_.x + scroll_border_min_.x + scroll_width_;
  }
  if (content_size.x > area_.width) {
    need_horizontal = true;
    area_.height -= scroll_border_max_.y + scroll_border_min_.y + scroll_height_;
  }
  if (!need_vertical && content_size.y > area_.height) {
    need_vertical = true;
    area_.width -= scroll_border_max_.x + scroll_border_min_.x + scroll_width_;
  }
  const Point position{area_.x + border_min_.x, area_.y + border_min_.y};
  const Point size{std::max(area_.width - border_min_.x - border_max_.x, 0),
                   std::max(area_.height - border_min_.y - border_max_.y, 0)};
  place(content, get_rect().position(), position, size);
  vertical_->set_visible(need_vertical);
  horizontal_->set_visible(need_horizontal);
}

void ControlPanelAutoScroll::place_scroll_bars() {
  const Point v_position{area_.x + area_.width + scroll_border_min_.x, area_.y + scroll_border_min_.y};
  const Point v_size{scroll_width_, std::max(area_.height - scroll_border_min_.y - scroll_border_max_.y, 0)};
  place(*vertical_, get_rect().position(), v_position, v_size);
  const Point h_position{area_.x + scroll_border_min_.x, area_.y + area_.height + scroll_border_min_.y};
  const Point h_size{std::max(area_.width - scroll_border_min_.x - scroll_border_max_.x, 0), scroll_height_};
  place(*horizontal_, get_rect().position(), h_position, h_size);
}

}  // namespace skinner
