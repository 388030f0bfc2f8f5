// Ball motion in closed form and the cue strike.
#include "simulation/pool.h"

namespace ks {

namespace {

FixQuat HamiltonProduct(const FixQuat& r, const FixQuat& q) {
  auto sum4 = [](int64_t a, int64_t b, int64_t c, int64_t d) {
    return Round64Shr30(WrapAdd64(WrapAdd64(a, b), WrapAdd64(c, d)));
  };
  FixQuat o;
  o.w = sum4(SMul64(r.w, q.w), -SMul64(r.x, q.x), -SMul64(r.y, q.y), -SMul64(r.z, q.z));
  o.x = sum4(SMul64(r.w, q.x), SMul64(r.x, q.w), SMul64(r.y, q.z), -SMul64(r.z, q.y));
  o.y = sum4(SMul64(r.w, q.y), SMul64(r.y, q.w), SMul64(r.z, q.x), -SMul64(r.x, q.z));
  o.z = sum4(SMul64(r.w, q.z), SMul64(r.z, q.w), SMul64(r.x, q.y), -SMul64(r.y, q.x));
  return o;
}

uint32_t ClampU(int64_t v) {
  if (v < 0) return 0;
  if (v > 0x7FFFFFFF) return 0x7FFFFFFF;
  return static_cast<uint32_t>(v);
}

// Slip of a motion: direction in which friction acts and the contact speed.
void SlipOf(BallMotion& m) {
  FixVec3 c{WrapSub32(FixMul30(m.direction.x, m.speed), FixMul30(m.spinAxis.z, m.spin)), 0,
            WrapAdd32(FixMul30(m.direction.z, m.speed), FixMul30(m.spinAxis.x, m.spin))};
  m.slipSpeed = Length2D(c);
  Normalize2DScaled(c);
  m.slip = FixVec3{WrapNeg32(c.x), 0, WrapNeg32(c.z)};
}

}  // namespace

void Pool::InitPhysicsConstants() {
  rollingDecel = kRollingDecel;
  rollingDecel2 = kRollingDecel2;
  spinDecay = kSpinDecay;
  cushionFactor = kCushionFactor;
  knuckleFactor = kKnuckleFactor;
  jawFactor = kJawFactor;
  impactBias = kImpactBias;
  minimumPush = kMinimumPush;
  impactScale = kCushionImpactScale;
  slipThreshold = kCushionSlipThreshold;
  spinKeep = kCushionSpinKeep;
  rotationDivisor = kRotationDivisor;
  slidingFriction = (host && host->FrictionFlag()) ? 2 * kSlidingFriction : kSlidingFriction;
  slideTravelRate = static_cast<int32_t>(SMul64(slidingFriction, 2) / 7);
  slideSpinRate = static_cast<int32_t>(SMul64(slidingFriction, 5) / 7);
  slideTravelHalf = slideTravelRate >> 1;
  slideSpinHalf = slideSpinRate >> 1;
}

void Pool::EvaluateMotion(const BallMotion& m, uint32_t t, BallEntry& out) const {
  out.state = m.state;
  const uint32_t decay = UMulShr24(static_cast<uint32_t>(spinDecay), t);
  int32_t halfSpinForOrientation = 0;  // rolled surface speed averaged over t
  FixVec3 orientAxis = m.spinAxis;
  bool orientVertical = false;
  bool orientCopy = false;

  switch (m.state) {
    case kBallRolling: {
      // Never past the stop: the distance formula turns back after it.
      const uint32_t stop =
          static_cast<uint32_t>(ClampU((static_cast<int64_t>(m.speed) << 24) / (rollingDecel2 ? rollingDecel2 : 1)));
      const uint32_t tt = t < stop ? t : stop;
      const int32_t A = static_cast<int32_t>(UMulShr24(static_cast<uint32_t>(rollingDecel), tt));
      int32_t speed = t >= stop ? 0 : m.speed - 2 * A;
      if (speed < 0) speed = 0;
      int32_t spin;
      if ((m.spin >> 3) <= m.speed) {
        spin = m.speed > 0 ? static_cast<int32_t>((static_cast<int64_t>(speed) * m.spin) / m.speed) : 0;
      } else {
        spin = m.spin - static_cast<int32_t>(decay > 0x7FFFFFFF ? 0x7FFFFFFF : decay);
        if (spin < 0) spin = 0;
      }
      const int32_t D = static_cast<int32_t>(UMulShr24(static_cast<uint32_t>(m.speed - A), tt));
      out.position = FixVec3{WrapAdd32(m.start.x, FixMul30(m.direction.x, D)), 0,
                             WrapAdd32(m.start.z, FixMul30(m.direction.z, D))};
      out.direction = m.direction;
      out.spinAxis = m.spinAxis;
      out.speed = speed;
      out.spin = spin;
      halfSpinForOrientation = static_cast<int32_t>((static_cast<int64_t>(m.spin) + spin) / 2);
      break;
    }
    case kBallSliding: {
      const int32_t ux = FixMul24(FixMul30(m.slip.x, slideTravelHalf), static_cast<int32_t>(t));
      const int32_t uz = FixMul24(FixMul30(m.slip.z, slideTravelHalf), static_cast<int32_t>(t));
      out.position = FixVec3{
          WrapAdd32(m.start.x, FixMul24(WrapAdd32(ux, FixMul30(m.direction.x, m.speed)), static_cast<int32_t>(t))), 0,
          WrapAdd32(m.start.z, FixMul24(WrapAdd32(uz, FixMul30(m.direction.z, m.speed)), static_cast<int32_t>(t)))};
      const int32_t g = static_cast<int32_t>(UMulShr24(static_cast<uint32_t>(slideTravelRate), t));
      FixVec3 v{Round64Shr30(WrapAdd64(SMul64(m.speed, m.direction.x), SMul64(g, m.slip.x))), 0,
                Round64Shr30(WrapAdd64(SMul64(m.speed, m.direction.z), SMul64(g, m.slip.z)))};
      out.speed = Length2D(v);
      Normalize2DScaled(v);
      out.direction = out.speed ? FixVec3{v.x, 0, v.z} : m.direction;
      auto spinAt = [&](int32_t h) {
        return FixVec3{Round64Shr30(WrapAdd64(SMul64(m.spin, m.spinAxis.x), SMul64(h, m.slip.z))),
                       FixMul30(m.spin, m.spinAxis.y),
                       Round64Shr30(WrapSub64(SMul64(m.spin, m.spinAxis.z), SMul64(h, m.slip.x)))};
      };
      const int32_t h = static_cast<int32_t>(UMulShr24(static_cast<uint32_t>(slideSpinRate), t));
      FixVec3 w = spinAt(h);
      out.spin = Length3D(w);
      Normalize3DScaled(w);
      out.spinAxis = w;
      if (!fastSimulation) {
        FixVec3 half = spinAt(h >> 1);
        halfSpinForOrientation = Length3D(half);
        Normalize3DScaled(half);
        orientAxis = half;
        if (halfSpinForOrientation == 0) orientCopy = true;
      }
      break;
    }
    case kBallSpinning: {
      out.position = m.start;
      out.direction = FixVec3{};
      out.spinAxis = FixVec3{0, m.spinAxis.y, 0};
      out.speed = m.speed;
      int32_t spin = m.spin - static_cast<int32_t>(decay > 0x7FFFFFFF ? 0x7FFFFFFF : decay);
      if (spin < 0) spin = 0;
      out.spin = spin;
      halfSpinForOrientation = m.spin - static_cast<int32_t>((decay > 0x7FFFFFFF ? 0x7FFFFFFF : decay) / 2);
      if (halfSpinForOrientation < 0) halfSpinForOrientation = 0;
      orientVertical = true;
      break;
    }
    default:  // at rest or off the table
      out.position = m.start;
      out.orientation = m.orientation;
      out.direction = m.direction;
      out.spinAxis = m.spinAxis;
      out.speed = 0;
      out.spin = 0;
      return;
  }

  if (fastSimulation) return;  // the look-ahead has no use for orientation
  if (orientCopy || Abs32(FixMul24(m.spin, static_cast<int32_t>(t))) < 256) {
    out.orientation = m.orientation;
    return;
  }
  const uint32_t r = UMulShr24(static_cast<uint32_t>(halfSpinForOrientation), t);
  const FixAngle halfAngle = static_cast<FixAngle>((static_cast<uint64_t>(r) << 17) /
                                                   static_cast<uint64_t>(rotationDivisor > 0 ? rotationDivisor : 1));
  const FixSinCos sc = SinCos(halfAngle);
  FixQuat R;
  R.w = sc.cos;
  if (orientVertical) {
    R.y = m.spinAxis.y < 0 ? WrapNeg32(sc.sin) : sc.sin;
  } else {
    R.x = FixMul30(orientAxis.x, sc.sin);
    R.y = FixMul30(orientAxis.y, sc.sin);
    R.z = FixMul30(orientAxis.z, sc.sin);
  }
  out.orientation = HamiltonProduct(R, m.orientation);
}

void Pool::BuildMotion(int ball, const BallEntry& e) {
  BallMotion& m = motions[ball];
  m.orientation = e.orientation;
  m.start = e.position;
  m.direction = e.direction;
  m.spinAxis = e.spinAxis;
  m.startTime = simClock;
  m.speed = e.speed;
  m.spin = e.spin;
  m.state = e.state;
  m.slip = FixVec3{};
  m.slipSpeed = 0;
  m.next = BallEvent{};
  if (m.state == kBallSliding) ComputeSlip(ball);
}

void Pool::ComputeSlip(int ball) { SlipOf(motions[ball]); }

void Pool::ComputeBallStep() {
  simClock += timeToNextEvent;
  ringTime[static_cast<size_t>(ringIndex & 255)] = simClock;
  StepRecord& next = Next();
  if (timeToNextEvent == 0) {
    next = Current();
    return;
  }
  for (int b = 0; b < kBallCount; ++b) {
    EvaluateMotion(motions[b], simClock - motions[b].startTime, next.ball[b]);
  }
}

// ---- the strike ----

void Pool::BeginStrike(int32_t power) {
  if (power < 0) power = 0;
  if (power > kMaxStrikePower) power = kMaxStrikePower;
  strikePower = power;
  strikePending = 1;
  simClock = 0;
  grazingCount = 0;
  eventCount = 0;
  ringTime[0] = 0;
  StepRecord& r = ring[0];
  for (int b = 0; b < kBallCount; ++b) {
    BallEntry& e = r.ball[b];
    const BallState& s = ballStates[b];
    e = BallEntry{};
    e.position = s.position;
    e.orientation = s.orientation;
    e.state = s.state == kBallOff ? kBallOff : kBallAtRest;
  }
}

void Pool::AimFromCue() {
  tip = cueTip;
  BallEntry& cue = ring[0].ball[0];
  FixVec3 d{WrapNeg32(cueDirection.x), 0, WrapNeg32(cueDirection.z)};
  if (d.x == 0 && d.z == 0) d.z = kFixOne30;  // no aim given: straight up the table
  const int64_t lenSq = SMul64(d.x, d.x) + SMul64(d.z, d.z);
  // Aim vectors from outside may not be unit length.
  if (lenSq < (int64_t{1} << 59) || lenSq > (int64_t{1} << 61)) Normalize2DScaled(d);
  cue.direction = d;
  elevation = SinCos(cueElevation);
}

void Pool::StrikeCueBall() {
  BallEntry& cue = ring[0].ball[0];
  if (cue.state == kBallOff) return;
  const int32_t e = tip[0];  // side
  // Positive height strikes above the centre: follow (top spin).
  const int32_t f = tip[1];
  const FixVec3 d = cue.direction;
  const int64_t P = strikePower;
  const uint32_t b = ISqrt64(static_cast<uint64_t>(SMul64(e, e)) + static_cast<uint64_t>(SMul64(f, f)));
  // N = (5 b^2 + 2 * 2^32) / 16; tips are kept near the ball, but clamp so
  // nothing overflows whatever a caller passes.
  const uint32_t bc = b > 0x40000u ? 0x40000u : b;
  const int64_t bc2 = static_cast<int64_t>(static_cast<uint64_t>(bc) * bc);
  const int64_t N = (5 * bc2 + (int64_t{2} << 32)) / 16;
  const int32_t u = static_cast<int32_t>((P << 29) / N);
  const int32_t speed = FixMul30(u, elevation.cos);
  const int32_t w = static_cast<int32_t>((20480 * static_cast<int64_t>(bc) * P) / N);
  cue.speed = speed;
  cue.spin = w;
  cue.state = kBallSliding;
  if (w != 0) {
    const int32_t sn = elevation.sin;
    const int32_t cs = elevation.cos;
    FixVec3 s;
    s.y = FixMul30(e, cs);
    const int32_t a = WrapNeg32(FixMul30(e, sn));
    // Natural roll about (-d.z, 0, d.x): the height term enters with that sign.
    s.x = Round64Shr30(WrapAdd64(-SMul64(f, d.z), SMul64(a, d.x)));
    s.z = Round64Shr30(WrapAdd64(SMul64(f, d.x), SMul64(a, d.z)));
    Normalize3DScaled(s);
    cue.spinAxis = s;
    if (FixMul30(s.x, w) == WrapNeg32(FixMul30(d.z, speed)) && FixMul30(s.z, w) == FixMul30(d.x, speed)) {
      cue.state = kBallRolling;
    }
  } else {
    cue.spinAxis = FixVec3{WrapNeg32(d.z), 0, d.x};
    cue.spin = 0;
  }
  if (cue.speed == 0 && cue.spin == 0) cue.state = kBallAtRest;
}

void Pool::StartMotions() {
  ClearPredictions();
  StepRecord& r = ring[0];
  for (int b = 0; b < kBallCount; ++b) BuildMotion(b, r.ball[b]);
  ringCurrent = 0;
  ringPrevIndex = 0;
  ringIndex = 1;
  ringNext = 16;
  ringLead = 1;
  eventCount = 0;
  timeToNextEvent = kNoTime;
}

void Pool::ClearPredictions() {
  for (auto& row : pairTimes) row.fill(kNoTime);
  for (auto& m : motions) m.next = BallEvent{};
}

void Pool::BeginShot() {
  shotRunning = 1;
  StrikeFromCue(strikePower);
  if (!silent) {
    int32_t p = strikePower < 0 ? 0 : strikePower;
    uint32_t v = static_cast<uint32_t>(p) >> 7;
    if (v > 65535) v = 65535;
    static constexpr int kClass[4] = {0, 1, 1, 2};
    PlayEffect(4 + kClass[v >> 14], 0);
  }
}

void Pool::StrikeFromCue(int32_t power) {
  BeginStrike(power);
  AimFromCue();
  StrikeCueBall();
  StartMotions();
}

void Pool::StrikePreview(int32_t power) { StrikeFromCue(power); }

void Pool::StrikeWithParameters(const int32_t block[6]) {
  if (!block) return;
  strikePower = block[0];
  cueElevation = static_cast<FixAngle>(block[1]) & kAngleMask;
  cueDirection = FixVec3{block[2], 0, block[3]};
  cueTip = {WrapNeg32(block[4]), block[5]};
  StrikeFromCue(strikePower);
}

void Pool::InterpolateBalls(const StepRecord& record, uint32_t offset) {
  uint8_t running = 0;
  for (int b = 0; b < kBallCount; ++b) {
    const BallEntry& e = record.ball[b];
    BallState& s = ballStates[b];
    const uint8_t oldState = s.state;
    const FixVec3 oldPos = s.position;
    const FixQuat oldQuat = s.orientation;
    if (e.state == kBallAtRest) {
      if (s.position.x != e.position.x || s.position.z != e.position.z) {
        s.position = e.position;
        s.orientation = e.orientation;
      }
    } else if (e.state == kBallOff) {
      s.position = FixVec3{};
    } else {
      BallMotion m;
      m.orientation = e.orientation;
      m.start = e.position;
      m.direction = e.direction;
      m.spinAxis = e.spinAxis;
      m.speed = e.speed;
      m.spin = e.spin;
      m.state = e.state;
      if (m.state == kBallSliding) SlipOf(m);
      BallEntry out = e;
      EvaluateMotion(m, offset, out);
      s.position = out.position;
      s.orientation = out.orientation;
      running = 1;
    }
    s.state = e.state;
    if (s.state != oldState || !(s.position == oldPos) || !(s.orientation == oldQuat)) s.changed = 1;
  }
  shotRunning = running;
}

}  // namespace ks
