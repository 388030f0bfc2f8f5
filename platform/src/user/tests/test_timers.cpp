#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ce/winbase.h"
#include "ce/winuser.h"
#include "headless_device.h"
#include "kernel/clock.h"

namespace {

namespace clock = ce::kernel::clock;

constexpr std::uint64_t kStart2010 = 129067776000000000ull;

std::vector<std::string> g_ticks;

void Note(const std::string& what) { g_ticks.push_back(std::to_string(GetTickCount()) + ":" + what); }

LRESULT CALLBACK TimerWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER) Note(std::to_string(wParam));
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

void CALLBACK ThreadTimer(HWND, UINT, UINT_PTR, DWORD) { Note("T"); }

class Timers : public ::testing::Test {
 protected:
  void SetUp() override {
    clock::UseVirtualClock(0, kStart2010);
    g_ticks.clear();
    WNDCLASSW wc{};
    wc.lpfnWndProc = TimerWindow;
    wc.lpszClassName = L"Timers";
    ASSERT_NE(RegisterClassW(&wc), 0);
    hwnd = CreateWindowExW(0, L"Timers", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
  }
  void TearDown() override {
    if (IsWindow(hwnd)) DestroyWindow(hwnd);
    UnregisterClassW(L"Timers", nullptr);
  }
  HWND hwnd = nullptr;
};

TEST_F(Timers, FireInDueOrderOnTheVirtualClockWhileTheLoopWaits) {
  EXPECT_EQ(SetTimer(hwnd, 1, 30, nullptr), 1u);
  EXPECT_EQ(SetTimer(hwnd, 2, 50, nullptr), 2u);
  const UINT_PTR threadTimer = SetTimer(nullptr, 0, 70, ThreadTimer);
  ASSERT_NE(threadTimer, 0u);
  // A plain message loop: GetMessageW waits, and the virtual clock jumps to
  // the next due timer because nothing else runs.
  MSG msg{};
  while (GetTickCount() < 150 && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  const std::vector<std::string> expected = {"30:1",  "50:2",  "60:1",  "70:T",  "90:1",
                                             "100:2", "120:1", "140:T", "150:1", "150:2"};
  EXPECT_EQ(g_ticks, expected);
  EXPECT_TRUE(KillTimer(nullptr, threadTimer));
}

TEST_F(Timers, DueTicksDoNotPileUpAndKillingStopsThem) {
  SetTimer(hwnd, 7, 10, nullptr);
  clock::Advance(100);  // ten periods pass while the program is busy
  ce::test::PumpUntilIdle();
  EXPECT_EQ(g_ticks, (std::vector<std::string>{"100:7"}));
  EXPECT_TRUE(ce::test::RunFor(25));
  EXPECT_EQ(g_ticks.size(), 3u) << "110 and 120";
  EXPECT_TRUE(KillTimer(hwnd, 7));
  EXPECT_FALSE(KillTimer(hwnd, 7));
  g_ticks.clear();
  EXPECT_TRUE(ce::test::RunFor(100));
  EXPECT_TRUE(g_ticks.empty());
}

TEST_F(Timers, SettingAgainRestartsWithTheNewPeriod) {
  SetTimer(hwnd, 5, 100, nullptr);
  ce::test::RunFor(50);
  SetTimer(hwnd, 5, 20, nullptr);
  ce::test::RunFor(45);
  EXPECT_EQ(g_ticks, (std::vector<std::string>{"70:5", "90:5"}));
}

TEST_F(Timers, DieWithTheirWindowAndRefuseBadOwners) {
  SetTimer(hwnd, 3, 10, nullptr);
  DestroyWindow(hwnd);
  EXPECT_FALSE(KillTimer(hwnd, 3));
  EXPECT_TRUE(ce::test::RunFor(50));
  EXPECT_TRUE(g_ticks.empty());
  SetLastError(0);
  EXPECT_EQ(SetTimer(hwnd, 3, 10, nullptr), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

TEST_F(Timers, OnlyALiveTimersProcedureIsCalled) {
  // A WM_TIMER posted by anyone carries an address; it is not called.
  PostMessageW(hwnd, WM_TIMER, 77, reinterpret_cast<LPARAM>(ThreadTimer));
  ce::test::PumpUntilIdle();
  EXPECT_TRUE(g_ticks.empty());
  SetTimer(hwnd, 8, 10, ThreadTimer);
  ce::test::RunFor(10);
  EXPECT_EQ(g_ticks, (std::vector<std::string>{"10:T"})) << "with a procedure, it is called instead of the window";
}

}  // namespace
