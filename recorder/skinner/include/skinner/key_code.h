// The framework's own key codes, independent of the platform's virtual keys.
#pragma once

namespace skinner {

enum class KeyCode : int {
  None = 0,
  Shift = 1,
  Ctrl = 2,
  Alt = 3,
  Left = 4,
  Right = 5,
  Up = 6,
  Down = 7,
  Esc = 8,
  Enter = 9,
  Space = 10,
  Backspace = 11,
  Delete = 12,
  Insert = 13,
  Home = 14,
  End = 15,
  PageDown = 16,
  PageUp = 17,
  Tab = 18,
  Apps = 19,
  A = 20,  // the letters run from A (20) to Z (45)
  Z = 45,
  Digit0 = 46,  // the digits run from 0 (46) to 9 (55)
  Digit9 = 55,
};

}  // namespace skinner
