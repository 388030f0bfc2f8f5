// Shared by the display device tests: a device opened on a configured
// screen, the log lines it wrote, and the screen's pixels as shown.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ce/testing.h"
#include "ce/wingdi.h"
#include "display/display_s16.h"
#include "screen_config.h"

namespace ks::test {

// Collects the display's log lines while alive.
class LogCapture {
 public:
  LogCapture() {
    Lines().clear();
    ssSetDisplayLogSink([](int, const wchar_t* line) { Lines().push_back(line); });
  }
  ~LogCapture() { ssSetDisplayLogSink(nullptr); }
  static std::vector<std::wstring>& Lines() {
    static std::vector<std::wstring> lines;
    return lines;
  }
  bool Has(const std::wstring& line) const {
    for (const auto& l : Lines()) {
      if (l == line) return true;
    }
    return false;
  }
};

// What the headless display shows at a screen pixel, as an RGB565 pixel
// (exact: the display widens channels by repeating their bits).
inline std::uint16_t ScreenPixel(int x, int y) {
  const COLORREF c = ce::testing::ScreenPixel(x, y);
  return static_cast<std::uint16_t>(((GetRValue(c) >> 3) << 11) | ((GetGValue(c) >> 2) << 5) | (GetBValue(c) >> 3));
}

// A device opened the way the application opens it: the output forced,
// m_Rotate 1 on a screen narrower than high, Init with the screen's size.
inline std::unique_ptr<ssDisplayS16> OpenDevice(int mode, int width, int height, int depth = 16) {
  auto device = std::make_unique<ssDisplayS16>();
  if (mode != 0) device->ForceOutput(mode);
  device->m_Rotate = width < height ? 1 : 0;
  EXPECT_EQ(device->Init(nullptr, width, height, depth, 0), 0);
  return device;
}

}  // namespace ks::test
