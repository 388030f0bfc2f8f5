// Hides a window's menu bar while a dialog with a bar of its own runs over
// the window: both bars lie along the bottom of the screen, and only the
// bar of the window in front is meant to show.
#pragma once

#include "ce/windows.h"

namespace setup {

class MenuBarHider {
 public:
  explicit MenuBarHider(HWND bar) : m_bar(bar != nullptr && IsWindowVisible(bar) ? bar : nullptr) {
    if (m_bar != nullptr) ShowWindow(m_bar, SW_HIDE);
  }
  ~MenuBarHider() {
    if (m_bar != nullptr && IsWindow(m_bar)) ShowWindow(m_bar, SW_SHOWNA);
  }
  MenuBarHider(const MenuBarHider&) = delete;
  MenuBarHider& operator=(const MenuBarHider&) = delete;

 private:
  HWND m_bar;
};

}  // namespace setup
