#include <gtest/gtest.h>

#include "ce/testing.h"
#include "ce/wingdi.h"
#include "ce/winuser.h"
#include "scoped_setting.h"
#include "skinner/power_manager.h"

namespace {

using ce::testing::AdvanceClock;
using ce::testing::UseRealClock;
using ce::testing::UseVirtualClock;

// The display's power state as the driver reports it.
ULONG DisplayState() {
  HDC dc = GetDC(nullptr);
  VIDEO_POWER_MANAGEMENT power{sizeof power, 1, 0};
  ExtEscape(dc, GETPOWERMANAGEMENT, 0, nullptr, sizeof power, reinterpret_cast<LPSTR>(&power));
  ReleaseDC(nullptr, dc);
  return power.PowerState;
}

class PowerManager : public ::testing::Test {
 protected:
  void SetUp() override {
    UseVirtualClock(0, 129067776000000000ull);
    ce::testing::ReloadScreen();
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = L"PowerForm";
    RegisterClassW(&wc);
    form = CreateWindowExW(0, L"PowerForm", L"", WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr, nullptr, nullptr);
    other = CreateWindowExW(0, L"PowerForm", L"", WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(form);
  }
  void TearDown() override {
    DestroyWindow(form);
    DestroyWindow(other);
    ce::testing::ReloadDevice();
    ce::testing::ReloadScreen();
    UseRealClock();
  }
  void Tick(skinner::PowerManagerImplPocket& pm) { pm.on_message(WM_TIMER, pm.timer_id, 0); }

  HWND form = nullptr;
  HWND other = nullptr;
};

TEST_F(PowerManager, OffAfterTheIdleTimeOnAtAKey) {
  skinner::PowerManagerImplPocket pm(form, 7);
  pm.set_interval(30);
  AdvanceClock(29000);
  Tick(pm);
  EXPECT_EQ(DisplayState(), VideoPowerOn);
  pm.on_message(WM_TIMER, 8, 0);  // another timer of the form
  AdvanceClock(2000);
  pm.on_message(WM_TIMER, 8, 0);
  EXPECT_EQ(DisplayState(), VideoPowerOn);
  Tick(pm);
  EXPECT_EQ(DisplayState(), VideoPowerOff);
  EXPECT_FALSE(pm.is_display_on());

  EXPECT_EQ(pm.on_message(WM_KEYDOWN, 0x41, 0), 0);
  EXPECT_EQ(DisplayState(), VideoPowerOn);
  EXPECT_EQ(pm.idle.elapsed(), 0.0);
  AdvanceClock(10000);
  Tick(pm);
  EXPECT_EQ(DisplayState(), VideoPowerOn);
  AdvanceClock(25000);
  pm.on_message(WM_LBUTTONDOWN, 0, 0);  // a tap restarts the idle time
  AdvanceClock(25000);
  Tick(pm);
  EXPECT_EQ(DisplayState(), VideoPowerOn);
}

TEST_F(PowerManager, NeverWithIntervalZeroNorBehindAnotherWindow) {
  skinner::PowerManagerImplPocket pm(form, 1);
  AdvanceClock(3600000);
  Tick(pm);
  EXPECT_EQ(DisplayState(), VideoPowerOn);

  pm.set_interval(5);
  SetForegroundWindow(other);
  AdvanceClock(6000);
  Tick(pm);  // not in the foreground: the idle time starts again
  EXPECT_EQ(DisplayState(), VideoPowerOn);
  SetForegroundWindow(form);
  AdvanceClock(4000);
  Tick(pm);
  EXPECT_EQ(DisplayState(), VideoPowerOn);
  AdvanceClock(2000);
  Tick(pm);
  EXPECT_EQ(DisplayState(), VideoPowerOff);
  pm.set_display_power(true);
}

TEST_F(PowerManager, DriverWithoutTheEscapeIsAlwaysOn) {
  ce::test::ScopedSetting escape("DEVICE_SCREEN_POWER_ESCAPE", "0");
  ce::testing::ReloadDevice();
  ce::testing::ReloadScreen();
  skinner::PowerManagerImplPocket pm(form, 1);
  pm.set_interval(1);
  EXPECT_TRUE(pm.is_display_on());
  pm.set_display_power(false);
  AdvanceClock(5000);
  Tick(pm);
  EXPECT_TRUE(pm.is_display_on());
}

TEST(PowerManagerBase, DoesNothing) {
  skinner::PowerManagerImpl pm(nullptr);
  pm.set_display_power(false);
  EXPECT_TRUE(pm.is_display_on());
  EXPECT_EQ(pm.timer_id, 0u);
  EXPECT_EQ(pm.interval, 0.0);
}

}  // namespace
