// What the screen shows inside each visible child control of a window, for
// tests that a window shows all of its controls again after a repaint.
#pragma once

#include <utility>
#include <vector>

#include "ce/testing.h"
#include "ce/windows.h"

namespace ce::test {

inline std::vector<std::vector<COLORREF>> ControlPixels(HWND window) {
  std::vector<std::vector<COLORREF>> shown;
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowVisible(child)) continue;
    RECT r{};
    GetWindowRect(child, &r);
    std::vector<COLORREF> pixels;
    for (int y = r.top; y < r.bottom; ++y) {
      for (int x = r.left; x < r.right; ++x) pixels.push_back(ce::testing::ScreenPixel(x, y));
    }
    shown.push_back(std::move(pixels));
  }
  return shown;
}

}  // namespace ce::test
