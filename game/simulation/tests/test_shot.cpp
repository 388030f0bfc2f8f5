// Shot execution: play, "Zip To End", the ring, replay and rewind.
#include <gtest/gtest.h>

#include "fixture.h"

namespace ks::test {
namespace {

// The named golden scene: an 8-Ball break from seed 7 on the small table.
struct Break : Table {
  explicit Break(uint32_t seed = 7) {
    rng.Seed(seed);
    pool.OpponentKind = 0;
    pool.PlaceBalls(2);
    Aim(0, 500, 0.0, 0.1, 2.0);
    pool.ResetShot();
  }
};

std::array<BallState, kBallCount> Shown(const Pool& p) { return p.ballStates; }

bool SameBalls(const std::array<BallState, kBallCount>& a, const std::array<BallState, kBallCount>& b) {
  for (int i = 0; i < kBallCount; ++i) {
    if (!(a[i].position == b[i].position) || a[i].state != b[i].state) return false;
  }
  return true;
}

TEST(Shot, PlayZipAndLookAheadAgreeBitForBit) {
  Break zip;
  zip.pool.StartShot();
  EXPECT_EQ(zip.pool.FinishShot(), 1);
  const uint64_t golden = zip.pool.StateHash();

  // Played frame by frame with an uneven clock.
  Break play;
  play.pool.StartShot();
  DeviceRand jitter(11);
  int result = 0, frames = 0;
  for (; frames < 100000 && (result = play.pool.RunShot()) != -1; ++frames) {
    play.clock.now += 1 + static_cast<uint32_t>(jitter.Rand() % 40);
  }
  ASSERT_EQ(result, -1);
  EXPECT_TRUE(SameBalls(Shown(zip.pool), Shown(play.pool)));
  EXPECT_EQ(play.pool.StateHash(), golden);

  // A value copy taken mid-shot and finished separately (the look-ahead).
  Break copy;
  copy.pool.StartShot();
  for (int i = 0; i < 40; ++i) copy.pool.SimulateOneStep();
  Pool ahead = copy.pool;
  ahead.fastSimulation = 1;
  ahead.FinishShot();
  copy.pool.FinishShot();
  EXPECT_TRUE(SameBalls(Shown(ahead), Shown(copy.pool)));
  EXPECT_TRUE(SameBalls(Shown(copy.pool), Shown(zip.pool)));
}

TEST(Shot, GoldenBreakHash) {
  Break b;
  b.pool.StartShot();
  b.pool.FinishShot();
  // Pins the whole physics: any change to a rounding shows here.
  EXPECT_EQ(b.pool.StateHash(), 0x92c02b134bfaff13ull) << std::hex << b.pool.StateHash();
}

TEST(Shot, NoMovementEndsAfterOneStep) {
  Table t;
  t.Put(0, 0, 0);
  t.Aim(0, 0);
  t.pool.StartShot();
  EXPECT_EQ(t.pool.stepCount, 1u);
  EXPECT_EQ(t.pool.ringTime[1], kNoTime) << "the ring entry that ends the shot";
  EXPECT_EQ(t.pool.RunShot(), 1);  // shows the closing entry
  EXPECT_EQ(t.pool.IsShotOver(), 1);
  EXPECT_EQ(t.pool.RunShot(), -1);
}

TEST(Shot, CueBallInPocketSetsScratchAndComesBack) {
  Table t;
  t.Put(0, 0, 0);
  t.Put(5, 0, 20);
  t.Aim(-90, 80);
  t.Shoot();
  EXPECT_EQ(t.pool.rules.Scratch, 1);
  EXPECT_EQ(t.pool.rules.PocketOf[0], 4);
  EXPECT_EQ(t.State(0), kBallAtRest);
  EXPECT_EQ(t.Z(0), -24.0) << "back on the head spot";
}

TEST(Shot, SameInstantEventsDoNotAdvanceTheRing) {
  Break b;
  Pool& p = b.pool;
  p.BeginShot();
  int sameInstant = 0;
  for (int i = 0; i < 400; ++i) {
    p.PredictEvents();
    if (p.eventCount == 0) break;
    const int before = p.ringIndex;
    const uint32_t dt = p.timeToNextEvent;
    p.StepSimulation();
    if (dt == 0) {
      ++sameInstant;
      EXPECT_EQ(p.ringIndex, before);
    } else {
      EXPECT_EQ(p.ringIndex, (before + 1) & 255);
    }
  }
  EXPECT_GT(sameInstant, 0) << "a frozen rack produces same-instant contacts";
}

TEST(Shot, FullRingNeitherHangsNorStopsShort) {
  Break normal;
  normal.pool.StartShot();
  normal.pool.FinishShot();

  // "Zip To End" with a full ring still simulates to rest.
  Break full;
  full.pool.StartShot();
  full.pool.ringLead = kRingSize;
  full.pool.FinishShot();
  EXPECT_TRUE(SameBalls(Shown(full.pool), Shown(normal.pool)));
  for (const BallState& s : full.pool.ballStates) EXPECT_TRUE(s.state == kBallAtRest || s.state == kBallOff);

  // Playing with a full ring and a clock that does not move returns at once.
  Break play;
  play.pool.StartShot();
  play.pool.ringLead = kRingSize;
  const int r = play.pool.RunShot();
  EXPECT_TRUE(r == 0 || r == 1);
}

TEST(Shot, SeekBeyondNewestEntry) {
  Table t;
  t.Put(0, 0, 0);
  t.Aim(0, 50);
  t.pool.StartShot();  // one step simulated
  Pool& p = t.pool;
  const uint32_t newest = p.ringTime[static_cast<size_t>(p.ringPrevIndex)];
  p.shownTime = newest - 1000;
  EXPECT_EQ(p.SeekReplay(newest + 5000), 1) << "the newest entry is within 1/30 s of the shown time";
  p.shownTime = 0;
  if (newest >= kSeekSlack) {
    EXPECT_EQ(p.SeekReplay(newest + 5000), 0);
  }
  EXPECT_EQ(p.SeekReplay(0), 0);
  EXPECT_EQ(p.ballStates[0].position.z, 0);
}

TEST(Shot, RewindReturnsToTheStartWithinASecond) {
  Table t;
  t.Put(0, 0, -20);
  t.Put(1, 3, 0);
  t.Aim(0, 60, 0, 0, 0);
  const auto start = Shown(t.pool);
  t.Shoot();
  ASSERT_LT(t.pool.highestRingIndex, 255);
  Pool& p = t.pool;
  p.strikePending = 0;
  p.SyncShotClock();
  EXPECT_EQ(p.rewindLength, std::max<uint32_t>(p.rewindEnd, 250));
  int r = 0, frames = 0;
  const uint32_t began = t.clock.now;
  for (; frames < 10000 && (r = p.PlayShotFrame()) != -1; ++frames) t.clock.now += 5;
  EXPECT_EQ(r, -1);
  EXPECT_LE((t.clock.now - began) / 4, 252u) << "a rewind lasts at most 250 ticks";
  for (int b = 0; b < kBallCount; ++b) EXPECT_EQ(p.ballStates[b].position, start[b].position) << b;
  EXPECT_EQ(p.IsShotOver(), 1);
}

TEST(Shot, CollisionSoundsAreDelayedAndSilenceable) {
  Break b;
  b.pool.StartShot();
  b.pool.FinishShot();
  ASSERT_FALSE(b.sound.played.empty());
  bool ballClick = false;
  for (const auto& [effect, delay] : b.sound.played) {
    EXPECT_GE(effect, 0);
    EXPECT_LE(effect, 12);
    if (effect >= 1 && effect <= 3) ballClick = true;
    if (effect != 0 && (effect < 4 || effect > 6)) {
      EXPECT_GE(delay, 1u);
    }
  }
  EXPECT_TRUE(ballClick);
  Break quiet;
  quiet.pool.silent = 1;
  quiet.sound.played.clear();
  quiet.pool.StartShot();
  quiet.pool.FinishShot();
  EXPECT_TRUE(quiet.sound.played.empty());
}

TEST(Shot, ComputerTurnAnimationsEaseToTheirTargets) {
  Table t;
  t.Put(0, 0, -20);
  Pool& p = t.pool;
  t.clock.now = 1000;
  p.StartClock();
  // Ball in hand: halfway through the ease at p = 256 (about 85 ticks).
  p.AiSetBallTarget(FixVec2{4 << 16, -16 << 16});
  t.clock.now += 4 * 86;
  EXPECT_EQ(p.AiAnimateBall(), 0);
  EXPECT_NEAR(t.X(0), 4 * 0.75, 0.05) << "ease 1 - (1 - 1/2)^2";
  t.clock.now += 4 * 86;
  EXPECT_EQ(p.AiAnimateBall(), 1);
  EXPECT_EQ(t.X(0), 4.0);
  EXPECT_EQ(t.Z(0), -16.0);

  // Aim: ends on the planned direction (the cue points the other way).
  p.cueDirection = FixVec3{0, 0, -kFixOne30};
  p.AiSetAimTarget(FixVec2{kFixOne30, 0}, 0x4000, 0x2000, 1000);
  int r = 0;
  for (int i = 0; i < 100 && (r = p.AiAnimateAim()) == 0; ++i) t.clock.now += 16;
  EXPECT_EQ(r, 1);
  EXPECT_EQ(p.cueDirection, (FixVec3{-kFixOne30, 0, 0}));
  EXPECT_EQ(p.cueTip[0], -0x4000);
  EXPECT_EQ(p.cueTip[1], 0x2000);
  EXPECT_EQ(p.cueElevation, 1000u);

  // Stroke: four eased phases and a linear push, then the strike may follow.
  p.AiStartStroke(0x1000000);
  EXPECT_EQ(p.aiShow.strokeDistance, 0x30000);
  for (int i = 0; i < 1000 && (r = p.AiAnimateStroke()) == 0; ++i) t.clock.now += 16;
  EXPECT_EQ(r, 1);
  EXPECT_EQ(p.shotStarted, 1);
  EXPECT_EQ(p.aiShow.strokeDistance, 0);
}

}  // namespace
}  // namespace ks::test
