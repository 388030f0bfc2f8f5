// A control that holds a whole container built from another form of the
// skin (its "FormTemplate") over a background picture, and passes focus,
// pointer, key, timer and layout on to it: a small form inside a form.
#pragma once

#include <memory>
#include <string>

#include "skinner/container.h"
#include "skinner/control.h"

namespace skinner {

class ControlPanel : public Control {
 public:
  ControlPanel(Container& container, const std::wstring& name, NamingMode mode = NamingMode::Named);
  ~ControlPanel() override;

  void on_child_focused(Control* sender) override;
  bool acquire_native_focus() override;
  void on_focus_gained() override;
  void on_focus_lost() override;
  void on_visible_changed(bool visible) override;
  bool wants_gestures(Point point) override;
  void on_enabled_changed(bool enabled) override;
  void draw(Canvas& canvas, const Rect& clip) override;
  bool hit_test(Point point) const override;
  void on_pointer_move(Point point) override;
  void on_pointer_leave() override;
  void on_pointer_down(PointerKind kind, Point point, bool double_tap) override;
  void on_pointer_up(PointerKind kind, Point point, bool double_tap) override;
  void on_pointer_scroll(Point point, int amount) override;
  bool on_text(wchar_t character) override;
  bool on_key_down(KeyCode key) override;
  bool on_key_up(KeyCode key) override;
  void on_timer(std::uint32_t id) override;
  bool set_rect(Point position, Point size) override;
  Point get_preferred_size() override;
  void load_properties() override;
  Container* get_panel_container() override { return inner_.get(); }

  Container& get_inner() const { return *inner_; }
  const Picture& get_background() const { return background_; }

 protected:
  // Draws the background and the children; the grid draws its own
  // background first.
  void draw_children(Canvas& canvas, const Rect& clip);

 private:
  std::unique_ptr<Container> inner_;
  std::wstring template_;
  Picture background_;
};

}  // namespace skinner
