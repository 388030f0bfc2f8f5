// Behaviour of the ball physics: strikes, spin, cushions, pockets, invariants.
#include <gtest/gtest.h>

#include "fixture.h"

namespace ks::test {
namespace {

// A straight pot into corner pocket 3 along the diagonal: the object ball
// drops, and the cue ball's motion once its slide after the hit has ended
// shows what the spin did.
struct DiagonalPot : Table {
  double contact = 0;  // cue ball's place along the line at the hit
  double along = 0;    // its place when its first motion after the hit ends
  int32_t speedAfterHit = -1;
  double heading = 0;  // direction of travel along the line then (+1 on, -1 back)
  DiagonalPot(double power, double height) {
    Put(1, 12, 28);
    Put(0, 9.5, 25.5);
    Aim(45, power, 0, height);
    pool.ResetShot();
    pool.BeginShot();
    int phase = 0;
    for (int i = 0; i < 500; ++i) {
      pool.PredictEvents();
      if (pool.eventCount == 0) break;
      const EventPair e = pool.eventList[0];
      pool.StepSimulation();
      const BallEntry& cue = pool.ring[pool.ringPrevIndex].ball[0];
      const double s = (cue.position.x / 65536.0 + cue.position.z / 65536.0) * std::sqrt(0.5);
      if (phase == 0 && e.a == 0 && e.b == 1) {
        contact = s;
        speedAfterHit = cue.speed;
        phase = 1;
      } else if (phase == 1 && (e.a == 0 || e.b == 0)) {
        along = s;
        heading = (cue.direction.x + cue.direction.z) / 1073741824.0 * std::sqrt(0.5);
        return;
      }
    }
    along = contact;
  }
};

TEST(Physics, FollowShotKeepsCueBallMovingForward) {
  DiagonalPot s(100, 0.5);
  EXPECT_GT(s.along, s.contact + 1.0) << "follow carries the cue ball on after the hit";
  EXPECT_GT(s.heading, 0.99);
}

TEST(Physics, DrawShotBringsCueBallBack) {
  DiagonalPot s(100, -0.5);
  EXPECT_LT(s.along, s.contact - 1.0) << "draw pulls the cue ball back";
  EXPECT_LT(s.heading, -0.99);
}

TEST(Physics, CentreBallStunStopsCueBall) {
  DiagonalPot s(100, 0);
  EXPECT_GE(s.speedAfterHit, 0);
  EXPECT_LT(s.speedAfterHit, 8 << 16) << "nearly all the speed goes to the object ball";
  EXPECT_NEAR(s.along, s.contact, 1.0) << "the cue ball stops near the contact point";
}

TEST(Physics, CushionReturnsBallWithLessSpeed) {
  Table t;
  t.Put(0, 0, 20);
  t.Aim(0, 120);
  t.pool.ResetShot();
  t.pool.BeginShot();
  Pool& p = t.pool;
  bool sawCushion = false;
  for (int i = 0; i < 1000; ++i) {
    p.PredictEvents();
    if (!p.eventCount) break;
    if (p.eventList[0].a == 0 && p.eventList[0].b == kEventEndCushionFar) {
      BallEntry before;
      p.EvaluateMotion(p.motions[0], p.simClock + p.timeToNextEvent - p.motions[0].startTime, before);
      p.StepSimulation();
      const BallMotion& after = p.motions[0];
      EXPECT_LT(after.speed, before.speed);
      EXPECT_GT(after.speed, before.speed / 3);
      EXPECT_GT(before.direction.z, 0);
      EXPECT_LT(after.direction.z, 0) << "the ball comes back";
      sawCushion = true;
      break;
    }
    p.StepSimulation();
  }
  EXPECT_TRUE(sawCushion);
}

TEST(Physics, BallRolledAtPocketCentreDrops) {
  struct Case {
    double x, z, heading;
    int pocket;
  };
  // Side pockets along x; a corner pocket along the diagonal.
  const Case cases[] = {{0, 0, -90, 4}, {0, 0, 90, 5}, {8, 24, 45, 3}};
  for (const Case& c : cases) {
    Table t;
    t.Put(3, c.x, c.z);
    // Strike ball 3 as if it were the cue ball: swap it in as ball 0.
    std::swap(t.pool.ballStates[0], t.pool.ballStates[3]);
    if (c.pocket == 3) {
      const double dx = 16 + 0.875 - c.x, dz = 32 + 0.875 - c.z;
      t.Aim(std::atan2(dx, dz) * 180 / M_PI, 100);
    } else {
      t.Aim(c.heading, 100);
    }
    t.Shoot();
    EXPECT_EQ(t.pool.rules.PocketOf[0], c.pocket) << c.x << "," << c.z;
    EXPECT_EQ(t.pool.rules.Scratch, 1);
  }
}

TEST(Physics, CentreStrikeValues) {
  Table t;
  t.Put(0, 0, 0);
  t.Aim(90, 640, 0, 0, 768.0 * 360 / 262144);
  t.pool.BeginStrike(0x2800000);
  t.pool.AimFromCue();
  t.pool.StrikeCueBall();
  const BallEntry& e = t.pool.ring[0].ball[0];
  EXPECT_EQ(e.speed, 41935360);
  EXPECT_EQ(e.spin, 0);
  EXPECT_EQ(e.state, kBallSliding);
  EXPECT_EQ(e.spinAxis.x, WrapNeg32(e.direction.z));
  EXPECT_EQ(e.spinAxis.z, e.direction.x);
}

TEST(Physics, StrikeAtFullOffsetSplitsSpeedAndSpin) {
  Table t;
  t.Put(0, 0, 0);
  t.Aim(0, 0, 0, 1.0);
  t.pool.BeginStrike(7 << 20);
  t.pool.AimFromCue();
  t.pool.StrikeCueBall();
  const BallEntry& e = t.pool.ring[0].ball[0];
  EXPECT_EQ(e.speed, 2 << 20);  // 2P/7
  EXPECT_EQ(e.spin, 5 << 20);   // 5P/7
  EXPECT_LT(e.spinAxis.x, 0) << "positive height is top spin about (-d.z, 0, d.x)";
}

TEST(Physics, NaturalRollStrikeStartsRolling) {
  Table t;
  t.Put(0, 0, 0);
  t.Aim(0, 100, 0, 0.4);
  t.pool.BeginStrike(t.pool.strikePower);
  t.pool.AimFromCue();
  t.pool.StrikeCueBall();
  t.pool.StartMotions();
  // Speed and spin match: the slip is (nearly) zero.
  EXPECT_LT(t.pool.motions[0].slipSpeed, 256);
}

TEST(Physics, RollingClosedFormNeverGoesNegative) {
  Pool p;
  BallMotion m;
  m.state = kBallRolling;
  m.speed = 0x100000;
  m.spin = 0x100000;
  m.direction = FixVec3{0, 0, kFixOne30};
  m.spinAxis = FixVec3{-kFixOne30, 0, 0};
  BallEntry e;
  const uint32_t tStop = static_cast<uint32_t>((int64_t{0x100000} << 24) / kRollingDecel2);
  p.EvaluateMotion(m, tStop / 2, e);
  EXPECT_EQ(e.speed, 0x100000 - 2 * static_cast<int32_t>(UMulShr24(kRollingDecel, tStop / 2)));
  p.EvaluateMotion(m, tStop * 3, e);
  EXPECT_EQ(e.speed, 0);
  EXPECT_GE(e.spin, 0);
  // A spin far above the speed decays on its own after the ball stops.
  m.spin = 9 * m.speed;
  p.EvaluateMotion(m, tStop, e);
  EXPECT_EQ(e.spin, m.spin - static_cast<int32_t>(UMulShr24(kSpinDecay, tStop)));
}

TEST(Physics, FastSimulationLeavesOrientationAlone) {
  Pool p;
  p.fastSimulation = 1;
  BallMotion m;
  m.state = kBallRolling;
  m.speed = 0x200000;
  m.spin = 0x200000;
  m.direction = FixVec3{0, 0, kFixOne30};
  m.spinAxis = FixVec3{-kFixOne30, 0, 0};
  BallEntry e;
  e.orientation = FixQuat{1, 2, 3, 4};
  p.EvaluateMotion(m, 1 << 24, e);
  EXPECT_EQ(e.orientation, (FixQuat{1, 2, 3, 4}));
  p.fastSimulation = 0;
  p.EvaluateMotion(m, 1 << 24, e);
  EXPECT_NE(e.orientation, (FixQuat{1, 2, 3, 4}));
}

TEST(Physics, StateChangeTable) {
  struct Case {
    uint8_t before;
    int32_t speed, spin, axisY;
    uint8_t after;
  };
  const Case cases[] = {
      {kBallSpinning, 0, 100000, kFixOne30, kBallAtRest},     {kBallRolling, 0, 100000, kFixOne30, kBallSpinning},
      {kBallRolling, 0, 8192, kFixOne30, kBallAtRest},        {kBallSliding, 8193, 0, 0, kBallRolling},
      {kBallSliding, 8192, 100000, kFixOne30, kBallSpinning}, {kBallSliding, 8192, 8192, kFixOne30, kBallAtRest},
  };
  for (const Case& c : cases) {
    Table t;
    BallEntry& e = t.pool.ring[1].ball[2];
    e = BallEntry{};
    e.state = c.before;
    e.speed = c.speed;
    e.spin = c.spin;
    e.direction = FixVec3{0, 0, kFixOne30};
    e.spinAxis = FixVec3{0, c.axisY, c.axisY ? 0 : kFixOne30};
    t.pool.ringNext = 16;
    t.pool.ApplyStateChange(2);
    EXPECT_EQ(e.state, c.after) << int(c.before) << " " << c.speed << " " << c.spin;
  }
}

TEST(Physics, TimeToTravel) {
  Pool p;
  EXPECT_EQ(p.TimeToTravel(-1, 0x100000), -1);
  EXPECT_EQ(p.TimeToTravel(0x10000, 0), -1);
  EXPECT_EQ(p.TimeToTravel(0, 0x100000), 0);
  // 1 radius a second stops after 1/7.5 radius.
  EXPECT_EQ(p.TimeToTravel(0x10000, 0x10000), -1);
  // 16 radii a second over 1 radius: (16 - sqrt(256 - 7.5)) / 3.75 s.
  const double expect = (16 - std::sqrt(256 - 7.5)) / 3.75 * 16777216;
  EXPECT_NEAR(p.TimeToTravel(0x10000, 0x100000), expect, 100);  // a unit of the square root
}

TEST(Physics, RollingAtSidePocketGapGetsNoCushionEvent) {
  Table t;
  t.Put(0, 0, 0);
  Pool& p = t.pool;
  p.BeginStrike(0);
  BallEntry& e = p.ring[0].ball[0];
  e.state = kBallRolling;
  e.speed = 100 << 16;
  e.spin = 100 << 16;
  e.direction = FixVec3{-kFixOne30, 0, 0};
  e.spinAxis = FixVec3{0, 0, -kFixOne30};
  p.StartMotions();
  p.PredictBallEvents();
  EXPECT_EQ(p.motions[0].next.kind, kEventPocketFirst + 4);
  // Aimed off the gap it meets the cushion.
  e.position.z = 10 << 16;
  p.StartMotions();
  p.PredictBallEvents();
  EXPECT_EQ(p.motions[0].next.kind, kEventSideCushionLeft);
}

TEST(Physics, ExactGrazeOfRestingBallIsNoContact) {
  Table t;
  t.Put(0, 0, 0);
  t.Put(5, 2, 10);  // the path at x = 0 passes exactly 2.0 from its centre
  Pool& p = t.pool;
  p.BeginStrike(0);
  BallEntry& e = p.ring[0].ball[0];
  e.state = kBallRolling;
  e.speed = 50 << 16;
  e.spin = 50 << 16;
  e.direction = FixVec3{0, 0, kFixOne30};
  e.spinAxis = FixVec3{-kFixOne30, 0, 0};
  p.StartMotions();
  p.PredictEvents();
  EXPECT_EQ(p.pairTimes[0][5], kPairNoContact);
  // A hair closer, it touches.
  p.ring[0].ball[5].position.x -= 1;
  p.StartMotions();
  p.PredictEvents();
  EXPECT_NE(p.pairTimes[0][5], kPairNoContact);
}

TEST(Physics, HeadOnRollingBallsMeetAtAnalyticTime) {
  Table t;
  t.Put(0, 0, -10);
  t.Put(1, 0, 10);
  Pool& p = t.pool;
  p.BeginStrike(0);
  for (int b = 0; b < 2; ++b) {
    BallEntry& e = p.ring[0].ball[b];
    const int32_t dz = b == 0 ? kFixOne30 : -kFixOne30;
    e.state = kBallRolling;
    e.speed = 40 << 16;
    e.spin = 40 << 16;
    e.direction = FixVec3{0, 0, dz};
    e.spinAxis = FixVec3{-dz, 0, 0};
  }
  p.StartMotions();
  p.PredictEvents();
  // Each covers 9 radii: 40 t - 1.875 t^2 = 9.
  const double ts = (40 - std::sqrt(1600 - 4 * 1.875 * 9)) / (2 * 1.875);
  EXPECT_NEAR(static_cast<double>(p.pairTimes[0][1]), ts * 16777216, 16777216 * 1e-4);
}

// Sets up ring records 0 (current) and 1 (next) for a direct call of a handler.
struct Handler : Table {
  BallEntry& At(int b) { return pool.ring[1].ball[static_cast<size_t>(b)]; }
  Handler() { Reset(); }
  void Reset() {
    pool.BeginStrike(0);
    pool.StartMotions();
    pool.ring[1] = pool.ring[0];
  }
  void Moving(int b, double x, double z, double speed, double dirX, double dirZ) {
    BallEntry& e = At(b);
    e.state = kBallSliding;
    e.position = FixVec3{static_cast<int32_t>(x * 65536), 0, static_cast<int32_t>(z * 65536)};
    e.speed = static_cast<int32_t>(speed * 65536);
    e.direction = FixVec3{static_cast<int32_t>(dirX * kFixOne30), 0, static_cast<int32_t>(dirZ * kFixOne30)};
    e.spin = 0;
    e.spinAxis = FixVec3{WrapNeg32(e.direction.z), 0, e.direction.x};
  }
};

TEST(Physics, BallMeetingRestingBallPassesOnFifteenSixteenths) {
  Handler h;
  h.Put(1, 0, 0);
  h.Reset();
  h.Moving(0, 0, -2, 40, 0, 1);
  const int32_t c = h.pool.ApplyBallCollision(0, 1);
  EXPECT_EQ(c, 40 << 16);
  EXPECT_NEAR(h.At(1).speed, (40 << 16) - (40 << 12), 16);
  EXPECT_EQ(h.At(1).direction, (FixVec3{0, 0, kFixOne30}));
  EXPECT_LT(h.At(0).speed, 1 << 16) << "a centre hit leaves the cue ball nearly still";
  EXPECT_EQ(h.At(1).state, kBallSliding);
}

TEST(Physics, HeadOnPairBouncesApartSymmetrically) {
  Handler h;
  h.Moving(0, 0, -1, 30, 0, 1);
  h.Moving(1, 0, 1, 30, 0, -1);
  h.pool.ApplyBallCollision(0, 1);
  EXPECT_LT(h.At(0).direction.z, 0);
  EXPECT_GT(h.At(1).direction.z, 0);
  EXPECT_NEAR(h.At(0).speed, h.At(1).speed, 64);
  EXPECT_NEAR(h.At(0).speed, 30 * 65536 * 15 / 16, 30 * 65536 / 16 + 64);
}

TEST(Physics, SimultaneousHitOnTwoBallsSharesTheImpact) {
  Table t;
  t.Put(0, 0, -10);
  t.Put(1, -1, 0);
  t.Put(2, 1, 0);
  t.Aim(0, 60);
  t.Shoot();
  EXPECT_TRUE(t.pool.rules.FirstHit == 1 || t.pool.rules.FirstHit == 2);
  EXPECT_GT(t.Z(1), 5.0);
  EXPECT_GT(t.Z(2), 5.0);
  EXPECT_NEAR(t.X(1), -t.X(2), 0.05) << "mirror image";
  EXPECT_NEAR(t.Z(1), t.Z(2), 0.05);
}

TEST(Physics, StepCapBringsEverythingToRest) {
  Table t;
  t.pool.PlaceBalls(2);
  t.Aim(0, 400);
  t.pool.StartShot();
  t.pool.stepCount = kStepCap - 1;
  EXPECT_FALSE(t.pool.SimulateOneStep());
  EXPECT_EQ(t.pool.stepCapHits, 1u);
  t.pool.FinishShot();
  for (const BallState& b : t.pool.ballStates) EXPECT_TRUE(b.state == kBallAtRest || b.state == kBallOff);
}

// Tables no rack produces: overlapping balls, balls on cushion lines, in
// pocket mouths and on knuckles, and extreme strikes. Every shot ends.
TEST(Physics, DegenerateTablesEndWithoutHangOrCrash) {
  struct Shot {
    double heading, power, side, height, elevation;
  };
  const Shot shots[] = {{0, 640, 0.9, 0.9, 80}, {33, 640, -1, -1, 0}, {270, 0.01, 0, 0, 0}, {123, 640, 0, 0, 89}};
  for (const Shot& s : shots) {
    Table t;
    t.Put(0, 0, -20);
    t.Put(1, 0, -19);         // overlapping the cue ball
    t.Put(2, 15, 0.5);        // on the side cushion line by the side pocket
    t.Put(3, -15.5, 30.5);    // in a corner mouth
    t.Put(4, 16, 2.6953125);  // on a knuckle point
    t.Put(5, 0, 31);          // on the end cushion line
    for (int b = 6; b < kBallCount; ++b) t.Put(b, 0, -10 + 2.0 * (b - 6));  // a column
    t.Aim(s.heading, s.power, s.side, s.height, s.elevation);
    t.Shoot();
    for (const BallState& b : t.pool.ballStates) EXPECT_TRUE(b.state == kBallAtRest || b.state == kBallOff);
  }
  // Strike parameters from outside are clamped or refused, never trusted.
  Table t;
  t.Put(0, 0, 0);
  const int32_t wild[6] = {INT32_MIN, -1, 0, 0, INT32_MIN, INT32_MAX};
  t.pool.StrikeWithParameters(wild);
  EXPECT_EQ(t.pool.strikePower, 0);
  const int32_t huge[6] = {INT32_MAX, 0x3FFFF, INT32_MIN, INT32_MAX, INT32_MAX, INT32_MIN};
  t.pool.StrikeWithParameters(huge);
  EXPECT_EQ(t.pool.strikePower, kMaxStrikePower);
  t.pool.FinishShot();
  t.pool.PlaceBalls(-3);
  t.pool.PlaceBalls(99);
}

// The table is symmetric under a half turn and under a mirror across the
// long axis: shots near the pockets (through jaws and knuckles) must end in
// the matching pockets and places.
TEST(Physics, PocketGeometryIsSymmetric) {
  struct Start {
    double x, z, heading;
  };
  std::vector<Start> starts;
  for (double d = -12; d <= 12; d += 1.5) {
    starts.push_back({10, 24, 35 + d});  // towards corner pocket 3
    starts.push_back({11, 3, 80 + d});   // towards side pocket 5
    starts.push_back({13, 28, 20 + d});  // along the side cushion into the corner
  }
  const int halfTurn[6] = {3, 2, 1, 0, 5, 4};
  const int mirror[6] = {1, 0, 3, 2, 5, 4};
  for (const Start& s : starts) {
    struct Result {
      double x, z;
      int pocket;
    };
    auto run = [](double x, double z, double heading) {
      Table t;
      t.Put(0, x, z);
      t.Aim(heading, 60, 0, 0.2);
      t.Shoot();
      return Result{t.X(0), t.Z(0), t.pool.rules.PocketOf[0]};
    };
    const Result a = run(s.x, s.z, s.heading);
    const Result b = run(-s.x, -s.z, s.heading + 180);
    const Result c = run(-s.x, s.z, -s.heading);
    ASSERT_EQ(a.pocket < 0, b.pocket < 0) << s.heading;
    ASSERT_EQ(a.pocket < 0, c.pocket < 0) << s.heading;
    if (a.pocket >= 0) {
      EXPECT_EQ(b.pocket, halfTurn[a.pocket]) << s.heading;
      EXPECT_EQ(c.pocket, mirror[a.pocket]) << s.heading;
    } else {
      EXPECT_NEAR(a.x, -b.x, 0.05) << s.heading;
      EXPECT_NEAR(a.z, -b.z, 0.05) << s.heading;
      EXPECT_NEAR(a.x, -c.x, 0.05) << s.heading;
      EXPECT_NEAR(a.z, c.z, 0.05) << s.heading;
    }
  }
}

// Random shots on every game type: nothing overlaps, leaves the table or
// keeps moving, and the same shot gives the same table every run.
TEST(Physics, RandomShotsKeepInvariantsAndRepeatExactly) {
  const int16_t games[] = {1, 2, 3, 4, 5, 6};
  DeviceRand pick(99);
  for (int n = 0; n < 60; ++n) {
    uint64_t hashes[2];
    for (int run = 0; run < 2; ++run) {
      DeviceRand shotRng(static_cast<uint32_t>(n + 1));
      Table t;
      t.rng.Seed(static_cast<uint32_t>(n * 31 + 5));
      t.pool.OpponentKind = 0;
      t.pool.PlaceBalls(games[n % 6]);
      const double heading = shotRng.Rand() % 360;
      const double power = 20 + shotRng.Rand() % 620;
      const double side = (shotRng.Rand() % 161 - 80) / 100.0;
      const double height = (shotRng.Rand() % 161 - 80) / 100.0;
      const double elev = (shotRng.Rand() % 400) / 10.0;
      t.Aim(heading, power, side * 0.7, height * 0.7, elev);
      std::array<bool, kBallCount> onTableAtStart{};
      for (int b = 0; b < kBallCount; ++b) onTableAtStart[static_cast<size_t>(b)] = t.State(b) != kBallOff;
      t.Shoot();
      hashes[run] = t.pool.StateHash();
      if (run) continue;
      Pool& p = t.pool;
      EXPECT_EQ(p.stepCapHits, 0u) << n;
      for (int a = 0; a < kBallCount; ++a) {
        const BallState& A = p.ballStates[static_cast<size_t>(a)];
        // The facts for the rules agree with the table: a ball that left it
        // went into a pocket, and a pocketed ball touched a pocket after the hit.
        if (a != 0 && onTableAtStart[static_cast<size_t>(a)]) {
          EXPECT_EQ(A.state == kBallOff, p.rules.PocketOf[static_cast<size_t>(a)] >= 0) << n << " ball " << a;
          if (A.state == kBallOff) {
            EXPECT_EQ(p.rules.RailAfterContact[static_cast<size_t>(a)], 1) << n;
          }
        }
        if (A.state == kBallOff) continue;
        EXPECT_EQ(A.state, kBallAtRest) << n << " ball " << a;
        const double x = std::fabs(t.X(a)), z = std::fabs(t.Z(a));
        const bool inside = x <= 15.0001 && z <= 31.0001;
        const bool mouth = (x > 15 && (z > 28.8 || z < 2.7)) || (z > 31 && x > 12.8);
        EXPECT_TRUE(inside || (mouth && x < 19 && z < 35)) << n << " ball " << a << " at " << t.X(a) << "," << t.Z(a);
        for (int b = a + 1; b < kBallCount; ++b) {
          if (p.ballStates[static_cast<size_t>(b)].state == kBallOff) continue;
          const double d = std::hypot(t.X(a) - t.X(b), t.Z(a) - t.Z(b));
          EXPECT_GE(d, 1.999) << n << " balls " << a << "," << b;
        }
      }
    }
    EXPECT_EQ(hashes[0], hashes[1]) << n;
  }
}

}  // namespace
}  // namespace ks::test
