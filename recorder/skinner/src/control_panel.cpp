#include "skinner/control_panel.h"

namespace skinner {

ControlPanel::ControlPanel(Container& container, const std::wstring& name, NamingMode mode)
    : Control(container, name, mode) {
  template_ = read_text(L"FormTemplate", L"");
  inner_ = std::make_unique<Container>(get_form(), get_properties(), template_, NamingMode::Named, this);
}

ControlPanel::~ControlPanel() = default;

void ControlPanel::on_child_focused(Control*) { set_focus(); }

bool ControlPanel::acquire_native_focus() { return inner_->acquire_native_focus(); }

void ControlPanel::on_focus_gained() {
  invalidate();
  inner_->set_active(true);
}

void ControlPanel::on_focus_lost() {
  inner_->set_active(false);
  invalidate();
}

void ControlPanel::on_visible_changed(bool visible) {
  Control::on_visible_changed(visible);
  inner_->on_visible_changed(visible);
}

bool ControlPanel::wants_gestures(Point point) { return inner_->wants_gestures(point); }

void ControlPanel::on_enabled_changed(bool enabled) {
  Control::on_enabled_changed(enabled);
  inner_->on_enabled_changed(enabled);
}

void ControlPanel::draw_children(Canvas& canvas, const Rect& clip) { inner_->draw(canvas, clip); }

void ControlPanel::draw(Canvas& canvas, const Rect& clip) {
  const Rect rect = get_rect();
  background_.draw(canvas, rect.position(), rect.size());
  draw_children(canvas, clip);
  Control::draw(canvas, clip);
}

bool ControlPanel::hit_test(Point point) const {
  if (inner_->hit_test(point)) return true;
  if (!Control::hit_test(point)) return false;
  if (background_.get_bitmap() == nullptr) return false;
  const Rect rect = get_rect();
  return !background_.is_transparent_at(point, rect.position(), rect.size());
}

void ControlPanel::on_pointer_move(Point point) { inner_->on_pointer_move(point); }
void ControlPanel::on_pointer_leave() { inner_->on_pointer_leave(); }
void ControlPanel::on_pointer_down(PointerKind kind, Point point, bool double_tap) {
  inner_->on_pointer_down(kind, point, double_tap);
}
void ControlPanel::on_pointer_up(PointerKind kind, Point point, bool double_tap) {
  inner_->on_pointer_up(kind, point, double_tap);
}
void ControlPanel::on_pointer_scroll(Point point, int amount) { inner_->on_pointer_scroll(point, amount); }
bool ControlPanel::on_text(wchar_t character) { return inner_->on_text(character); }
bool ControlPanel::on_key_down(KeyCode key) { return inner_->on_key_down(key); }
bool ControlPanel::on_key_up(KeyCode key) { return inner_->on_key_up(key); }

void ControlPanel::on_timer(std::uint32_t id) {
  Control::on_timer(id);
  inner_->on_timer(id);
}

bool ControlPanel::set_rect(Point position, Point size) {
  const bool changed = Control::set_rect(position, size);
  inner_->set_rect(position, size);
  return changed;
}

Point ControlPanel::get_preferred_size() {
  const Point own = Control::get_preferred_size();
  const Point inner = inner_->get_preferred_size();
  return point_max(own, inner);
}

void ControlPanel::load_properties() {
  Control::load_properties();
  const std::wstring name = read_text(L"FormTemplate", template_);
  if (name != template_) {
    // Controls that code put into the old container belong to their
    // makers; only a panel without them changes its template.
    if (inner_->get_children().empty()) {
      template_ = name;
      inner_ = std::make_unique<Container>(get_form(), get_properties(), template_, NamingMode::Named, this);
    }
  }
  inner_->load_properties();
  background_ = read_picture(L"Background", Picture());
  if (!template_.empty()) background_ = inner_->read_picture(L"Background", background_);
}

}  // namespace skinner
