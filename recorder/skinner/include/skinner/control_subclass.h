// A hook on the window procedure of one native window. Any number of hooks
// may watch one window: the first one attached replaces the window's
// procedure with a shared dispatcher, which calls every hook (the last
// attached first) and then, unless a hook swallowed the message, the
// window's previous procedure. The last hook to leave puts the previous
// procedure back; a destroyed window drops all its hooks.
#pragma once

#include "ce/windows.h"

namespace skinner {

class ControlSubclass {
 public:
  ControlSubclass() = default;
  ControlSubclass(const ControlSubclass&) = delete;
  ControlSubclass& operator=(const ControlSubclass&) = delete;
  virtual ~ControlSubclass();

  // Clearing pass_on swallows the message: the previous procedure is not
  // called and this hook's result is returned.
  virtual LRESULT window_proc(UINT message, WPARAM wparam, LPARAM lparam, bool& pass_on);

  void subclass(HWND window);
  void unsubclass();
  HWND get_hooked_window() const { return window_; }

  // Hooks on a window, for tests.
  static std::size_t hook_count(HWND window);

 private:
  static LRESULT CALLBACK dispatch(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  HWND window_ = nullptr;
};

}  // namespace skinner
