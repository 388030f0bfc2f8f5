// The Pool object: clocks, defaults, constants, geometry and snapshots.
#include <gtest/gtest.h>

#include "fixture.h"

namespace ks::test {
namespace {

TEST(Pool, ClockTicksAreFourMillisecondsAndWrap) {
  Table t;
  t.clock.now = 0xFFFFFFF0u;
  t.pool.StartClock();
  t.clock.now = 0x10;
  EXPECT_EQ(t.pool.GetTime(), 8u);
}

TEST(Pool, ShotClockRunsAt250TicksASecond) {
  Table t;
  t.pool.SetShotTimeScale(0);
  t.pool.StartShotClock();
  t.clock.now += 1000;
  EXPECT_EQ(t.pool.GetShotTime(), 250u);
  t.pool.SetShotTimeScale(1);
  t.pool.StartShotClock();
  t.clock.now += 1000;
  EXPECT_EQ(t.pool.GetShotTime(), 125u);
  // A scale that would wrap the byte to zero is clamped instead of dividing by zero.
  t.pool.SetShotTimeScale(8);
  EXPECT_EQ(t.pool.shotTimeScale, 128);
  t.pool.SetShotTimeScale(40);
  t.pool.StartShotClock();
  t.clock.now += 1024;
  EXPECT_EQ(t.pool.GetShotTime(), 2u);
}

TEST(Pool, DefaultsAndResets) {
  Pool p;
  EXPECT_EQ(p.slidingFriction, 0x2000000) << "the constructor's friction";
  EXPECT_EQ(p.rotationDivisor, 411774);
  EXPECT_EQ(p.shotRunning | p.silent | p.fastSimulation | p.strikePending, 0);
  p.cueElevation = 5;
  p.cueTip = {1, 2};
  p.cueStrikeFactor = 0;
  p.powerSetting = 0;
  p.ResetTable();
  EXPECT_EQ(p.cueElevation, 768u);
  EXPECT_EQ(p.cueTip[0], 0);
  EXPECT_EQ(p.cueTip[1], 0);
  EXPECT_EQ(p.cueStrikeFactor, 0x20000);
  EXPECT_EQ(p.powerSetting, 4096);
  EXPECT_EQ(p.probeWord, 2);
  EXPECT_EQ(p.opponentIndex, -1);
}

TEST(Pool, PhysicsConstantsFollowTheFrictionFlag) {
  Table t;
  t.pool.InitPhysicsConstants();
  EXPECT_EQ(t.pool.slidingFriction, 0x1000000);
  EXPECT_EQ(t.pool.slideTravelRate, 0x492492);
  EXPECT_EQ(t.pool.slideSpinRate, 0xB6DB6D);
  t.clock.friction = true;
  t.pool.InitPhysicsConstants();
  EXPECT_EQ(t.pool.slideTravelRate, 9586980);
  EXPECT_EQ(t.pool.slideSpinRate, 23967451);
}

TEST(Pool, SmallTableGeometry) {
  Pool p;
  const TableGeometry& g = p.table;
  EXPECT_EQ(g.cushion[0], -0xF0000);
  EXPECT_EQ(g.cushion[1], 0xF0000);
  EXPECT_EQ(g.cushion[3], 0x1F0000);
  EXPECT_EQ(g.pocket[0], (FixVec2{-1105920, -2154496}));
  EXPECT_EQ(g.pocket[4], (FixVec2{-1236992, 0}));
  EXPECT_EQ(g.pocket[5], (FixVec2{1236992, 0}));
  EXPECT_EQ(g.knuckle[4], (FixVec2{-0x100000, -(0x200000 - 206080)}));
  EXPECT_EQ(g.captureRadiusSq, uint64_t{0x24000} * 0x24000);
  // Every jaw line lies outside the cushion rectangle, one radius off its knuckle.
  for (int k = 0; k < 12; ++k) {
    const FixVec2 q = g.jawPoint[static_cast<size_t>(k)];
    const bool outside = q.x <= g.cushion[0] || q.x >= g.cushion[1] || q.z <= g.cushion[2] || q.z >= g.cushion[3];
    EXPECT_TRUE(outside) << k;
    const double n =
        std::hypot(g.jawNormal[static_cast<size_t>(k)].x, g.jawNormal[static_cast<size_t>(k)].z) / kFixOne30;
    EXPECT_NEAR(n, 1.0, 1e-6) << k;
  }
  p.table.hx = 1259520;
  p.table.hz = 0x267000;
  p.InitCushionGeometry();
  EXPECT_EQ(p.table.cushion[1], 1259520 - 0x10000);
}

TEST(Pool, SetupTablePointsTheCueAlongTheView) {
  Pool p;
  p.SetupTable();
  EXPECT_EQ(p.camera.turn[1], 5376);
  EXPECT_EQ(p.camera.viewScale[0], 896);
  EXPECT_EQ(p.headSpotZ, -3 * (p.table.hz >> 2));
  EXPECT_EQ(p.cueDirection.y, 0);
  EXPECT_EQ(Abs32(p.cueDirection.x) + Abs32(p.cueDirection.z), kFixOne30);
  // The orbit keeps the axes unit length.
  for (const FixVec3& a : {p.camera.right, p.camera.up, p.camera.forward}) {
    EXPECT_NEAR(Length3D(a) / double(kFixOne30), 1.0, 1e-6);
  }
}

TEST(Pool, ValueCopyIsAFullSnapshot) {
  Table t;
  t.pool.PlaceBalls(3);
  t.Aim(10, 300);
  t.pool.StartShot();
  Pool saved = t.pool;
  t.pool.FinishShot();
  const uint64_t end = t.pool.StateHash();
  EXPECT_NE(saved.StateHash(), end);
  t.pool = saved;  // restore and run again
  t.pool.FinishShot();
  EXPECT_EQ(t.pool.StateHash(), end);
  // The copy owns its own ring.
  saved.ring[5].ball[0].speed = 12345;
  EXPECT_NE(t.pool.ring[5].ball[0].speed, 12345);
}

}  // namespace
}  // namespace ks::test
