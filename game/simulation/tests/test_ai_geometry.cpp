// The computer opponent's planning geometry (windows, placements, candidate
// lists) and the arithmetic of its scoring.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "fixture.h"
#include "simulation/ai.h"

namespace ks::test {
namespace {

constexpr double kDeg = M_PI / 180;

FixVec2 Dir(double degrees) {
  return {static_cast<int32_t>(std::lround(std::cos(degrees * kDeg) * kFixOne30)),
          static_cast<int32_t>(std::lround(std::sin(degrees * kDeg) * kFixOne30))};
}
double AngleOf(FixVec2 v) { return std::atan2(v.z, v.x) / kDeg; }
FixVec2 Pos(double x, double z) {
  return {static_cast<int32_t>(std::lround(x * 65536)), static_cast<int32_t>(std::lround(z * 65536))};
}

struct Planner : Table {
  AiOpponent ai{pool};
  Planner(int16_t game = 3) {
    pool.InitCushionGeometry();
    pool.InitPocketPositions();
    pool.GameType = game;
    pool.rules.TurnFlags = 0;
    Clear();
  }
  void Clear() { ai.AiBallPos.fill({kAiOffTable, kAiOffTable}); }
  void Set(int b, double x, double z) { ai.AiBallPos[static_cast<size_t>(b)] = Pos(x, z); }
  double hx() const { return pool.table.hx / 65536.0; }
  double hz() const { return pool.table.hz / 65536.0; }
};

TEST(AiGeometry, ABlockerNarrowsOrCoversTheWindow) {
  // The window runs from 85 (clockwise edge) to 95 degrees; a blocker ten
  // radii away throws a shadow 11.5 degrees either side of its direction.
  struct Case {
    const char* name;
    double blocker;  // direction of the blocker, degrees
    int result;
    double a, b;  // the window's edges afterwards
  };
  const double shadow = std::asin(0.2) / kDeg;
  const Case cases[] = {
      {"straight ahead covers", 90, 1, 85, 95},
      {"far clockwise misses", 50, 0, 85, 95},
      {"far counter-clockwise misses", 130, 0, 85, 95},
      {"clockwise side clips A", 78, 0, 78 + shadow, 95},
      {"counter-clockwise side clips B", 102, 0, 85, 102 - shadow},
  };
  for (const Case& c : cases) {
    Planner p;
    p.ai.work = {Dir(85), Dir(95)};
    const FixVec2 d{static_cast<int32_t>(std::lround(std::cos(c.blocker * kDeg) * 10 * 65536)),
                    static_cast<int32_t>(std::lround(std::sin(c.blocker * kDeg) * 10 * 65536))};
    EXPECT_EQ(p.ai.AiNarrowWindow(d), c.result) << c.name;
    if (c.result == 0) {
      EXPECT_NEAR(AngleOf(p.ai.work.a), c.a, 0.05) << c.name;
      EXPECT_NEAR(AngleOf(p.ai.work.b), c.b, 0.05) << c.name;
    }
  }
  Planner p;
  p.ai.work = {Dir(85), Dir(95)};
  EXPECT_EQ(p.ai.AiNarrowWindow({0, 0}), 1);  // a ball on top of this one: nothing passes
}

TEST(AiGeometry, PocketsClosedByWhereTheBallLies) {
  // Bit k set: pocket k closed. Alone on the table, only the ball's own
  // place can close a pocket.
  Planner p;
  const double hx = p.hx();
  struct Case {
    const char* name;
    double x, z;
    uint8_t closed;
  };
  const Case cases[] = {
      {"middle of the table", 0, 5, 0x00},
      {"near the right side", hx - 1.5, 0, 0x15},
      {"near the left side", 1.5 - hx, 0, 0x2A},
      {"right side, far from the side pocket", hx - 1.5, 20, 0x35},
  };
  for (const Case& c : cases) {
    p.Clear();
    p.Set(1, c.x, c.z);
    p.ai.AiBuildBallRecord(1);
    EXPECT_EQ(p.ai.blockedPockets[1], c.closed) << c.name;
  }
}

TEST(AiGeometry, ABallOnTheWayClosesOnlyThatPocket) {
  // Ball 1 in the middle; pockets 3 and 0 are the corners on the diagonal
  // through it, so a ball on that line closes the one it lies towards.
  Planner p;
  const FixVec2 aim = p.pool.table.pocketAim[3];
  const double ax = aim.x / 65536.0, az = aim.z / 65536.0;
  const double len = std::hypot(ax, az);
  struct Case {
    const char* name;
    double along;  // where ball 2 lies on the line from ball 1 towards pocket 3
    uint8_t closed;
  };
  for (const Case& c : {Case{"towards pocket 3", 6, 0x08}, Case{"towards pocket 0", -6, 0x01}, Case{"absent", 0, 0}}) {
    p.Clear();
    p.Set(1, 0, 0);
    if (c.along != 0) p.Set(2, ax / len * c.along, az / len * c.along);
    p.ai.AiBuildBallRecord(1);
    EXPECT_EQ(p.ai.blockedPockets[1], c.closed) << c.name;
  }
}

TEST(AiPlacements, StayOnTheTableClearOfEveryBall) {
  // Seeded tables with the ball in hand, in the open and behind the head
  // string: every cue-ball placement is inside the cushion lines, clear of
  // the object balls and, behind the string, on the near side of it.
  std::mt19937 rng(5);
  for (int16_t game : {1, 2, 3}) {
    for (uint8_t flags : {uint8_t{2}, uint8_t{6}}) {
      for (int round = 0; round < 40; ++round) {
        Planner p(game);
        p.pool.rules.TurnFlags = flags;
        const double hx = p.hx() - 1, hz = p.hz() - 1;
        std::uniform_real_distribution<double> ux(-hx, hx), uz(-hz, hz);
        const int n = 1 + static_cast<int>(rng() % 15);
        for (int b = 1; b <= n; ++b) p.Set(b, ux(rng), uz(rng));
        p.Set(0, 0, -20);
        p.ai.AiBuildBallRecords();
        p.ai.AiBuildPlacements();
        const auto& list = p.ai.Placements();
        ASSERT_GE(list.size(), 1u);
        ASSERT_LE(list.size(), static_cast<size_t>(AiOpponent::kMaxPlacements));
        if (list.size() == 1 && list[0] == p.ai.AiBallPos[0]) continue;  // kept where it was
        for (FixVec2 q : list) {
          const double x = q.x / 65536.0, z = q.z / 65536.0;
          EXPECT_LE(std::abs(x), hx + 1e-3);
          EXPECT_LE(std::abs(z), hz + 1e-3);
          if (flags & 4) {
            EXPECT_LE(z, -p.hz() / 2 + 1e-3);
          }
          for (int b = 1; b <= n; ++b) {
            const FixVec2 o = p.ai.AiBallPos[static_cast<size_t>(b)];
            EXPECT_GE(std::hypot(x - o.x / 65536.0, z - o.z / 65536.0), 2.0 - 1e-3)
                << "game " << game << " round " << round << " ball " << b;
          }
        }
      }
    }
  }
}

TEST(AiPlacements, ABoxedInTargetKeepsTheCueBallWhereItIs) {
  // Ball 1 ringed by six balls: no pocket is open and no default direction
  // has four radii of free travel, so no placement is added.
  Planner p;
  p.pool.rules.TurnFlags = 2;
  p.Set(0, 0, -20);
  p.Set(1, 0, 5);
  for (int i = 0; i < 6; ++i) p.Set(2 + i, 2.1 * std::cos(i * 60 * kDeg), 5 + 2.1 * std::sin(i * 60 * kDeg));
  p.ai.AiBuildBallRecords();
  EXPECT_EQ(p.ai.blockedPockets[1], 0x3F);
  p.ai.AiBuildPlacements();
  ASSERT_EQ(p.ai.Placements().size(), 1u);
  EXPECT_EQ(p.ai.Placements()[0], p.ai.AiBallPos[0]);
  // With the ring opened on one side the default directions find room.
  p.ai.AiBallPos[2] = {kAiOffTable, kAiOffTable};
  p.ai.AiBallPos[3] = {kAiOffTable, kAiOffTable};
  p.ai.AiBuildBallRecords();
  p.ai.AiBuildPlacements();
  EXPECT_NE(p.ai.Placements()[0], p.ai.AiBallPos[0]);
}

TEST(AiCandidates, LowBallGamesAimOnlyAtTheLowestBall) {
  struct Case {
    const char* name;
    bool hidden;  // ball 2 stands between the cue ball and ball 1
    uint8_t firstKind;
  };
  for (const Case& c : {Case{"open", false, 1}, Case{"hidden", true, 0}}) {
    Planner p;
    p.pool.skill = 11;
    p.Set(0, 0, -10);
    p.Set(1, 0, 10);
    p.Set(2, c.hidden ? 0 : 8, 0);
    p.Set(3, -6, 18);
    p.ai.AiBuildBallRecords();
    const int n = p.ai.GenerateCandidates();
    ASSERT_GE(n, 1) << c.name;
    EXPECT_EQ(p.ai.Candidates()[0].kind, c.firstKind) << c.name;
    for (int i = 0; i < n; ++i) EXPECT_EQ(p.ai.Candidates()[i].ball, 1) << c.name << " " << i;
  }
}

TEST(AiCandidates, StraightEndgameKicksNeedSkillFive) {
  // Five balls or fewer: every ball gets pots, combinations and a safety;
  // kicks only from skill 5 on.
  for (int16_t skill : {4, 5}) {
    Planner p(1);
    p.pool.skill = skill;
    p.Set(0, 0, -20);
    p.Set(1, -6, 10);
    p.Set(2, 6, 12);
    p.Set(3, 0, 22);
    p.ai.AiBuildBallRecords();
    const int n = p.ai.GenerateCandidates();
    int kicks = 0, safeties = 0;
    for (int i = 0; i < n; ++i) {
      kicks += p.ai.Candidates()[i].kind == 7 ? 1 : 0;
      safeties += p.ai.Candidates()[i].kind == 2 ? 1 : 0;
    }
    EXPECT_EQ(safeties, 3) << skill;
    if (skill < 5) {
      EXPECT_EQ(kicks, 0);
    } else {
      EXPECT_GT(kicks, 0);
    }
  }
}

TEST(AiScore, SuccessWeightFromTheWindowWidth) {
  EXPECT_EQ(AiSuccessEntry(0), 0);
  EXPECT_EQ(AiSuccessEntry(10), 398);
  EXPECT_EQ(AiSuccessEntry(307), 4989);
  EXPECT_EQ(AiSuccessEntry(308), 4998);
  EXPECT_EQ(AiSuccessEntry(309), 4990);
  for (int i = 1; i < 308; ++i) EXPECT_GE(AiSuccessEntry(i), AiSuccessEntry(i - 1)) << i;
  // A window of no width never succeeds; a right angle (and anything wider,
  // clamped) reads the last entry.
  EXPECT_EQ(AiSuccessWeight(kFixOne30, 12), 0);
  EXPECT_EQ(AiSuccessWeight(0, 0), 2 * 4990);
  EXPECT_EQ(AiSuccessWeight(-kFixOne30 / 2, 0), 2 * 4990);
  EXPECT_EQ(AiSuccessWeightKick(0, 12), 4990 / 2);
  // Wider windows and better players succeed more often.
  const int32_t narrow = static_cast<int32_t>(std::lround(std::cos(0.002) * kFixOne30));
  const int32_t wide = static_cast<int32_t>(std::lround(std::cos(0.006) * kFixOne30));
  EXPECT_LT(AiSuccessWeight(narrow, 0), AiSuccessWeight(wide, 0));
  EXPECT_LT(AiSuccessWeight(narrow, 0), AiSuccessWeight(narrow, 12));
  EXPECT_LT(AiSuccessWeightKick(wide, 6), AiSuccessWeight(wide, 6));
}

TEST(AiScore, NextShotValueRisesWithTheWindowAndHasAFloor) {
  // The next shot's worth to the side at the table: a wider aim window is
  // worth more, no shot at all is worth least, and nothing falls below half
  // of what the opponent's turn is worth.
  Planner p;
  p.pool.skillIndex = 6;
  p.Set(0, 0, -10);
  p.Set(1, 0, 10);
  p.Set(2, -5, 20);
  const int32_t none = 0x7fffffff;
  const int32_t narrow = static_cast<int32_t>(std::lround(std::cos(0.0005) * kFixOne30));
  const int32_t wide = static_cast<int32_t>(std::lround(std::cos(0.01) * kFixOne30));
  for (int own : {1, 2, 5}) {
    for (int opp : {1, 5, 9}) {
      const int32_t vNone = p.ai.AiNextShotValue(none, own, opp, 1, 3, 2, false);
      const int32_t vNarrow = p.ai.AiNextShotValue(narrow, own, opp, 1, 3, 2, false);
      const int32_t vWide = p.ai.AiNextShotValue(wide, own, opp, 1, 3, 2, false);
      EXPECT_LE(vNone, vNarrow) << own << "/" << opp;
      EXPECT_LT(vNarrow, vWide) << own << "/" << opp;
      EXPECT_GE(vNone, -AiValueB(opp) / 2) << own << "/" << opp;
      EXPECT_LE(vWide, 10000) << own << "/" << opp;
    }
  }
  // One ball to go and a sure shot is nearly a won game.
  EXPECT_GT(p.ai.AiNextShotValue(0, 1, 9, 1, 3, 0, false), 9000);
}

TEST(AiScore, CombineWeighsSuccessAgainstFailure) {
  struct Case {
    int32_t success, failure, p, score;
  };
  for (const Case& c : {Case{8000, -5000, 10000, 8000}, Case{8000, -5000, 0, -5000}, Case{8000, -5000, 5000, 1500},
                        Case{-300, -9000, 9980, -317}, Case{40000, 0, 10000, 40000 - 65536}}) {
    EXPECT_EQ(AiCombineScore(c.success, c.failure, c.p), c.score) << c.success << " " << c.p;
  }
}

}  // namespace
}  // namespace ks::test
