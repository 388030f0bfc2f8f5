// What every dialog of the setup program does first: full screen with the
// shell's Done button and the input panel down, and a menu bar of its own.
#pragma once

#include "ce/windows.h"

namespace setup {

// The bar made from the module's menu bar resource `id`, or null.
HWND MakeMenuBar(HWND owner, HINSTANCE module, UINT id);

// Sets `dialog` up full screen and returns its menu bar (null when the
// bar could not be made).
HWND SetUpFullScreenDialog(HWND dialog, HINSTANCE module, UINT menuBarId);

}  // namespace setup
