// Kestrune's window in a match, as a person plays it: held arrow keys turn
// the aim at the play control's rate, a key-down a frame tick whatever the
// host's own key repeat; a pen drag on the stick's grip strikes; a match
// kept in the quick-play save goes on with the player who was at the table.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <vector>

#include "ce/testing.h"
#include "temp_device.h"
#include "ce/windows.h"
#include "ks_main.h"
#include "play/control.h"
#include "play/scene_loader.h"
#include "program_fixture.h"
#include "pump.h"
#include "simulation/table.h"

namespace {

using ks::app::test::kTick;
using ks::app::test::Pump;

// The program's window and application object, a match started as the
// set-up screens start one, and everything taken down again at the end.
class KestrunePlay : public ks::app::test::ProgramFixture {
 protected:
  // A match of 8-Ball against `second`; true once a person aims.
  bool StartMatch(ks::app::SecondPlayer second) {
    App().MatchSetup() = ks::app::MatchSetup{};
    App().MatchSetup().menuGame = static_cast<std::uint16_t>(ks::app::MenuGame::kEightBall);
    App().MatchSetup().secondPlayer = static_cast<std::uint16_t>(second);
    App().LoadMatch(StartMode::kFresh, ReturnScreen::kMainMenu);
    return UntilAiming();
  }
  bool UntilAiming() {
    for (int i = 0; i < 1000; ++i) {
      if (App().State() == AppState::kPlay && App().PlayControl() &&
          App().PlayControl()->Active() == App().PlayControl()->Aim() && !App().PlayControl()->ShotRunning())
        return true;
      Pump(kTick);
    }
    return false;
  }
};

// The yaw one key-down adds after the key has been held `e` ms: 9 units,
// faster with the hold (e / 30), faster again after each 200 ms.
std::int32_t TurnStep(std::uint32_t e) {
  return 9 * std::max<std::int32_t>(1, static_cast<std::int32_t>(e / 30)) *
         std::max<std::int32_t>(1, static_cast<std::int32_t>(e / 200));
}

TEST_F(KestrunePlay, HeldArrowKeysTurnTheAimOneStepATick) {
  ASSERT_TRUE(StartMatch(ks::app::SecondPlayer::kPractice));
  const ks::play::View& view = App().Scene()->view;
  const WPARAM left = App().Prefs().keys[ks::play::KeyMap::kLeft];
  // 1.6 s of Left held: a key-down a frame tick (standing for the one the
  // tick's poll of the held key gives), and in between the host's
  // auto-repeat key-downs, marked as coming from a key that was down
  // already, as a desktop's keyboard sends them.
  std::vector<std::int32_t> steps;
  std::vector<std::uint32_t> times;
  std::int32_t yaw = view.yaw;
  for (int tick = 0; tick < 52; ++tick) {
    times.push_back(App().GetTime());
    PostMessageW(m_Window, WM_KEYDOWN, left, 1);
    for (int repeat = 0; repeat < 2; ++repeat) PostMessageW(m_Window, WM_KEYDOWN, left, 1 | (1 << 30));
    Pump(kTick);
    steps.push_back(yaw - view.yaw);
    yaw = view.yaw;
  }
  PostMessageW(m_Window, WM_KEYUP, left, static_cast<LPARAM>(0xC0000001u));
  Pump(kTick);
  // One step a tick, at the rate the hold has reached then: the first is
  // the smallest, and after 1.6 s it has turned about a quarter of a turn,
  // smoothly (no step above 5 degrees).
  EXPECT_EQ(steps.front(), TurnStep(0));
  std::int64_t total = 0;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    EXPECT_EQ(steps[i], TurnStep(times[i] - times.front())) << "tick " << i;
    total += steps[i];
  }
  EXPECT_GT(total, 0x40000 / 6);
  EXPECT_LT(total, 0x40000 / 3);
  for (std::size_t i = 1; i < steps.size(); ++i) {
    EXPECT_GE(steps[i], steps[i - 1]) << "tick " << i;
    EXPECT_LT(steps[i], 0x40000 / 72) << "tick " << i;
  }
}

// The screen as shown, every pixel.
std::vector<COLORREF> Screen() {
  std::vector<COLORREF> pixels;
  const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) pixels.push_back(ce::testing::ScreenPixel(x, y));
  return pixels;
}

