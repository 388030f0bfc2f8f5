// A program with nothing to do costs no processor time: a window waiting in
// GetMessageW sleeps until its next message, on the host's clock.
#include <gtest/gtest.h>

#include <time.h>

#include <chrono>

#include "ce/winbase.h"
#include "ce/winuser.h"
#include "kernel/clock.h"

namespace {

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

TEST(Idle, AWindowWaitingForItsNextMessageUsesNoProcessorTime) {
  ce::kernel::clock::UseRealClock();
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.lpszClassName = L"Idle";
  ASSERT_NE(RegisterClassW(&wc), 0);
  HWND hwnd = CreateWindowExW(0, L"Idle", L"", WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(hwnd, nullptr);
  // Whatever the window has to do first (paint) is done before measuring.
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);

  ASSERT_NE(SetTimer(hwnd, 1, 2500, nullptr), 0u);
  const auto wallStart = std::chrono::steady_clock::now();
  const double cpuStart = ProcessCpuSeconds();
  for (;;) {
    ASSERT_GT(GetMessageW(&msg, nullptr, 0, 0), 0);
    if (msg.message == WM_TIMER) break;
    DispatchMessageW(&msg);
  }
  const double cpu = ProcessCpuSeconds() - cpuStart;
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
  KillTimer(hwnd, 1);
  DestroyWindow(hwnd);
  UnregisterClassW(L"Idle", nullptr);

  EXPECT_GE(wall, 2.4);
  // Under 1% of one core.
  EXPECT_LT(cpu, wall * 0.01) << cpu << " s of processor time in " << wall << " s";
}

}  // namespace
