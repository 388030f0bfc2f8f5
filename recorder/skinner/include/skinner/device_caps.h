// What the framework asks of the device once per process: whether it is a
// Smartphone (soft keys, no pen) or a Pocket PC, and how new its shell is;
// also the screen size and the framework's key codes of the device's
// virtual keys.
#pragma once

#include <cstdint>

#include "skinner/key_code.h"
#include "skinner/properties.h"

namespace skinner {

// The key code of a virtual key; None for a key without one.
KeyCode key_code_from_virtual_key(std::uint32_t virtual_key);
// The key that presses a focused button.
KeyCode get_action_key();

// Decided on first use and kept for the process.
bool is_smartphone();
bool is_shell_version5();
// Tests that switch devices ask for both to be decided again.
void forget_device_caps();

// The screen's horizontal and vertical resolution in pixels.
Point get_screen_size();

// The usable screen below the title bar and above the menu bar; on a
// Pocket PC with use_sip, above the input panel when it is up.
void get_workarea(Point& position, Point& size, bool use_sip);
// The work area's size without the input panel.
Point get_workarea_size();
// Tells the skin's form-variant choice about this device.
void install_device_info();

}  // namespace skinner
