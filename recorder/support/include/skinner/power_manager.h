// Switches the display off after an idle time while the main form is in the
// foreground, and on again at the next tap or key, through the display
// driver's power-management escape.
#pragma once

#include "ce/windef.h"
#include "liba/nocopy.h"
#include "liba/timer.h"

namespace skinner {

// The edition without display power control: does nothing.
class PowerManagerImpl : private liba::Nocopy {
 public:
  // `window` is the form's window whose messages are watched (not owned).
  explicit PowerManagerImpl(HWND window);
  virtual ~PowerManagerImpl() = default;
  virtual void set_display_power(bool on);
  virtual bool is_display_on();

  // Idle seconds before the display goes off; 0 = never.
  void set_interval(double seconds) { interval = seconds; }
  void reset_idle_time() { idle.restart(); }

  HWND window;
  UINT_PTR timer_id = 0;
  double interval = 0;
  liba::Timer idle;
};

// The handheld edition: watches the form's window messages (the form's
// message hook calls on_message before the window's own procedure) and the
// one-second timer the form runs for it (`timer_id`).
class PowerManagerImplPocket : public PowerManagerImpl {
 public:
  PowerManagerImplPocket(HWND window, UINT_PTR timer_id);
  void set_display_power(bool on) override;
  bool is_display_on() override;
  // Always 0: the window still handles every message itself.
  LRESULT on_message(UINT message, WPARAM wParam, LPARAM lParam);
};

}  // namespace skinner
