// The program suspended in the middle of a shot by the suspend key and
// brought back by activation: nothing is dispatched while it is away, the
// game clock skips the time spent away, the sound is running again, and
// the shot carries on to its end.
#include <gtest/gtest.h>

#include <cstdlib>

#include "ce/testing.h"
#include "ce/windows.h"
#include "display/display_s16.h"
#include "engine/audio/audio_wave_out.h"
#include "ks_main.h"
#include "play/control.h"
#include "program.h"
#include "pump.h"
#include "simulation/table.h"

namespace {

using ks::app::test::kTick;
using ks::app::test::Pump;

TEST(KestruneSuspend, AShotCarriesOnAfterTheSuspendKeyAndTheClockSkipsTheGap) {
  ::setenv("DEVICE_PROGRAM_FOLDER", KS_KESTRUNE_DATA, 1);
  ce::testing::ReloadDevice();
  ce::testing::UseVirtualClock(1000, 0);
  HINSTANCE instance = GetModuleHandleW(nullptr);
  RegisterWindowClass(instance);  // refused when an earlier test registered it
  ASSERT_TRUE(InitInstance(instance, SW_SHOW));
  ASSERT_NE(g_app, nullptr);
  ksMain& app = *g_app;
  HWND window = KestruneWindow();

  // A practice rack of 8-Ball, started as the set-up screens start one.
  app.MatchSetup() = ks::app::MatchSetup{};
  app.MatchSetup().menuGame = 1;
  app.LoadMatch(StartMode::kFresh, ReturnScreen::kMainMenu);
  Pump(5000);
  ASSERT_EQ(app.State(), AppState::kPlay);
  ASSERT_TRUE(app.PlayControl());

  // The stroke key held, then let go: the break runs.
  const WPARAM stroke = app.Prefs().keys[ks::play::KeyMap::kStrokeCue];
  for (int i = 0; i < 20; ++i) {
    PostMessageW(window, WM_KEYDOWN, stroke, 0);
    Pump(kTick);
  }
  PostMessageW(window, WM_KEYUP, stroke, 0);
  Pump(3 * kTick);
  ASSERT_TRUE(app.PlayControl()->ShotRunning());

  PostMessageW(window, WM_KEYUP, 0x5BDD, 0);
  Pump(kTick);
  EXPECT_FALSE(app.Active());
  const std::uint32_t clockAtSuspend = app.GetTime();
  const std::uint64_t stateAtSuspend = app.Pool()->StateHash();
  Pump(10000);
  EXPECT_EQ(app.Pool()->StateHash(), stateAtSuspend) << "nothing moves while suspended";

  SendMessageW(window, WM_ACTIVATE, WA_ACTIVE, 0);
  EXPECT_TRUE(app.Active());
  EXPECT_LT(app.GetTime() - clockAtSuspend, 200u) << "the time away is not game time";
  EXPECT_FALSE(app.SoundPaused());
  EXPECT_TRUE(app.PlayControl()->ShotRunning());
  std::uint32_t waited = 0;
  while (app.PlayControl()->ShotRunning() && waited < 30000) {
    Pump(200);
    waited += 200;
  }
  EXPECT_FALSE(app.PlayControl()->ShotRunning()) << "the shot reaches its end";
  EXPECT_NE(app.Pool()->StateHash(), stateAtSuspend);

  DestroyWindow(window);
  app.Shutdown();
  delete g_app;
  g_app = nullptr;
}

}  // namespace
