// The application's own pieces that need no display: pen and arrow keys
// turned with the display, and the modal wait's handling of the quit message.
#include <gtest/gtest.h>

#include "ce/windows.h"
#include "input_turn.h"
#include "ks_main.h"
#include "simulation/table.h"

namespace {

TEST(AppInput, PenAndArrowsFollowTheDisplaysRotation) {
  const int w = 320, h = 240;
  struct Case {
    int rotate, x, y;
  };
  // A press at screen (10, 20) on each rotation.
  const Case cases[] = {{0, 10, 20}, {1, w - 20, 10}, {2, w - 10, h - 20}, {3, 20, h - 10}};
  for (const Case& c : cases) {
    const LPARAM turned = TurnPenPosition(10 | 20 << 16, c.rotate, w, h, 1.0f, 1.0f);
    EXPECT_EQ(turned & 0xFFFF, c.x) << c.rotate;
    EXPECT_EQ((turned >> 16) & 0xFFFF, c.y) << c.rotate;
  }
  // Scaled first, truncated.
  EXPECT_EQ(TurnPenPosition(100 | 50 << 16, 0, w, h, 0.5f, 1.5f), 50 | 75 << 16);
  EXPECT_EQ(TurnArrowKey(0x25, 1), 0x26u) << "Left becomes Up";
  EXPECT_EQ(TurnArrowKey(0x28, 1), 0x25u) << "Down becomes Left";
  EXPECT_EQ(TurnArrowKey(0x26, 2), 0x28u);
  EXPECT_EQ(TurnArrowKey(0x25, 3), 0x28u) << "Left becomes Down";
  EXPECT_EQ(TurnArrowKey(0x0D, 1), 0x0Du);
}

TEST(AppKeepAlive, TheQuitMessageEndsTheWaitAndReachesTheMainLoop) {
  PostQuitMessage(7);
  WaitBlock block;
  ksMain::KeepAlive(&block);  // would wait for ever if the quit were swallowed
  MSG msg{};
  EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), 0);
  EXPECT_EQ(msg.wParam, 7u);
}

}  // namespace

namespace {

// An application object without devices: the table and the career rules.
class AppRules : public ::testing::Test {
 protected:
  void SetUp() override {
    char spare[32] = {};
    ks::app::BuildOpponentTable(m_App.Opponents(), m_App.Players(), spare);
    m_App.Prefs().Defaults();
  }
  ksMain m_App;
};

TEST_F(AppRules, SetupMatchHandsTheSetUpToTheTable) {
  struct Case {
    std::uint16_t kind, menuGame;
    int opponentKind, skill, gameType, secondComputer;
  };
  // Entry 55 is a champion of rank index 2: skill 5 outside a career.
  const Case cases[] = {{3, 0, 2, 8, 5, 1}, {0, 4, 0, -1, 4, 0}, {1, 1, 2, 5, 2, 0}, {2, 3, 1, -1, 6, 0}};
  for (const Case& c : cases) {
    m_App.MatchSetup().secondPlayer = c.kind;
    m_App.MatchSetup().menuGame = c.menuGame;
    m_App.MatchSetup().opponent = 55;
    m_App.MatchSetup().gameGoal = 3;
    m_App.MatchSetup().spotReceived = 2;
    m_App.MatchSetup().spotGiven = 0;
    m_App.PlaceRoomBalls();
    m_App.SetupMatch(true);
    const ks::Pool& p = *m_App.Pool();
    EXPECT_EQ(p.OpponentKind, c.opponentKind) << c.kind;
    if (c.skill >= 0) {
      EXPECT_EQ(p.skill, c.skill) << c.kind;
    }
    EXPECT_EQ(p.GameType, c.gameType) << c.kind;
    EXPECT_EQ(m_App.MatchSetup().gameType, c.gameType) << c.kind;
    EXPECT_EQ(p.rules.MatchGoal, 3);
    EXPECT_EQ(p.rules.Score[0], 2) << "the spot is player one's starting score";
    EXPECT_EQ(p.secondComputer, c.secondComputer) << c.kind;
    EXPECT_EQ(p.cameraAngles[0], -0x220000);
    EXPECT_EQ(p.cameraAngles[1], -0x220000);
    EXPECT_EQ(p.cameraSteps[0], 2304);
    EXPECT_EQ(p.cameraSteps[1], 2304);
  }
}

TEST_F(AppRules, CareerResultSettlesMoneyRatingAndTheMessage) {
  struct Case {
    std::int32_t money, bet;
    std::uint8_t difficulty;
    bool won;
    std::int32_t moneyAfter;
    const wchar_t* message;
  };
  const Case cases[] = {
      {60, 20, 0, false, 90, L"You lost $20 and are nearly broke. Fortunately, a kind soul has given you $50"},
      {500, 20, 0, false, 480, L"You lost $20.  Better luck next time."},
      {100, 20, 2, false, 280, L"You lost $20 and are nearly broke. Fortunately, a kind soul has given you $200"},
      {100, 1500, 1, true, 1600, L"You won $1,500"},
  };
  for (const Case& c : cases) {
    m_App.Careers().records.assign(1, ks::app::CareerRecord::Fresh());
    ks::app::CareerRecord& career = m_App.Careers().records[0];
    career.money = c.money;
    career.bet = c.bet;
    career.difficulty = c.difficulty;
    career.chosenRow = 2;  // not the room's top opponent: no new room
    m_App.SelectCareer(0);
    m_App.MatchSetup().opponent = 20;
    m_App.PlaceRoomBalls();
    ks::Pool& p = *m_App.Pool();
    p.rules.MatchGoal = 3;
    p.rules.GamesWon = {static_cast<std::int16_t>(c.won ? 3 : 1), static_cast<std::int16_t>(c.won ? 1 : 3)};
    EXPECT_EQ(m_App.ShowCareerResult(), 0);
    EXPECT_EQ(career.money, c.moneyAfter) << c.money;
    EXPECT_EQ(m_App.CareerMessage(), c.message);
    EXPECT_EQ(career.matchesPlayed, 1);
    EXPECT_EQ(career.matchesWon, c.won ? 1 : 0);
    EXPECT_EQ(career.rating, ks::app::UpdatedRating(1100, m_App.Opponents()[20].rating, c.won));
  }
}

}  // namespace
