#include "skinner/control.h"

#include "skinner/container.h"
#include "skinner/form_host.h"

namespace skinner {

Control::Control(Container& container, const std::wstring& name, NamingMode mode) : mode_(mode), container_(container) {
  if (mode == NamingMode::Anonymous) {
    kind_ = name;
  } else {
    name_ = name;
    if (mode == NamingMode::Named) load_kind();
  }
  container_.add_control(this);
}

Control::~Control() { container_.remove_control(this); }

void Control::load_kind() {
  PropertiesImpl* impl = get_properties() != nullptr ? get_properties()->get() : nullptr;
  if (impl != nullptr && impl->is_valid()) kind_ = impl->get_control_kind(container_.get_name(), name_);
}

void Control::on_click(Control* sender, const ClickInfo& info) { container_.on_click(sender, info); }
void Control::on_item_click(Control* sender, const ItemInfo& item) { container_.on_item_click(sender, item); }
void Control::on_item_context_menu(Control* sender, const ItemInfo& item) {
  container_.on_item_context_menu(sender, item);
}
void Control::on_item_edit_done(Control* sender, const ItemInfo& item, bool accepted) {
  container_.on_item_edit_done(sender, item, accepted);
}
void Control::on_spare_event_a(Control* sender) { container_.on_spare_event_a(sender); }
void Control::on_scroll(Control* sender) { container_.on_scroll(sender); }
void Control::on_command(Control* sender, const std::wstring& command) { container_.on_command(sender, command); }
void Control::on_value_tracking(Control* sender, double value) { container_.on_value_tracking(sender, value); }
void Control::on_value_changed(Control* sender) { container_.on_value_changed(sender); }
void Control::on_text_changed(Control* sender) { container_.on_text_changed(sender); }
void Control::on_header_click(Control* sender, const ItemInfo& header) { container_.on_header_click(sender, header); }
void Control::on_header_context_menu(Control* sender, const ItemInfo& header) {
  container_.on_header_context_menu(sender, header);
}
void Control::on_choice_changed(Control* sender) { container_.on_choice_changed(sender); }
void Control::on_child_focused(Control*) {}
void Control::on_menu_popup(Control* sender) { container_.on_menu_popup(sender); }
void Control::on_spare_event_b(Control* sender) { container_.on_spare_event_b(sender); }

void Control::set_zorder(std::int32_t zorder) {
  zorder_ = zorder;
  container_.mark_order_dirty();
}

void Control::set_want_focus(bool want) {
  want_focus_ = want;
  if (!get_want_focus() && has_focus()) container_.move_focus(true);
}

void Control::draw(Canvas& canvas, const Rect&) {
  if (is_focused()) focus_picture_.draw(canvas, rect_.position(), rect_.size());
}

bool Control::hit_test(Point point) const {
  return point.x >= rect_.x && point.y >= rect_.y &&
         static_cast<std::int64_t>(point.x) < std::int64_t{rect_.x} + rect_.width &&
         static_cast<std::int64_t>(point.y) < std::int64_t{rect_.y} + rect_.height;
}

void Control::on_timer(std::uint32_t id) {
  if (id != 0 && id == timer_id_) on_control_timer();
}

bool Control::set_rect(Point position, Point size) {
  const Rect rect = Rect::of(position, size);
  if (rect == rect_) return false;
  // Both the old and the new place need painting.
  invalidate();
  rect_ = rect;
  invalidate();
  return true;
}

void Control::load_properties() {
  if (mode_ == NamingMode::Named) load_kind();
  tooltip_ = read_text(L"TooltipText", std::wstring());
  cursor_ = read_cursor(L"Cursor", Cursor());
  anchor_x_ = anchor_from_name(read_text(L"AnchorX", std::wstring()));
  anchor_y_ = anchor_from_name(read_text(L"AnchorY", std::wstring()));
  focus_picture_ = read_picture(L"Focus", Picture());
  tab_order_ = read_int(L"TabOrder", 0);
  skin_position_ = read_scaled_point(L"Position", Point{});
  skin_size_ = read_scaled_point(L"Size", Point{});
  set_visible(read_int(L"Visible", visible_ ? 1 : 0) != 0);
  set_enabled(read_int(L"Enabled", enabled_ ? 1 : 0) != 0);
  gestures_ = read_int(L"Gestures", gestures_ ? 1 : 0) != 0;
  set_zorder(read_int(L"ZOrder", zorder_));
  set_want_focus(read_int(L"WantFocus", want_focus_ ? 1 : 0) != 0);
}

FormHost* Control::get_form() const { return container_.get_form(); }

Properties* Control::get_properties() const { return container_.get_properties(); }

namespace {

PropertiesImpl* impl_of(const Control& control) {
  Properties* handle = control.get_properties();
  return handle != nullptr ? handle->get() : nullptr;
}

}  // namespace

int Control::read_int(const std::wstring& key, int fallback) const {
  PropertiesImpl* impl = impl_of(*this);
  return impl != nullptr ? impl->read_int(kind_, name_, container_.get_name(), key, fallback) : fallback;
}

int Control::read_scaled_int(const std::wstring& key, int fallback) const {
  PropertiesImpl* impl = impl_of(*this);
  return impl != nullptr ? impl->read_scaled_int(kind_, name_, container_.get_name(), key, fallback) : fallback;
}

Point Control::read_scaled_point(const std::wstring& key, Point fallback) const {
  PropertiesImpl* impl = impl_of(*this);
  return impl != nullptr ? impl->read_scaled_point(kind_, name_, container_.get_name(), key, fallback) : fallback;
}

Colour Control::read_colour(const std::wstring& key, Colour fallback) const {
  PropertiesImpl* impl = impl_of(*this);
  return impl != nullptr ? impl->read_colour(kind_, name_, container_.get_name(), key, fallback) : fallback;
}

std::wstring Control::read_text(const std::wstring& key, const std::wstring& fallback) const {
  PropertiesImpl* impl = impl_of(*this);
  return impl != nullptr ? impl->read_text(kind_, name_, container_.get_name(), key, fallback) : fallback;
}

Cursor Control::read_cursor(const std::wstring& key, const Cursor& fallback) const {
  PropertiesImpl* impl = impl_of(*this);
  return impl != nullptr ? impl->read_cursor(kind_, name_, container_.get_name(), key, fallback) : fallback;
}

Picture Control::read_picture(const std::wstring& key, const Picture& fallback) const {
  PropertiesImpl* impl = impl_of(*this);
  return impl != nullptr ? impl->read_picture(kind_, name_, container_.get_name(), key, fallback) : fallback;
}

FontDesc Control::read_font(const std::wstring& key, const FontDesc& fallback) const {
  PropertiesImpl* impl = impl_of(*this);
  return impl != nullptr ? impl->read_font(kind_, name_, container_.get_name(), key, fallback) : fallback;
}

std::wstring Control::translate(const std::wstring& key, const std::wstring& fallback) const {
  Properties* handle = get_properties();
  return handle != nullptr ? Properties::translate(*handle, key, fallback) : fallback;
}

void Control::set_focus() {
  container_.set_focus(this);
  container_.on_child_focused(this);
}

bool Control::is_focused() const { return container_.is_focused(this); }

bool Control::has_focus() const { return container_.get_focused() == this; }

bool Control::is_visible() const { return visible_ && container_.is_shown(); }

bool Control::is_enabled() const { return enabled_ && container_.is_enabled(); }

void Control::set_visible(bool visible) {
  const bool was = visible_ && container_.is_shown();
  // The repaint covers the old place when hiding and the new when showing.
  if (was && !visible) invalidate();
  visible_ = visible;
  if (was != visible) {
    on_visible_changed(visible && container_.is_shown());
    invalidate();
  }
  if (!visible_ && has_focus()) container_.move_focus(true);
}

void Control::set_enabled(bool enabled) {
  const bool was = is_enabled();
  enabled_ = enabled;
  const bool now = is_enabled();
  if (was != now) {
    on_enabled_changed(now);
    invalidate();
  }
}

void Control::refresh_visible() {
  if (visible_) on_visible_changed(container_.is_shown());
}

void Control::refresh_enabled() {
  if (enabled_) {
    on_enabled_changed(container_.is_enabled());
    invalidate();
  }
}

void Control::invalidate() {
  FormHost* form = get_form();
  if (form != nullptr && visible_ && container_.is_shown()) form->invalidate(rect_);
}

void Control::start_timer(double seconds) {
  stop_timer();
  FormHost* form = get_form();
  if (form != nullptr) timer_id_ = form->set_timer(seconds);
}

void Control::stop_timer() {
  FormHost* form = get_form();
  if (form != nullptr && timer_id_ != 0) form->kill_timer(timer_id_);
  timer_id_ = 0;
}

bool Control::is_key_pressed(KeyCode key) const {
  const FormHost* form = get_form();
  return form != nullptr && form->is_key_pressed(key);
}

}  // namespace skinner
