// The top-level skinned window: a container whose children come from one
// form of the skin, shown in a native window of its own (FormImpl). A form
// knows its parent (a form with a parent runs modally over the others),
// keeps its main-menu control and menu record, places itself by its start
// position, runs a modal message loop and hands out window timers.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ce/windows.h"
#include "skinner/container.h"
#include "skinner/font.h"
#include "skinner/form_host.h"
#include "skinner/menu_manager.h"
#include "skinner/picture.h"

namespace skinner {

class ControlMenuMain;
class Form;
class FormImpl;

// Owns the native window; built before the container and gone after it,
// so the window outlives every child control.
class FormImplHolder {
 protected:
  FormImplHolder(Form* parent, Form* form);
  ~FormImplHolder();
  std::unique_ptr<FormImpl> impl_;
};

class Form : private FormImplHolder, public FormHost, public Container {
 public:
  Form(Form* parent, Properties* properties, const std::wstring& name, Listener* owner = nullptr);
  ~Form() override;

  // The form a control belongs to; null when its host is not a form.
  static Form* of(const Control& control);

  // Loads the skin, places and activates the form and runs its message
  // loop until the form is closed (or the queue ends).
  void run();
  // Asks the window to close: can_close decides, and the loop ends.
  void close();

  void load_properties() override;
  virtual bool can_close() { return true; }
  virtual void bring_to_front();
  void on_picture_failed_to_load(const Picture& picture) override;

  // FormHost.
  void invalidate(const Rect& rect) override { invalidate(rect.position(), rect.size()); }
  std::uint32_t set_timer(double seconds) override;
  void kill_timer(std::uint32_t id) override;
  bool is_key_pressed(KeyCode key) const override;

  void invalidate(Point position, Point size);
  void register_menu_main(ControlMenuMain* menu);
  void unregister_menu_main(ControlMenuMain* menu);
  void refresh_menu();
  void get_workarea(Point& position, Point& size, bool use_sip) const;
  void apply_start_position();
  Point get_window_size() const;
  Point get_window_position() const;
  void move_window(Point position, Point size);
  void update_window_style();
  void set_sip(bool visible);
  void message_box(const std::wstring& caption, const std::wstring& text);

  HWND get_window() const;
  FormImpl& get_impl() const { return *impl_; }
  MenuManager& get_menu_manager() { return menu_; }
  ControlMenuMain* get_menu_main() const { return menu_main_; }
  Form* get_parent() const { return parent_; }
  bool is_running() const { return running_; }
  const Picture& get_background() const { return background_; }
  const FontDesc& get_default_font() const { return default_font_; }
  std::int32_t get_start_position() const { return start_position_; }

  static const std::vector<Form*>& forms();
  static Form* current();
  // The next timer id (shared by all forms), for tests.
  static std::uint32_t next_timer_id();

 private:
  void message_loop();
  // How far up the window goes so that the input panel (when up) leaves
  // the focused control in view.
  std::int32_t lift_for_input_panel(Point position, Point area_position, Point area_size) const;

  FontDesc default_font_;
  MenuManager menu_;
  bool running_ = false;
  Form* parent_;
  ControlMenuMain* menu_main_ = nullptr;
  Picture background_;
  std::int32_t start_position_ = 0;
};

}  // namespace skinner
