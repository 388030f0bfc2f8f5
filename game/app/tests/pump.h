// The message loop of a test on the virtual clock: a frame tick at a time,
// every message due dispatched.
#pragma once

#include <cstdint>

#include "ce/testing.h"
#include "ce/windows.h"

namespace ks::app::test {

inline constexpr UINT kTick = 31;

inline void Pump(std::uint32_t ms) {
  for (std::uint32_t t = 0; t < ms; t += kTick) {
    ce::testing::AdvanceClock(kTick);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
}

}  // namespace ks::app::test
