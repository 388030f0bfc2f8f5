// The table-state stream: layout, round trip, the fallback view angle and
// refusal of short or out-of-range streams without touching the table.
#include <gtest/gtest.h>

#include <vector>

#include "fixture.h"

namespace ks::test {
namespace {

using Stream = std::vector<uint8_t>;

uint32_t Le32(const Stream& s, size_t at) {
  return uint32_t{s[at]} | uint32_t{s[at + 1]} << 8 | uint32_t{s[at + 2]} << 16 | uint32_t{s[at + 3]} << 24;
}
uint16_t Le16(const Stream& s, size_t at) { return static_cast<uint16_t>(s[at] | s[at + 1] << 8); }
void Put16(Stream& s, size_t at, uint16_t v) {
  s[at] = static_cast<uint8_t>(v);
  s[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(Stream& s, size_t at, uint32_t v) {
  Put16(s, at, static_cast<uint16_t>(v));
  Put16(s, at + 2, static_cast<uint16_t>(v >> 16));
}

// A game in progress with every field set to something distinct.
struct SavedGame : Table {
  SavedGame() {
    RuleBlock& r = pool.rules;
    for (int i = 0; i < 5; ++i) r.shotSetup[static_cast<size_t>(i)] = FixVec3{i + 1, -(i + 2), 0x10000 * i};
    r.shotWords = {0x1234, -5, 77};
    r.CurrentPlayer = 1;
    r.BreakPlayer = 0;
    r.Score = {12, -3};
    r.GamesWon = {2, 4};
    r.FoulsInRow = {1, 2};
    r.PointsGoal = 100;
    r.MatchGoal = 7;
    r.Outcome = 1;
    r.OutcomeDetail = 9;
    r.TurnFlags = 2 | 4 | 8;
    r.SolidsOwner = 2;
    r.PocketedThisShot = 0x8421;
    r.placedWord = 0x55;
    for (int i = 0; i < 6; ++i) r.cueSetup[static_cast<size_t>(i)] = FixVec3{-i, i * 3, 0x7FFFFFFF - i};
    r.cueWords = {1, 2, 3};
    r.cueMode = 5;
    r.viewAngle = 0x2ABCD;
    Put(0, 0.5, -10);
    Put(3, -7.5, 20.25);
    Put(9, 3, 3);
    pool.ballStates[3].orientation = FixQuat{1, 2, 3, 4};
    pool.ballStates[9].shade = 9;
    pool.ballStates[9].stripe = 1;
    pool.ballStates[9].changed = 1;
    pool.GameType = 2;
    pool.OpponentKind = 2;
    pool.skill = 11;
    pool.struckBall = 0;
    pool.poolWord = 0xBEEF;
    pool.matchSetup = {3, -1};
    pool.camera.viewScale = {700, 800};
    pool.camera.viewDistance = {-123456, -654321};
  }
  Stream Write() const {
    Stream s(Pool::kTableStateSize + 8, 0xEE);
    EXPECT_EQ(pool.WriteState(s.data(), s.size()), Pool::kTableStateSize);
    s.resize(Pool::kTableStateSize);
    return s;
  }
};

TEST(Serialiser, LayoutOfTheStream) {
  SavedGame g;
  const Stream s = g.Write();
  EXPECT_EQ(Le32(s, 0), 1u) << "first set-up vector x";
  EXPECT_EQ(Le32(s, 60), 0x1234u) << "aim angle word";
  EXPECT_EQ(s[72], 1);
  EXPECT_EQ(s[73], 0);
  EXPECT_EQ(static_cast<int16_t>(Le16(s, 76)), -3);
  EXPECT_EQ(Le16(s, 86), 100);
  EXPECT_EQ(Le16(s, 88), 7);
  EXPECT_EQ(s[90], 1);
  EXPECT_EQ(s[91], 9);
  EXPECT_EQ(s[92], 2 | 4) << "match over is masked out";
  EXPECT_EQ(s[93], 2);
  EXPECT_EQ(Le16(s, 94), 0x8421);
  EXPECT_EQ(Le16(s, 96), 0x55);
  EXPECT_EQ(Le32(s, 98 + 8), 0x7FFFFFFFu);
  EXPECT_EQ(Le32(s, 170), 1u);
  EXPECT_EQ(Le16(s, 182), 5);
  const size_t ball3 = 184 + 3 * 32;
  EXPECT_EQ(static_cast<int32_t>(Le32(s, ball3)), -7 * 65536 - 32768);
  EXPECT_EQ(Le32(s, ball3 + 12), 1u) << "orientation w";
  EXPECT_EQ(s[ball3 + 30], kBallAtRest);
  EXPECT_EQ(s[184 + 9 * 32 + 28], 9);
  EXPECT_EQ(s[184 + 5 * 32 + 30], kBallOff);
  EXPECT_EQ(Le16(s, 696), 2);
  EXPECT_EQ(Le16(s, 698), 2);
  EXPECT_EQ(Le16(s, 700), 11);
  EXPECT_EQ(Le32(s, 702), 0x8000u);
  EXPECT_EQ(Le16(s, 710), 0xBEEF);
  EXPECT_EQ(Le16(s, 712), 0xAA55);
  EXPECT_EQ(static_cast<int16_t>(Le16(s, 716)), -1);
  EXPECT_EQ(Le32(s, 720), 700u);
  EXPECT_EQ(static_cast<int32_t>(Le32(s, 732)), -654321);
  EXPECT_EQ(Le32(s, 736), 0x2ABCDu);
  for (size_t i = 740; i < 776; ++i) EXPECT_EQ(s[i], 0) << i;
  EXPECT_EQ(g.pool.rules.TurnFlags & 8, 8) << "the live match-over flag is kept";
}

TEST(Serialiser, RoundTripsByteForByte) {
  SavedGame g;
  const Stream s = g.Write();
  Table t;
  ASSERT_TRUE(t.pool.ReadState(s.data(), s.size()));
  t.pool.RestoreBallState();
  EXPECT_EQ(t.pool.GameType, 2);
  EXPECT_EQ(t.pool.skill, 11);
  EXPECT_EQ(t.pool.rules.TurnFlags, 2 | 4);
  EXPECT_EQ(t.pool.rules.viewAngle, 0x2ABCDu);
  EXPECT_EQ(t.pool.ballStates[3].orientation, (FixQuat{1, 2, 3, 4}));
  EXPECT_EQ(t.pool.camera.viewDistance[1], -654321);
  Stream again(Pool::kTableStateSize);
  ASSERT_EQ(t.pool.WriteState(again.data(), again.size()), Pool::kTableStateSize);
  EXPECT_EQ(again, s);
}

TEST(Serialiser, WithoutExtensionTheViewAngleFollowsTheAim) {
  struct Case {
    int32_t x, z;
    uint32_t angle;
  };
  // Direction (x, z) of the fourth set-up vector and the angle it gives.
  const Case cases[] = {
      {0, 1 << 30, 0x20000},  // straight up the table
      {0, -(1 << 30), 0},     // straight down
      {1 << 30, 1 << 30, 0x40000 + 0x8000 - 0x20000},
      {-(1 << 30), 1 << 30, 0x20000 - 0x8000},
      {1 << 30, -(1 << 30), 0x40000 - 0x8000},  // z below 1: no half turn
  };
  for (const Case& c : cases) {
    SavedGame g;
    g.pool.rules.shotSetup[3] = FixVec3{c.x, 0, c.z};
    Stream s = g.Write();
    Put16(s, 712, 0x1234);
    Table t;
    t.pool.camera.viewScale = {11, 22};
    ASSERT_TRUE(t.pool.ReadState(s.data(), s.size()));
    const int32_t got = static_cast<int32_t>(t.pool.snapshot.rules.viewAngle);
    EXPECT_NEAR(got, static_cast<int32_t>(c.angle & kAngleMask), 64) << c.x << "," << c.z;
    EXPECT_EQ(t.pool.camera.viewScale[0], 11) << "the camera is kept";
    EXPECT_EQ(t.pool.matchSetup[0], 0);
  }
}

TEST(Serialiser, RefusesBadStreamsAndKeepsTheTable) {
  struct Case {
    const char* what;
    size_t at;
    int width;  // 1, 2 or 4
    uint32_t value;
  };
  const Case cases[] = {
      {"current player", 72, 1, 2},
      {"break player", 73, 1, 200},
      {"solids owner", 93, 1, 3},
      {"fouls in a row", 84, 2, 0xFFFF},
      {"ball state", 184 + 4 * 32 + 30, 1, 4},
      {"ball off the table in x", 184 + 0, 4, 0x7FFFFFFF},
      {"ball off the table in z", 184 + 3 * 32 + 8, 4, 0x80000000},
      {"game type", 696, 2, 7},
      {"negative game type", 696, 2, 0xFFFF},
      {"opponent kind", 698, 2, 3},
      {"skill zero", 700, 2, 0},
      {"skill above 14", 700, 2, 15},
      {"struck ball", 706, 2, 16},
  };
  SavedGame g;
  const Stream good = g.Write();
  for (const Case& c : cases) {
    Stream s = good;
    if (c.width == 1) s[c.at] = static_cast<uint8_t>(c.value);
    if (c.width == 2) Put16(s, c.at, static_cast<uint16_t>(c.value));
    if (c.width == 4) Put32(s, c.at, c.value);
    Table t;
    const uint64_t before = t.pool.StateHash();
    const Pool copy = t.pool;
    EXPECT_FALSE(t.pool.ReadState(s.data(), s.size())) << c.what;
    EXPECT_EQ(t.pool.StateHash(), before) << c.what;
    EXPECT_EQ(t.pool.GameType, copy.GameType) << c.what;
    EXPECT_EQ(t.pool.snapshot.rules.Score, copy.snapshot.rules.Score) << c.what;
  }
  for (size_t length : {size_t{0}, size_t{183}, size_t{775}}) {
    Table t;
    EXPECT_FALSE(t.pool.ReadState(good.data(), length)) << length;
    EXPECT_EQ(t.pool.snapshot.rules.Score[0], 0);
  }
  Table t;
  EXPECT_FALSE(t.pool.ReadState(nullptr, 776));
  Stream small(775);
  EXPECT_EQ(t.pool.WriteState(small.data(), small.size()), 0u);
  // A ball that is off the table may carry any position.
  Stream s = good;
  Put32(s, 184 + 5 * 32, 0x7FFFFFFF);
  EXPECT_TRUE(t.pool.ReadState(s.data(), s.size()));
}

}  // namespace
}  // namespace ks::test
