#include "play/control.h"

#include <algorithm>
#include <cmath>

#include "play/table_scene.h"
#include "play/view.h"
#include "simulation/ai.h"
#include "simulation/pool.h"

namespace ks::play {
namespace {

constexpr std::int32_t kClearancePerPixel = 0x6000;
constexpr std::int32_t kArmPen = 0x20000;  // pulled back this far beyond rest, a pen stroke is armed
constexpr std::int32_t kArmKey = 0x14000;
constexpr Fix16 kAimHeight = 0x20000;
constexpr std::int32_t kMaxElevation = 0x10E00;

// max(1, held / per). A key held for more than a minute counts as held for
// one, which keeps the products of the hold factors well inside 32 bits.
std::int32_t HoldFactor(std::uint32_t held, std::uint32_t per) {
  return static_cast<std::int32_t>(std::max<std::uint32_t>(1, std::min<std::uint32_t>(held, 60000) / per));
}

void MarkView(View* v) {
  if (v == nullptr) return;
  v->matrixChanged = 1;
  v->dirty = 1;
}

Fix16 ClampTip(std::int64_t value, Fix16 other) {
  const std::int64_t limit =
      static_cast<std::int64_t>(
          ISqrt64(static_cast<std::uint64_t>(std::max<std::int64_t>(0, 0x90000000LL - std::int64_t{other} * other)))) -
      16;
  return static_cast<Fix16>(
      std::clamp<std::int64_t>(value, -std::max<std::int64_t>(limit, 0), std::max<std::int64_t>(limit, 0)));
}

}  // namespace

// ---- turning the view ----

std::uint32_t RotateViewMode::OnPenDown(const InputEvent& e) {
  penDown = true;
  penX = PenX(e);
  penY = PenY(e);
  return 0;
}

std::uint32_t RotateViewMode::OnPenMove(const InputEvent& e) {
  if (!penDown) return 0;
  View* v = GetTop();
  const int dx = PenX(e) - penX, dy = PenY(e) - penY;
  if (v != nullptr) {
    // Quadratic in the drag; a jump of the whole 16-bit range stays in range.
    auto turn = [](std::int64_t d, std::int64_t k) {
      return static_cast<std::int32_t>(std::clamp<std::int64_t>(k * d * (d < 0 ? -d : d), -0x40000, 0x40000));
    };
    v->Rotate(turn(dy, -4), turn(dx, 16), 0);
    MarkView(v);
  }
  penX = PenX(e);
  penY = PenY(e);
  return 0;
}

std::uint32_t RotateViewMode::OnPenUp(const InputEvent&) {
  penDown = false;
  return 0;
}

std::uint32_t RotateViewMode::OnKeyDown(const InputEvent& e) {
  View* v = GetTop();
  if (v == nullptr || keyMap == nullptr) return 0;
  const std::uint32_t held = HoldTime(e);
  const int action = keyMap->ActionOf(e.wParam);
  const KeyMap::Arrow arrow = KeyMap::ArrowOf(action);
  const int yawDirection = arrow.x, pitchDirection = arrow.y;
  penX = PenX(e);
  penY = PenY(e);
  if (yawDirection == 0 && pitchDirection == 0) return 0;
  // Slow at first, faster the longer the key is held.
  const std::int32_t ab = HoldFactor(held, 30) * HoldFactor(held, 200);
  v->Rotate(4 * ab * pitchDirection, 9 * ab * yawDirection, 0);
  MarkView(v);
  return 0;
}

std::uint32_t CueAngleMode::OnKeyDown(const InputEvent& e) {
  const std::uint32_t held = HoldTime(e);
  const int action = keyMap != nullptr ? keyMap->ActionOf(e.wParam) : -1;
  const int direction = KeyMap::ArrowOf(action).y;
  const std::int64_t elevation = std::int64_t{pool->cueElevation} - 100LL * HoldFactor(held, 40) * direction;
  pool->cueElevation = static_cast<FixAngle>(std::clamp<std::int64_t>(elevation, 0, kMaxElevation));
  pool->PoseCueStick();
  if (View* v = GetTop()) {
    MarkView(v);
    v->cueTilt = 1;
    v->Rotate(0, 0, 0);
    v->cueTilt = 0;
  }
  return 0;
}

std::uint32_t CueTipMode::OnKeyDown(const InputEvent& e) {
  const std::uint32_t held = HoldTime(e);
  const int action = keyMap != nullptr ? keyMap->ActionOf(e.wParam) : -1;
  const KeyMap::Arrow arrow = KeyMap::ArrowOf(action);
  const int vertical = arrow.y, horizontal = -arrow.x;
  const std::int64_t k = HoldFactor(held, 50);
  pool->cueTip[0] = ClampTip(std::int64_t{pool->cueTip[0]} - 100 * k * horizontal, pool->cueTip[1]);
  pool->cueTip[1] = ClampTip(std::int64_t{pool->cueTip[1]} - 100 * k * vertical, pool->cueTip[0]);
  pool->PoseCueStick();
  MarkView(GetTop());
  return 0;
}

std::uint32_t RotateViewMode::OnKeyUp(const InputEvent& e) {
  keyUpTime = e.time;
  return 0;
}

// ---- aiming and the stroke ----

void AimMode::CueFromAim() {
  if (pool == nullptr) return;
  const FixSinCos sc = SinCos(static_cast<FixAngle>(0x30000 - aimDirection));
  FixVec3 d{sc.cos, 0, sc.sin};
  Normalize2D(d);
  pool->cueDirection = d;
  // Kept with the table state, so that a held match resumes with this aim.
  pool->rules.viewAngle = aimDirection & 0x3FFFF;
  pool->PoseCueStick();
}

void AimMode::TurnSetup(bool resetTip) {
  View* v = GetTop();
  if (v == nullptr || pool == nullptr) return;
  const BallState& cue = pool->ballStates[0];
  v->cueTilt = 1;
  v->SetTarget(FixVec3{-cue.position.x, kAimHeight, -cue.position.z});
  v->yaw = aimDirection;
  v->pitch = aimPitch;
  v->SetDistance(aimDistance);
  v->Recompute();
  v->Apply();
  v->cueTilt = 0;
  strokeDone = true;
  strokeDrag = false;
  armed = false;
  penDown = false;
  clearance = kRestClearance;
  keyUpTime = 1;
  holdStart = 0;
  if (host != nullptr && host->scene != nullptr) host->scene->stickShown = true;
  if (resetTip) pool->cueTip = {0, 0};
  pool->OrientCueBall();
  CueFromAim();
  MarkView(v);
}

// The heading from the cue ball to the target: 0 sends the cue ball
// towards +z, a quarter turn towards +x.
void AimMode::AimAtBall(int ball) {
  if (pool == nullptr) return;
  const FixVec3 c = pool->ballStates[0].position, t = pool->ballStates[static_cast<std::size_t>(ball)].position;
  const std::int32_t dx = WrapSub32(c.x, t.x), dz = WrapSub32(c.z, t.z);
  std::int64_t angle;
  if (dz == 0) {
    // Straight across: the arctangent's sign would point the cue away.
    angle = dx < 0 ? 0x10000 : 0x30000;
  } else {
    angle = std::int64_t{ArcTan2(dx, dz)} * 400 / 628;
    if (dz >= 1) angle += dx >= 0 ? 0x20000 : -0x20000;
    if (angle < 0) angle += 0x40000;
  }
  aimDirection = static_cast<FixAngle>(angle & 0x3FFFF);
}

void AimMode::RotationStart() {
  if (pool == nullptr) return;
  for (int b = 1; b < kBallCount; ++b) {
    if (pool->ballStates[static_cast<std::size_t>(b)].state == kBallOff) continue;
    AimAtBall(b);
    return;
  }
}

void AimMode::NearestBallStart() {
  if (pool == nullptr) return;
  int lo = 1, hi = 15;
  bool eight = false;
  if (pool->GameType == 2) {
    const bool solids = pool->rules.CurrentPlayer + 1 == pool->rules.SolidsOwner;
    lo = solids ? 1 : 9;
    hi = solids ? 7 : 15;
    eight = pool->IsGroupCleared();
  }
  const FixVec3 c = pool->ballStates[0].position;
  int best = -1;
  std::uint64_t bestDistance = 0;
  for (int b = lo; b <= hi; ++b) {
    const BallState& s = pool->ballStates[static_cast<std::size_t>(b)];
    if (s.state == kBallOff) continue;
    const std::int64_t dx = std::int64_t{s.position.x} - c.x, dz = std::int64_t{s.position.z} - c.z;
    // Whole distances: two balls as far within a unit keep the lower number.
    const std::uint64_t d = ISqrt64(static_cast<std::uint64_t>(dx * dx) + static_cast<std::uint64_t>(dz * dz));
    if (best < 0 || d < bestDistance) best = b, bestDistance = d;
  }
  if (best < 0 && eight && pool->ballStates[8].state != kBallOff) best = 8;
  if (best >= 0) AimAtBall(best);
}

void AimMode::Record(std::int32_t c, std::uint32_t time) {
  clearanceRing[static_cast<std::size_t>(ringPosition)] = c;
  timeRing[static_cast<std::size_t>(ringPosition)] = time;
  ringPosition = (ringPosition + 1) & 15;
  clearance = c;
}

// The speed of the stick over its last two samples. A drag of only two
// samples reads the seed that pen-down put in every ring slot, never an
// entry left from an earlier drag.
std::int64_t AimMode::StrokeSpeed(bool* forward) const {
  const int i = (ringPosition + 15) & 15, j = (ringPosition + 13) & 15;
  const std::int64_t delta =
      std::int64_t{clearanceRing[static_cast<std::size_t>(j)]} - clearanceRing[static_cast<std::size_t>(i)];
  const std::int64_t dt =
      static_cast<std::int32_t>(timeRing[static_cast<std::size_t>(i)] - timeRing[static_cast<std::size_t>(j)]);
  *forward = delta >= 0;
  if (delta < 0) return 0;
  if (dt <= 0) return kMaxStrikePower;
  return (delta << 16) / (dt * 600) * (host != nullptr ? host->strokeFactor : 8);
}

// The balls are saved for a replay or rewind by the Control once it starts
// the shot: a stroke it refuses (a shot or rewind still running) must not
// overwrite them.
std::uint32_t AimMode::StartStroke(std::int64_t speed) {
  View* v = GetTop();
  if (v != nullptr) aimDirection = v->yaw & 0x3FFFF;
  CueFromAim();
  pool->strikePower = static_cast<std::int32_t>(std::clamp<std::int64_t>(speed, 0, kMaxStrikePower));
  pool->SetShotTimeScale(0);
  pool->rules.Outcome = 0;
  clearance = kRestClearance;
  strokeDone = true;
  strokeDrag = false;
  armed = false;
  penDown = false;
  moveCount = 0;
  if (v != nullptr) v->stickOnly = 0;
  if (host != nullptr && host->scene != nullptr) host->scene->stickShown = false;
  pool->ResetShot();
  return kResultStartShot;
}

void AimMode::Cancel() {
  penDown = false;
  strokeDrag = false;
  tipDrag = false;
  strokeDone = true;
  armed = false;
  clearance = kRestClearance;
  moveCount = 0;
  View* v = GetTop();
  if (v != nullptr) v->stickOnly = 0;
  MarkView(v);
}

// From the second step of a stroke on, only the stick moves: the frame puts
// back what lay under it and draws it again, nothing else.
void AimMode::StrokeStep() {
  ++moveCount;
  View* v = GetTop();
  if (v != nullptr && moveCount >= 2) v->stickOnly = 1;
}

namespace {
// The pen is within 3 pixels of the box round an outline on the screen.
bool InOutline(const std::function<int(std::int32_t*, int)>& outline, int x, int y) {
  if (!outline) return false;
  std::array<std::int32_t, 32> points{};
  const int n = std::min(outline(points.data(), 16), 16);
  if (n < 4) return false;
  // The box round the outline: whichever way the screen is turned, the
  // quad's top, bottom and sides are its extremes.
  std::int32_t left = points[0], right = points[0], top = points[1], bottom = points[1];
  for (int i = 1; i < n; ++i) {
    left = std::min(left, points[static_cast<std::size_t>(2 * i)]);
    right = std::max(right, points[static_cast<std::size_t>(2 * i)]);
    top = std::min(top, points[static_cast<std::size_t>(2 * i + 1)]);
    bottom = std::max(bottom, points[static_cast<std::size_t>(2 * i + 1)]);
  }
  return x >= left - 3 && x <= right + 3 && y >= top - 3 && y <= bottom + 3;
}
}  // namespace

bool AimMode::OnGrip(int x, int y) const { return host != nullptr && InOutline(host->gripOutline, x, y); }

bool AimMode::OnTip(int x, int y) const { return host != nullptr && InOutline(host->tipOutline, x, y); }

void AimMode::SetTip(std::int64_t x, std::int64_t y) {
  pool->cueTip[0] = ClampTip(x, pool->cueTip[1]);
  pool->cueTip[1] = ClampTip(y, pool->cueTip[0]);
  // The tip's depth on the ball: the stick stays half a radius behind it.
  const std::int64_t tx = pool->cueTip[0], ty = pool->cueTip[1];
  const std::int64_t depth = ISqrt64(static_cast<std::uint64_t>((std::int64_t{1} << 32) - tx * tx - ty * ty));
  clearance = static_cast<std::int32_t>(std::max<std::int64_t>(clearance, depth + 0x8000));
  pool->OrientCueBall();
}

std::uint32_t AimMode::OnPenDown(const InputEvent& e) {
  pool->rules.Outcome = 0;
  penDown = true;
  penX = PenX(e);
  penY = PenY(e);
  // A drag that starts on the stick's tip moves the tip's point on the ball;
  // one that starts on its grip pulls the stick back.
  tipDrag = OnTip(penX, penY);
  strokeDrag = !tipDrag && OnGrip(penX, penY);
  strokeStartY_ = penY;
  strokeDone = false;
  armed = false;
  moveCount = 0;
  clearance = kRestClearance;
  // Every ring slot starts as the stick at rest at the press.
  clearanceRing.fill(kRestClearance);
  timeRing.fill(e.time);
  ringPosition = 0;
  MarkView(GetTop());
  return 0;
}

std::uint32_t AimMode::OnPenMove(const InputEvent& e) {
  if (!penDown) {
    // A move without a press starts a drag here.
    penDown = true;
    penX = PenX(e);
    penY = PenY(e);
    strokeDrag = false;
    tipDrag = false;
    strokeDone = true;
    return 0;
  }
  if (tipDrag) {
    // Offsets from the press, a 32nd of the ball's radius a pixel, eased
    // towards the middle once the tip leaves the ball's centre.
    std::int64_t x = ClampTip(std::int64_t{PenX(e) - penX} * -2048, pool->cueTip[1]);
    std::int64_t y = ClampTip(std::int64_t{PenY(e) - penY} * 2048, static_cast<Fix16>(x));
    const std::int64_t d = ISqrt64(static_cast<std::uint64_t>((std::int64_t{1} << 32) - x * x - y * y));
    if (d > 0x8000) {
      const std::int64_t k = (std::int64_t{1} << 31) / d;
      x = (x * k) >> 16;
      y = (y * k) >> 16;
    }
    SetTip(x, y);
    MarkView(GetTop());
    return 0;
  }
  if (strokeDrag) {
    StrokeStep();
    if (strokeDone) return 0;
    const std::int32_t c = (PenY(e) - strokeStartY_) * kClearancePerPixel + kRestClearance;
    Record(c, e.time);
    if (c > kRestClearance + kArmPen) armed = true;
    if (c < kRestClearance + kArmPen) {
      if (!armed) {
        clearance = kRestClearance;
      } else {
        bool forward = false;
        const std::int64_t speed = StrokeSpeed(&forward);
        if (forward) return StartStroke(speed);
        Cancel();
      }
    }
    return 0;
  }
  RotateViewMode::OnPenMove(e);
  View* v = GetTop();
  if (v != nullptr) {
    aimDirection = v->yaw & 0x3FFFF;
    aimPitch = v->pitch;
  }
  CueFromAim();
  return 0;
}

std::uint32_t AimMode::OnPenUp(const InputEvent& e) {
  if (!penDown) return 0;
  if (strokeDrag) StrokeStep();
  if (strokeDrag && !strokeDone) {
    const std::int32_t c = (PenY(e) - strokeStartY_) * kClearancePerPixel + kRestClearance;
    Record(c, e.time);
    if (armed) {
      bool forward = false;
      const std::int64_t speed = StrokeSpeed(&forward);
      if (forward) return StartStroke(speed);
    }
  }
  Cancel();
  return 0;
}

std::uint32_t AimMode::OnKeyDown(const InputEvent& e) {
  pool->rules.Outcome = 0;
  const int action = keyMap != nullptr ? keyMap->ActionOf(e.wParam) : -1;
  View* v = GetTop();
  switch (action) {
    case KeyMap::kStrokeCue: {
      const std::uint32_t held = HoldTime(e);
      strokeDrag = true;
      strokeDone = false;
      StrokeStep();
      const std::int64_t grown = std::int64_t{clearance} + 800LL * HoldFactor(held, 15);
      clearance = static_cast<std::int32_t>(std::min<std::int64_t>(grown, kMaxKeyClearance));
      if (clearance > kRestClearance + kArmKey) armed = true;
      return 0;
    }
    case KeyMap::kZoomIn:
    case KeyMap::kZoomOut:
      HoldTime(e);
      if (v != nullptr) {
        v->Zoom(action == KeyMap::kZoomIn ? -0x10000 : 0x10000);
        aimDistance = v->eye.z;
        MarkView(v);
      }
      return 0;
    case KeyMap::kCueUp:
    case KeyMap::kCueDown: {
      const std::int32_t k = HoldFactor(HoldTime(e), 40);
      const std::int32_t e2 = pool->cueElevation + (action == KeyMap::kCueUp ? 100 : -100) * k;
      pool->cueElevation = std::clamp(e2, 0, kMaxElevation);
      pool->PoseCueStick();
      MarkView(v);
      return 0;
    }
    case KeyMap::kTipLeft:
    case KeyMap::kTipRight:
    case KeyMap::kTipUp:
    case KeyMap::kTipDown: {
      const std::int32_t k = HoldFactor(HoldTime(e), 50);
      std::int64_t x = pool->cueTip[0], y = pool->cueTip[1];
      if (action == KeyMap::kTipLeft) x += 100 * k;
      if (action == KeyMap::kTipRight) x -= 100 * k;
      if (action == KeyMap::kTipUp) y -= 100 * k;
      if (action == KeyMap::kTipDown) y += 100 * k;
      SetTip(x, y);
      MarkView(v);
      return 0;
    }
    default:
      break;
  }
  RotateViewMode::OnKeyDown(e);
  if (v != nullptr) {
    aimDirection = v->yaw & 0x3FFFF;
    aimPitch = v->pitch;
  }
  CueFromAim();
  return 0;
}

std::uint32_t AimMode::OnKeyUp(const InputEvent& e) {
  keyUpTime = e.time;
  if (strokeDrag) {
    if (armed) {
      const std::int64_t speed = std::int64_t{clearance} * 8;
      return StartStroke(speed);
    }
    Cancel();
    return 0;
  }
  return RotateViewMode::OnKeyUp(e);
}

// ---- moving and zooming the view ----

std::uint32_t MoveViewMode::OnPenDown(const InputEvent& e) {
  penX = PenX(e);
  penY = PenY(e);
  return 0;
}

void MoveViewMode::MoveBy(int dx, int dy) {
  View* v = GetTop();
  if (v == nullptr) return;
  // A quarter ball radius a pixel; the target stays over the table.
  const FixVec3 d = v->TurnByYaw(FixVec3{dx * 0x4000, 0, -dy * 0x4000});
  v->Move(d);
  v->Recompute();
  v->Apply();
  MarkView(v);
}

std::uint32_t MoveViewMode::OnPenMove(const InputEvent& e) {
  MoveBy(PenX(e) - penX, PenY(e) - penY);
  penX = PenX(e);
  penY = PenY(e);
  return 0;
}

std::uint32_t MoveViewMode::OnKeyDown(const InputEvent& e) {
  const std::uint32_t held = std::min<std::uint32_t>(HoldTime(e), 20000);
  const int action = keyMap != nullptr ? keyMap->ActionOf(e.wParam) : -1;
  const KeyMap::Arrow arrow = KeyMap::ArrowOf(action);
  const int h = arrow.x, v = -arrow.y;
  // Nothing for the first 450 ms, then faster with the square of the hold.
  const int step = static_cast<int>((held / 450) * (held / 135));
  if (step != 0 && (h != 0 || v != 0)) MoveBy(-step * h, -step * v);
  return 0;
}

std::uint32_t MoveViewMode::OnKeyUp(const InputEvent& e) {
  keyUpTime = e.time;
  return 0;
}

std::uint32_t KeyTurnMode::OnPenDown(const InputEvent& e) {
  penX = PenX(e);
  penY = PenY(e);
  return 0;
}

std::uint32_t KeyTurnMode::OnPenMove(const InputEvent& e) {
  if (View* v = GetTop()) {
    v->Zoom(static_cast<Fix16>(std::clamp<std::int64_t>(std::int64_t{penY - PenY(e)} << 15, -0x1000000, 0x1000000)));
    distance = v->eye.z;
    MarkView(v);
  }
  penX = PenX(e);
  penY = PenY(e);
  return 0;
}

std::uint32_t KeyTurnMode::OnPenUp(const InputEvent&) { return MakeResult(kResultCommand, kStateModeReturn); }

std::uint32_t KeyTurnMode::OnKeyDown(const InputEvent& e) {
  HoldTime(e);
  const int action = keyMap != nullptr ? keyMap->ActionOf(e.wParam) : -1;
  if (View* v = GetTop()) {
    v->Zoom(-0x10000 * KeyMap::ArrowOf(action).y);
    distance = v->eye.z;
    MarkView(v);
  }
  return 0;
}

std::uint32_t KeyTurnMode::OnKeyUp(const InputEvent& e) {
  keyUpTime = e.time;
  return 0;
}

// ---- ball in hand ----

void MoveBallMode::MoveBy(int dx, int dy) {
  View* v = GetTop();
  if (v == nullptr) return;
  MarkView(v);
  // Steps stay well inside 16 bits (pen deltas times 4, held-key steps), so
  // the table offsets fit their words.
  const FixVec3 turned = v->TurnByYaw(FixVec3{static_cast<Fix16>(-dx * 2048), 0, static_cast<Fix16>(dy * 2048)});
  std::int64_t a = -std::int64_t{turned.x}, b = -std::int64_t{turned.z};
  BallState& cue = pool->ballStates[0];
  // Behind the head string the ball stops on it; towards the head it may
  // always go.
  if ((pool->rules.TurnFlags & 4) != 0 && b >= 1) {
    const std::int64_t c = std::int64_t{cue.position.z} + (pool->table.hz >> 1) + b;
    if (c >= 0) b -= c;
  }
  if (a == 0 && b == 0) return;
  FixVec3 d{static_cast<Fix16>(a), 0, static_cast<Fix16>(b)};
  Normalize2DScaled(d);
  // The ball runs along the move as a probe; it stops 128 short of what it
  // would meet first, and does not move when that is nearer.
  const std::uint16_t struck = pool->struckBall;
  pool->struckBall = 0;
  const std::int32_t t = pool->ProbeCueLine(d.x, d.z);
  pool->struckBall = struck;
  if (t < 129) return;
  const std::uint64_t wanted = ISqrt64(static_cast<std::uint64_t>(a * a) + static_cast<std::uint64_t>(b * b));
  if (static_cast<std::uint64_t>(t - 128) < wanted) {
    a = FixMul30(d.x, t - 128);
    b = FixMul30(d.z, t - 128);
  }
  // The probe lets the ball into a pocket's mouth; its centre stays a
  // radius inside the table's edges, short along the same line.
  std::int64_t keep = 1, of = 1;
  auto within = [&](std::int64_t from, std::int64_t move, std::int64_t bound) {
    const std::int64_t length = move < 0 ? -move : move;
    const std::int64_t room = std::max<std::int64_t>(0, move < 0 ? from + bound : bound - from);
    if (length > room && room * of < keep * length) keep = room, of = length;
  };
  within(cue.position.x, a, pool->table.hx - kFixOne16);
  within(cue.position.z, b, pool->table.hz - kFixOne16);
  a = a * keep / of;
  b = b * keep / of;
  if (a == 0 && b == 0) return;
  v->Move(FixVec3{static_cast<Fix16>(-a), 0, static_cast<Fix16>(-b)});
  cue.position.x = WrapAdd32(cue.position.x, static_cast<Fix16>(a));
  cue.position.z = WrapAdd32(cue.position.z, static_cast<Fix16>(b));
  cue.changed = 1;
  ++moved;
  pool->PoseCueStick();
}

std::uint32_t MoveBallMode::OnPenDown(const InputEvent& e) {
  pool->rules.Outcome = 0;
  penDown_ = true;
  penX = PenX(e);
  penY = PenY(e);
  return 0;
}

std::uint32_t MoveBallMode::OnPenMove(const InputEvent& e) {
  if (!penDown_) return OnPenDown(e);
  const int dx = PenX(e) - penX, dy = PenY(e) - penY;
  penX = PenX(e);
  penY = PenY(e);
  MoveBy(dx * 4, dy * 4);
  return 0;
}

std::uint32_t MoveBallMode::OnPenUp(const InputEvent&) {
  if (!penDown_) return 0;
  penDown_ = false;
  return MakeResult(kResultCommand, kStateModeReturn);
}

std::uint32_t MoveBallMode::OnKeyDown(const InputEvent& e) {
  if (keyMap == nullptr) return 0;
  const std::uint32_t held = std::min<std::uint32_t>(HoldTime(e), 20000);
  const KeyMap::Arrow arrow = KeyMap::ArrowOf(keyMap->ActionOf(e.wParam));
  const int h = arrow.x, v = arrow.x != 0 ? 0 : -arrow.y;
  // Nothing for the first 300 ms, then faster with the square of the hold.
  const int step = static_cast<int>((held / 300) * (held / 90));
  if (step != 0 && (h != 0 || v != 0)) MoveBy(step * h, step * v);
  return 0;
}

std::uint32_t MoveBallMode::OnKeyUp(const InputEvent& e) {
  keyUpTime = e.time;
  return 0;
}

// ---- picking a ball (practice) ----

int PickBallMode::PickNearest(int x, int y) const {
  int best = 0;
  std::int64_t bestDistance = -1;
  for (int b = 0; b < kBallCount; ++b) {
    if (pool->ballStates[static_cast<std::size_t>(b)].state == kBallOff) continue;
    int bx = 0, by = 0;
    if (host == nullptr || !host->ballOnScreen || !host->ballOnScreen(b, &bx, &by)) continue;
    const std::int64_t dx = std::int64_t{x} - bx, dy = std::int64_t{y} - by;
    const std::int64_t d = dx * dx + dy * dy;
    if (bestDistance < 0 || d < bestDistance) best = b, bestDistance = d;
  }
  return best;
}

std::uint32_t PickBallMode::OnPenDown(const InputEvent& e) {
  if (host != nullptr && host->scene != nullptr) host->scene->stickShown = false;
  penX = PenX(e);
  penY = PenY(e);
  picked = PickNearest(penX, penY);
  return 0;
}

std::uint32_t PickBallMode::OnPenMove(const InputEvent& e) {
  View* v = GetTop();
  if (v == nullptr) return 0;
  const FixVec3 turned = v->TurnByYaw(
      FixVec3{static_cast<Fix16>((penX - PenX(e)) * 0x4000), 0, static_cast<Fix16>((PenY(e) - penY) * 0x4000)});
  Fix16 a = WrapNeg32(turned.x), b = WrapNeg32(turned.z);
  if (a == 0 && b == 0) return 0;
  FixVec3 d{a, 0, b};
  Normalize2DScaled(d);
  // The probe runs the picked ball along the drag; it stops 128 short of
  // whatever it would meet first.
  const std::uint16_t struck = pool->struckBall;
  pool->struckBall = static_cast<std::uint16_t>(picked);
  const std::int32_t t = pool->ProbeCueLine(d.x, d.z);
  pool->struckBall = struck;
  if (t < 129) return 0;
  const std::uint64_t wanted =
      ISqrt64(static_cast<std::uint64_t>(std::int64_t{a} * a) + static_cast<std::uint64_t>(std::int64_t{b} * b));
  if (static_cast<std::uint64_t>(t - 128) < wanted) {
    a = FixMul30(d.x, t - 128);
    b = FixMul30(d.z, t - 128);
  }
  BallState& ball = pool->ballStates[static_cast<std::size_t>(picked)];
  ball.position.x = WrapAdd32(ball.position.x, a);
  ball.position.z = WrapAdd32(ball.position.z, b);
  ball.changed = 1;
  if (picked == 0) pool->PoseCueStick();
  MarkView(v);
  penX = PenX(e);
  penY = PenY(e);
  return 0;
}

std::uint32_t PickBallMode::OnPenUp(const InputEvent&) {
  if (host != nullptr && host->scene != nullptr) host->scene->stickShown = true;
  MarkView(GetTop());
  return 0;
}

// ---- calling the pocket ----

void CallPocketMode::SetLayout(int w, int h) {
  static constexpr int kX[6] = {19, 19, 160, 301, 301, 160}, kY[6] = {48, 192, 197, 192, 48, 43};
  for (int i = 0; i < 6; ++i) points[static_cast<std::size_t>(i)] = {w * kX[i] / 320, h * kY[i] / 240};
}

void CallPocketMode::Select(int s) {
  selected = s;
  pool->calledPocket8 = static_cast<std::uint8_t>(kPocketOfScreen[s]);
}

std::uint32_t CallPocketMode::OnPenDown(const InputEvent& e) {
  if (host != nullptr && host->scene != nullptr) host->scene->stickShown = false;
  penX = PenX(e);
  penY = PenY(e);
  int best = 0;
  std::int64_t bestDistance = -1;
  for (int s = 0; s < 6; ++s) {
    const std::int64_t dx = penX - points[static_cast<std::size_t>(s)][0],
                       dy = penY - points[static_cast<std::size_t>(s)][1];
    const std::int64_t d = dx * dx + dy * dy;
    if (bestDistance < 0 || d < bestDistance) best = s, bestDistance = d;
  }
  Select(best);
  return 0;
}

std::uint32_t CallPocketMode::OnPenUp(const InputEvent&) {
  MarkView(GetTop());
  return 0;
}

std::uint32_t CallPocketMode::OnKeyUp(const InputEvent& e) {
  keyUpTime = e.time;
  static constexpr int kStep[6][4] = {{5, 0, 0, 1}, {2, 1, 0, 1}, {3, 1, 5, 2},
                                      {3, 2, 4, 3}, {4, 5, 4, 3}, {4, 0, 5, 2}};
  const int action = keyMap != nullptr ? keyMap->ActionOf(e.wParam) : -1;
  if (action >= KeyMap::kUp && action <= KeyMap::kRight)
    Select(kStep[selected][action - KeyMap::kUp]);
  else
    Select(selected);
  MarkView(GetTop());
  return 0;
}

// ---- the running shot ----

std::uint32_t ShotMode::OnIdle(const InputEvent&) {
  const int r = rewind ? pool->PlayShotFrame() : pool->RunShot();
  if (r == 1) return kResultRedraw;
  if (r == -1) {
    if (rewind) pool->RestoreBallState();
    return kResultShotOver;
  }
  return 0;
}

std::uint32_t ShotMode::OnEnd(const InputEvent& e) {
  if (rewind) {
    // Played back to its start at once.
    pool->shotRunning = 0;
    pool->RestoreBallState();
  } else {
    pool->FinishShot();
  }
  return MakeResult(kResultLeave, e.wParam >> 16);
}

std::uint32_t ShotMode::OnEndWith(const InputEvent& e) { return OnEnd(e); }

std::uint32_t ShotMode::OnResult(std::uint32_t result) {
  if (rewind) {
    pool->shotRunning = 0;
    pool->RestoreBallState();
  } else {
    pool->FinishShot();
  }
  return result;
}

// ---- the computer's turn ----

AiMode::AiMode() = default;
AiMode::~AiMode() = default;

std::uint32_t AiMode::OnEnd(const InputEvent& e) { return MakeResult(kResultLeave, e.wParam >> 16); }
std::uint32_t AiMode::OnEndWith(const InputEvent& e) { return MakeResult(kResultLeave, e.wParam >> 16); }
std::uint32_t AiMode::OnResult(std::uint32_t result) { return result; }

void AiMode::Begin() {
  phase = kPhaseStart;
  View* v = GetTop();
  if (v == nullptr) return;
  if (fromTableEnd) {
    // From the nearer table end, looking down the table's length, as the
    // turn view stands.
    const std::int32_t yaw = v->yaw & 0x3FFFF;
    v->yaw = yaw < 0x10000 || yaw > 0x30000 ? 0 : 0x20000;
    v->target = FixVec3{0, 0x224000, v->yaw == 0 ? 0x5BCCA4 : -0x5BCCA4};
    v->eye.x = v->eye.y = 0;
    v->pitch = -16192;
    if (host != nullptr && host->endViewDistance > 0) v->SetDistance(host->endViewDistance);
  } else {
    // From above, the whole table in sight.
    v->target = FixVec3{0, 0, 0};
    v->eye.x = v->eye.y = 0;
    v->yaw = -0x10000;
    v->pitch = -0x10000;
    v->SetDistance(host != nullptr && host->overheadDistance > 0 ? host->overheadDistance
                                                                 : (pool->table.hz > 0x200000 ? 0xD80000 : 0xB40000));
  }
  v->Recompute();
  v->Apply();
  MarkView(v);
}

std::uint32_t AiMode::OnIdle(const InputEvent& e) {
  const auto now = [&] { return host != nullptr && host->clock ? host->clock() : e.time; };
  auto stick = [&](bool shown) {
    if (host != nullptr && host->scene != nullptr) host->scene->stickShown = shown;
  };
  // The camera stands still through the turn: the frames draw what moves
  // (the cue ball placed, the stick). While the computer thinks nothing on
  // the table moves; the in-game text shows its count of candidates left.
  View* v = GetTop();
  switch (phase) {
    case kPhaseStart: {
      if (!ai_) ai_ = std::make_unique<AiOpponent>(*pool);
      BallState& cue = pool->ballStates[0];
      if (cue.state == kBallOff) pool->PlaceCueBallInHand();
      pool->cueTip = {0, 0};
      pool->cueElevation = 768;
      stick(false);
      ai_->AiThink();
      slices = 0;
      phase = kPhaseThinking;
      MarkView(v);
      return 0;
    }
    case kPhaseThinking: {
      // A slice of thinking: at least one step, then more while the slice
      // lasts, so the screen keeps its pace.
      const std::uint32_t start = now();
      ++slices;
      for (int steps = 0; steps < AiOpponent::kMaxFrames; ++steps) {
        if (ai_->AiFinishThink() != 0) {
          const AiShot& s = ai_->aiShot;
          if ((pool->rules.TurnFlags & 2) != 0) {
            pool->AiSetBallTarget(FixVec2{s.cueX, s.cueY});
            phase = kPhaseMoveCueBall;
          } else {
            pool->AiSetAimTarget(FixVec2{s.aimX, s.aimY}, s.tipX, s.tipY, static_cast<FixAngle>(s.elevation));
            phase = kPhaseTurnAim;
          }
          MarkView(v);
          return 0;
        }
        if (now() - start >= sliceMs) break;
      }
      return 0;
    }
    case kPhaseMoveCueBall:
      if (pool->AiAnimateBall() == 1) {
        const AiShot& s = ai_->aiShot;
        pool->AiSetAimTarget(FixVec2{s.aimX, s.aimY}, s.tipX, s.tipY, static_cast<FixAngle>(s.elevation));
        phase = kPhaseTurnAim;
      }
      return 0;
    case kPhaseTurnAim:
      stick(true);
      pool->PoseCueStick();
      if (pool->AiAnimateAim() == 1) {
        phase = kPhaseStroke;
        pool->AiStartStroke(ai_->aiShot.speed);
      }
      return 0;
    case kPhaseReplay:
      // A replay shows the stored stroke again, then asks for the shot.
      phase = kPhaseStroke;
      pool->AiStartStroke(pool->strikePower);
      return 0;
    case kPhaseStroke:
      pool->PoseCueStick();
      if (pool->AiAnimateStroke() == 1) phase = kPhaseDone;
      return 0;
    case kPhaseDone:
      stick(false);
      if (ai_ && !replaying) ai_->ApplyShot();
      replaying = false;
      pool->rules.Outcome = 0;
      pool->SetShotTimeScale(0);
      pool->SaveBallState();
      pool->ResetShot();
      return kResultStartShot;
    default:
      return 0;
  }
}

// ---- the camera glide ----

namespace {
std::int32_t ShortWay(std::int32_t change) {
  if (change > 0x20000) return change - 0x40000;
  if (change < -0x20000) return change + 0x40000;
  return change;
}
Fix16 Lerp(Fix16 from, Fix16 change, Fix16 t) { return static_cast<Fix16>(from + ((std::int64_t{change} * t) >> 16)); }
}  // namespace

void GlideMode::Start(const FixVec3& fromEye, std::int32_t fromPitch, std::int32_t fromYaw, const FixVec3& toEye,
                      std::int32_t toPitch, std::int32_t toYaw, std::uint32_t startTime, std::uint32_t endTime) {
  startEye_ = eye_ = fromEye;
  endEye_ = toEye;
  startPitch_ = pitch_ = fromPitch;
  startYaw_ = yaw_ = fromYaw;
  endPitch_ = toPitch;
  endYaw_ = toYaw & 0x3FFFF;
  pitchChange_ = ShortWay(endPitch_ - startPitch_);
  yawChange_ = ShortWay(endYaw_ - (startYaw_ & 0x3FFFF));
  startYaw_ &= 0x3FFFF;
  startTime_ = startTime;
  endTime_ = endTime;
}

void GlideMode::Apply() {
  View* v = GetTop();
  if (v == nullptr) return;
  v->yaw = yaw_;
  v->pitch = pitch_;
  v->eye = eye_;
  v->Recompute();
  v->Apply();
  MarkView(v);
}

void GlideMode::Finish() {
  eye_ = endEye_;
  pitch_ = endPitch_;
  yaw_ = endYaw_;
  Apply();
}

std::uint32_t GlideMode::OnEnd(const InputEvent& e) {
  Finish();
  return MakeResult(kResultLeave, e.wParam >> 16);
}
std::uint32_t GlideMode::OnEndWith(const InputEvent& e) { return OnEnd(e); }
std::uint32_t GlideMode::OnResult(std::uint32_t result) {
  Finish();
  return result;
}

std::uint32_t GlideMode::OnIdle(const InputEvent& e) {
  const std::uint32_t now = host != nullptr && host->clock ? host->clock() : e.time;
  const std::int32_t duration = static_cast<std::int32_t>(endTime_ - startTime_);
  const std::int32_t into = static_cast<std::int32_t>(now - startTime_);
  if (duration > 0 && into < duration) {
    const Fix16 t = static_cast<Fix16>((std::int64_t{std::max(into, 0)} << 16) / duration);
    eye_ = FixVec3{Lerp(startEye_.x, endEye_.x - startEye_.x, t), Lerp(startEye_.y, endEye_.y - startEye_.y, t),
                   Lerp(startEye_.z, endEye_.z - startEye_.z, t)};
    pitch_ = Lerp(startPitch_, pitchChange_, t);
    yaw_ = Lerp(startYaw_, yawChange_, t);
    Apply();
    return 0;
  }
  Finish();
  return kResultTurnReady;
}

// ---- the Control ----

Control::Control(Pool* p, View* v, const KeyMap* keys, PlayHost host) : host_(std::move(host)) {
  pool = p;
  view = v;
  keyMap = keys;
  aimDistance_.fill(host_.aimDistance);
}

Control::~Control() = default;

bool Control::ComputerToPlay() const { return pool->rules.CurrentPlayer == 1 && pool->OpponentKind == 2; }

void Control::CreateModes() {
  auto share = [&](std::unique_ptr<InputMode> m) {
    m->keyMap = keyMap;
    m->pool = pool;
    m->Init(this);
    return AddChild(std::move(m));
  };
  idle_ = share(std::make_unique<InputMode>());
  auto aim = std::make_unique<AimMode>();
  aim->host = &host_;
  // Until a person aims, the aim holds the distance the match was given.
  aim->aimDistance = host_.aimDistance;
  aim_ = static_cast<AimMode*>(share(std::move(aim)));
  moveBall_ = static_cast<MoveBallMode*>(share(std::make_unique<MoveBallMode>()));
  auto pick = std::make_unique<PickBallMode>();
  pick->host = &host_;
  pickBall_ = static_cast<PickBallMode*>(share(std::move(pick)));
  shot_ = static_cast<ShotMode*>(share(std::make_unique<ShotMode>()));
  auto ai = std::make_unique<AiMode>();
  ai->host = &host_;
  ai_ = static_cast<AiMode*>(share(std::move(ai)));
  auto glide = std::make_unique<GlideMode>();
  glide->host = &host_;
  glide_ = static_cast<GlideMode*>(share(std::move(glide)));
  auto call = std::make_unique<CallPocketMode>();
  call->host = &host_;
  callPocket_ = static_cast<CallPocketMode*>(share(std::move(call)));
  callPocket_->SetLayout(host_.screenWidth, host_.screenHeight);
  callPocket_->Select(0);
  cueTip_ = static_cast<CueTipMode*>(share(std::make_unique<CueTipMode>()));
  trackLines_ = static_cast<TrackLinesMode*>(share(std::make_unique<TrackLinesMode>()));
  moveView_ = static_cast<MoveViewMode*>(share(std::make_unique<MoveViewMode>()));
  keyTurn_ = static_cast<KeyTurnMode*>(share(std::make_unique<KeyTurnMode>()));
  cueAngle_ = static_cast<CueAngleMode*>(share(std::make_unique<CueAngleMode>()));
  returnMode_ = aim_;
}

void Control::Start(int kind) {
  CreateModes();
  frameTime_ = host_.clock ? host_.clock() : 0;
  pool->ResetShot();
  if (view != nullptr) view->cueTilt = 0;
  if (kind != kNewGame) {
    Resume(kind);
    glideTime_ = 1500;
    return;
  }
  aim_->aimDirection = 0;
  active_ = aim_;
  // A new game is first seen down the table from its foot, the rack in
  // front; the first turn's glide starts from there.
  if (view != nullptr) {
    view->yaw = 0x20000;
    view->target = FixVec3{0, 0xB5CA0, -0x5BCCA4};
    view->SetDistance(pool->table.hz > 0x200000 ? 0x734B40 : 0x5C67E0);
    view->Recompute();
    view->Apply();
    MarkView(view);
  }
  // Either player breaks, with even odds.
  if (pool->OpponentKind != 0 && pool->random != nullptr)
    pool->rules.CurrentPlayer = pool->random->Rand() < 0x4000 ? 1 : 0;
  BeginTurn();
}

// A held match goes on as it was held: the same player at the table, his
// ball in hand, the aim he had (kept with the table state) and, in 8-Ball
// with his group cleared, the pocket for the 8 still to be named. Nothing
// is judged or racked again. Replay is available as in any turn after a
// shot, though the held shot itself was not kept: only a shot struck since
// is shown again.
void Control::Resume(int kind) {
  // The table state keeps the balls, not the rules' mask of those still on
  // the table, which the group and lowest-ball rules read.
  pool->UpdatePocketedMask();
  aim_->aimDirection = pool->rules.viewAngle & 0x3FFFF;
  returnMode_ = aim_;
  if (ComputerToPlay()) {
    SetState(kStateComputer);
    return;
  }
  replayAvailable_ = true;
  BallState& cue = pool->ballStates[0];
  if (cue.state == kBallOff) {
    pool->PlaceCueBallInHand();
    cue.state = kBallAtRest;
  }
  mustCall_ = pool->GameType == 2 && pool->IsGroupCleared();
  viewMode = (pool->rules.TurnFlags & 2) != 0 ? kViewBallInHand : kViewAim;
  if (kind == kResumedMoveView) {
    ResetTurnView();
    AimViewFromSlots();
    aim_->TurnSetup(false);
    active_ = idle_;
    returnMode_ = moveView_;
    viewMode = kViewMoveView;
    trackLinesOn_ = trackLinesShown_ = true;
    trackLines_->Restart();
    state_ = kStateMoveView;
    return;
  }
  AimViewFromSlots();
  active_ = returnMode_ = aim_;
  aim_->TurnSetup(false);
  state_ = kStateAim;
  if (mustCall_) SetState(kStateCallPocket);
}

void Control::AimStartForGame() {
  if (pool->OpponentKind == 0) return;
  if (pool->GameType >= 3 && pool->GameType <= 6) {
    aim_->RotationStart();
  } else {
    aim_->NearestBallStart();
  }
}

void Control::ResetTurnView() {
  if (view == nullptr) return;
  std::int32_t yaw = view->yaw & 0x3FFFF;
  Fix16 z;
  if (yaw < 0x10000 || yaw > 0x30000) {
    z = 0x5BCCA4;
    yaw = 0;
  } else {
    z = -0x5BCCA4;
    yaw = 0x20000;
  }
  view->yaw = yaw;
  view->pitch = -16192;
  view->target = FixVec3{0, 0x224000, z};
  view->SetDistance(host_.endViewDistance > 0 ? host_.endViewDistance
                                              : (pool->table.hz > 0x200000 ? 0x734B40 : 0x5C67E0));
  view->Recompute();
  view->Apply();
  MarkView(view);
}

void Control::AimViewFromSlots() {
  const int p = pool->rules.CurrentPlayer & 1;
  aim_->aimPitch = aimPitch_[static_cast<std::size_t>(p)];
  aim_->aimDistance = aimDistance_[static_cast<std::size_t>(p)];
}

bool Control::CanEnterState(int state) const {
  const bool noPlayer2 = pool->OpponentKind == 0;
  if (state == kStateMoveBall) {
    if (noPlayer2) return true;
    if (ComputerToPlay()) return false;
    return (pool->rules.TurnFlags & 2) != 0;
  }
  if (state == kStateCallPocket) return noPlayer2 || mustCall_;
  // Picking up balls and taking a shot back are for practice only.
  if (state == kStatePickBall) return noPlayer2 && !Busy();
  if (state == kStateRewind) return noPlayer2 && rewindAvailable_ && !Busy();
  // A replay strikes the kept stroke again from the kept table: without a
  // stroke kept there is nothing to show, and striking one never made
  // would play a shot nobody took.
  if (state == kStateReplay) return replayAvailable_ && lastCueKept_ && !ComputerToPlay();
  return true;
}

void Control::BeginTurn() {
  BallState& cue = pool->ballStates[0];
  if (cue.state == kBallOff && !ComputerToPlay()) {
    pool->PlaceCueBallInHand();
    cue.state = kBallAtRest;
  }
  if (ComputerToPlay()) {
    SetState(kStateComputer);
    return;
  }
  if (replayPending_ || rewindRunning_) {
    replayPending_ = false;
    SetState(kStateAim);
    return;
  }
  // In 8-Ball the player who has cleared his group names the 8's pocket
  // first, from above.
  mustCall_ = pool->GameType == 2 && pool->IsGroupCleared();
  if (pool->OpponentKind != 0) pool->cueTip = {0, 0};
  viewMode = (pool->rules.TurnFlags & 2) != 0 ? kViewBallInHand : kViewAim;
  SetState(mustCall_ ? kStateCallPocket : kStateGlide);
}

void Control::SetState(int state) {
  state_ = state;
  auto leaveOverhead = [&] {
    if (!overhead_) return;
    overhead_ = false;
    view->target = saved_.target;
    view->eye = saved_.eye;
    view->yaw = saved_.yaw;
    view->pitch = saved_.pitch;
    view->Recompute();
    view->Apply();
    MarkView(view);
    active_ = aim_;
  };
  switch (state) {
    case kStateOverhead:  // a look from above while the key is held
      if (overhead_) break;
      overhead_ = true;
      returnMode_ = active_;
      active_ = idle_;
      TopDownView();
      break;
    case kStatePickBall:
      // Practice: any ball is picked up and moved, seen from above.
      active_ = pickBall_;
      pickBall_->picked = 0;
      if (!overhead_) {
        overhead_ = true;
        TopDownView();
      }
      break;
    case kStateRewind: {
      // The last shot played backwards to its start, then aiming again.
      if (host_.scene != nullptr) host_.scene->stickShown = false;
      pool->cueDirection = lastCue_.direction;
      pool->cueTip = lastCue_.tip;
      pool->cueElevation = lastCue_.elevation;
      pool->strikePower = lastCue_.power;
      pool->SyncShotClock();
      if (pool->shotRunning == 0) {
        // The record of the shot is gone (a full ring): it cannot be
        // played back, so the balls go straight back.
        pool->RestoreBallState();
        rewindAvailable_ = false;
        replayAvailable_ = true;
        BeginTurn();
        break;
      }
      rewindRunning_ = true;
      shot_->rewind = true;
      shotRunning_ = true;
      rewindAvailable_ = false;
      replayAvailable_ = true;
      BeginTurn();
      ResetTurnView();
      if (host_.scene != nullptr) host_.scene->stickShown = false;
      break;
    }
    case kStateOverheadEnd:
      if (returnMode_ == idle_) returnMode_ = aim_;
      active_ = returnMode_;
      leaveOverhead();
      break;
    case kStateMoveBall:
      if (host_.scene != nullptr) host_.scene->stickShown = true;
      active_ = moveBall_;
      viewMode = kViewMoveBall;
      MarkView(view);
      break;
    case kStateAim:
    case kStateStroke:
      leaveOverhead();
      if (active_ == keyTurn_) FromKeyTurn();
      AimViewFromSlots();
      active_ = returnMode_ = aim_;
      aim_->TurnSetup(false);
      moveBall_->moved = 0;
      viewMode = (pool->rules.TurnFlags & 2) != 0 ? kViewBallInHand : kViewAim;
      break;
    case kStateGlide: {
      // The camera glides to the aiming view of the player whose turn it is.
      leaveOverhead();
      AimStartForGame();
      const int p = pool->rules.CurrentPlayer & 1;
      const BallState& cue = pool->ballStates[0];
      view->LookAt(FixVec3{-cue.position.x, kAimHeight, -cue.position.z});
      aim_->aimPitch = aimPitch_[static_cast<std::size_t>(p)];
      glide_->Start(view->eye, view->pitch, view->yaw, FixVec3{0, 0, aimDistance_[static_cast<std::size_t>(p)]},
                    aim_->aimPitch, static_cast<std::int32_t>(aim_->aimDirection), frameTime_, frameTime_ + glideTime_);
      glideTime_ = 1500;
      if (host_.scene != nullptr) host_.scene->stickShown = false;
      active_ = glide_;
      break;
    }
    case kStateCallPocket:
      // The view from above, the prompt and the pocket points.
      if (!overhead_) SetState(kStateOverhead);
      state_ = kStateCallPocket;
      active_ = callPocket_;
      callPocket_->Select(callPocket_->selected);
      viewMode = kViewCallPocket;
      break;
    case kStateReplay:
      // The last shot again: the balls and the rules as they were before
      // it, the stroke shown again, then the shot.
      replayPending_ = true;
      replayAvailable_ = false;
      rewindAvailable_ = true;
      pool->RestoreBallState();
      pool->cueDirection = lastCue_.direction;
      pool->cueTip = lastCue_.tip;
      pool->cueElevation = lastCue_.elevation;
      pool->strikePower = lastCue_.power;
      active_ = ai_;
      ai_->phase = AiMode::kPhaseReplay;
      ai_->replaying = true;
      if (host_.scene != nullptr) host_.scene->stickShown = true;
      MarkView(view);
      break;
    case kStateModeReturn:
      if (returnMode_ == idle_) returnMode_ = aim_;
      if (active_ == keyTurn_) FromKeyTurn();
      AimViewFromSlots();
      active_ = returnMode_;
      if (active_ == aim_) aim_->TurnSetup(false);
      viewMode = (pool->rules.TurnFlags & 2) != 0 ? kViewBallInHand : kViewAim;
      break;
    case kStateZoom:
      leaveOverhead();
      keyTurn_->distance = view->eye.z;
      active_ = keyTurn_;
      viewMode = kViewZoom;
      break;
    case kStateMoveView:
      leaveOverhead();
      active_ = returnMode_ = moveView_;
      viewMode = kViewMoveView;
      MarkView(view);
      break;
    case kStateCueTip:
      leaveOverhead();
      active_ = cueTip_;
      viewMode = kViewCueTip;
      break;
    case kStateCueAngle:
      leaveOverhead();
      active_ = cueAngle_;
      viewMode = kViewCueAngle;
      break;
    case kStateComputer:
      active_ = ai_;
      ai_->Begin();
      viewMode = kViewComputer;
      MarkView(view);
      break;
    case kStateShot:
      active_ = idle_;
      break;
    default:
      break;
  }
}

void Control::TranslateInput(InputEvent* e) {
  if (keyMap == nullptr) return;
  if (e->message != kMsgKeyDown && e->message != kMsgKeyUp) return;
  const int action = keyMap->ActionOf(e->wParam);
  const bool down = e->message == kMsgKeyDown;
  const bool guard = !ComputerToPlay() && !Busy();
  auto command = [&](std::uint32_t c) {
    e->message = kMsgCommand;
    e->wParam = c;
    e->lParam = 0;
  };
  switch (action) {
    case KeyMap::kAimMode:
      if (down && guard && active_ != aim_ && active_ != glide_) SetState(kStateAim);
      break;
    case KeyMap::kStrokeCue:
      if (down && guard && active_ != aim_ && active_ != glide_) SetState(kStateStroke);
      break;
    case KeyMap::kZipToEnd:
      if (down) command(kStateZipToEnd);
      break;
    case KeyMap::kMoveView:
      if (down && guard && active_ != moveView_ && active_ != glide_) SetState(kStateMoveView);
      break;
    case KeyMap::kMoveBall:
      if (down && guard && active_ != moveBall_ && active_ != glide_ && CanEnterState(kStateMoveBall))
        SetState(kStateMoveBall);
      break;
    case KeyMap::kOverHead:
      if (guard && (!down || active_ != glide_)) SetState(down ? kStateOverhead : kStateOverheadEnd);
      break;
    case KeyMap::kReplay:
      if (down && active_ != glide_ && CanEnterState(kStateReplay) && !Busy()) SetState(kStateReplay);
      break;
    case KeyMap::kTrackLines:
      if (down) {
        // Held, the key repeats and keeps pushing the press time on, so it
        // toggles once per press.
        const bool toggle = e->time - trackLinesPress_ > 250;
        trackLinesPress_ = e->time;
        if (toggle) {
          if (pool->OpponentKind == 0) trackLinesOn_ = !trackLinesOn_;
          trackLinesShown_ = trackLinesOn_;
          if (trackLinesOn_) trackLines_->Restart();
        }
      }
      break;
    case KeyMap::kNextMode:
    case KeyMap::kPreviousMode:
      if (!down && guard && active_ != glide_) StepRing(action == KeyMap::kNextMode ? 1 : -1);
      break;
    case KeyMap::kInGameMenu:
      if (!down) command(1);
      break;
    default:
      break;
  }
}

// The zoom chosen in the key-turn mode becomes the player's aiming distance.
void Control::FromKeyTurn() {
  const int p = pool->rules.CurrentPlayer & 1;
  aimDistance_[static_cast<std::size_t>(p)] = host_.resetZoomAfterShot ? kDefaultAimDistance : keyTurn_->distance;
  aim_->aimDistance = keyTurn_->distance;
}

// The ring of aiming modes the next and previous keys step through:
// stroke, cue tip, cue angle, (zoom), ball in hand, calling the pocket.
bool Control::EnterRingMode(int position) {
  static constexpr int kStates[6] = {kStateStroke, kStateCueTip,   kStateCueAngle,
                                     kStateZoom,   kStateMoveBall, kStateCallPocket};
  const int state = kStates[position];
  if (state < 0) return false;
  if (state == kStateMoveBall && !CanEnterState(kStateMoveBall)) return false;
  if (state == kStateCallPocket && !mustCall_) return false;
  SetState(state);
  return true;
}

void Control::StepRing(int direction) {
  if (active_ == keyTurn_) FromKeyTurn();
  int p = ringPosition_;
  for (int i = 0; i < 6; ++i) {
    p = (p + direction + 6) % 6;
    if (EnterRingMode(p)) break;
  }
  ringPosition_ = p;
  MarkView(view);
}

void Control::TopDownView() {
  saved_ = {view->target, view->eye, view->yaw, view->pitch};
  view->target = FixVec3{0, 0, 0};
  view->eye.x = view->eye.y = 0;
  view->yaw = -0x10000;
  view->pitch = -0x10000;
  view->SetDistance(host_.overheadDistance > 0 ? host_.overheadDistance
                                               : (pool->table.hz > 0x200000 ? 0xD80000 : 0xB40000));
  view->Recompute();
  view->Apply();
  MarkView(view);
}

void Control::EndRewind() {
  shotRunning_ = false;
  rewindRunning_ = false;
  replayPending_ = false;
  shot_->rewind = false;
  active_ = returnMode_ = aim_;
  AimViewFromSlots();
  aim_->TurnSetup(false);
  viewMode = (pool->rules.TurnFlags & 2) != 0 ? kViewBallInHand : kViewAim;
  MarkView(view);
}

void Control::EndShot() {
  shotRunning_ = false;
  // A replay started from the balls and rules as they were before the
  // shot, so judging it again gives the same verdict.
  replayPending_ = false;
  pool->EvaluateShot();
  replayAvailable_ = true;
  if ((pool->rules.TurnFlags & 8) != 0) return;
  BeginTurn();
}

void Control::StartShotNow() {
  // A stroke while a shot runs is refused: the running shot keeps its
  // balls and its clock.
  if (shotRunning_ || rewindRunning_) {
    ++refusedStrokes;
    return;
  }
  if (active_ == aim_) {
    const int p = pool->rules.CurrentPlayer & 1;
    aimDistance_[static_cast<std::size_t>(p)] = host_.resetZoomAfterShot ? kDefaultAimDistance : aim_->aimDistance;
    aimPitch_[static_cast<std::size_t>(p)] = aim_->aimPitch;
  }
  trackLinesShown_ = false;
  if (!replayPending_) {
    pool->SaveBallState();
    lastCue_ = {pool->cueDirection, pool->cueTip, pool->cueElevation, pool->strikePower};
    lastCueKept_ = true;
  }
  pool->StartShot();
  shotRunning_ = true;
  rewindAvailable_ = true;
  trackLines_->previewPower = lastCue_.power;
  SetState(kStateShot);
  pool->cueElevation = 0;
}

void Control::MenuClosed() { menuClosed_ = true; }

std::uint32_t Control::HandleEvent(const InputEvent& event) {
  InputEvent e = event;
  frameTime_ = host_.clock ? host_.clock() : e.time;
  if (menuClosed_) {
    menuClosed_ = false;
    // A match the menu ended has no turn to begin.
    if ((pool->rules.TurnFlags & 8) == 0) BeginTurn();
  }
  TranslateInput(&e);
  if (shotRunning_) {
    const std::uint32_t r = shot_->HandleEvent(e);
    // Frames of a running shot are incremental: only the balls move.
    if (ResultCodeOf(r) == kResultShotOver) {
      if (rewindRunning_) {
        EndRewind();
      } else {
        EndShot();
      }
      MarkView(view);
    }
  }
  const std::uint32_t r = active_->HandleEvent(e);
  ShowStick();
  if ((pool->rules.TurnFlags & 8) != 0) return 1;
  if (trackLinesShown_ && !shotRunning_ && !aim_->strokeDrag &&
      (active_ == aim_ || active_ == moveBall_ || active_ == idle_))
    trackLines_->HandleEvent(e);
  switch (ResultCodeOf(r)) {
    case kResultCommand: {
      const int c = static_cast<int>(ResultValueOf(r));
      if (c == kStateZipToEnd) {
        // Zip To End while the camera glides skips the glide instead.
        pending_ = active_ == glide_ ? kStateAim : kStateZipToEnd;
      } else if ((c >= 1 && c <= 4) || c == 6 || c == 7 || (c >= 10 && c <= 22)) {
        if (CanEnterState(c)) pending_ = c;
      }
      break;
    }
    case kResultStartShot:
      StartShotNow();
      break;
    case kResultTurnReady:
      AimViewFromSlots();
      active_ = returnMode_ = aim_;
      aim_->TurnSetup(true);
      trackLinesShown_ = trackLinesOn_;
      if (trackLinesOn_) trackLines_->Restart();
      viewMode = (pool->rules.TurnFlags & 2) != 0 ? kViewBallInHand : kViewAim;
      MarkView(view);
      break;
    default:
      break;
  }
  // A pending state is entered within this event: the active mode (and a
  // running shot) is asked to leave first.
  for (int pass = 0; pending_ >= 0 && pass < 4; ++pass) {
    const InputEvent leave{kMsgLeave, static_cast<std::uint32_t>(pending_) << 16, 0, e.time};
    if (shotRunning_) {
      const std::uint32_t s = shot_->HandleEvent(leave);
      if (ResultCodeOf(s) == kResultLeave && rewindRunning_) {
        EndRewind();
      } else if (ResultCodeOf(s) == kResultLeave) {
        EndShot();
        if ((pool->rules.TurnFlags & 8) != 0) {
          pending_ = -1;
          return 1;
        }
      }
    }
    const std::uint32_t a = active_->HandleEvent(leave);
    if (ResultCodeOf(a) == kResultLeave) {
      SetState(pending_);
      pending_ = -1;
    }
    MarkView(view);
  }
  pending_ = -1;
  ShowStick();
  return 0;
}

void Control::ShowStick() {
  if (host_.scene == nullptr) return;
  // The computer's stick waits a radius further back and then follows the
  // stroke it shows; a person's follows the aim mode's pull-back.
  std::int32_t clearance = aim_->clearance;
  if (active_ == ai_) {
    clearance = ai_->phase >= AiMode::kPhaseStroke ? pool->aiShow.strokeDistance : kRestClearance + 0x10000;
  }
  host_.scene->stickClearance = clearance;
}

}  // namespace ks::play
