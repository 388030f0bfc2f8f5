#include "simulation/pool.h"

#include <cstring>

namespace ks {

Pool::Pool() {
  for (auto& row : pairTimes) row.fill(kNoTime);
  rules.PocketOf.fill(-1);
  InitPhysicsConstants();
  slidingFriction = kSlidingFrictionStart;
  InitCushionGeometry();
  InitPocketPositions();
  RackBalls();
}

// ---- clocks ----

void Pool::StartClock() {
  const uint32_t now = host ? host->GetTime() : 0;
  poolStartTime = now;
  shotStartTime = now;
  shotTimeScale = 1;
  shotTimeScaleRun = 1;
  shotStarted = 0;
  frameCounter = 0;
  frameCounterShot = 0;
}

uint32_t Pool::GetTime() const {
  const uint32_t now = host ? host->GetTime() : 0;
  return (now - poolStartTime) >> 2;
}

void Pool::SetShotTimeScale(int n) {
  // A scale of 2^8 or more would wrap the byte to 0 and divide by zero.
  if (n < 0) n = 0;
  if (n > 7) n = 7;
  shotTimeScale = static_cast<uint8_t>(1u << n);
}

void Pool::StartShotClock() {
  frameCounterShot = 0;
  shotStartTime = host ? host->GetTime() : 0;
  shotTimeScaleRun = shotTimeScale ? shotTimeScale : 1;
}

uint32_t Pool::GetShotTime() {
  const uint32_t now = host ? host->GetTime() : 0;
  const uint32_t scale = shotTimeScaleRun ? shotTimeScaleRun : 1u;
  shotClock = (now - shotStartTime) / (scale * 4u);
  return shotClock;
}

void Pool::ResetCue() {
  cueElevation = 768;
  cueTip = {0, 0};
  cueStrikeFactor = 0x20000;
  powerSetting = 4096;
}

void Pool::ResetTable() {
  replayAvailable = 0;
  camera.dirty = 0;
  camera.moved = 0;
  probeBall = 0;
  probeWord = 2;
  opponentIndex = -1;
  ResetCue();
}

// ---- camera ----

FixVec3 Pool::ProjectOnAxes(const FixVec3& point) const {
  const FixVec3 d{WrapSub32(point.x, camera.position.x), WrapSub32(point.y, camera.position.y),
                  WrapSub32(point.z, camera.position.z)};
  return FixVec3{Dot3Fix30(d, camera.right), Dot3Fix30(d, camera.up), Dot3Fix30(d, camera.forward)};
}

namespace {

// Turns the pair of axes (p, q) by the angle: p' = p cos + q sin, q' = q cos - p sin.
void TurnAxes(FixVec3& p, FixVec3& q, FixAngle angle) {
  const FixSinCos sc = SinCos(angle);
  auto mix = [&](int32_t a, int32_t b, int32_t ca, int32_t cb) {
    return Round64Shr30(WrapAdd64(SMul64(a, ca), SMul64(b, cb)));
  };
  const FixVec3 np{mix(p.x, q.x, sc.cos, sc.sin), mix(p.y, q.y, sc.cos, sc.sin), mix(p.z, q.z, sc.cos, sc.sin)};
  const FixVec3 nq{mix(q.x, p.x, sc.cos, WrapNeg32(sc.sin)), mix(q.y, p.y, sc.cos, WrapNeg32(sc.sin)),
                   mix(q.z, p.z, sc.cos, WrapNeg32(sc.sin))};
  p = np;
  q = nq;
  Normalize3D(p);
  Normalize3D(q);
}

}  // namespace

void Pool::OrbitCamera() {
  // The orbit point keeps its coordinates along the three axes.
  const FixVec3 before = ProjectOnAxes(camera.orbitPoint);
  const CameraBlock saved = camera;
  for (int attempt = 0; attempt < 32; ++attempt) {
    camera.right = saved.right;
    camera.up = saved.up;
    camera.forward = saved.forward;
    TurnAxes(camera.right, camera.forward, static_cast<FixAngle>(camera.turn[0]));  // heading
    TurnAxes(camera.up, camera.forward, static_cast<FixAngle>(camera.turn[1]));     // pitch
    TurnAxes(camera.right, camera.up, static_cast<FixAngle>(camera.turn[2]));       // roll
    const int32_t pitch = camera.turn[1];
    const bool tooLow = pitch < -1 && camera.forward.y < 0x3000000;
    const bool overTop = pitch > 1 && camera.up.y < 0;
    if (!tooLow && !overTop) break;
    camera.turn[1] = pitch >> 1;  // halve the pitch and try again (-1 becomes 0 eventually)
    if (camera.turn[1] == -1) camera.turn[1] = 0;
  }
  // Move the camera so the orbit point projects as before.
  const FixVec3 o = camera.orbitPoint;
  auto back = [&](int i) {
    return WrapAdd32(WrapAdd32(FixMul30(before.x, (&camera.right.x)[i]), FixMul30(before.y, (&camera.up.x)[i])),
                     FixMul30(before.z, (&camera.forward.x)[i]));
  };
  camera.position = FixVec3{WrapSub32(o.x, back(0)), WrapSub32(o.y, back(1)), WrapSub32(o.z, back(2))};
  camera.moved = 1;
}

void Pool::SetupTable() {
  probeBall = 0;
  headSpotZ = -3 * (table.hz >> 2);
  camera = CameraBlock{};
  camera.position = FixVec3{0, 0, -4996868};
  camera.orbitPoint = FixVec3{};
  OrbitCamera();
  OrbitCamera();
  // The cue points back along the camera's heading, on the axis whose plane
  // component is larger.
  const FixVec3 f = camera.forward;
  if (Abs32(f.x) > Abs32(f.z)) {
    cueDirection = FixVec3{f.x > 0 ? -kFixOne30 : kFixOne30, 0, 0};
  } else {
    cueDirection = FixVec3{0, 0, f.z > 0 ? -kFixOne30 : kFixOne30};
  }
  OnGameEventData(5, &cueDirection, 12);
  tableMode = 2;
}

void Pool::OnGameEvent(int code) {
  if (observer) observer->OnGameEvent(code);
}
void Pool::OnGameEventData(int code, const void* block, size_t size) {
  if (observer) observer->OnGameEventData(code, block, size);
}
void Pool::OnViewChanged() {
  if (observer) observer->OnViewChanged();
}

void Pool::PrepareOpponent() {
  gameTypeIndex = GameType - 1;
  skillIndex = skill - 1;
}

// ---- canonical state hash ----

namespace {

struct Hasher {
  uint64_t h = 1469598103934665603ull;
  void Word(uint64_t v) {
    for (int i = 0; i < 8; ++i) {
      h ^= (v >> (8 * i)) & 0xFF;
      h *= 1099511628211ull;
    }
  }
  void Signed(int64_t v) { Word(static_cast<uint64_t>(v)); }
  void Vec(const FixVec3& v) {
    Signed(v.x);
    Signed(v.y);
    Signed(v.z);
  }
  void Quat(const FixQuat& q) {
    Signed(q.w);
    Signed(q.x);
    Signed(q.y);
    Signed(q.z);
  }
};

}  // namespace

uint64_t Pool::StateHash() const {
  // The simulation's own state: the current step record, the motions, the
  // clocks and the facts for the rules. Shown orientations are left out, as
  // they depend on which frames happened to be drawn.
  Hasher h;
  const StepRecord& r = ring[ringCurrent >> 4];
  for (int b = 0; b < kBallCount; ++b) {
    const BallEntry& e = r.ball[static_cast<size_t>(b)];
    h.Word(e.state);
    h.Vec(e.position);
    h.Vec(e.direction);
    h.Signed(e.speed);
    h.Vec(e.spinAxis);
    h.Signed(e.spin);
    if (!fastSimulation) h.Quat(e.orientation);
    const BallState& s = ballStates[static_cast<size_t>(b)];
    h.Vec(s.position);
    h.Word(s.state);
  }
  for (const BallMotion& m : motions) {
    h.Word(m.state);
    h.Vec(m.start);
    h.Vec(m.direction);
    h.Vec(m.spinAxis);
    h.Signed(m.speed);
    h.Signed(m.spin);
    h.Word(m.startTime);
  }
  h.Word(simClock);
  h.Word(stepCount);
  h.Word(static_cast<uint32_t>(ringIndex));
  h.Word(rules.FirstHit);
  h.Word(rules.Scratch);
  for (int i = 0; i < kBallCount; ++i) {
    h.Signed(rules.PocketOf[static_cast<size_t>(i)]);
    h.Word(rules.RailAfterContact[static_cast<size_t>(i)]);
  }
  return h.h;
}

}  // namespace ks
