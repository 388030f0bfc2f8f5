// Turning a candidate into a strike: closed-form inversions of the ball laws.
#include <algorithm>

#include "simulation/ai.h"

namespace ks {
namespace {

uint64_t USq(int32_t v) {
  const uint64_t a = static_cast<uint64_t>(v < 0 ? -static_cast<int64_t>(v) : v);
  return a * a;
}

int64_t DistSq(FixVec2 a, FixVec2 b) {
  const int64_t dx = static_cast<int64_t>(a.x) - b.x;
  const int64_t dz = static_cast<int64_t>(a.z) - b.z;
  return dx * dx + dz * dz;  // below 2^62 for table coordinates
}

int32_t Dist(FixVec2 a, FixVec2 b) {
  const uint32_t d = ISqrt64(static_cast<uint64_t>(DistSq(a, b)));
  return static_cast<int32_t>(std::min<uint32_t>(d, 0x7fffffff));
}

}  // namespace

uint32_t AiSpeedForDistance(const AiLaws& laws, uint32_t distance) {
  const uint64_t a = static_cast<uint32_t>(laws.rollingDecel);
  const uint64_t mu = static_cast<uint32_t>(laws.mu);
  const uint64_t den = 84 * a + 25 * mu;
  if (den == 0) return 0;
  const uint64_t q = (98 * a * mu) / den;
  const uint32_t v = ISqrt64(q * distance);
  return v + (v >> 2);
}

uint32_t AiSpeedOverCut(uint32_t v, Fix30 c) {
  if (c <= 0) return 0;
  const uint64_t r = (static_cast<uint64_t>(v) << 30) / static_cast<uint32_t>(c);
  return static_cast<uint32_t>(std::min<uint64_t>(r, 0xFFFFFFFFu));
}

int32_t AiContactDistance(FixVec2 target, FixVec2 cue, FixVec2 aim) {
  const FixVec2 w{WrapSub32(target.x, cue.x), WrapSub32(target.z, cue.z)};
  const int32_t p = Dot2Fix30(w, aim);
  const int64_t w2 = static_cast<int64_t>(USq(w.x) + USq(w.z));
  int64_t rad = SMul64(p, p) + (int64_t{4} << 32) - w2;
  if (rad < 0) rad = 0;  // the aim misses or the balls overlap
  return WrapSub32(p, static_cast<int32_t>(ISqrt64(static_cast<uint64_t>(rad))));
}

uint32_t AiStartSpeed(const AiLaws& laws, int32_t d, uint32_t u) {
  const uint64_t dd = static_cast<uint64_t>(d < 0 ? 0 : d);
  const uint64_t kv = static_cast<uint32_t>(laws.kv);
  const uint64_t uu = std::min<uint64_t>(u, 0x7fffffff);
  return ISqrt64(2 * dd * kv + uu * uu);
}

bool AiStrikeForSpeeds(AiShot& shot, int32_t w, uint32_t vs, uint32_t u) {
  if (vs == 0) return false;
  const int64_t diff = static_cast<int64_t>(vs) - static_cast<int64_t>(u);
  const int64_t ty = ((diff * (int64_t{1} << 32)) / static_cast<int64_t>(vs)) >> 16;
  const int64_t tx = ((static_cast<int64_t>(w) * 0x66666667LL) >> 16) / static_cast<int64_t>(vs);
  shot.tipY = static_cast<int32_t>(std::clamp<int64_t>(ty, INT32_MIN, INT32_MAX));
  shot.tipX = static_cast<int32_t>(std::clamp<int64_t>(tx, INT32_MIN, INT32_MAX));
  // Tips past the ball are refused later; keep the power arithmetic finite.
  const int32_t cx = std::clamp(shot.tipX, -0x40000, 0x40000);
  const int32_t cy = std::clamp(shot.tipY, -0x40000, 0x40000);
  const uint32_t b2 = static_cast<uint32_t>(Round64Shr16(static_cast<int64_t>(USq(cx) + USq(cy))));
  const uint64_t factor = ((5 * static_cast<uint64_t>(b2)) >> 1) + 0x10000;
  const uint64_t speed = (factor * vs) >> 16;
  shot.speed = static_cast<int32_t>(std::min<uint64_t>(speed, 0x7fffffff));
  return true;
}

void AiStrikeCapped(const AiLaws& laws, AiShot& shot, int32_t d, Fix30 s) {
  const uint64_t dd = static_cast<uint32_t>(d < 0 ? 0 : d);
  const uint64_t part = (0xE4920000ull * dd) >> 32;
  const uint32_t v = ISqrt64(part * static_cast<uint32_t>(laws.mu));
  shot.tipX = static_cast<int32_t>(UMulShr30(static_cast<uint32_t>(s < 0 ? 0 : s), 15728));
  const uint32_t b2 = static_cast<uint32_t>(Round64Shr16(static_cast<int64_t>(USq(shot.tipX) + USq(26215))));
  const uint64_t factor = 2 * (static_cast<uint64_t>(b2) + 32768) + (b2 >> 1);
  shot.speed = static_cast<int32_t>(std::min<uint64_t>((factor * v) >> 16, 0x7fffffff));
}

Fix30 AiCutSine(Fix30 c) {
  const int64_t cc = std::clamp<int64_t>(c, -kFixOne30, kFixOne30);
  return static_cast<Fix30>(ISqrt64(static_cast<uint64_t>((int64_t{1} << 60) - cc * cc)));
}

int AiCheckPlan(const AiShot& shot) {
  if (shot.speed > kAiMaxSpeed) return 1;
  const uint64_t sum = USq(shot.tipX) + USq(shot.tipY);
  if ((sum >> 32) >= 1) return 1;
  return 0;
}

AiLaws AiOpponent::Laws() const {
  AiLaws l;
  l.rollingDecel = pool.rollingDecel2;
  l.mu = pool.slidingFriction;
  l.kv = pool.slideTravelRate;
  return l;
}

namespace {

void PlanKick(const AiLaws& laws, const TableGeometry& t, AiShot& shot, int cushion, uint32_t V) {
  const int32_t one = 0x10000;
  int32_t tt, n, a, e;
  const FixVec2 cue{shot.cueX, shot.cueY};
  switch (cushion & 3) {
    case 0:
      tt = shot.aimY;
      n = shot.aimX;
      a = WrapNeg32(shot.aimX);
      e = cue.x + t.hx - one;
      break;
    case 1:
      tt = WrapNeg32(shot.aimY);
      n = shot.aimX;
      a = shot.aimX;
      e = t.hx - one - cue.x;
      break;
    case 2:
      tt = WrapNeg32(shot.aimX);
      n = shot.aimY;
      a = WrapNeg32(shot.aimY);
      e = cue.z + t.hz - one;
      break;
    default:
      tt = shot.aimX;
      n = shot.aimY;
      a = shot.aimY;
      e = t.hz - one - cue.z;
      break;
  }
  auto empty = [&] {
    shot.speed = 0;
    shot.tipX = 0;
    shot.tipY = 0;
  };
  if ((static_cast<uint32_t>(e) >> 2) >= static_cast<uint32_t>(a) || a <= 0) {
    empty();
    return;
  }
  const uint64_t d1q = (static_cast<uint64_t>(static_cast<uint32_t>(e)) << 30) / static_cast<uint32_t>(a);
  const uint32_t d1 = static_cast<uint32_t>(std::min<uint64_t>(d1q, 0x7fffffff));
  const uint32_t T = static_cast<uint32_t>(Abs32(tt));
  const uint32_t N = static_cast<uint32_t>(Abs32(n));
  const uint32_t Vn = UMulShr30(V, N);
  const uint32_t Vt = UMulShr30(V, T);
  const uint32_t W = UMulShr28(Vn + 16384, 0x1B000000) - Vn;
  const uint32_t S = T - UMulShr30(T, T);
  const uint64_t hq = ((static_cast<uint64_t>(Vt) * 32768) >> 32) + 0x10000;
  const uint32_t Q = static_cast<uint32_t>(Round64Shr16(static_cast<int64_t>(hq * Vt)));
  const uint32_t X = UMulShr30(Q, S);
  const uint64_t wv = static_cast<uint64_t>(W) * Vt;
  if (Vn == 0 || (wv >> 32) >= Vn) {
    empty();
    return;
  }
  const int64_t r = static_cast<int64_t>(wv / Vn);
  int64_t K = static_cast<int64_t>(Vt) - Round64Shr28((static_cast<int64_t>(Vt) - X - r) * 0x38000000LL);
  if (K < 0) K = 0;
  const uint32_t vs =
      ISqrt64(2 * static_cast<uint64_t>(d1) * static_cast<uint32_t>(laws.kv) + static_cast<uint64_t>(V) * V);
  if (!AiStrikeForSpeeds(shot, static_cast<int32_t>(std::min<int64_t>(K, 0x7fffffff)), vs, V)) {
    empty();
    return;
  }
  if (tt < 0) shot.tipX = WrapNeg32(shot.tipX);
}

}  // namespace

int AiOpponent::AiPlanShot(const AiCandidate& c) {
  const AiLaws laws = Laws();
  aiShot.cueX = c.cue.x;
  aiShot.cueY = c.cue.z;
  aiShot.elevation = 0;
  aiShot.tipX = 0;
  aiShot.tipY = 0;
  FixVec2 aim{(c.edgeA.x >> 1) + (c.edgeB.x >> 1), (c.edgeA.z >> 1) + (c.edgeB.z >> 1)};
  if (aim.x == 0 && aim.z == 0) return 1;  // an empty window has no aim
  NormalizeVec2Scaled(aim);
  aiShot.aimX = aim.x;
  aiShot.aimY = aim.z;
  if (c.ball >= kBallCount || c.second >= kBallCount) return 1;
  // Only pots need a pocket; hits and kick hits carry 255 there.
  if (c.kind >= 3 && c.kind <= 7 && c.pocket >= 6) return 1;
  const FixVec2 object = AiBallPos[c.ball];
  const FixVec2 pocket = pool.table.pocketAim[c.pocket < 6 ? c.pocket : 0];
  auto sideSign = [&] {
    const int64_t k = SMul64(c.travel.x, aim.z) - SMul64(c.travel.z, aim.x);
    if (k >= 0) aiShot.tipX = WrapNeg32(aiShot.tipX);
  };
  switch (c.kind) {
    case 0:
      aiShot.speed = 0x1800000;
      break;
    case 1: {
      const int32_t d = AiContactDistance(object, c.cue, aim);
      const uint32_t vs = AiStartSpeed(laws, d, 0x1800000);
      if (!AiStrikeForSpeeds(aiShot, 0, vs, 0x1800000)) return 1;
      break;
    }
    case 2:
      aiShot.speed = 0x200000;
      break;
    case 3:
    case 4:
    case 5:
    case 6: {
      const Fix30 cc = Dot2Fix30(c.travel, aim);
      const Fix30 s = AiCutSine(cc);
      uint32_t dist;
      if (c.kind <= 4) {
        dist = static_cast<uint32_t>(Dist(object, pocket)) + 0x60000;
      } else {
        const FixVec2 second = AiBallPos[c.second];
        dist = 2 * (static_cast<uint32_t>(Dist(second, pocket)) + static_cast<uint32_t>(Dist(object, second)));
      }
      const uint32_t u = AiSpeedOverCut(AiSpeedForDistance(laws, dist), cc);
      if (u == 0) return 1;  // no cut can send the ball that way
      const int32_t d = AiContactDistance(object, c.cue, aim);
      if (c.kind == 3 || c.kind == 5) {
        const uint32_t vs = AiStartSpeed(laws, d, u);
        const int32_t side = FixMul30(s, static_cast<int32_t>(std::min<uint32_t>(u, 0x7fffffff)));
        if (!AiStrikeForSpeeds(aiShot, side, vs, u)) return 1;
        if (aiShot.tipY > 32768) {
          aiShot.tipY = 26215;
          AiStrikeCapped(laws, aiShot, d, s);
        }
      } else {
        aiShot.tipY = -26215;
        aiShot.tipX =
            c.kind == 4 ? static_cast<int32_t>(UMulShr30(static_cast<uint32_t>(s), 26215)) : FixMul30(s, 26215);
        const uint64_t b2 = (USq(aiShot.tipX) & 0xFFFFFFFFu) + 687194767u;
        const uint64_t dd = static_cast<uint64_t>(d < 0 ? 0 : d);
        const uint64_t uu = std::min<uint64_t>(u, 0x7fffffff);
        const uint64_t vs = ISqrt64(2 * dd * static_cast<uint32_t>(laws.rollingDecel) + uu * uu);
        const uint64_t sp = 2 * ((vs * (b2 + (b2 >> 2) + 0x80000000u)) >> 32);
        aiShot.speed = static_cast<int32_t>(std::min<uint64_t>(sp, 0x7fffffff));
      }
      sideSign();
      break;
    }
    case 7:
      PlanKick(laws, pool.table, aiShot, c.cushion, 0x800000);
      break;
    case 8:
      PlanKick(laws, pool.table, aiShot, c.cushion, 0x1800000);
      break;
    default:
      return 1;
  }
  return AiCheckPlan(aiShot);
}

}  // namespace ks
