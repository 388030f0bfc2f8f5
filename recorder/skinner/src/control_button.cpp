#include "skinner/control_button.h"

#include "skinner/canvas.h"
#include "skinner/control_button_impl.h"
#include "skinner/device_caps.h"

namespace skinner {

namespace {

struct Keyword {
  std::int32_t value;
  const wchar_t* word;
};

constexpr Keyword kActions[] = {
    {0, L"NOTHING"},          {1, L"CAPTION"},          {2, L"BORDER_LEFT"},        {3, L"BORDER_RIGHT"},
    {4, L"BORDER_BOTTOM"},    {5, L"BORDER_TOP"},       {6, L"CORNER_BOTTOM_LEFT"}, {7, L"CORNER_BOTTOM_RIGHT"},
    {8, L"CORNER_TOP_LEFT"},  {9, L"CORNER_TOP_RIGHT"}, {10, L"BUTTON_CLOSE"},      {11, L"BUTTON_MINIMIZE"},
    {12, L"BUTTON_MAXIMIZE"}, {13, L"BUTTON_SYSMENU"},  {14, L"BUTTON_OK"},         {15, L"BUTTON_CANCEL"},
};
constexpr Keyword kHAlignments[] = {{0, L"LEFT"}, {1, L"CENTER"}, {2, L"RIGHT"}};
constexpr Keyword kVAlignments[] = {{0, L"TOP"}, {1, L"VCENTER"}, {2, L"BOTTOM"}};

template <std::size_t N>
std::int32_t lookup(const Keyword (&table)[N], const std::wstring& word, std::int32_t current) {
  for (const auto& entry : table)
    if (word == entry.word) return entry.value;
  return current;
}

constexpr const wchar_t* kLookKeys[4] = {L"Normal", L"Pressed", L"Highlighted", L"Disabled"};

void load_looks(const Control& control, StateLooks& looks, const std::wstring& prefix) {
  looks[0].load(control, prefix + kLookKeys[0], StateLook());
  for (int i = 1; i < 4; ++i) looks[i].load(control, prefix + kLookKeys[i], looks[0]);
}

}  // namespace

std::int32_t action_from_keyword(const std::wstring& word, std::int32_t current) {
  return lookup(kActions, word, current);
}
std::int32_t h_alignment_from_keyword(const std::wstring& word, std::int32_t current) {
  return lookup(kHAlignments, word, current);
}
std::int32_t v_alignment_from_keyword(const std::wstring& word, std::int32_t current) {
  return lookup(kVAlignments, word, current);
}

ControlButton::ControlButton(Container& container, const std::wstring& name, NamingMode mode)
    : Control(container, name, mode), impl_(std::make_unique<ControlButtonImpl>(*this, true, true)) {}

ControlButton::~ControlButton() = default;

void ControlButton::set_text(const std::wstring& text) {
  if (text == text_) return;
  text_ = text;
  if (impl_) impl_->set_text();
  invalidate();
}

void ControlButton::click(const ClickInfo& info) {
  if (impl_) impl_->click(info);
  on_click(this, info);
}

void ControlButton::on_command(Control*, const std::wstring& command) {
  if (command == get_name()) click_at_centre();
}

bool ControlButton::get_want_focus() const { return Control::get_want_focus() && (!impl_ || impl_->wants_focus()); }

void ControlButton::on_focus_lost() {
  key_pressed_ = false;
  invalidate();
}

void ControlButton::on_visible_changed(bool visible) {
  Control::on_visible_changed(visible);
  if (impl_) impl_->on_visible_changed(visible);
}

void ControlButton::on_enabled_changed(bool enabled) {
  Control::on_enabled_changed(enabled);
  // A soft-key entry follows the button's grey state.
  if (impl_) impl_->refresh_menu();
}

int ControlButton::current_look() const {
  if (!is_enabled()) return 3;
  if (is_pressed()) return 1;
  if (has_focus()) return 2;
  return 0;
}

void ControlButton::draw(Canvas& canvas, const Rect& clip) {
  if (!impl_ || !impl_->draws_itself()) return;
  const StateLook& look = get_state_looks()[static_cast<std::size_t>(current_look())];
  const Rect rect = get_rect();
  look.picture.draw(canvas, rect.position(), rect.size());
  if (!text_.empty()) {
    const Point origin{rect.x + border_min_.x, rect.y + border_min_.y};
    const Point size{rect.width - border_min_.x - border_max_.x, rect.height - border_min_.y - border_max_.y};
    draw_text(look.font, canvas, look.colour, text_, origin, size, h_alignment_, v_alignment_);
  }
  Control::draw(canvas, clip);
}

bool ControlButton::hit_test(Point point) const {
  if (!impl_ || !impl_->draws_itself()) return false;
  if (!Control::hit_test(point)) return false;
  const StateLook& look = get_state_looks()[static_cast<std::size_t>(current_look())];
  if (look.picture.get_bitmap() == nullptr) return true;
  const Rect rect = get_rect();
  return !look.picture.is_transparent_at(point, rect.position(), rect.size());
}

Point ControlButton::get_preferred_size() {
  const StateLook& look = get_state_looks()[static_cast<std::size_t>(current_look())];
  return measure_text(look.font, text_);
}

void ControlButton::on_pointer_move(Point point) {
  if (impl_) impl_->pointer_move(point, false);
  Control::on_pointer_move(point);
}

void ControlButton::on_pointer_down(PointerKind kind, Point point, bool double_tap) {
  if (kind != PointerKind::Tap) return;
  pointer_pressed_ = true;
  if (impl_) impl_->pointer_down(point, double_tap);
  invalidate();
}

void ControlButton::on_pointer_up(PointerKind kind, Point point, bool double_tap) {
  if (kind != PointerKind::Tap) return;
  const bool was_pressed = is_pressed();
  pointer_pressed_ = false;
  if (was_pressed && !is_pressed() && hit_test(point) && is_enabled()) click(ClickInfo{point, double_tap});
  if (impl_) impl_->pointer_up(point, double_tap);
  invalidate();
}

bool ControlButton::on_key_down(KeyCode key) {
  if (key != get_action_key()) return false;
  key_pressed_ = true;
  invalidate();
  return true;
}

bool ControlButton::on_key_up(KeyCode key) {
  if (key != get_action_key()) return false;
  const bool was_pressed = is_pressed();
  key_pressed_ = false;
  if (was_pressed && !is_pressed()) click_at_centre();
  invalidate();
  return true;
}

void ControlButton::set_pressed(bool pressed) {
  const bool was_pressed = is_pressed();
  held_ = pressed;
  if (was_pressed && !is_pressed()) click_at_centre();
  invalidate();
}

void ControlButton::click_at_centre() {
  const Rect rect = get_rect();
  click(ClickInfo{Point{rect.x + rect.width / 2, rect.y + rect.height / 2}, false});
}

void ControlButton::load_properties() {
  Control::load_properties();
  border_min_ = read_scaled_point(L"BorderMin", Point{0, 0});
  border_max_ = read_scaled_point(L"BorderMax", border_min_);
  load_looks(*this, looks_, L"");
  text_ = read_text(L"Text", text_);
  h_alignment_ = 1;
  v_alignment_ = 1;
  h_alignment_ = h_alignment_from_keyword(read_text(L"HAlignment", L""), h_alignment_);
  v_alignment_ = v_alignment_from_keyword(read_text(L"VAlignment", L""), v_alignment_);
  action_ = action_from_keyword(read_text(L"Action", L""), action_);
  // The old object goes first, so its title, OK button and menu entry go
  // with it before the new one sets up its own.
  impl_.reset();
  impl_ = ControlButtonImpl::create(*this);
}

ControlCheckBox::ControlCheckBox(Container& container, const std::wstring& name, NamingMode mode)
    : ControlButton(container, name, mode) {
  checked_ = read_int(L"Checked", 0) != 0;
}

void ControlCheckBox::click(const ClickInfo& info) {
  set_checked(!checked_);
  ControlButton::click(info);
}

void ControlCheckBox::load_properties() {
  ControlButton::load_properties();
  load_looks(*this, checked_looks_, L"Checked");
}

void ControlCheckBox::set_checked(bool checked) {
  if (checked == checked_) return;
  checked_ = checked;
  invalidate();
}

}  // namespace skinner
