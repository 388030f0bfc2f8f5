// What tests and the back ends read of the window layer's state.
#pragma once

#include <optional>
#include <string>

#include "ce/winuser.h"

namespace ce::user {

struct MessageBoxRecord {
  std::wstring caption;
  std::wstring text;
  UINT type = 0;
  int answer = 0;
};

// The last message box shown, if any.
std::optional<MessageBoxRecord> LastMessageBox();
// The IDC_ number of the current cursor, 0 for none.
int CurrentCursorId();
// The SHFS_ flags a window was given so far (shown flags replace hidden ones).
DWORD FullScreenState(HWND hwnd);

// The program's foreground (active) window as the shell's title bar shows
// it: its title, and whether it asked for the whole screen
// (SHFS_HIDETASKBAR). Nothing is foreground when no window is active.
struct ForegroundView {
  HWND hwnd = nullptr;
  std::wstring title;
  bool fullScreen = false;
};
ForegroundView Foreground();

}  // namespace ce::user
