// The device's keys on the desktop keyboard. Keys are bound by scancode (the
// key's place on the keyboard, the same whatever the layout), named as in
// the device configuration:
//   keymap = F5=VK_THOME; Escape=none; KeypadMultiply=0x77
// Each entry binds a key to a device key code (a VK_ name, a number in
// decimal or 0x hex, or a single letter or digit for its own code) or
// removes its binding ("none"), on top of the default map. Scancode numbers
// are the USB keyboard usage numbers, which the desktop layer uses as well.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ce/minwindef.h"

namespace ce::backend::sdl {

inline constexpr int kScancodeCount = 512;
// Toggles full screen; never a device key.
inline constexpr int kScancodeF11 = 68;

// A key's name as the configuration writes it ("A", "Return", "KeypadEnter"),
// compared without regard to letter case.
std::optional<int> ScancodeFromName(std::string_view name);
// A device key code written as "VK_TSOFT1", "0x70", "112" or "A".
std::optional<WORD> DeviceKeyFromText(std::string_view text);

class KeyMap {
 public:
  // The map every desktop starts from (listed in the README).
  static KeyMap Defaults();

  // The device key a scancode gives; 0 when unbound or out of range.
  WORD Lookup(int scancode) const;
  void Bind(int scancode, WORD code);

  // Applies "Name=code;..." entries in order. Returns one message per entry
  // it could not use; the others still apply.
  std::vector<std::string> Apply(std::string_view text);

 private:
  std::array<WORD, kScancodeCount> codes_{};
};

}  // namespace ce::backend::sdl
