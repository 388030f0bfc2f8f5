// The computer opponent: plan arithmetic, skill tables, the think cycle and
// its guards against empty placements, touching balls and stale shots.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "fixture.h"
#include "simulation/ai.h"

namespace ks::test {
namespace {

struct AiTable : Table {
  AiTable() {
    pool.InitCushionGeometry();
    pool.InitPocketPositions();
    pool.InitPhysicsConstants();
    pool.GameType = 3;
    pool.MoneyBallMask = 0x40;  // ball 9
    pool.rules.TurnFlags = 0;
  }
  // Puts `ball` on the line from the cue ball to pocket k, `gap` radii short
  // of the pocket's aim point.
  void PutInLine(int ball, int k, double gap) {
    const FixVec2 p = pool.table.pocketAim[static_cast<size_t>(k)];
    const double px = p.x / 65536.0, pz = p.z / 65536.0;
    const double cx = X(0), cz = Z(0);
    const double len = std::hypot(px - cx, pz - cz);
    Put(ball, px - (px - cx) / len * gap, pz - (pz - cz) / len * gap);
  }
  int Run(AiOpponent& ai) {
    ai.AiThink();
    int calls = 1;
    while (ai.AiFinishThink() == 0) {
      if (++calls > AiOpponent::kMaxFrames) break;
    }
    return calls;
  }
};

TEST(AiPlan, RefusalLimits) {
  AiShot s;
  s.speed = kAiMaxSpeed;
  EXPECT_EQ(AiCheckPlan(s), 0);
  s.speed = kAiMaxSpeed + 1;
  EXPECT_EQ(AiCheckPlan(s), 1);
  s.speed = 0x100000;
  s.tipX = 0x10000;  // exactly 1.0: off the ball
  EXPECT_EQ(AiCheckPlan(s), 1);
  s.tipX = 0xB504;  // just under sqrt(1/2) each
  s.tipY = 0xB504;
  EXPECT_EQ(AiCheckPlan(s), 0);
}

TEST(AiPlan, TouchingAndCoincidentBallsStayFinite) {
  const FixVec2 aim{0, kFixOne30};
  // Touching, overlapping, coincident and a miss: the radicand is clamped.
  for (FixVec2 target : {FixVec2{0, 0x20000}, FixVec2{0, 0x8000}, FixVec2{0, 0}, FixVec2{0x100000, 0}}) {
    const int32_t d = AiContactDistance(target, FixVec2{0, 0}, aim);
    EXPECT_LE(std::abs(d), 0x100000) << target.x << "," << target.z;
  }
  EXPECT_EQ(AiContactDistance({0, 0x100000}, {0, 0}, aim), 0x100000 - 0x20000);
  EXPECT_EQ(AiSpeedOverCut(0x100000, 0), 0u);
  EXPECT_EQ(AiSpeedOverCut(0x100000, -5), 0u);
  AiShot s;
  EXPECT_FALSE(AiStrikeForSpeeds(s, 0, 0, 0));
  EXPECT_EQ(AiCutSine(kFixOne30 + 7), 0);  // rounding past 1.0 does not wrap
  EXPECT_EQ(AiCutSine(0), kFixOne30);
}

TEST(AiPlan, StraightPotHasNoSideAndDrawIsBounded) {
  AiTable t;
  t.Put(0, 0, -10);
  t.PutInLine(1, 1, 8);
  AiOpponent ai(t.pool);
  ai.AiBallPos[0] = {0, -10 << 16};
  ai.AiBallPos[1] = {t.pool.ballStates[1].position.x, t.pool.ballStates[1].position.z};
  for (int b = 2; b < kBallCount; ++b) ai.AiBallPos[static_cast<size_t>(b)] = {kAiOffTable, kAiOffTable};
  ASSERT_GT(ai.GenerateCandidates(), 0);
  AiCandidate c;
  bool found = false;
  // The straight-in candidate is the one whose travel matches its aim.
  FixVec2 dir{t.pool.table.pocketAim[1].x - ai.AiBallPos[0].x, t.pool.table.pocketAim[1].z - ai.AiBallPos[0].z};
  NormalizeVec2Scaled(dir);
  c.kind = 3;
  c.ball = c.second = 1;
  c.pocket = 1;
  c.edgeA = c.edgeB = c.travel = dir;
  c.cue = ai.AiBallPos[0];
  found = ai.AiPlanShot(c) == 0;
  ASSERT_TRUE(found);
  EXPECT_LE(std::abs(ai.aiShot.tipX), 2);
  EXPECT_TRUE(ai.aiShot.tipY <= 32768) << ai.aiShot.tipY;
  EXPECT_GT(ai.aiShot.speed, 0);
  c.kind = 4;
  c.travel = {dir.x / 2 + 0x20000000, dir.z / 2};  // a cut
  NormalizeVec2Scaled(c.travel);
  if (ai.AiPlanShot(c) == 0 || ai.aiShot.speed > kAiMaxSpeed) {
    EXPECT_EQ(ai.aiShot.tipY, -26215);
    const int64_t sq = int64_t{ai.aiShot.tipX} * ai.aiShot.tipX + int64_t{ai.aiShot.tipY} * ai.aiShot.tipY;
    EXPECT_LE(sq, int64_t{21475} << 16);  // 0.32
  }
}

TEST(AiSkill, LookupsStayInsideTheTables) {
  EXPECT_EQ(AiPowerTries(12), 8);
  EXPECT_EQ(AiPowerTries(13), 8);
  EXPECT_EQ(AiPowerTries(14), 8);
  EXPECT_EQ(AiPowerStep(13), 262144);
  EXPECT_EQ(AiBreakCut(14), 65536);
  EXPECT_EQ(AiBreakCut(13), 65536);
  EXPECT_EQ(AiAimErrorRow(14), 0);
  EXPECT_EQ(AiAimErrorRow(-3), 384);
  EXPECT_EQ(AiSkillTable(4).speedError, 196608);
  EXPECT_EQ(AiSkillTable(5).speedError, -8192);
}

TEST(AiSkill, BestSkillStillBlunders) {
  // A source whose first draw has all 16 bits set: the event noise is 8.
  struct Fixed final : RandomSource {
    int Rand() override { return n++ == 0 ? 0xFFFF : 0x00FF; }
    int n = 0;
  } src;
  AiTable t;
  t.pool.random = &src;
  t.pool.skill = 14;
  AiOpponent ai(t.pool);
  ai.aiShot.speed = 0x100000;
  ai.aiShot.aimX = 0;
  ai.aiShot.aimY = kFixOne30;
  ai.trial.kind = 3;
  ai.AiApplySkillError(false);
  // Skill 1's speed error with noise 0: speed + 65536 * 6.
  EXPECT_EQ(ai.aiShot.speed, 0x100000 + 65536 * 6);
  src.n = 1;
  ai.aiShot.speed = 0x100000;
  ai.AiApplySkillError(false);
  EXPECT_EQ(ai.aiShot.speed, 0x100000);  // no blunder: skill 14 adds nothing
}

TEST(AiThink, MoneyBallMaskConvertsToBallBits) {
  // The Pool keeps ball n as bit 15 - n; the search's masks use bit n.
  struct Case {
    int16_t game;
    uint32_t mask;
    uint16_t bits;
  };
  for (const Case& c : {Case{3, 0x40, 1u << 9}, Case{6, 0x20, 1u << 10}, Case{5, 0x200, 1u << 6},
                        Case{2, 0x40, 1u << 8}, Case{1, 0x40, 0}}) {
    AiTable t;
    t.pool.GameType = c.game;
    t.pool.MoneyBallMask = c.mask;
    AiOpponent ai(t.pool);
    EXPECT_EQ(ai.MoneyBallBits(), c.bits) << c.game;
  }
}

TEST(AiThink, SeesTheMoneyBall) {
  AiTable t;
  t.pool.skill = 14;
  t.Put(0, 0, -10);
  t.PutInLine(9, 1, 8);
  t.Put(1, -10, 20);  // the lowest ball, far from the line
  t.pool.rules.TurnFlags = 0;
  AiOpponent ai(t.pool);
  EXPECT_EQ(ai.MoneyBallBits(), 1u << 9);
  // Make 9 the legal target too: with ball 1 gone it is the lowest.
  t.pool.ballStates[1].state = kBallOff;
  t.Run(ai);
  EXPECT_EQ(ai.bestSuccess, 10000);
  EXPECT_GT(ai.bestScore, 9000);  // weighed by how wide the aim window is
  EXPECT_EQ(ai.bestCandidate.ball, 9);
  // The plan becomes the call the rules read the shot against.
  ai.ApplyShot();
  EXPECT_EQ(t.pool.called.kind, ai.bestCandidate.kind);
  EXPECT_EQ(t.pool.called.ball, 9);
  EXPECT_EQ(t.pool.called.pocket, ai.bestCandidate.pocket);
}

TEST(AiRules, EightBallTargetsFollowTheGroupOwner) {
  // SolidsOwner is 0 on an open table, else the player with balls 1-7 plus 1.
  struct Case {
    uint8_t owner;
    uint8_t player;
    bool solidsLeft;
    uint16_t legal;
  };
  const uint16_t solid = 1u << 3, stripe = 1u << 12, eight = 1u << 8;
  for (const Case& c : {Case{0, 0, true, solid | stripe}, Case{1, 0, true, solid}, Case{1, 1, true, stripe},
                        Case{2, 1, true, solid}, Case{2, 0, true, stripe}, Case{1, 0, false, eight}}) {
    AiTable t;
    t.pool.GameType = 2;
    t.pool.MoneyBallMask = RuleMaskOf(8);
    t.pool.rules.SolidsOwner = c.owner;
    t.pool.rules.CurrentPlayer = c.player;
    t.Put(0, 0, -10);
    if (c.solidsLeft) t.Put(3, -10, 0);
    t.Put(8, 0, 10);
    t.Put(12, 10, 0);
    AiOpponent ai(t.pool);
    ai.AiThink();
    EXPECT_EQ(ai.LegalTargets(), c.legal) << int(c.owner) << " " << int(c.player);
  }
}

TEST(AiRules, TrialsAreJudgedByTheGameRules) {
  // One ball lined up for a pocket: potting it wins only when the game's
  // own rules say so; otherwise the shooter continues.
  struct Case {
    const char* name;
    int16_t game;
    int ball;
    int16_t score;   // the shooter's score before the shot
    bool otherBall;  // another ball left on the table
    bool wins;
  };
  const Case cases[] = {
      {"straight continues", 1, 1, 0, true, false},        {"straight reaches the goal", 1, 1, 149, true, true},
      {"rotation continues", 4, 1, 0, true, false},        {"rotation reaches 61", 4, 1, 60, true, true},
      {"rotation clears the table", 4, 1, 0, false, true}, {"8 after the group", 2, 8, 0, true, true},
  };
  for (const Case& c : cases) {
    AiTable t;
    t.pool.skill = 14;
    t.pool.OpponentKind = 2;
    t.pool.GameType = c.game;
    t.pool.MoneyBallMask = c.game == 2 ? RuleMaskOf(8) : 0;
    t.pool.rules.SolidsOwner = c.game == 2 ? 1 : 0;  // player 0 has solids, none left
    t.pool.rules.Score[0] = c.score;
    t.Put(0, 0, -10);
    t.PutInLine(c.ball, 1, 8);
    if (c.otherBall) t.Put(c.game == 2 ? 12 : 5, -10, 20);
    AiOpponent ai(t.pool);
    const uint64_t hash = t.pool.StateHash();
    t.Run(ai);
    if (c.wins) {
      EXPECT_EQ(ai.bestSuccess, 10000) << c.name;
    } else {
      EXPECT_LT(ai.bestSuccess, 10000) << c.name;
    }
    EXPECT_GT(ai.bestScore, 0) << c.name;  // a pot that keeps the table beats any safety
    EXPECT_EQ(ai.bestCandidate.ball, c.ball) << c.name;
    EXPECT_EQ(t.pool.StateHash(), hash) << c.name;  // judging happens on the copy
  }
}

TEST(AiThink, LeavesTheRealTableUntouchedAndCountsFrames) {
  AiTable t;
  t.pool.skill = 8;
  t.Put(0, 0, -10);
  t.PutInLine(1, 1, 8);
  t.Put(5, 6, 10);
  const uint64_t hash = t.pool.StateHash();
  AiOpponent ai(t.pool);
  ai.AiThink();
  ASSERT_EQ(ai.AiPlacementsLeft, 1);
  EXPECT_EQ(ai.AiFinishThink(), 0);  // the first call opens the placement
  const int k = ai.AiCandidatesLeft;
  ASSERT_GE(k, 1);
  int calls = 1;
  while (ai.AiFinishThink() == 0) ++calls;
  EXPECT_EQ(calls, k);  // k tries, the last one also finishes
  EXPECT_EQ(t.pool.StateHash(), hash);
  EXPECT_GE(ai.aiShot.speed, 0x10000);
}

TEST(AiThink, FallsBackToADefinedShot) {
  // Touching balls, a ball buried in a corner, and an empty table: every
  // think ends and strikes with real speed.
  struct Case {
    const char* name;
    std::vector<std::tuple<int, double, double>> balls;
  };
  const std::vector<Case> cases = {
      {"touching", {{0, 0, 0}, {1, 0, 2.0}}},
      {"overlapping", {{0, 0, 0}, {1, 0.5, 1.0}, {2, 0.5, 1.0}}},
      {"empty", {{0, 0, 0}}},
      {"cue off", {{1, 0, 0}}},
  };
  for (const Case& c : cases) {
    AiTable t;
    t.pool.skill = 5;
    for (auto [b, x, z] : c.balls) t.Put(b, x, z);
    AiOpponent ai(t.pool);
    const int calls = t.Run(ai);
    EXPECT_LE(calls, AiOpponent::kMaxFrames) << c.name;
    EXPECT_GE(ai.aiShot.speed, 0x10000) << c.name;
    EXPECT_TRUE(ai.aiShot.aimX != 0 || ai.aiShot.aimY != 0) << c.name;
    EXPECT_EQ(ai.thinking, 0) << c.name;
  }
}

TEST(AiThink, EndsWithARealShotOnAnyTable) {
  // Seeded tables for every game, in hand or not, some with touching or
  // coincident balls: each think ends in bounded frames with a struck shot
  // and leaves the real table as it was.
  std::mt19937 rng(11);
  for (int16_t game = 1; game <= 6; ++game) {
    for (int round = 0; round < 12; ++round) {
      AiTable t;
      t.pool.GameType = game;
      t.pool.MoneyBallMask = game == 2 ? RuleMaskOf(8) : game >= 3 ? RuleMaskOf(9) : 0;
      t.pool.skill = static_cast<int16_t>(1 + rng() % 14);
      t.pool.rules.TurnFlags = static_cast<uint8_t>(round % 3 == 0 ? 2 : round % 3 == 1 ? 6 : 0);
      t.pool.rules.SolidsOwner = static_cast<uint8_t>(rng() % 3);
      t.pool.rules.CurrentPlayer = static_cast<uint8_t>(rng() & 1);
      const double hx = t.pool.table.hx / 65536.0 - 1, hz = t.pool.table.hz / 65536.0 - 1;
      std::uniform_real_distribution<double> ux(-hx, hx), uz(-hz, hz);
      const int n = 1 + static_cast<int>(rng() % 15);
      for (int b = 0; b <= n; ++b) t.Put(b, ux(rng), uz(rng));
      if (round % 4 == 1 && n >= 2) t.Put(2, t.X(1), t.Z(1) + 2.0);  // touching
      if (round % 4 == 2 && n >= 2) t.Put(2, t.X(1), t.Z(1));        // on top of each other
      if (round % 4 == 3) t.Put(1, t.X(0), t.Z(0) + 1.0);            // into the cue ball
      const uint64_t hash = t.pool.StateHash();
      AiOpponent ai(t.pool);
      const int calls = t.Run(ai);
      const std::string where = "game " + std::to_string(game) + " round " + std::to_string(round);
      EXPECT_LE(calls, AiOpponent::kMaxFrames) << where;
      EXPECT_EQ(ai.thinking, 0) << where;
      EXPECT_GE(ai.aiShot.speed, 0x10000) << where;
      EXPECT_TRUE(ai.aiShot.aimX != 0 || ai.aiShot.aimY != 0) << where;
      EXPECT_EQ(t.pool.StateHash(), hash) << where;
    }
  }
}

TEST(AiThink, SecondComputerPlayerThinksOneLevelUpEachTime) {
  AiTable t;
  t.pool.skill = 7;
  t.Put(0, 0, -10);
  t.Put(1, 0, 10);
  t.pool.rules.CurrentPlayer = 1;
  AiOpponent ai(t.pool);
  ai.computerBothSides = true;
  for (int i = 0; i < 3; ++i) {
    ai.AiThink();
    EXPECT_EQ(t.pool.skill, 8);
    while (ai.AiFinishThink() == 0) {}
    EXPECT_EQ(t.pool.skill, 7);  // set back: the raise never accumulates
  }
}

TEST(AiThink, BreakTakesOneFrame) {
  AiTable t;
  t.pool.RackBalls();
  t.pool.PlaceBalls(3);
  t.pool.rules.TurnFlags = 1;
  t.pool.skill = 7;
  AiOpponent ai(t.pool);
  ai.AiThink();
  EXPECT_EQ(ai.AiFinishThink(), 1);
  EXPECT_GE(ai.aiShot.speed, 0x10000);
  EXPECT_LT(ai.aiShot.aimY, 0 + kFixOne30 + 1);
  EXPECT_GT(ai.aiShot.aimY, kFixOne30 / 2);  // towards the foot spot
}

}  // namespace
}  // namespace ks::test
