#include "play/view.h"

#include <algorithm>

#include "display/display.h"
#include "simulation/pool.h"

namespace ks::play {

namespace {

struct SinCos16 {
  Fix16 s, c;
};
SinCos16 Angle(std::int32_t angle) {
  const FixSinCos sc = SinCos(static_cast<FixAngle>(angle) & 0x3FFFF);
  return {sc.sin >> 14, sc.cos >> 14};
}
Fix16 Mul(Fix16 a, Fix16 b) { return static_cast<Fix16>((static_cast<std::int64_t>(a) * b) >> 16); }

}  // namespace

View::View() = default;

void View::Attach(ssDisplay* d) {
  device = d;
  Recompute();
}

void View::Recompute() {
  std::int32_t p = pitch;
  if (cueTilt != 0 && pool != nullptr) p -= static_cast<std::int32_t>(pool->cueElevation);
  const SinCos16 y = Angle(yaw), q = Angle(p);
  Fix16* m = matrix.data();
  m[0] = y.c, m[1] = Mul(y.s, q.s), m[2] = Mul(y.s, q.c), m[3] = 0;
  m[4] = 0, m[5] = q.c, m[6] = -q.s, m[7] = 0;
  m[8] = -y.s, m[9] = Mul(y.c, q.s), m[10] = Mul(y.c, q.c), m[11] = 0;
  const Fix16 tx = target.x, ty = target.y, tz = target.z;
  const Fix16 a = Mul(tx, y.s) + Mul(tz, y.c);
  m[12] = Mul(tx, y.c) - Mul(tz, y.s) + eye.x;
  m[13] = Mul(ty, q.c) + Mul(a, q.s) + eye.y;
  m[14] = Mul(a, q.c) - Mul(ty, q.s) + eye.z;
  m[15] = 0x10000;
  matrixChanged = 1;
}

void View::Apply() {
  if (device != nullptr) device->SetTransform(1, matrix.data());
  dirty = 1;
}

int View::Rotate(std::int32_t deltaPitch, std::int32_t deltaYaw, std::int32_t deltaRoll) {
  const std::int64_t p = static_cast<std::int64_t>(pitch) + deltaPitch;
  pitch = static_cast<std::int32_t>(std::clamp<std::int64_t>(p, kPitchMin, kPitchMax));
  yaw = static_cast<std::int32_t>(static_cast<std::uint32_t>(yaw) + static_cast<std::uint32_t>(deltaYaw));
  roll = static_cast<std::int32_t>(static_cast<std::uint32_t>(roll) + static_cast<std::uint32_t>(deltaRoll));
  Recompute();
  Apply();
  return 0;
}

void View::SetDistance(Fix16 distance) {
  savedDistance = distance;
  eye.z = distance;
  dirty = 1;
}

void View::Zoom(Fix16 delta) {
  const bool apply = delta < 0 ? eye.z >= kZoomInLimit : eye.z < kZoomOutLimit;
  if (!apply) return;
  eye.z += delta;
  matrix[14] += delta;
  matrixChanged = 1;
  Apply();
}

void View::Move(const FixVec3& delta) {
  target.x += delta.x;
  target.y += delta.y;
  target.z += delta.z;
  if (pool != nullptr) {
    // Held over the table: x within the half width, z within the half length.
    const Fix16 hx = pool->table.hx, hz = pool->table.hz;
    target.x = std::clamp(target.x, -hx, hx);
    target.z = std::clamp(target.z, -hz, hz);
  }
  Recompute();
  Apply();
}

void View::SetTarget(const FixVec3& point) {
  target = point;
  Recompute();
  Apply();
}

void View::LookAt(const FixVec3& point) {
  const FixVec3 d{point.x - target.x, point.y - target.y, point.z - target.z};
  target = point;
  const SinCos16 y = Angle(yaw), q = Angle(pitch);
  const Fix16 a = Mul(d.z, y.c) + Mul(d.x, y.s);
  eye.x += Mul(d.z, y.s) - Mul(d.x, y.c);
  eye.y -= Mul(d.y, q.c) + Mul(a, q.s);
  eye.z += Mul(d.y, q.s) - Mul(a, q.c);
}

FixVec3 View::TurnByYaw(const FixVec3& v) const {
  const SinCos16 y = Angle(yaw);
  return {Mul(v.x, y.c) + Mul(v.z, y.s), v.y, Mul(v.z, y.c) - Mul(v.x, y.s)};
}

FixVec3 View::ToTable2D(const FixVec3& v) const {
  FixVec3 t = TurnByYaw(v);
  t.x += target.x;
  t.z += target.z;
  return t;
}

}  // namespace ks::play
