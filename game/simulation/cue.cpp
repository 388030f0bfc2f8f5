// The cue ball's orientation while aiming and the probe that stops a
// dragged ball short of its first contact.
#include <algorithm>

#include "simulation/pool.h"

namespace ks {
namespace {

constexpr int64_t kOne30 = int64_t{1} << 30;
constexpr int32_t kProbeSpeed = 0x300000;  // 48 radii a second: every cushion is in reach

int64_t Mul30(int64_t a, int64_t b) { return (a * b + (int64_t{1} << 29)) >> 30; }

// Rounded (a * b + c * d) >> 30 in 64 bits.
int32_t Dot30(int64_t a, int64_t b, int64_t c, int64_t d) {
  const int64_t sum = a * b + c * d;
  return static_cast<int32_t>(std::clamp<int64_t>((sum + (int64_t{1} << 29)) >> 30, INT32_MIN, INT32_MAX));
}

}  // namespace

void Pool::PoseCueStick() {
  elevation = SinCos(cueElevation);
  const int64_t c = elevation.cos, s = elevation.sin;
  const int64_t dx = cueDirection.x, dz = cueDirection.z;
  const FixVec3 ball = ballStates[0].position;
  // Tilt by the elevation in the stick's own (y, z) plane, then turn by the aim.
  auto pose = [&](FixVec3 p, bool point) {
    if (point) p = FixVec3{WrapAdd32(p.x, stickOrigin.x), WrapAdd32(p.y, stickOrigin.y), WrapAdd32(p.z, stickOrigin.z)};
    const int64_t u = Dot30(p.y, c, p.z, s);
    FixVec3 out;
    out.y = Dot30(p.y, s, -int64_t{p.z}, c);
    out.x = Dot30(u, dx, p.x, dz);
    out.z = Dot30(u, dz, -int64_t{p.x}, dx);
    if (point) {
      out.x = WrapAdd32(out.x, ball.x);
      out.z = WrapAdd32(out.z, ball.z);
    }
    return out;
  };
  for (size_t i = 0; i < stickPoints.size(); ++i) stickPointsPosed[i] = pose(stickPoints[i], true);
  for (size_t i = 0; i < stickDirections.size(); ++i) stickDirectionsPosed[i] = pose(stickDirections[i], false);
}

void Pool::OrientCueBall() {
  PoseCueStick();
  // Tip offsets in Fix30 (a side, b height); a tip past the edge of the ball
  // is moved onto the rim (depth 0) rather than giving a negative depth.
  int64_t a = std::clamp<int64_t>(int64_t{cueTip[0]} << 14, -kOne30, kOne30);
  int64_t b = std::clamp<int64_t>(int64_t{cueTip[1]} << 14, -kOne30, kOne30);
  const int64_t rimSq = a * a + b * b;
  if (rimSq > (int64_t{1} << 60)) {
    const int64_t rim = ISqrt64(static_cast<uint64_t>(rimSq));
    a = a * kOne30 / rim;
    b = b * kOne30 / rim;
  }
  const int64_t rest = (int64_t{1} << 60) - a * a - b * b;
  const int64_t e = rest > 0 ? ISqrt64(static_cast<uint64_t>(rest)) : 0;
  const FixSinCos sc = SinCos(cueElevation);
  const int64_t u = Mul30(e, sc.cos) + Mul30(b, sc.sin);
  const int64_t ny = std::clamp<int64_t>(Mul30(b, sc.cos) - Mul30(e, sc.sin), -kOne30, kOne30);
  // The stick side of the ball along the aim.
  const int64_t dx = cueDirection.x, dz = cueDirection.z;
  // n is a unit vector; the clamps only keep a stray direction's squares in range.
  const int64_t nx = std::clamp<int64_t>(Mul30(a, dz) + Mul30(u, dx), -kOne30, kOne30);
  const int64_t nz = std::clamp<int64_t>(Mul30(u, dz) - Mul30(a, dx), -kOne30, kOne30);

  // Rotation taking the marker at (0, 0, -1) to n: half-angle cosine first.
  const int64_t dz1 = nz - kOne30;
  const uint64_t lenSq = static_cast<uint64_t>(nx * nx + ny * ny + dz1 * dz1);
  const int64_t len = ISqrt64(lenSq);
  const int64_t w = std::clamp<int64_t>(((kOne30 - nz) / 2) * kOne30 / (len / 2 + 1), 0, kOne30);
  const int64_t s = ISqrt64(static_cast<uint64_t>((kOne30 * kOne30) - w * w));
  const int64_t r = ISqrt64(static_cast<uint64_t>(nx * nx + ny * ny));
  FixQuat q;
  q.w = static_cast<int32_t>(w);
  if (r != 0) {
    q.x = static_cast<int32_t>(ny * s / r);
    q.y = static_cast<int32_t>(-nx * s / r);
  } else {
    q.x = static_cast<int32_t>(s);
    q.y = 0;
  }
  q.z = 0;
  BallState& cue = ballStates[0];
  cue.orientation = q;
  cue.changed = 1;
}

int32_t Pool::ProbeCueLine(Fix30 dx, Fix30 dz) {
  const int ball = struckBall < kBallCount ? struckBall : 0;
  if (ballStates[static_cast<size_t>(ball)].state == kBallOff) return 0;
  // The probe borrows the prediction state; put it back afterwards.
  const auto savedMotions = motions;
  const auto savedPairs = pairTimes;
  const StepRecord savedRecord = Current();
  const uint32_t savedClock = simClock;

  ClearPredictions();
  simClock = 0;
  StepRecord& rec = Current();
  for (int b = 0; b < kBallCount; ++b) {
    BallEntry e;
    e.state = ballStates[static_cast<size_t>(b)].state == kBallOff ? kBallOff : kBallAtRest;
    e.position = ballStates[static_cast<size_t>(b)].position;
    e.orientation = ballStates[static_cast<size_t>(b)].orientation;
    if (b == ball) {
      e.state = kBallRolling;
      e.direction = FixVec3{dx, 0, dz};
      e.speed = kProbeSpeed;
      e.spinAxis = FixVec3{WrapNeg32(dz), 0, dx};
      e.spin = kProbeSpeed;
    }
    rec.ball[static_cast<size_t>(b)] = e;
    BuildMotion(b, e);
  }
  PredictBallEvents();
  PredictPairEvents();
  uint32_t t = motions[static_cast<size_t>(ball)].next.time;
  for (int j = 0; j < kBallCount; ++j) {
    const uint32_t p = pairTimes[static_cast<size_t>(ball)][static_cast<size_t>(j)];
    if (p < kPairNoContact) t = std::min(t, p);
  }

  motions = savedMotions;
  pairTimes = savedPairs;
  Current() = savedRecord;
  simClock = savedClock;

  if (t >= kPairNoContact) return 0;
  const uint32_t left = static_cast<uint32_t>(kProbeSpeed) - std::min<uint32_t>(UMulShr24(0x1E000, t), kProbeSpeed);
  return static_cast<int32_t>(std::min<uint32_t>(UMulShr24(left, t), 0x7FFFFFFF));
}

}  // namespace ks
