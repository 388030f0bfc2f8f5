// Racking, placement, re-racks, spotting, the cue ball in hand and sounds.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "fixture.h"

namespace ks::test {
namespace {

bool AnyOverlap(const Pool& p) {
  for (int a = 0; a < kBallCount; ++a) {
    for (int b = a + 1; b < kBallCount; ++b) {
      const BallState &A = p.ballStates[static_cast<size_t>(a)], &B = p.ballStates[static_cast<size_t>(b)];
      if (A.state == kBallOff || B.state == kBallOff) continue;
      const int64_t dx = int64_t{A.position.x} - B.position.x, dz = int64_t{A.position.z} - B.position.z;
      if (((dx * dx + dz * dz) >> 30) < 16) return true;
    }
  }
  return false;
}

TEST(Rack, PositionListsOnBothTables) {
  Pool p;
  const auto& straight = p.rackPositions[1];
  EXPECT_EQ(straight[0], (FixVec2{0, -1572864}));
  EXPECT_EQ(straight[1], (FixVec2{0, 1048576}));
  EXPECT_EQ(straight[15], (FixVec2{4 << 16, 1503232}));
  EXPECT_EQ(p.rackPositions[2][8], (FixVec2{0, 1275904})) << "the 8 in the middle of the 8-Ball rack";
  p.table.hz = 0x267000;
  p.RackBalls();
  EXPECT_EQ(p.rackPositions[1][0].z, -1889280);
  EXPECT_EQ(p.rackPositions[1][1].z, 1259520);
}

TEST(Rack, PlacementPerGameType) {
  struct Case {
    int16_t layout;
    int onTable;
  };
  for (const Case& c : {Case{1, 16}, Case{2, 16}, Case{3, 10}, Case{4, 16}, Case{5, 7}, Case{6, 11}}) {
    for (int16_t opponent : {0, 1}) {
      Table t;
      t.pool.OpponentKind = opponent;
      t.pool.PlaceBalls(c.layout);
      int on = 0;
      for (int b = 0; b < kBallCount; ++b) {
        const BallState& s = t.pool.ballStates[static_cast<size_t>(b)];
        if (s.state != kBallOff) ++on;
        EXPECT_EQ(s.state == kBallOff, b >= c.onTable) << c.layout << " ball " << b;
        EXPECT_EQ(s.stripe, b >= 9 ? 1 : 0);
      }
      EXPECT_EQ(on, c.onTable);
      EXPECT_EQ(t.pool.rules.TurnFlags, opponent ? 7 : 1);
      EXPECT_FALSE(AnyOverlap(t.pool)) << c.layout;
      EXPECT_EQ(t.sound.played.front().first, 0) << "the rack sound";
    }
  }
}

TEST(Rack, ShuffleOnlyPermutesSlotsAndKeepsFixedBalls) {
  for (uint32_t seed = 1; seed < 30; ++seed) {
    Table t;
    t.rng.Seed(seed);
    t.pool.PlaceBalls(3);
    // Before jitter every ball sat on a slot; after it each is within 1/128 of one.
    std::set<std::pair<int, int>> slots;
    for (int b = 1; b <= 9; ++b) {
      const FixVec2 s = t.pool.rackPositions[3][static_cast<size_t>(b)];
      slots.insert({s.x, s.z});
    }
    for (int b = 1; b <= 9; ++b) {
      const FixVec3 p = t.pool.ballStates[static_cast<size_t>(b)].position;
      bool near = false;
      for (auto [x, z] : slots) near |= std::abs(p.x - x) <= 1023 && std::abs(p.z - z) <= 1023;
      EXPECT_TRUE(near) << seed << " ball " << b;
    }
    // The apex ball and the 9 keep their places in 9-Ball.
    EXPECT_NEAR(t.pool.ballStates[1].position.z, t.pool.rackPositions[3][1].z, 1023);
    EXPECT_NEAR(t.pool.ballStates[9].position.z, t.pool.rackPositions[3][9].z, 1023);
  }
}

TEST(Rack, StraightRerackAroundBall7) {
  Table t;
  t.pool.PlaceBalls(1);
  for (int b = 1; b < kBallCount; ++b) t.pool.ballStates[static_cast<size_t>(b)].state = kBallOff;
  t.Put(7, 5, -10);
  t.Put(0, -5, -20);
  t.pool.random = nullptr;  // no shuffle or jitter: check the slots themselves
  t.pool.RerackStraightAround(7);
  const auto& slots = t.pool.rackPositions[1];
  EXPECT_EQ(t.pool.ballStates[1].position, (FixVec3{slots[7].x, 0, slots[7].z}));
  for (int b = 0; b < kBallCount; ++b) {
    const FixVec3 p = t.pool.ballStates[static_cast<size_t>(b)].position;
    EXPECT_FALSE(p.x == slots[1].x && p.z == slots[1].z) << "apex stays empty, ball " << b;
  }
  EXPECT_EQ(t.X(7), 5.0);
  EXPECT_EQ(t.pool.rules.excludedBall, 32 * 7);
  EXPECT_FALSE(AnyOverlap(t.pool));
}

TEST(Rack, StraightRerackNeverLeavesTheCueBallTouching) {
  // Ball k in the rack area and the cue ball on every spot the re-rack tries.
  for (int k = 1; k < kBallCount; ++k) {
    Table t;
    t.pool.PlaceBalls(1);
    for (int b = 1; b < kBallCount; ++b) t.pool.ballStates[static_cast<size_t>(b)].state = kBallOff;
    t.Put(k, 0, 17);
    t.Put(0, 0, -24);
    t.Put((k % 15) + 1, 0, -22);  // a ball by the head spot, re-racked anyway
    t.pool.RerackStraightAround(k);
    EXPECT_FALSE(AnyOverlap(t.pool)) << k;
    t.pool.RerackStraightFull();
    EXPECT_FALSE(AnyOverlap(t.pool)) << k;
  }
}

TEST(Rack, CueBallInHandSearchEndsWhenTheHeadAreaIsCovered) {
  Table t;
  // Cover the four spots of the device's flip search and the head spot's area.
  int ball = 1;
  for (double x : {-4.0, 0.0, 4.0}) {
    for (double z : {-28.0, -24.0, -20.0}) {
      if (ball < kBallCount) t.Put(ball++, x, z);
    }
  }
  t.pool.ballStates[0].state = kBallOff;
  t.pool.PlaceCueBallInHand();
  EXPECT_EQ(t.State(0), kBallAtRest);
  EXPECT_FALSE(AnyOverlap(t.pool));
  EXPECT_LE(std::fabs(t.X(0)), 15.0);
  EXPECT_LE(std::fabs(t.Z(0)), 31.0);
}

TEST(Rack, SpottingStaysOnTheTable) {
  Table t;
  // A column of balls up the long axis from the foot spot blocks the way up.
  for (int b = 1; b <= 8; ++b) t.Put(b, 0, 16 + 2.0 * (b - 1));
  const uint8_t spot[] = {9, 10, 11};
  t.pool.SpotBalls(spot, 3);
  for (int b : {9, 10, 11}) {
    EXPECT_EQ(t.State(b), kBallAtRest);
    EXPECT_LE(std::fabs(t.Z(b)), 31.0) << b;
  }
  EXPECT_FALSE(AnyOverlap(t.pool));
}

TEST(Rack, SnapshotRoundTrip) {
  Table t;
  t.pool.PlaceBalls(2);
  t.pool.rules.Score = {3, 4};
  t.pool.SaveBallState();
  t.pool.PlaceBalls(3);
  t.pool.rules.Score = {0, 0};
  t.pool.RestoreBallState();
  EXPECT_EQ(t.pool.rules.Score[1], 4);
  EXPECT_EQ(t.State(15), kBallAtRest);
  EXPECT_EQ(t.pool.redraw, 1);
}

TEST(Rack, ResetRackPositionsResetsColoursAndCueSetUp) {
  Table t;
  BallSnapshot& snap = t.pool.snapshot;
  for (BallState& b : snap.balls) b.shade = b.stripe = 0x5A;
  RuleBlock& r = snap.rules;
  r.cueSetup.fill(FixVec3{7, 8, 9});
  r.cueWords = {1, 2, 3};
  r.cueMode = 4;
  t.pool.ResetRackPositions();
  EXPECT_EQ(snap.balls[0].shade, 240);
  EXPECT_EQ(snap.balls[9].shade, 208);
  EXPECT_EQ(snap.balls[9].stripe, 1);
  EXPECT_EQ(snap.balls[8].stripe, 0);
  EXPECT_EQ(r.cueSetup[0], (FixVec3{0, 0, -kFixOne30}));
  EXPECT_EQ(r.cueSetup[1], (FixVec3{-kFixOne30, 0, 0}));
  EXPECT_EQ(r.cueSetup[2], (FixVec3{0, -kFixOne30, 0}));
  EXPECT_EQ(r.cueSetup[3], (FixVec3{7, 8, 9})) << "only the first three vectors are the cue's";
  EXPECT_EQ(r.cueWords, (std::array<int32_t, 3>{0x20000000, 0x20000000, 0xB00000}));
  EXPECT_EQ(r.cueMode, 80);
}

class MapReader final : public MemberReader {
 public:
  bool ReadMember(std::string_view name, std::vector<uint8_t>& out) override {
    auto it = members.find(std::string(name));
    if (it == members.end()) return false;
    out = it->second;
    return true;
  }
  std::map<std::string, std::vector<uint8_t>> members;
};

std::vector<uint8_t> Wav(uint32_t declared, size_t samples) {
  std::vector<uint8_t> w(44 + samples, 0x80);
  std::copy_n("RIFF", 4, w.begin());
  for (int i = 0; i < 4; ++i) w[40 + i] = static_cast<uint8_t>(declared >> (8 * i));
  return w;
}

TEST(Rack, LoadSoundsRefusesOrClampsBadMembers) {
  Table t;
  MapReader r;
  r.members["rack.wav"] = Wav(100, 100);
  r.members["b_easy.wav"] = Wav(0xFFFFFFFF, 10);         // size word past the member
  r.members["b_med.wav"] = std::vector<uint8_t>(20, 0);  // shorter than a header
  r.members["b_hard.wav"] = Wav(0, 5);
  t.pool.archive = &r;
  EXPECT_EQ(t.pool.LoadSounds(), 3);
  ASSERT_EQ(t.sound.loaded.size(), 13u) << "every effect keeps its number";
  EXPECT_EQ(t.sound.loaded[0].first, 100u);
  EXPECT_EQ(t.sound.loaded[0].second, 10808) << "1 channel, 8 bits, 8000 Hz";
  EXPECT_EQ(t.sound.loaded[1].first, 10u);
  EXPECT_EQ(t.sound.loaded[2].first, 0u) << "the short member loads silent";
  EXPECT_EQ(t.sound.loaded[3].first, 0u);
}

TEST(Rack, MissingSoundKeepsItsEffectNumber) {
  // Member n holds 10 + n samples; "c_easy.wav" (effect 4) is missing.
  static constexpr const char* kNames[] = {"rack.wav",   "b_easy.wav", "b_med.wav",  "b_hard.wav", "c_easy.wav",
                                           "c_med.wav",  "c_hard.wav", "r_easy.wav", "r_med.wav",  "r_hard.wav",
                                           "p_easy.wav", "p_med.wav",  "p_hard.wav"};
  Table t;
  MapReader r;
  for (uint32_t n = 0; n < 13; ++n) {
    if (n != 4) r.members[kNames[n]] = Wav(10 + n, 10 + n);
  }
  t.pool.archive = &r;
  EXPECT_EQ(t.pool.LoadSounds(), 12);
  ASSERT_EQ(t.sound.loaded.size(), 13u);
  for (uint32_t n = 0; n < 13; ++n) EXPECT_EQ(t.sound.loaded[n].first, n == 4 ? 0u : 10 + n) << "effect " << n;
}

}  // namespace
}  // namespace ks::test
