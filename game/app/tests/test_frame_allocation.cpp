// Drawing a match allocates nothing: the game's own frame (the scene, the
// in-game texts over it, the players' names and scores) is drawn through
// ksMain::DrawMatchFrame while a match against the computer goes on, the
// aim turned, a break struck and run to rest, the verdict shown. The test
// counts the calls of operator new made inside those calls only; the play
// control between them may allocate as it likes.
#include <gtest/gtest.h>

#include "ce/testing.h"
#include "ce/windows.h"
#include "ks_main.h"
#include "play/control.h"
#include "play/input_mode.h"
#include "play/tests/counting_new.h"
#include "program_fixture.h"
#include "pump.h"
#include "temp_device.h"

namespace {

using ks::app::test::kTick;
using ks::app::test::Pump;
using ks::play::KeyMap;

class KestruneFrames : public ks::app::test::ProgramFixture {
 protected:
  // One frame tick as the game makes it, the drawing counted: the clock
  // moves on, the play control takes the tick (a key-down of `held` when a
  // key is held), and the frame is drawn. The program's own timer ticks are
  // left undelivered, so that each frame is drawn here once.
  void Tick(WPARAM held = 0) {
    ce::testing::AdvanceClock(kTick);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_TIMER) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    ks::play::Control* control = App().PlayControl();
    ASSERT_NE(control, nullptr);
    const std::uint32_t message = held != 0 ? ks::play::kMsgKeyDown : ks::play::kMsgTimer;
    control->HandleEvent({message, held != 0 ? static_cast<std::uint32_t>(held) : 1001u, 0, App().GetTime()});
    Draw(false);
  }
  void Draw(bool full) {
    ks::newcount::counting = true;
    App().DrawMatchFrame(full);
    ks::newcount::counting = false;
    ++m_Frames;
  }
  int m_Frames = 0;
};

TEST_F(KestruneFrames, AMatchIsDrawnWithoutAllocating) {
  App().MatchSetup() = ks::app::MatchSetup{};
  App().MatchSetup().menuGame = static_cast<std::uint16_t>(ks::app::MenuGame::kEightBall);
  App().MatchSetup().secondPlayer = static_cast<std::uint16_t>(ks::app::SecondPlayer::kComputer);
  App().LoadMatch(StartMode::kFresh, ReturnScreen::kMainMenu);
  for (int i = 0; i < 1000 && !(App().State() == AppState::kPlay && App().PlayControl() &&
                                App().PlayControl()->Active() == App().PlayControl()->Aim());
       ++i)
    Pump(kTick);
  ASSERT_EQ(App().State(), AppState::kPlay);
  ASSERT_EQ(App().PlayControl()->Active(), App().PlayControl()->Aim());
  const auto& keys = App().Prefs().keys;
  ks::newcount::calls = 0;
  // In full, then the table at rest, the aim turned (the stick alone
  // moves), the stick pulled back and struck.
  Draw(true);
  for (int i = 0; i < 10; ++i) Tick();
  for (int i = 0; i < 10; ++i) Tick(keys[KeyMap::kLeft]);
  for (int i = 0; i < 20; ++i) Tick(keys[KeyMap::kStrokeCue]);
  App().PlayControl()->HandleEvent({ks::play::kMsgKeyUp, keys[KeyMap::kStrokeCue], 0, App().GetTime()});
  bool struck = false;
  while (m_Frames < 220) {
    Tick();
    struck = struck || App().PlayControl()->ShotRunning();
  }
  EXPECT_TRUE(struck) << "the break was struck";
  EXPECT_FALSE(App().PlayControl()->ShotRunning()) << "and came to rest";
  EXPECT_EQ(ks::newcount::calls.load(), 0) << "in " << m_Frames << " frames";
}

}  // namespace
