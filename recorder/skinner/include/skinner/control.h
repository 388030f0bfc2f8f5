// The base of every skinned control: its container, its name and kind in
// the skin, its rectangle, flags and anchors, the common skin properties,
// the focus picture, and the pointer, key, text and timer calls it receives
// from its container. Every listener operation is passed on unchanged to
// the container, so events bubble up to the form.
#pragma once

#include <cstdint>
#include <string>

#include "liba/nocopy.h"
#include "skinner/cursor.h"
#include "skinner/font.h"
#include "skinner/geometry.h"
#include "skinner/key_code.h"
#include "skinner/listener.h"
#include "skinner/picture.h"
#include "skinner/properties.h"

namespace skinner {

class Canvas;
class Container;
class FormHost;

// How a control or container is named in the skin.
enum class NamingMode {
  Named = 0,             // named; the kind comes from the skin
  Anonymous = 1,         // no name; the name argument is the kind
  NamedWithoutKind = 2,  // named, no kind
};

// Pointer kinds: the ordinary press, a second kind the form window never
// raises, and the hold gesture.
enum class PointerKind { Tap = 0, Second = 1, Hold = 2 };

class Control : public Listener, private liba::Nocopy {
 public:
  Control(Container& container, const std::wstring& name, NamingMode mode = NamingMode::Named);
  ~Control() override;

  // Events, passed on unchanged to the container.
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
  // A control does not hand this one on.
  void on_child_focused(Control* sender) override;
  void on_menu_popup(Control* sender) override;
  void on_spare_event_b(Control* sender) override;

  // Stores the z-order and has the container sort its children again.
  virtual void set_zorder(std::int32_t zorder);
  // Stores the flag; a control that no longer wants the focus passes it on.
  virtual void set_want_focus(bool want);
  virtual bool get_want_focus() const { return want_focus_; }
  // Controls with a native window take the platform's focus here.
  virtual bool acquire_native_focus() { return false; }
  virtual void on_focus_gained() { invalidate(); }
  virtual void on_focus_lost() { invalidate(); }
  virtual void on_visible_changed(bool) {}
  virtual bool wants_gestures(Point) { return gestures_; }
  virtual void on_enabled_changed(bool) {}
  // Draws the focus picture over the control while it has the focus.
  virtual void draw(Canvas& canvas, const Rect& clip);
  virtual Cursor get_cursor() const { return cursor_; }
  // Inside the rectangle; the right and bottom edges are outside.
  virtual bool hit_test(Point point) const;
  virtual void on_pointer_move(Point) {}
  virtual void on_pointer_leave() {}
  virtual void on_pointer_down(PointerKind, Point, bool /*double_tap*/) {}
  virtual void on_pointer_up(PointerKind, Point, bool /*double_tap*/) {}
  virtual void on_pointer_scroll(Point, int /*amount*/) {}
  // Key and text input answer whether they were handled.
  virtual bool on_text(wchar_t) { return false; }
  virtual bool on_key_down(KeyCode) { return false; }
  virtual bool on_key_up(KeyCode) { return false; }
  virtual void on_control_timer() {}
  // Reaches on_control_timer only for this control's own timer.
  virtual void on_timer(std::uint32_t id);
  // Stores the rectangle and repaints; false when nothing changed.
  virtual bool set_rect(Point position, Point size);
  virtual Point get_preferred_size() { return skin_size_; }
  // Reads the common keys of the skin.
  virtual void load_properties();
  // Panels answer their inner container.
  virtual Container* get_panel_container() { return nullptr; }
  virtual std::wstring get_tooltip_text() const { return tooltip_; }

  Container& get_container() const { return container_; }
  FormHost* get_form() const;
  Properties* get_properties() const;
  const std::wstring& get_name() const { return name_; }
  const std::wstring& get_kind() const { return kind_; }
  NamingMode get_naming_mode() const { return mode_; }

  // Skin lookups with (kind, own name, container name) and a default.
  int read_int(const std::wstring& key, int fallback) const;
  int read_scaled_int(const std::wstring& key, int fallback) const;
  Point read_scaled_point(const std::wstring& key, Point fallback) const;
  Colour read_colour(const std::wstring& key, Colour fallback) const;
  std::wstring read_text(const std::wstring& key, const std::wstring& fallback) const;
  Cursor read_cursor(const std::wstring& key, const Cursor& fallback) const;
  Picture read_picture(const std::wstring& key, const Picture& fallback) const;
  FontDesc read_font(const std::wstring& key, const FontDesc& fallback) const;
  std::wstring translate(const std::wstring& key, const std::wstring& fallback) const;

  // Focus through the container: set_focus also tells the container that a
  // child took the focus.
  void set_focus();
  // This control has the container's focus and the container is active.
  bool is_focused() const;
  // This control has the container's focus, active or not.
  bool has_focus() const;

  bool is_visible() const;
  bool is_enabled() const;
  bool get_visible_flag() const { return visible_; }
  bool get_enabled_flag() const { return enabled_; }
  void set_visible(bool visible);
  void set_enabled(bool enabled);
  // The container's own state changed.
  void refresh_visible();
  void refresh_enabled();
  // Repaints the current rectangle while the control is shown.
  void invalidate();

  // Starts the control's form timer (interval in seconds), replacing the
  // one it had.
  void start_timer(double seconds);
  void stop_timer();
  std::uint32_t get_timer_id() const { return timer_id_; }

  void set_skin_rect(Point position, Point size) {
    skin_position_ = position;
    skin_size_ = size;
  }
  Point get_skin_position() const { return skin_position_; }
  Point get_skin_size() const { return skin_size_; }
  Rect get_rect() const { return rect_; }
  Point get_position() const { return rect_.position(); }
  Point get_size() const { return rect_.size(); }
  Anchor get_anchor_x() const { return anchor_x_; }
  Anchor get_anchor_y() const { return anchor_y_; }
  std::int32_t get_zorder() const { return zorder_; }
  std::int32_t get_tab_order() const { return tab_order_; }
  void set_tab_order(std::int32_t order) { tab_order_ = order; }
  bool get_gestures() const { return gestures_; }
  void set_gestures(bool gestures) { gestures_ = gestures; }
  const Picture& get_focus_picture() const { return focus_picture_; }
  // Shift, Ctrl or Alt held, as the form sees it.
  bool is_key_pressed(KeyCode key) const;

  static bool less_zorder(const Control* a, const Control* b) { return a->zorder_ < b->zorder_; }
  static bool less_tab_order(const Control* a, const Control* b) { return a->tab_order_ < b->tab_order_; }

 private:
  // Asks the skin for the kind of a named control.
  void load_kind();

  NamingMode mode_;
  Container& container_;
  std::wstring name_;
  std::wstring kind_;
  Cursor cursor_;
  std::int32_t zorder_ = 0;
  bool visible_ = true;
  bool enabled_ = true;
  bool want_focus_ = true;
  Anchor anchor_x_ = Anchor::MIN_SIDE;
  Anchor anchor_y_ = Anchor::MIN_SIDE;
  Rect rect_;
  Point skin_position_;
  Point skin_size_;
  std::wstring tooltip_;
  Picture focus_picture_;
  std::uint32_t timer_id_ = 0;
  std::int32_t tab_order_ = 0;
  bool gestures_ = false;
};

}  // namespace skinner
