#include "skinner/container.h"

#include <algorithm>

#include "skinner/bitmap.h"
#include "skinner/control_factory.h"

namespace skinner {

namespace {

// One axis of the layout: the child's place and length from its design
// values, the container's design length and its present place and length.
void place_axis(Anchor anchor, std::int32_t at, std::int32_t length, std::int32_t design, std::int32_t origin,
                std::int32_t current, std::int32_t& out_at, std::int32_t& out_length) {
  // A ratio needs a design length to divide by; without one the child
  // keeps its offset from the near edge.
  if (anchor == Anchor::RATIO && design == 0) anchor = Anchor::MIN_SIDE;
  const std::int64_t p = at;
  const std::int64_t s = length;
  std::int64_t x = origin + p;
  std::int64_t w = s;
  switch (anchor) {
    case Anchor::MIN_SIDE:
      break;
    case Anchor::BOTH_SIDE:
      w = s - design + current;
      break;
    case Anchor::MAX_SIDE:
      x = origin + p - design + current;
      break;
    case Anchor::RATIO: {
      const std::int64_t start = (p * current) / design;
      x = origin + start;
      w = ((p + s) * current) / design - start;
      break;
    }
  }
  out_at = static_cast<std::int32_t>(std::clamp<std::int64_t>(x, INT32_MIN, INT32_MAX));
  out_length = static_cast<std::int32_t>(std::clamp<std::int64_t>(w, INT32_MIN, INT32_MAX));
}

}  // namespace

Container::Container(FormHost* form, Properties* properties, const std::wstring& name, NamingMode mode, Listener* owner)
    : mode_(mode), properties_(properties), owner_(owner), form_(form) {
  if (mode == NamingMode::Anonymous) {
    kind_ = name;
  } else {
    name_ = name;
    PropertiesImpl* impl = properties_ != nullptr ? properties_->get() : nullptr;
    if (mode == NamingMode::Named && !name_.empty() && impl != nullptr && impl->is_valid()) {
      kind_ = impl->get_control_kind(name_, name_);
    }
  }
}

Container::~Container() {
  // The form may be gone already: the controls' timers die with its window.
  form_ = nullptr;
  delete_owned_controls();
}

void Container::delete_owned_controls() {
  while (!owned_.empty()) {
    Control* control = owned_.back();
    owned_.pop_back();
    delete control;
  }
}

void Container::on_click(Control* sender, const ClickInfo& info) {
  if (owner_ != nullptr) owner_->on_click(sender, info);
}
void Container::on_item_click(Control* sender, const ItemInfo& item) {
  if (owner_ != nullptr) owner_->on_item_click(sender, item);
}
void Container::on_item_context_menu(Control* sender, const ItemInfo& item) {
  if (owner_ != nullptr) owner_->on_item_context_menu(sender, item);
}
void Container::on_item_edit_done(Control* sender, const ItemInfo& item, bool accepted) {
  if (owner_ != nullptr) owner_->on_item_edit_done(sender, item, accepted);
}
void Container::on_spare_event_a(Control* sender) {
  if (owner_ != nullptr) owner_->on_spare_event_a(sender);
}
void Container::on_scroll(Control* sender) {
  if (owner_ != nullptr) owner_->on_scroll(sender);
}
void Container::on_command(Control* sender, const std::wstring& command) {
  if (owner_ != nullptr) owner_->on_command(sender, command);
}
void Container::on_value_tracking(Control* sender, double value) {
  if (owner_ != nullptr) owner_->on_value_tracking(sender, value);
}
void Container::on_value_changed(Control* sender) {
  if (owner_ != nullptr) owner_->on_value_changed(sender);
}
void Container::on_text_changed(Control* sender) {
  if (owner_ != nullptr) owner_->on_text_changed(sender);
}
void Container::on_header_click(Control* sender, const ItemInfo& header) {
  if (owner_ != nullptr) owner_->on_header_click(sender, header);
}
void Container::on_header_context_menu(Control* sender, const ItemInfo& header) {
  if (owner_ != nullptr) owner_->on_header_context_menu(sender, header);
}
void Container::on_choice_changed(Control* sender) {
  if (owner_ != nullptr) owner_->on_choice_changed(sender);
}
void Container::on_child_focused(Control* sender) {
  if (owner_ != nullptr) owner_->on_child_focused(sender);
}
void Container::on_menu_popup(Control* sender) {
  if (owner_ != nullptr) owner_->on_menu_popup(sender);
}
void Container::on_spare_event_b(Control* sender) {
  if (owner_ != nullptr) owner_->on_spare_event_b(sender);
}

void Container::set_focus(Control* control) {
  if (control == focused_) return;
  if (active_ && focused_ != nullptr) focused_->on_focus_lost();
  focused_ = control;
  if (active_ && focused_ != nullptr) focused_->on_focus_gained();
}

bool Container::is_focused(const Control* control) const {
  return active_ && control != nullptr && control == focused_;
}

void Container::set_active(bool active) {
  if (active == active_) return;
  if (active) {
    // Chosen while still inactive, so the control hears of the focus once.
    if (focused_ == nullptr) move_focus(true);
    active_ = true;
    if (focused_ != nullptr) focused_->on_focus_gained();
  } else {
    active_ = false;
    if (focused_ != nullptr) focused_->on_focus_lost();
  }
}

void Container::sort_children() {
  if (!order_dirty_) return;
  std::stable_sort(children_.begin(), children_.end(), &Control::less_zorder);
  order_dirty_ = false;
}

void Container::set_rect(Point position, Point size) {
  sort_children();
  rect_ = Rect::of(position, size);
  for (std::size_t i = children_.size(); i-- > 0;) {
    if (i >= children_.size()) continue;
    Control* child = children_[i];
    const Point p = child->get_skin_position();
    const Point s = child->get_skin_size();
    Point at, length;
    place_axis(child->get_anchor_x(), p.x, s.x, design_size_.x, position.x, size.x, at.x, length.x);
    place_axis(child->get_anchor_y(), p.y, s.y, design_size_.y, position.y, size.y, at.y, length.y);
    child->set_rect(at, length);
  }
}

void Container::load_properties() {
  if (!name_.empty()) {
    PropertiesImpl* impl = properties_ != nullptr ? properties_->get() : nullptr;
    if (mode_ == NamingMode::Named && impl != nullptr && impl->is_valid()) {
      kind_ = impl->get_control_kind(name_, name_);
    }
    design_size_ = read_scaled_point(L"Size", Point{});
    if (device_is_smartphone()) design_size_ = read_scaled_point(L"SizeNoButtons", design_size_);

    // Controls made here join the owned list at once, so a load that ends
    // half-way leaves nothing unowned; those no longer declared go last.
    std::vector<Control*> previous = owned_;
    const int count = impl != nullptr && impl->is_valid() ? impl->get_declared_count(name_) : 0;
    for (int i = 0; i < count; ++i) {
      const DeclaredControl declared = impl->get_declared_control(name_, i);
      Control* existing = find_control(declared.name);
      if (existing == nullptr) {
        Control* made = create_declared_control(declared.class_name, *this, declared.name);
        if (made != nullptr) owned_.push_back(made);
        continue;
      }
      previous.erase(std::remove(previous.begin(), previous.end(), existing), previous.end());
    }
    for (Control* gone : previous) {
      owned_.erase(std::remove(owned_.begin(), owned_.end(), gone), owned_.end());
      delete gone;
    }
  }
  for (std::size_t i = 0; i < children_.size(); ++i) children_[i]->load_properties();
}

bool Container::on_text(wchar_t character) {
  return focused_ != nullptr && focused_->is_enabled() && focused_->on_text(character);
}

bool Container::on_key_down(KeyCode key) {
  if (focused_ != nullptr && focused_->is_enabled() && focused_->on_key_down(key)) return true;
  const bool ctrl = form_ != nullptr && form_->is_key_pressed(KeyCode::Ctrl);
  const bool alt = form_ != nullptr && form_->is_key_pressed(KeyCode::Alt);
  if (key == KeyCode::Tab && !ctrl && !alt) {
    const bool shift = form_ != nullptr && form_->is_key_pressed(KeyCode::Shift);
    return move_focus(!shift);
  }
  if (key == KeyCode::Down) return move_focus(true);
  if (key == KeyCode::Up) return move_focus(false);
  return false;
}

bool Container::on_key_up(KeyCode key) {
  return focused_ != nullptr && focused_->is_enabled() && focused_->on_key_up(key);
}

void Container::on_timer(std::uint32_t id) {
  for (std::size_t i = 0; i < children_.size(); ++i) children_[i]->on_timer(id);
}

void Container::add_control(Control* control) {
  const std::wstring& name = control->get_name();
  if (!name.empty()) {
    // A control made by code takes the place of the skin's one.
    for (std::size_t i = owned_.size(); i-- > 0;) {
      if (i < owned_.size() && owned_[i] != control && owned_[i]->get_name() == name) {
        Control* replaced = owned_[i];
        owned_.erase(owned_.begin() + static_cast<std::ptrdiff_t>(i));
        delete replaced;
      }
    }
  }
  children_.push_back(control);
  order_dirty_ = true;
}

void Container::remove_control(Control* control) {
  if (focused_ == control) focused_ = nullptr;
  if (hover_ == control) hover_ = nullptr;
  if (capture_ == control) end_capture();
  control->stop_timer();
  children_.erase(std::remove(children_.begin(), children_.end(), control), children_.end());
  owned_.erase(std::remove(owned_.begin(), owned_.end(), control), owned_.end());
}

void Container::end_capture() {
  capture_ = nullptr;
  buttons_[0] = buttons_[1] = buttons_[2] = false;
}

bool Container::move_focus(bool forward) {
  std::vector<Control*> candidates;
  for (Control* child : children_) {
    if (child->get_want_focus() && child->is_visible() && child->is_enabled()) candidates.push_back(child);
  }
  if (candidates.empty()) return false;
  std::stable_sort(candidates.begin(), candidates.end(), &Control::less_tab_order);
  const auto it = std::find(candidates.begin(), candidates.end(), focused_);
  Control* next = nullptr;
  bool wrapped = false;
  if (it == candidates.end()) {
    next = forward ? candidates.front() : candidates.back();
  } else if (forward) {
    wrapped = it + 1 == candidates.end();
    next = wrapped ? candidates.front() : *(it + 1);
  } else {
    wrapped = it == candidates.begin();
    next = wrapped ? candidates.back() : *(it - 1);
  }
  next->set_focus();
  return !wrapped;
}

bool Container::acquire_native_focus() { return focused_ != nullptr && focused_->acquire_native_focus(); }

bool Container::set_hover(Control* control) {
  if (control == hover_) return false;
  Control* old = hover_;
  hover_ = control;
  if (old != nullptr) {
    old->on_pointer_leave();
    old->invalidate();
  }
  if (hover_ != nullptr) {
    hover_->get_cursor().apply();
  } else {
    Cursor().apply();
  }
  return true;
}

Control* Container::child_at(Point point) const {
  for (std::size_t i = children_.size(); i-- > 0;) {
    Control* child = children_[i];
    if (child->is_visible() && child->hit_test(point)) return child;
  }
  return nullptr;
}

void Container::on_pointer_move(Point point) {
  last_position_ = point;
  if (capture_ != nullptr) {
    capture_->on_pointer_move(point);
    return;
  }
  Control* hit = child_at(point);
  if (hit != nullptr && hit->is_enabled()) {
    const bool changed = set_hover(hit);
    hit->on_pointer_move(point);
    if (changed && hover_ == hit) hit->invalidate();
  } else {
    set_hover(nullptr);
  }
}

void Container::on_pointer_down(PointerKind kind, Point point, bool double_tap) {
  last_position_ = point;
  const int k = static_cast<int>(kind);
  if (capture_ == nullptr) {
    Control* hit = child_at(point);
    if (hit != nullptr && hit->is_enabled()) {
      set_hover(hit);
      capture_ = hit;
      if (hit->get_want_focus()) hit->set_focus();
    } else if (hit != nullptr) {
      set_hover(nullptr);
    }
  }
  // Taking the focus may have removed the control.
  if (capture_ != nullptr) {
    buttons_[k] = true;
    capture_->on_pointer_down(kind, point, double_tap);
  }
}

void Container::on_pointer_up(PointerKind kind, Point point, bool double_tap) {
  last_position_ = point;
  if (capture_ == nullptr) return;
  const int k = static_cast<int>(kind);
  Control* captured = capture_;
  buttons_[k] = false;
  captured->on_pointer_up(kind, point, double_tap);
  if (capture_ == captured && !buttons_[0] && !buttons_[1] && !buttons_[2]) capture_ = nullptr;
}

void Container::on_pointer_scroll(Point point, int amount) {
  Control* target = capture_ != nullptr ? capture_ : child_at(point);
  if (target != nullptr) target->on_pointer_scroll(point, amount);
}

void Container::on_pointer_leave() {
  if (capture_ == nullptr) set_hover(nullptr);
}

void Container::draw(Canvas& canvas, const Rect& clip) {
  for (std::size_t i = 0; i < children_.size(); ++i) {
    Control* child = children_[i];
    if (child->is_visible() && child->get_rect().overlaps(clip)) child->draw(canvas, clip);
  }
}

bool Container::hit_test(Point point) const { return child_at(point) != nullptr; }

bool Container::wants_gestures(Point point) const {
  Control* hit = child_at(point);
  return hit != nullptr && hit->wants_gestures(point);
}

Point Container::get_preferred_size() {
  Point size = design_size_;
  for (std::size_t i = children_.size(); i-- > 0;) {
    Control* child = children_[i];
    const Point skin = child->get_skin_size();
    const bool wide = child->get_anchor_x() == Anchor::BOTH_SIDE;
    const bool tall = child->get_anchor_y() == Anchor::BOTH_SIDE;
    if (!wide && !tall) continue;
    const Point preferred = child->get_preferred_size();
    if (wide) size.x = std::max<std::int64_t>(size.x, std::int64_t{design_size_.x} - skin.x + preferred.x);
    if (tall) size.y = std::max<std::int64_t>(size.y, std::int64_t{design_size_.y} - skin.y + preferred.y);
  }
  return size;
}

void Container::on_visible_changed(bool shown) {
  if (shown == shown_) return;
  shown_ = shown;
  for (std::size_t i = 0; i < children_.size(); ++i) children_[i]->refresh_visible();
}

void Container::on_enabled_changed(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  if (!enabled) {
    set_hover(nullptr);
    if (capture_ != nullptr) {
      Control* captured = capture_;
      end_capture();
      for (PointerKind kind : {PointerKind::Tap, PointerKind::Second, PointerKind::Hold}) {
        captured->on_pointer_up(kind, last_position_, false);
      }
    }
  }
  for (std::size_t i = 0; i < children_.size(); ++i) children_[i]->refresh_enabled();
}

namespace {

PropertiesImpl* impl_of(const Properties* handle) { return handle != nullptr ? handle->get() : nullptr; }

}  // namespace

int Container::read_int(const std::wstring& key, int fallback) const {
  PropertiesImpl* impl = impl_of(properties_);
  return impl != nullptr ? impl->read_int(kind_, name_, name_, key, fallback) : fallback;
}

int Container::read_scaled_int(const std::wstring& key, int fallback) const {
  PropertiesImpl* impl = impl_of(properties_);
  return impl != nullptr ? impl->read_scaled_int(kind_, name_, name_, key, fallback) : fallback;
}

Point Container::read_scaled_point(const std::wstring& key, Point fallback) const {
  PropertiesImpl* impl = impl_of(properties_);
  return impl != nullptr ? impl->read_scaled_point(kind_, name_, name_, key, fallback) : fallback;
}

Colour Container::read_colour(const std::wstring& key, Colour fallback) const {
  PropertiesImpl* impl = impl_of(properties_);
  return impl != nullptr ? impl->read_colour(kind_, name_, name_, key, fallback) : fallback;
}

std::wstring Container::read_text(const std::wstring& key, const std::wstring& fallback) const {
  PropertiesImpl* impl = impl_of(properties_);
  return impl != nullptr ? impl->read_text(kind_, name_, name_, key, fallback) : fallback;
}

Picture Container::read_picture(const std::wstring& key, const Picture& fallback) const {
  PropertiesImpl* impl = impl_of(properties_);
  if (impl == nullptr) return fallback;
  Picture picture = impl->read_picture(kind_, name_, name_, key, fallback);
  const Bitmap* bitmap = picture.get_bitmap();
  if (bitmap != nullptr && !bitmap->is_loaded() && form_ != nullptr) form_->on_picture_failed_to_load(picture);
  return picture;
}

FontDesc Container::read_font(const std::wstring& key, const FontDesc& fallback) const {
  PropertiesImpl* impl = impl_of(properties_);
  return impl != nullptr ? impl->read_font(kind_, name_, name_, key, fallback) : fallback;
}

std::wstring Container::translate(const std::wstring& key, const std::wstring& fallback) const {
  return properties_ != nullptr ? Properties::translate(*properties_, key, fallback) : fallback;
}

Control* Container::find_control(const std::wstring& name) const {
  for (Control* child : children_) {
    if (child->get_name() == name) return child;
  }
  return nullptr;
}

}  // namespace skinner
