// The message box drawn on the device screen: a framed box with its caption
// bar, the text wrapped to the box and a row of buttons, answered with the
// pen or the keys (left and right move the focus, the action key presses
// the focused button, Back is Cancel, the soft keys press the first and the
// last button). It is modal: while it is up it takes every input event and
// nothing else on the program's thread runs; what it covered is put back
// when it goes.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "backend/input.h"
#include "ce/windef.h"

namespace ce::user {

struct MessageBoxLayout {
  RECT frame{};
  RECT caption{};
  RECT text{};
  std::vector<RECT> buttons;
};

// Where the parts of a box go on the current screen.
MessageBoxLayout LayoutMessageBox(const std::wstring& text, const std::vector<int>& buttons);

// Shows the box on the screen and waits for its answer from `input`.
int RunMessageBox(const std::wstring& caption, const std::wstring& text, const std::vector<int>& buttons,
                  std::size_t defaultIndex, backend::InputSource& input);

}  // namespace ce::user