// A match at rest costs nothing: while the table stands still no frame is
// drawn or shown, and the screen keeps the table; a press of a key that
// turns the aim shows new frames at once.
TEST_F(KestrunePlay, AStillTableIsNotShownAgain) {
  ASSERT_TRUE(StartMatch(ks::app::SecondPlayer::kPractice));
  // The camera's way to the aim, then the table at rest.
  Pump(3000);
  const std::vector<COLORREF> before = Screen();
  const int shown = App().MatchFramesShown();
  Pump(3000);
  EXPECT_EQ(App().MatchFramesShown(), shown) << "frames shown with nothing changed";
  EXPECT_TRUE(Screen() == before) << "the screen changed at rest";
  std::set<COLORREF> colours(before.begin(), before.end());
  EXPECT_GT(colours.size(), 50u) << "the table is on the screen";
  const WPARAM left = App().Prefs().keys[ks::play::KeyMap::kLeft];
  PostMessageW(m_Window, WM_KEYDOWN, left, 1);
  Pump(kTick);
  PostMessageW(m_Window, WM_KEYUP, left, static_cast<LPARAM>(0xC0000001u));
  Pump(5 * kTick);
  EXPECT_GT(App().MatchFramesShown(), shown);
  EXPECT_FALSE(Screen() == before) << "the aim turned on the screen";
}

TEST_F(KestrunePlay, APenDragOnTheGripStrikes) {
  ASSERT_TRUE(StartMatch(ks::app::SecondPlayer::kPractice));
  std::int32_t points[32];
  const int n = App().Scene()->scene.GripOutline(points, 16);
  ASSERT_GE(n, 4);
  std::int32_t left = points[0], right = points[0], top = points[1], bottom = points[1];
  for (int k = 1; k < n; ++k) {
    left = std::min(left, points[2 * k]);
    right = std::max(right, points[2 * k]);
    top = std::min(top, points[2 * k + 1]);
    bottom = std::max(bottom, points[2 * k + 1]);
  }
  const int x = (left + right) / 2, y = std::min<int>((top + bottom) / 2, 300);
  const auto at = [](int px, int py) { return static_cast<LPARAM>((py << 16) | (px & 0xFFFF)); };
  PostMessageW(m_Window, WM_LBUTTONDOWN, MK_LBUTTON, at(x, y));
  Pump(kTick);
  for (int dy : {6, 12, 18}) {
    PostMessageW(m_Window, WM_MOUSEMOVE, MK_LBUTTON, at(x, y + dy));
    Pump(kTick);
  }
  PostMessageW(m_Window, WM_MOUSEMOVE, MK_LBUTTON, at(x, y + 2));
  PostMessageW(m_Window, WM_LBUTTONUP, 0, at(x, y + 2));
  Pump(kTick);
  EXPECT_TRUE(App().PlayControl()->ShotRunning());
  EXPECT_GT(App().Pool()->strikePower, 0);
}

// A match against the computer kept in the quick-play save with either
// player at the table: resumed, the same player has the table.
TEST_F(KestrunePlay, AResumedQuickPlayKeepsThePlayerAtTheTable) {
  for (int player : {1, 0}) {
    SCOPED_TRACE(player);
    ASSERT_TRUE(StartMatch(ks::app::SecondPlayer::kComputer));
    ks::Pool& pool = *App().Pool();
    pool.rules.CurrentPlayer = static_cast<std::uint8_t>(player);
    pool.rules.TurnFlags = 2;
    App().SaveQuickPlay();
    App().EndPlay();
    ASSERT_TRUE(App().ResumeQuickPlay());
    for (int i = 0; i < 400 && App().State() != AppState::kPlay; ++i) Pump(kTick);
    ASSERT_EQ(App().State(), AppState::kPlay);
    EXPECT_EQ(App().Pool()->rules.CurrentPlayer, player);
    EXPECT_EQ(App().Pool()->rules.TurnFlags & 2, 2);
    // A few seconds on: the computer plays only its own turn.
    Pump(2000);
    if (player == 1) {
      EXPECT_TRUE(App().PlayControl()->Active() == App().PlayControl()->Computer() ||
                  App().PlayControl()->ShotRunning());
    } else {
      EXPECT_EQ(App().PlayControl()->Active(), App().PlayControl()->Aim());
      EXPECT_EQ(App().Pool()->rules.CurrentPlayer, 0);
    }
    App().EndPlay();
  }
}

}  // namespace
