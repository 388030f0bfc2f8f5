// The native side of a form: its window class and window, the menu manager
// of the platform, and the window procedure (a subclass hook) that turns
// window messages into the framework's events: painting through a back
// buffer, pointer kinds and the hold gesture, key codes and text, timers,
// activation, closing and screen or input-panel changes.
#pragma once

#include <memory>

#include "ce/windows.h"
#include "skinner/control_subclass.h"
#include "skinner/key_code.h"
#include "skinner/menu_manager_impl.h"
#include "skinner/properties.h"

namespace skinner {

class Form;

// Messages between the loop and the form window.
inline constexpr UINT kMessageKey = WM_USER + 2;            // wParam key or character, lParam character or 0
inline constexpr UINT kMessageEndLoop = WM_USER + 3;        // ends a form's modal loop
inline constexpr UINT kMessageSettingChange = WM_USER + 4;  // as WM_SETTINGCHANGE

class FormImpl : public ControlSubclass {
 public:
  // The window's text from its creation until the skin names it.
  static constexpr const wchar_t* kLoadingText = L"Loading...";

  FormImpl(Form* parent, Form* form);
  ~FormImpl() override;

  LRESULT window_proc(UINT message, WPARAM wparam, LPARAM lparam, bool& pass_on) override;

  HWND get_window() const { return window_; }
  MenuManagerImpl& get_menu_manager() const { return *menu_manager_; }
  // The picture of the whole form as last painted; null before the first
  // paint and in flicker mode.
  HBITMAP get_back_buffer() const { return back_buffer_; }
  bool is_flicker_mode() const { return flicker_; }

  // The rectangle waiting to be painted; empty when its size is (0, 0).
  void add_pending(Point position, Point size);
  Point get_pending_position() const { return pending_position_; }
  Point get_pending_size() const { return pending_size_; }

  void set_focus_if_activated();

  // One message of the modal loop; false when it ended the loop.
  bool dispatch_message(MSG& message);
  // Tells every live form window that the input panel changed.
  static void broadcast_sip_change();

 private:
  void paint();
  // Puts down what the form's pictures blend over in a rectangle of the
  // back buffer: the owner form's picture beneath the window, so an
  // alpha-edged background shows the form under it through its edges.
  void paint_base(HDC dc, Point position, Point size);
  void pointer_down(int kind, Point point, bool double_tap);
  void pointer_up(int kind, Point point);
  void end_hold();
  void after_message();

  HWND window_ = nullptr;
  std::unique_ptr<MenuManagerImpl> menu_manager_;
  bool down_[3] = {false, false, false};
  bool double_click_[3] = {false, false, false};
  Point last_up_{-1, -1};
  // Where a recognised hold went down: its up comes there when the pen
  // lifts.
  Point hold_point_{-1, -1};
  bool flicker_ = false;
  Point pending_position_;
  Point pending_size_;
  HBITMAP back_buffer_ = nullptr;
  Form* form_;
};

}  // namespace skinner
