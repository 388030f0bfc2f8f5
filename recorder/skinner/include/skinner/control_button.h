// The skinned push button and the check box. A button draws one of four
// looks (normal, pressed, highlighted, disabled) with its caption inside the
// picture's borders and reports a click to its container; what it stands
// for on the platform (window title, close, OK or a soft key) lives in its
// implementation object, chosen by the skin's "Action".
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "skinner/control.h"
#include "skinner/state_look.h"

namespace skinner {

class ControlButtonImpl;

// Values of the skin's "Action".
enum ButtonAction : std::int32_t {
  kActionNothing = 0,
  kActionCaption = 1,
  kActionBorderLeft = 2,
  kActionCornerTopRight = 9,
  kActionClose = 10,
  kActionMinimize = 11,
  kActionMaximize = 12,
  kActionSysMenu = 13,
  kActionOk = 14,
  kActionCancel = 15,
};

// The keyword tables of "Action", "HAlignment" and "VAlignment": the value
// of an exact match, else the current value.
std::int32_t action_from_keyword(const std::wstring& word, std::int32_t current);
std::int32_t h_alignment_from_keyword(const std::wstring& word, std::int32_t current);
std::int32_t v_alignment_from_keyword(const std::wstring& word, std::int32_t current);

using StateLooks = std::array<StateLook, 4>;  // normal, pressed, highlighted, disabled

class ControlButton : public Control {
 public:
  ControlButton(Container& container, const std::wstring& name, NamingMode mode = NamingMode::Named);
  ~ControlButton() override;

  virtual void set_text(const std::wstring& text);
  virtual void click(const ClickInfo& info);
  virtual const StateLooks& get_state_looks() const { return looks_; }

  void on_command(Control* sender, const std::wstring& command) override;
  bool get_want_focus() const override;
  void on_focus_lost() override;
  void on_visible_changed(bool visible) override;
  void on_enabled_changed(bool enabled) override;
  void draw(Canvas& canvas, const Rect& clip) override;
  bool hit_test(Point point) const override;
  Point get_preferred_size() override;
  void on_pointer_move(Point point) override;
  void on_pointer_down(PointerKind kind, Point point, bool double_tap) override;
  void on_pointer_up(PointerKind kind, Point point, bool double_tap) override;
  bool on_key_down(KeyCode key) override;
  bool on_key_up(KeyCode key) override;
  void load_properties() override;

  void set_pressed(bool pressed);
  void click_at_centre();

  bool is_pressed() const { return pointer_pressed_ || key_pressed_ || held_; }
  const std::wstring& get_text() const { return text_; }
  std::int32_t get_action() const { return action_; }
  ControlButtonImpl* get_impl() const { return impl_.get(); }
  std::int32_t get_h_alignment() const { return h_alignment_; }
  std::int32_t get_v_alignment() const { return v_alignment_; }
  // The index of the look drawn now.
  int current_look() const;

 private:
  std::unique_ptr<ControlButtonImpl> impl_;
  Point border_min_;
  Point border_max_;
  std::int32_t action_ = 0;
  StateLooks looks_;
  std::int32_t h_alignment_ = 1;
  std::int32_t v_alignment_ = 1;
  bool pointer_pressed_ = false;
  bool key_pressed_ = false;
  bool held_ = false;
  std::wstring text_;
};

class ControlCheckBox : public ControlButton {
 public:
  ControlCheckBox(Container& container, const std::wstring& name, NamingMode mode = NamingMode::Named);

  void click(const ClickInfo& info) override;
  const StateLooks& get_state_looks() const override {
    return checked_ ? checked_looks_ : ControlButton::get_state_looks();
  }
  void load_properties() override;

  virtual void set_checked(bool checked);
  bool is_checked() const { return checked_; }

 private:
  bool checked_ = false;
  StateLooks checked_looks_;
};

}  // namespace skinner
