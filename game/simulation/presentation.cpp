// The computer's turn as the player sees it: the cue ball carried to its
// spot, the aim turning to the planned direction and the stroke, each an
// animation driven once a frame that returns 1 when it is complete.
#include <algorithm>

#include "simulation/pool.h"

namespace ks {

namespace {

// Progress p = ticks x 3; complete at 512 (about 0.68 s).
constexpr int32_t kEaseEnd = 512;

// 1 - (1 - t)^2 for t = p / 512, in Fix16.
int32_t Ease(int32_t p) {
  const int32_t u = 256 - p / 2;
  return 0x10000 - u * u;
}

// Radians (Fix16) to a FixAngle: x 400 / 628.
int32_t RadiansToAngle(Fix16 r) { return static_cast<int32_t>(static_cast<int64_t>(r) * 400 / 628); }

int32_t WrapHalfTurn(int32_t a) {
  a &= static_cast<int32_t>(kAngleMask);
  if (a >= 0x20000) a -= 0x40000;
  return a;
}

}  // namespace

void Pool::AiSetBallTarget(FixVec2 spot) {
  aiShow.start = GetTime();
  aiShow.ballStart = FixVec2{ballStates[0].position.x, ballStates[0].position.z};
  aiShow.ballTarget = spot;
  aiShow.ballDelta = FixVec2{WrapSub32(spot.x, aiShow.ballStart.x), WrapSub32(spot.z, aiShow.ballStart.z)};
}

int Pool::AiAnimateBall() {
  const int32_t p = static_cast<int32_t>(std::min<uint32_t>((GetTime() - aiShow.start) * 3u, kEaseEnd));
  BallState& cue = ballStates[0];
  if (p >= kEaseEnd) {
    cue.position = FixVec3{aiShow.ballTarget.x, 0, aiShow.ballTarget.z};
  } else {
    const int32_t e = Ease(p);
    cue.position = FixVec3{WrapAdd32(aiShow.ballStart.x, FixMul16(aiShow.ballDelta.x, e)), 0,
                           WrapAdd32(aiShow.ballStart.z, FixMul16(aiShow.ballDelta.z, e))};
  }
  cue.changed = 1;
  OnGameEventData(10, &cue.position, 12);
  return p >= kEaseEnd ? 1 : 0;
}

void Pool::AiSetAimTarget(FixVec2 direction, Fix16 side, Fix16 height, FixAngle elevationAngle) {
  aiShow.start = GetTime();
  aiShow.tipTarget = {WrapNeg32(side), height};
  cueTip = aiShow.tipTarget;
  aiShow.elevationStart = cueElevation;
  aiShow.elevationTarget = elevationAngle & kAngleMask;
  aiShow.elevationDelta =
      WrapHalfTurn(static_cast<int32_t>(aiShow.elevationTarget) - static_cast<int32_t>(cueElevation));
  aiShow.aimTarget = direction;
  const int32_t x = cueDirection.x, z = cueDirection.z;
  int32_t start = RadiansToAngle(ArcTan2(x, z));
  if (z >= 1 && x < 1) start += 0x20000;
  if (z >= 1 && x >= 1) start -= 0x20000;
  aiShow.headingStart = static_cast<FixAngle>(start) & kAngleMask;
  const int32_t px = direction.x, pz = direction.z;
  int32_t target = RadiansToAngle(ArcTan2(WrapNeg32(px), WrapNeg32(pz)));
  if (pz > 0 && px < 1) target += 0x20000;
  if (pz > 0 && px >= 1) target -= 0x20000;
  aiShow.headingDelta = WrapHalfTurn(target - static_cast<int32_t>(aiShow.headingStart));
}

int Pool::AiAnimateAim() {
  const int32_t p = static_cast<int32_t>(std::min<uint32_t>((GetTime() - aiShow.start) * 3u, kEaseEnd));
  if (p < kEaseEnd) {
    const FixAngle a = aiShow.headingStart + static_cast<FixAngle>(FixMul16(aiShow.headingDelta, Ease(p)));
    camera.viewHeading = (a - 0x20000u) & kAngleMask;
    const FixSinCos sc = SinCos(a);
    cueDirection = FixVec3{sc.cos, 0, sc.sin};
    OnGameEventData(5, &cueDirection, 12);
    return 0;
  }
  cueElevation = aiShow.elevationTarget;
  cueDirection = FixVec3{WrapNeg32(aiShow.aimTarget.x), 0, WrapNeg32(aiShow.aimTarget.z)};
  camera.viewHeading =
      static_cast<FixAngle>(WrapHalfTurn(static_cast<int32_t>(aiShow.headingStart) - 0x20000 + aiShow.headingDelta));
  OnGameEventData(5, &cueDirection, 12);
  OnGameEventData(6, cueTip.data(), 8);
  OnGameEventData(8, &cueElevation, 4);
  return 1;
}

void Pool::AiStartStroke(int32_t power) {
  aiShow.start = GetTime();
  aiShow.strokePower = power < 0 ? 0 : power;
  aiShow.strokeBase = 0x30000;
  aiShow.strokeDelta = (aiShow.strokePower >> 4) - 0x20000;
  aiShow.strokePhase = 0;
  aiShow.strokeDistance = aiShow.strokeBase;
}

int Pool::AiAnimateStroke() {
  const int32_t back = aiShow.strokePower >> 4;
  if (aiShow.strokePhase < 4) {
    const int32_t q = static_cast<int32_t>(std::min<uint32_t>((GetTime() - aiShow.start) * 3u / 2u, 128));
    const int32_t r = (128 - q) * 2;
    aiShow.strokeDistance = WrapAdd32(aiShow.strokeBase, FixMul16(aiShow.strokeDelta, 0x10000 - r * r));
    OnGameEventData(7, &aiShow.strokeDistance, 4);
    if (q < 128) return 0;
    // The cue draws back, moves up, draws back again and settles before the strike.
    switch (aiShow.strokePhase) {
      case 0:
        aiShow.strokeBase = back + 0x10000;
        aiShow.strokeDelta = 0x20000 - aiShow.strokeBase;
        break;
      case 1:
        aiShow.strokeBase = 0x20000;
        aiShow.strokeDelta = back - 0x10000;
        break;
      case 2:
        aiShow.strokeBase = back + 0x10000;
        aiShow.strokeDelta = 0x10000 - aiShow.strokeBase;
        break;
      default:
        // The final push takes the tip from where it settled to the ball.
        aiShow.strokeBase = 0x10000;
        aiShow.strokeDelta = -0x10000;
        SetShotStarted();
        aiShow.start = GetShotTime();
        ++aiShow.strokePhase;
        return 0;
    }
    ++aiShow.strokePhase;
    aiShow.start = GetTime();
    return 0;
  }
  const uint32_t elapsed = GetShotTime() - aiShow.start;
  const int32_t k = static_cast<int32_t>(std::min<uint32_t>(elapsed, 15));
  aiShow.strokeDistance = WrapAdd32(aiShow.strokeBase, aiShow.strokeDelta * k / 15);
  OnGameEventData(7, &aiShow.strokeDistance, 4);
  return k >= 15 ? 1 : 0;
}

}  // namespace ks
