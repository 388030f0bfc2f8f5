// The controls of a form or of a panel: creates the controls the skin
// declares and no code created, lays every child out by its anchors, keeps
// them in z-order, routes pointer, key, text and timer input, tracks the
// focused, hovered and captured control, and hands the children's events on
// to its owner listener.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "skinner/control.h"
#include "skinner/form_host.h"
#include "skinner/listener.h"

namespace skinner {

class Container : public Listener, private liba::Nocopy {
 public:
  // Lookups use the container's name as both form and control name.
  Container(FormHost* form, Properties* properties, const std::wstring& name, NamingMode mode = NamingMode::Named,
            Listener* owner = nullptr);
  // Deletes the controls it created, last first.
  ~Container() override;

  // Events of the children, handed on to the owner listener.
  void on_click(Control* sender, const ClickInfo& info) override;
  void on_item_click(Control* sender, const ItemInfo& item) override;
  void on_item_context_menu(Control* sender, const ItemInfo& item) override;
  void on_item_edit_done(Control* sender, const ItemInfo& item, bool accepted) override;
  void on_spare_event_a(Control* sender) override;
  void on_scroll(Control* sender) override;
  void on_command(Control* sender, const std::wstring& command) override;
  void on_value_tracking(Control* sender, double value) override;
  void on_value_changed(Control* sender) override;
  void on_text_changed(Control* sender) override;
  void on_header_click(Control* sender, const ItemInfo& header) override;
  void on_header_context_menu(Control* sender, const ItemInfo& header) override;
  void on_choice_changed(Control* sender) override;
  void on_child_focused(Control* sender) override;
  void on_menu_popup(Control* sender) override;
  void on_spare_event_b(Control* sender) override;

  virtual void set_focus(Control* control);
  // Active, and the control is the focused one.
  virtual bool is_focused(const Control* control) const;
  virtual void set_active(bool active);
  // Stores the rectangle and lays the children out.
  virtual void set_rect(Point position, Point size);
  // Reads the design size, reconciles the declared controls and has every
  // child read its properties.
  virtual void load_properties();
  virtual bool on_text(wchar_t character);
  virtual bool on_key_down(KeyCode key);
  virtual bool on_key_up(KeyCode key);
  virtual void on_timer(std::uint32_t id);

  // Called by every control's constructor and destructor.
  void add_control(Control* control);
  void remove_control(Control* control);
  void mark_order_dirty() { order_dirty_ = true; }

  // Moves the focus along the tab order; false when it wrapped or there
  // was nothing to focus.
  bool move_focus(bool forward);
  bool acquire_native_focus();
  // Answers whether the hover changed.
  bool set_hover(Control* control);

  // Pointer input in form coordinates.
  void on_pointer_move(Point point);
  void on_pointer_down(PointerKind kind, Point point, bool double_tap = false);
  void on_pointer_up(PointerKind kind, Point point, bool double_tap = false);
  void on_pointer_scroll(Point point, int amount);
  void on_pointer_leave();

  // As a control inside a panel.
  void draw(Canvas& canvas, const Rect& clip);
  bool hit_test(Point point) const;
  bool wants_gestures(Point point) const;
  Point get_preferred_size();
  void on_visible_changed(bool shown);
  void on_enabled_changed(bool enabled);

  // Lookups of the container itself. A picture whose image cannot be used
  // is reported to the form.
  int read_int(const std::wstring& key, int fallback) const;
  int read_scaled_int(const std::wstring& key, int fallback) const;
  Point read_scaled_point(const std::wstring& key, Point fallback) const;
  Colour read_colour(const std::wstring& key, Colour fallback) const;
  std::wstring read_text(const std::wstring& key, const std::wstring& fallback) const;
  Picture read_picture(const std::wstring& key, const Picture& fallback) const;
  FontDesc read_font(const std::wstring& key, const FontDesc& fallback) const;
  std::wstring translate(const std::wstring& key, const std::wstring& fallback) const;

  Control* find_control(const std::wstring& name) const;
  const std::vector<Control*>& get_children() const { return children_; }
  FormHost* get_form() const { return form_; }
  Properties* get_properties() const { return properties_; }
  const std::wstring& get_name() const { return name_; }
  const std::wstring& get_kind() const { return kind_; }
  Point get_design_size() const { return design_size_; }
  Rect get_rect() const { return rect_; }
  bool is_shown() const { return shown_; }
  bool is_enabled() const { return enabled_; }
  bool is_active() const { return active_; }
  Control* get_focused() const { return focused_; }
  Control* get_hover() const { return hover_; }
  Control* get_capture() const { return capture_; }
  Point get_last_position() const { return last_position_; }
  void set_owner(Listener* owner) { owner_ = owner; }
  Listener* get_owner() const { return owner_; }

 protected:
  // Deletes the owned controls now, last first (a form does this while it
  // is still whole).
  void delete_owned_controls();

 private:
  Control* child_at(Point point) const;
  void end_capture();
  void sort_children();

  NamingMode mode_;
  Properties* properties_;
  std::wstring name_;
  std::wstring kind_;
  Point design_size_;
  Rect rect_;
  Point last_position_;
  bool shown_ = true;
  bool enabled_ = true;
  Listener* owner_;
  FormHost* form_;
  std::vector<Control*> children_;
  bool order_dirty_ = false;
  std::vector<Control*> owned_;
  Control* focused_ = nullptr;
  bool active_ = false;
  Control* hover_ = nullptr;
  Control* capture_ = nullptr;
  bool buttons_[3] = {false, false, false};
};

}  // namespace skinner
