// The rules of the six game types, judged from the facts a shot leaves.
#include <gtest/gtest.h>

#include <initializer_list>

#include "fixture.h"

namespace ks::test {
namespace {

// A racked game of one type; Shot() fakes the facts of a shot at rest.
struct Game : Table {
  explicit Game(int16_t type, int16_t opponent = 1) {
    pool.GameType = type;
    pool.OpponentKind = opponent;
    pool.MoneyBallMask = type == 5 ? 0x200 : type == 6 ? 0x20 : 0x40;
    pool.RackBalls();
    pool.PlaceBalls(type);
  }
  void Shot(int firstHit, std::initializer_list<int> potted, bool scratch = false, int rails = 1) {
    pool.ResetShot();
    pool.rules.FirstHit = static_cast<uint8_t>(firstHit);
    for (int b : potted) {
      pool.rules.PocketOf[static_cast<size_t>(b)] = 2;
      pool.ballStates[static_cast<size_t>(b)].state = kBallOff;
      pool.rules.RailAfterContact[static_cast<size_t>(b)] = 1;
    }
    for (int b = 1; b <= rails && b < kBallCount; ++b) pool.rules.RailAfterContact[static_cast<size_t>(15 - b + 1)] = 1;
    if (rails == 0) pool.rules.RailAfterContact.fill(0);
    if (scratch) {
      pool.rules.Scratch = 1;
      pool.PlaceCueBallInHand();
    }
    pool.EvaluateShot();
  }
  void Remove(std::initializer_list<int> balls) {
    for (int b : balls) pool.ballStates[static_cast<size_t>(b)].state = kBallOff;
  }
  const RuleBlock& R() const { return pool.rules; }
};

TEST(Rules, PracticeOnlyMarksAScratch) {
  Game g(3, 0);
  g.Shot(0, {}, true);
  EXPECT_EQ(g.R().Outcome, 2);
  EXPECT_EQ(g.R().TurnFlags, 0);
  EXPECT_EQ(g.R().CurrentPlayer, 0);
}

TEST(Rules, NineBallPaths) {
  {
    Game g(3);
    g.Shot(1, {3});  // break, legal, continues
    EXPECT_EQ(g.R().Outcome, 0);
    EXPECT_EQ(g.R().CurrentPlayer, 0);
    g.Shot(1, {9});  // the 9 with a legal first hit wins while others remain
    EXPECT_EQ(g.R().Outcome, 1);
    EXPECT_EQ(g.R().OutcomeDetail, 1);
    EXPECT_EQ(g.R().GamesWon[0], 1);
    EXPECT_EQ(g.R().CurrentPlayer, 0) << "the winner breaks";
    EXPECT_EQ(g.R().TurnFlags, 7) << "re-racked, break from the hand";
  }
  struct Case {
    const char* what;
    int first;
    std::initializer_list<int> potted;
    bool scratch;
    int rails;
    uint8_t outcome, detail, flags;
  };
  const Case fouls[] = {
      {"wrong ball first", 4, {}, false, 1, 3, 7, 2}, {"wrong ball first, 9 down", 4, {9}, false, 1, 3, 7, 2},
      {"no ball hit", 0, {}, false, 0, 3, 12, 2},     {"no cushion after contact", 1, {}, false, 0, 3, 8, 2},
      {"scratch", 1, {}, true, 1, 2, 0, 2},
  };
  for (const Case& c : fouls) {
    Game g(3);
    g.pool.rules.TurnFlags = 0;  // not the break
    g.Shot(c.first, c.potted, c.scratch, c.rails);
    EXPECT_EQ(g.R().Outcome, c.outcome) << c.what;
    EXPECT_EQ(g.R().OutcomeDetail, c.detail) << c.what;
    EXPECT_EQ(g.R().TurnFlags, c.flags) << c.what;
    EXPECT_EQ(g.R().CurrentPlayer, 1) << c.what;
    EXPECT_EQ(g.R().FoulsInRow[0], 1) << c.what;
    EXPECT_EQ(g.pool.ballStates[9].state, kBallAtRest) << c.what << ": the 9 is spotted";
  }
  {
    Game g(3);
    g.Shot(1, {}, false, 1);  // legal miss on the break: turn passes
    EXPECT_EQ(g.R().CurrentPlayer, 1);
    EXPECT_EQ(g.R().Outcome, 0);
  }
}

TEST(Rules, ThreeFoulsInARowLoseAndEndTheMatch) {
  for (int16_t type : {3, 4, 5, 6}) {
    Game g(type);
    g.pool.rules.MatchGoal = 1;
    g.pool.rules.TurnFlags = 0;
    g.pool.rules.FoulsInRow = {2, 0};
    g.Shot(0, {}, false, 0);
    EXPECT_EQ(g.R().Outcome, 1) << type;
    EXPECT_EQ(g.R().OutcomeDetail, 3) << type;
    EXPECT_EQ(g.R().GamesWon[1], 1) << type;
    EXPECT_EQ(g.R().TurnFlags, 8) << type;
  }
  Game g(3);
  g.pool.rules.TurnFlags = 0;
  g.pool.rules.FoulsInRow = {2, 0};
  g.Shot(1, {}, true);
  EXPECT_EQ(g.R().OutcomeDetail, 3);
  EXPECT_EQ(g.R().CurrentPlayer, 1);
  EXPECT_EQ(g.R().TurnFlags, 7) << "re-racked for the opponent's break";
}

TEST(Rules, SixAndTenBallMoneyBalls) {
  Game six(5);
  six.Shot(1, {6});
  EXPECT_EQ(six.R().Outcome, 1);
  Game ten(6);
  ten.Shot(1, {9});
  EXPECT_EQ(ten.R().Outcome, 0) << "the 9 is no money ball in 10-Ball";
  ten.Shot(ten.R().LowestBall, {10});
  EXPECT_EQ(ten.R().Outcome, 1);
}

TEST(Rules, EightBallGroupsFoulsAndTheEight) {
  {
    Game g(2);
    g.Shot(2, {8});
    EXPECT_EQ(g.R().Outcome, 1) << "8 on the break without a foul wins";
    EXPECT_EQ(g.R().OutcomeDetail, 1);
  }
  {
    Game g(2);
    g.Shot(2, {8}, true);
    EXPECT_EQ(g.R().Outcome, 2) << "8 on the break with a scratch is only a foul";
    EXPECT_EQ(g.pool.ballStates[8].state, kBallAtRest);
    EXPECT_EQ(g.R().CurrentPlayer, 1);
    EXPECT_EQ(g.R().TurnFlags, 2 | 4);
  }
  Game g(2);
  g.Shot(2, {3});  // break, solid down: shooter takes solids
  EXPECT_EQ(g.R().SolidsOwner, 1);
  EXPECT_EQ(g.R().CurrentPlayer, 0);
  g.Shot(10, {});  // wrong group first
  EXPECT_EQ(g.R().Outcome, 3);
  EXPECT_EQ(g.R().OutcomeDetail, 10);
  EXPECT_EQ(g.R().CurrentPlayer, 1);
  g.Shot(11, {12});  // player 2 has stripes: continues
  EXPECT_EQ(g.R().Outcome, 0);
  EXPECT_EQ(g.R().CurrentPlayer, 1);
  g.Shot(11, {8});  // the 8 early loses
  EXPECT_EQ(g.R().Outcome, 1);
  EXPECT_EQ(g.R().OutcomeDetail, 4);
  EXPECT_EQ(g.R().GamesWon[0], 1);
  EXPECT_EQ(g.R().CurrentPlayer, 1) << "the player who did not break last breaks";
}

TEST(Rules, EightBallWinAfterTheGroup) {
  Game g(2);
  g.pool.rules.TurnFlags = 0;
  g.pool.rules.SolidsOwner = 1;
  g.Remove({1, 2, 3, 4, 5, 6, 7});
  g.pool.calledPocket8 = 2;
  g.Shot(9, {});
  EXPECT_EQ(g.R().OutcomeDetail, 11) << "group cleared: the 8 must be first";
  g.pool.rules.CurrentPlayer = 0;
  g.pool.rules.TurnFlags = 0;
  g.Shot(8, {8});
  EXPECT_EQ(g.R().Outcome, 1);
  EXPECT_EQ(g.R().OutcomeDetail, 1);
}

TEST(Rules, RotationScoresAndWinsAtSixtyOne) {
  Game g(4);
  g.Shot(1, {15, 14});
  EXPECT_EQ(g.R().Score[0], 29);
  EXPECT_EQ(g.R().CurrentPlayer, 0);
  g.Shot(1, {13, 12, 11});
  EXPECT_EQ(g.R().Score[0], 65);
  EXPECT_EQ(g.R().Outcome, 1) << "61 points win before the table is empty";
  EXPECT_EQ(g.R().GamesWon[0], 1);
  Game f(4);
  f.pool.rules.TurnFlags = 0;
  f.Shot(3, {15});
  EXPECT_EQ(f.R().OutcomeDetail, 7);
  EXPECT_EQ(f.R().Score[0], 0);
  EXPECT_EQ(f.pool.ballStates[15].state, kBallAtRest) << "balls pocketed on a foul come back";
}

TEST(Rules, StraightPointsFoulsAndTheBreak) {
  Game g(1);
  g.Shot(1, {}, false, 2);
  EXPECT_EQ(g.R().OutcomeDetail, 9) << "fewer than three balls to a cushion on the break";
  EXPECT_EQ(g.R().Score[0], -2);
  EXPECT_EQ(g.R().CurrentPlayer, 1);
  g.Shot(5, {5, 6});
  EXPECT_EQ(g.R().Score[1], 2);
  EXPECT_EQ(g.R().CurrentPlayer, 1);
  // Three fouls in a row, then 15 more on every further foul; never below -99.
  Game s(1);
  s.pool.rules.TurnFlags = 0;
  int16_t expected = 0;
  for (int k = 1; k <= 6; ++k) {
    s.pool.rules.CurrentPlayer = 0;
    s.Shot(2, {}, false, 0);
    EXPECT_EQ(s.R().OutcomeDetail, 8);
    expected = static_cast<int16_t>(expected - 1 - (k >= 3 ? 15 : 0));
    if (expected < -99) expected = -99;
    EXPECT_EQ(s.R().Score[0], expected) << k;
    EXPECT_EQ(s.R().FoulsInRow[0], std::min(k, 3));
  }
  s.pool.rules.PointsGoal = 3;
  s.pool.rules.CurrentPlayer = 1;
  s.pool.rules.Score[1] = 2;
  s.Shot(4, {4});
  EXPECT_EQ(s.R().Outcome, 1);
  EXPECT_EQ(s.R().OutcomeDetail, 2);
  EXPECT_EQ(s.R().TurnFlags, 8);
}

TEST(Rules, StraightCalledShotAndMiscall) {
  Game g(1);
  g.pool.rules.TurnFlags = 0;
  g.pool.callingOn = 1;
  g.pool.called = CalledShot{3, 1, 4, 0};  // the 4 in pocket 1
  g.Shot(4, {4});                          // went into pocket 2
  EXPECT_EQ(g.R().Outcome, 4);
  EXPECT_EQ(g.R().Score[0], 0);
  EXPECT_EQ(g.R().CurrentPlayer, 1);
  EXPECT_EQ(g.pool.ballStates[4].state, kBallAtRest);
  g.pool.called = CalledShot{3, 2, 6, 0};
  g.Shot(6, {6});
  EXPECT_EQ(g.R().Score[1], 1);
  g.pool.Miscall();
  EXPECT_EQ(g.R().Score[1], 0);
  EXPECT_EQ(g.R().CurrentPlayer, 0);
}

TEST(Rules, ComputerShotIsReadAgainstItsCall) {
  // Player 2 is the computer; calling (a human option) stays off. Shot()
  // drops every potted ball into pocket 2.
  struct Case {
    const char* what;
    CalledShot call;
    int potted;
    uint8_t outcome;
    int16_t score;
    uint8_t next;
  };
  const Case cases[] = {
      {"the called ball in the called pocket", {3, 2, 5, 0}, 5, 0, 1, 1},
      {"another ball in another pocket", {3, 1, 4, 0}, 5, 4, 0, 0},
      {"the called ball in another pocket", {3, 1, 5, 0}, 5, 4, 0, 0},
      {"a combination names its second ball", {5, 2, 3, 5}, 5, 0, 1, 1},
      {"a safety that pots has no call", {2, 0, 5, 0}, 5, 4, 0, 0},
  };
  for (const Case& c : cases) {
    Game g(1, 2);
    g.pool.rules.TurnFlags = 0;
    g.pool.rules.CurrentPlayer = 1;
    g.pool.called = c.call;
    g.Shot(c.potted, {c.potted});
    EXPECT_EQ(g.R().Outcome, c.outcome) << c.what;
    EXPECT_EQ(g.R().Score[1], c.score) << c.what;
    EXPECT_EQ(g.R().CurrentPlayer, c.next) << c.what;
    EXPECT_EQ(g.pool.ballStates[static_cast<size_t>(c.potted)].state == kBallOff, c.outcome == 0)
        << c.what << ": a miscalled ball comes back";
  }
  // Player 1 against the computer still needs no call.
  Game h(1, 2);
  h.pool.rules.TurnFlags = 0;
  h.pool.called = CalledShot{3, 1, 4, 0};
  h.Shot(5, {5});
  EXPECT_EQ(h.R().Outcome, 0);
  EXPECT_EQ(h.R().Score[0], 1);
}

TEST(Rules, ResignAndQuit) {
  Game g(2);
  g.pool.rules.BreakPlayer = 1;
  g.pool.rules.CurrentPlayer = 0;
  EXPECT_EQ(g.pool.Resign(), 1);
  EXPECT_EQ(g.R().OutcomeDetail, 5);
  EXPECT_EQ(g.R().GamesWon[1], 1);
  EXPECT_EQ(g.R().CurrentPlayer, 0) << "8-Ball: the opponent of the breaker";
  Game p(3, 0);
  EXPECT_EQ(p.pool.Resign(), 0);
  Game q(3, 2);
  q.pool.rules.CurrentPlayer = 1;
  EXPECT_EQ(q.pool.QuitMatch(), 1);
  EXPECT_EQ(q.R().CurrentPlayer, 0);
  EXPECT_EQ(q.R().GamesWon[1], 5);
  EXPECT_EQ(q.R().TurnFlags, 8);
  EXPECT_EQ(q.R().Outcome, 6);
}

TEST(Rules, MaskConventions) {
  EXPECT_EQ(RuleMaskOf(9), 0x40);
  EXPECT_EQ(RuleMaskToBitMask(0x40), BitMaskOf(9));
  EXPECT_EQ(RuleMaskToBitMask(0x200), BitMaskOf(6));
  EXPECT_EQ(RuleMaskToBitMask(0x8000 | 0x20), BitMaskOf(0) | BitMaskOf(10));
}

}  // namespace
}  // namespace ks::test
