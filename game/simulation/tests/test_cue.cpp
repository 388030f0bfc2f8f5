// The cue ball turned to face the stick and the placement probe.
#include <gtest/gtest.h>

#include <cmath>

#include "fixture.h"

namespace ks::test {
namespace {

// Rotates the marker (0, 0, -1) by the ball's orientation.
std::array<double, 3> Marker(const FixQuat& q) {
  const double w = q.w / 1073741824.0, x = q.x / 1073741824.0, y = q.y / 1073741824.0, z = q.z / 1073741824.0;
  const double vx = 0, vy = 0, vz = -1;
  // v' = v + 2w (q x v) + 2 q x (q x v)
  const double cx = y * vz - z * vy, cy = z * vx - x * vz, cz = x * vy - y * vx;
  const double ddx = y * cz - z * cy, ddy = z * cx - x * cz, ddz = x * cy - y * cx;
  return {vx + 2 * w * cx + 2 * ddx, vy + 2 * w * cy + 2 * ddy, vz + 2 * w * cz + 2 * ddz};
}

TEST(Cue, OrientedBallShowsTheStrikePointToTheStick) {
  struct Case {
    double heading, side, height, elevationDeg;
  };
  const Case cases[] = {
      {0, 0, 0, 0},   {180, 0, 0, 0},        {90, 0, 0, 0},   {-37, 0, 0, 0}, {30, 0.4, 0, 0},
      {0, 0, 0.5, 0}, {120, -0.3, -0.3, 10}, {0, 1.5, 1.5, 0}};  // tip off the ball: strike point on the rim
  for (const Case& c : cases) {
    Table t;
    t.Put(0, 0, 0);
    t.Aim(c.heading, 100, c.side, c.height, c.elevationDeg);
    t.pool.OrientCueBall();
    const auto m = Marker(t.pool.ballStates[0].orientation);
    // Expected strike point: stick direction d, tip (a, b), elevation tilt.
    const double d0x = t.pool.cueDirection.x / 1073741824.0, d0z = t.pool.cueDirection.z / 1073741824.0;
    const double rim = std::max(1.0, std::hypot(c.side, c.height));
    const double a = c.side / rim, b = c.height / rim;
    const double e = std::sqrt(std::max(0.0, 1 - a * a - b * b));
    const double el = c.elevationDeg * M_PI / 180;
    const double u = e * std::cos(el) + b * std::sin(el), ny = b * std::cos(el) - e * std::sin(el);
    const double n[3] = {a * d0z + u * d0x, ny, u * d0z - a * d0x};
    const double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(m[static_cast<size_t>(i)], n[i] / len, 2e-3) << c.heading << " axis " << i;
    EXPECT_EQ(t.pool.ballStates[0].changed, 1);
  }
}

TEST(Cue, StickPoseFollowsAimAndElevation) {
  Table t;
  t.Put(0, 2, -5);
  t.Aim(90, 100);  // stick towards -x
  t.pool.stickOrigin = FixVec3{0, 0x10000, 0};
  t.pool.stickPoints[0] = FixVec3{0, 4 << 16, 0};
  t.pool.stickPoints[1] = FixVec3{1 << 16, 0, 0};
  t.pool.stickDirections[0] = FixVec3{0, 0, 1 << 16};
  t.pool.PoseCueStick();
  // Flat stick: y runs along the stick direction, x across it, z turns down.
  EXPECT_EQ(t.pool.stickPointsPosed[0], (FixVec3{(2 - 5) << 16, 0, -5 << 16}));
  EXPECT_EQ(t.pool.stickPointsPosed[1], (FixVec3{(2 - 1) << 16, 0, (-5 + 1) << 16}));
  EXPECT_EQ(t.pool.stickDirectionsPosed[0], (FixVec3{0, -(1 << 16), 0}));
  // Raised by a quarter turn the stick's z axis lies along the aim.
  t.pool.cueElevation = kQuarterTurn;
  t.pool.PoseCueStick();
  EXPECT_EQ(t.pool.stickDirectionsPosed[0], (FixVec3{-(1 << 16), 0, 0}));
}

TEST(Cue, ProbeStopsAtTheFirstBallOrCushion) {
  Table t;
  t.Put(0, 0, 0);
  t.Put(5, 0, 10);
  const uint64_t before = t.pool.StateHash();
  const double toBall = t.pool.ProbeCueLine(0, kFixOne30) / 65536.0;
  EXPECT_NEAR(toBall, 8.0, 0.05) << "centres 2.0 apart at contact";
  const double toCushion = t.pool.ProbeCueLine(0, -kFixOne30) / 65536.0;
  const double line = (t.pool.table.hz - kFixOne16) / 65536.0;
  EXPECT_NEAR(toCushion, line, 0.05);
  EXPECT_LE(toCushion, line + 1.0 / 1024) << "never past the cushion line beyond rounding";
  EXPECT_EQ(t.pool.StateHash(), before) << "the probe leaves the predictions as found";
  t.pool.ballStates[0].state = kBallOff;
  EXPECT_EQ(t.pool.ProbeCueLine(kFixOne30, 0), 0);
}

}  // namespace
}  // namespace ks::test
