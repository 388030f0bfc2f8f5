// Planning geometry: windows of directions in which a ball can travel into a
// pocket, the cue ball's aim windows, free travel, ball classes and the
// cue-ball placements when the ball is in hand.
#include <algorithm>

#include "simulation/ai.h"

namespace ks {
namespace {

constexpr int32_t kOne = 0x10000;
constexpr int64_t kFour64 = int64_t{4} << 32;  // 4.0 as the square of a Fix16 length

bool OnTable(FixVec2 p) { return p.x != kAiOffTable; }

FixVec2 Sub(FixVec2 a, FixVec2 b) { return {WrapSub32(a.x, b.x), WrapSub32(a.z, b.z)}; }

int64_t Cross(FixVec2 p, FixVec2 q) { return SMul64(p.x, q.z) - SMul64(p.z, q.x); }
int64_t Dot64(FixVec2 p, FixVec2 q) { return SMul64(p.x, q.x) + SMul64(p.z, q.z); }
uint64_t LenSq(FixVec2 d) { return static_cast<uint64_t>(SMul64(d.x, d.x)) + static_cast<uint64_t>(SMul64(d.z, d.z)); }

// Normalises in place; false for the zero vector (no direction).
bool Unit(FixVec2& v) {
  if (v.x == 0 && v.z == 0) return false;
  NormalizeVec2Scaled(v);
  return v.x != 0 || v.z != 0;
}

FixVec2 Middle(const AiWindow& w) { return {(w.a.x >> 1) + (w.b.x >> 1), (w.a.z >> 1) + (w.b.z >> 1)}; }

// The two tangent directions from a ball to the shadow of a ball at offset d
// (d turned counter-clockwise and clockwise by the angle whose sine is
// 2/|d|). False when the balls coincide: nothing can pass.
bool ShadowEdges(FixVec2 d, FixVec2& ccw, FixVec2& cw) {
  const uint64_t d2 = LenSq(d);
  const uint64_t rad = d2 > static_cast<uint64_t>(kFour64) ? d2 - static_cast<uint64_t>(kFour64) : 0;
  const int64_t t = ISqrt64(rad);
  const int64_t l = ISqrt64(d2);
  if (l == 0) return false;
  const int64_t ht = t / 2;
  ccw = {static_cast<int32_t>((ht * d.x - int64_t{kOne} * d.z) / l),
         static_cast<int32_t>((ht * d.z + int64_t{kOne} * d.x) / l)};
  cw = {static_cast<int32_t>((ht * d.x + int64_t{kOne} * d.z) / l),
        static_cast<int32_t>((ht * d.z - int64_t{kOne} * d.x) / l)};
  return Unit(ccw) && Unit(cw);
}

}  // namespace

FixVec2 AiOpponent::Mirror(FixVec2 p, int cushion) const {
  const TableGeometry& t = pool.table;
  switch (cushion) {
    case 0:
      p.x = WrapSub32(2 * (kOne - t.hx), p.x);
      break;
    case 1:
      p.x = WrapSub32(2 * (t.hx - kOne), p.x);
      break;
    case 2:
      p.z = WrapSub32(2 * (kOne - t.hz), p.z);
      break;
    case 3:
      p.z = WrapSub32(2 * (t.hz - kOne), p.z);
      break;
    default:
      break;
  }
  return p;
}

int AiOpponent::AiNarrowWindow(FixVec2 d) {
  FixVec2 e1, e2;
  if (!ShadowEdges(d, e1, e2)) return 1;  // a ball on top of this one covers everything
  if (Cross(work.b, e2) >= 0) return 0;
  if (Cross(work.a, e1) <= 0) return 0;
  if (Cross(work.b, e1) < 0) {
    work.a = e1;
    return 0;
  }
  if (Cross(work.a, e2) < 0) return 1;
  work.b = e2;
  return 0;
}

int AiOpponent::AiRegionTest(int n, int k) {
  const TableGeometry& g = pool.table;
  const int32_t hx = g.hx, hz = g.hz;
  const FixVec2 p = AiBallPos[static_cast<size_t>(n)];
  const int32_t x = p.x, y = p.z;
  mirrorCode = 0;
  bool closed = false;
  const int32_t ay = y < 0 ? -y : y;
  switch (k) {
    case 0:
      closed = x >= hx - 2 * kOne || (x < kOne - hx && y > -(hz >> 1));
      break;
    case 1:
      closed = x <= 2 * kOne - hx || (x > hx - kOne && y > -(hz >> 1));
      break;
    case 2:
      closed = x >= hx - 2 * kOne || (x < kOne - hx && y < (hz >> 1));
      break;
    case 3:
      closed = x <= 2 * kOne - hx || (x > hx - kOne && y < (hz >> 1));
      break;
    case 4:
      closed =
          x >= hx - 2 * kOne || (!(y >= -8 * kOne && y < 8 * kOne) && (x < kOne - hx || int64_t{x} + hx < (ay >> 1)));
      break;
    default:
      closed =
          x <= 2 * kOne - hx || (!(y >= -8 * kOne && y < 8 * kOne) && (x >= hx - kOne || int64_t{hx} - x < (ay >> 1)));
      break;
  }
  if (closed) return 1;
  // The edges are taken as if the ball lay on the cushion lines that bound
  // its pocket when it lies beyond them.
  FixVec2 c = p;
  const bool left = k == 0 || k == 2 || k == 4;
  c.x = left ? std::max(c.x, kOne - hx) : std::min(c.x, hx - kOne);
  if (k == 0 || k == 1) c.z = std::max(c.z, kOne - hz);
  if (k == 2 || k == 3) c.z = std::min(c.z, hz - kOne);
  FixVec2 a, b;
  if (k >= 4) {
    const size_t base = k == 4 ? 0 : 2;
    a = Sub(g.sidePocketApproach[base], c);
    b = Sub(g.sidePocketApproach[base + 1], c);
  } else {
    const size_t base = static_cast<size_t>(k) * 4;
    a = Sub(g.pocketApproach[base], c);
    b = Sub(g.pocketApproach[base + 1], c);
    const FixVec2 a3 = Sub(g.pocketApproach[base + 2], p);
    const FixVec2 b4 = Sub(g.pocketApproach[base + 3], p);
    // Which approach edges a ball can use depends on how steeply it comes
    // in; a ball that can only reach the mouth off a cushion sees the
    // mirror images of balls across that cushion as blockers too.
    bool first, second, both;
    uint8_t codeA, codeB;
    switch (k) {
      case 0:
        first = a.x <= a.z;
        second = b.x >= b.z;
        both = a.z > 0 && b.x > 0;
        codeA = 1;
        codeB = 3;
        break;
      case 1:
        first = -int64_t{a.z} >= a.x;
        second = -int64_t{b.z} <= b.x;
        both = a.x < 0 && b.z > 0;
        codeA = 3;
        codeB = 2;
        break;
      case 2:
        first = -int64_t{a.x} <= a.z;
        second = -int64_t{b.x} >= b.z;
        both = a.x > 0 && b.z < 0;
        codeA = 4;
        codeB = 1;
        break;
      default:
        first = a.x >= a.z;
        second = b.x <= b.z;
        both = a.z < 0 && b.x < 0;
        codeA = 2;
        codeB = 4;
        break;
    }
    if (!first) {
      a = a3;
      mirrorCode = codeA;
    } else if (!second) {
      b = b4;
      mirrorCode = codeB;
    } else if (both) {
      a = a3;
      b = b4;
    }
  }
  if (!Unit(b) || !Unit(a)) return 1;
  work = {a, b};
  return 0;
}

int AiOpponent::AiWindowBlocked(int n) {
  const FixVec2 p = AiBallPos[static_cast<size_t>(n)];
  for (int pass = 0; pass < 2; ++pass) {
    if (pass == 1 && mirrorCode == 0) break;
    for (int j = 1; j < kBallCount; ++j) {
      const FixVec2 q = AiBallPos[static_cast<size_t>(j)];
      if (j == n || !OnTable(q)) continue;
      const FixVec2 d = Sub(pass == 0 ? q : Mirror(q, mirrorCode - 1), p);
      if (Dot2Fix30(d, work.b) < 0 && Dot2Fix30(d, work.a) < 0) continue;
      if (AiNarrowWindow(d)) return 1;
    }
  }
  return 0;
}

void AiOpponent::AiBuildBallRecord(int n) {
  uint8_t& blocked = blockedPockets[static_cast<size_t>(n)];
  blocked = 0x3F;
  if (!OnTable(AiBallPos[static_cast<size_t>(n)])) return;
  for (int k = 0; k < 6; ++k) {
    if (AiRegionTest(n, k) == 0 && AiWindowBlocked(n) == 0) {
      blocked = static_cast<uint8_t>(blocked & ~(1u << k));
      ballRecord[static_cast<size_t>(n)][static_cast<size_t>(k)] = work;
    }
  }
}

void AiOpponent::AiBuildBallRecords() {
  blockedPockets[0] = 0x3F;
  for (int n = 1; n < kBallCount; ++n) AiBuildBallRecord(n);
}

int AiOpponent::AiHitWindow(int a, int b) {
  const FixVec2 d = Sub(AiBallPos[static_cast<size_t>(b)], AiBallPos[static_cast<size_t>(a)]);
  FixVec2 ccw, cw;
  if (!ShadowEdges(d, ccw, cw)) return 1;
  work = {cw, ccw};
  return AiPathBlocked(a, b);
}

int AiOpponent::AiGhostWindow(int a, int b, const AiWindow& w) {
  const TableGeometry& g = pool.table;
  const FixVec2 pa = AiBallPos[static_cast<size_t>(a)];
  const FixVec2 pb = AiBallPos[static_cast<size_t>(b)];
  auto ghost = [&](FixVec2 e) {
    FixVec2 q{WrapAdd32(pb.x, FixMul30(e.x, -2 * kOne)), WrapAdd32(pb.z, FixMul30(e.z, -2 * kOne))};
    q.x = std::clamp(q.x, kOne - g.hx, g.hx - kOne);
    q.z = std::clamp(q.z, kOne - g.hz, g.hz - kOne);
    return q;
  };
  const FixVec2 g1 = ghost(w.a), g2 = ghost(w.b);
  FixVec2 nb = Sub(g1, pa), na = Sub(g2, pa);
  if (!Unit(nb) || !Unit(na)) return 1;  // the cue ball stands on the ghost point
  work = {na, nb};
  FixVec2 ccw, cw;
  const FixVec2 d = Sub(pb, pa);
  if (!ShadowEdges(d, ccw, cw)) return 1;
  // Keep only the directions in which the ball can reach its ghost point
  // before it touches the object ball on the way.
  if (Dot64(Sub(pb, g1), work.b) < 0) {
    if (Dot64(Sub(pb, g2), work.a) < 0) return 1;
    work.b = ccw;
  } else if (Dot64(Sub(pb, g2), work.a) < 0) {
    work.a = cw;
  }
  return 0;
}

int AiOpponent::AiPathBlocked(int a, int b, int mirrorCushion) {
  const FixVec2 pa = AiBallPos[static_cast<size_t>(a)];
  const FixVec2 m = Middle(work);
  const uint64_t r = (LenSq(Sub(AiBallPos[static_cast<size_t>(b)], pa)) >> 32) + 4;
  for (int j = 1; j < kBallCount; ++j) {
    FixVec2 q = AiBallPos[static_cast<size_t>(j)];
    if (j == a || j == b || !OnTable(q)) continue;
    if (mirrorCushion >= 0) q = Mirror(q, mirrorCushion);
    const FixVec2 d = Sub(q, pa);
    if ((LenSq(d) >> 32) >= r || Dot64(m, d) < 0) continue;
    if (AiNarrowWindow(d)) return 1;
  }
  return 0;
}

int AiOpponent::AiPocketShotOpen(int n, const AiWindow& w) {
  FixVec2 v = Sub(AiBallPos[static_cast<size_t>(n)], AiBallPos[0]);
  if (!Unit(v)) return 1;
  if (Dot64(Middle(w), v) < 0) return 1;
  if (AiGhostWindow(0, n, w)) return 1;
  return AiPathBlocked(0, n);
}

int32_t AiOpponent::AiFreeTravel(int n, FixVec2 d) const {
  const TableGeometry& g = pool.table;
  const FixVec2 p = AiBallPos[static_cast<size_t>(n)];
  const int32_t lx = g.hx - kOne, lz = g.hz - kOne;
  const FixVec2 probe{WrapAdd32(p.x, FixMul30(d.x, 2 * kOne)), WrapAdd32(p.z, FixMul30(d.z, 2 * kOne))};
  if (probe.x < -lx || probe.x > lx || probe.z < -lz || probe.z > lz) return 0;
  int64_t value = 0x10000000;
  auto along = [&](int32_t pos, int32_t dir, int32_t line) {
    if (dir == 0) return;
    int64_t room = dir > 0 ? int64_t{line} - pos : int64_t{pos} + line;
    if (room < 0) room = 0;
    const int64_t q = (room << 30) / (dir < 0 ? -int64_t{dir} : int64_t{dir});
    if (q <= 0x7fffffff) value = std::min(value, q);
  };
  along(p.x, d.x, lx);
  along(p.z, d.z, lz);
  if (value < 2 * kOne) return static_cast<int32_t>(value);
  for (int j = 1; j < kBallCount && value >= 2 * kOne; ++j) {
    const FixVec2 q = AiBallPos[static_cast<size_t>(j)];
    if (j == n || !OnTable(q)) continue;
    const int32_t pr = Dot2Fix30(Sub(q, p), d);
    if (pr < 0 || int64_t{pr} - 2 * kOne >= value) continue;
    const FixVec2 foot{WrapAdd32(p.x, FixMul30(d.x, pr)), WrapAdd32(p.z, FixMul30(d.z, pr))};
    const FixVec2 off = Sub(foot, q);
    if (Dot2Fix30(off, off) < 16) value = int64_t{pr} - 2 * kOne;
  }
  return static_cast<int32_t>(value);
}

bool AiOpponent::AiInRackArea(FixVec2 p) const {
  const int32_t h = pool.table.hz / 2;
  if (p.z < h || int64_t{p.z} > int64_t{h} + 0xD0000) return false;
  const int32_t dy = p.z - h;
  if (dy < 0x90000) {
    const int32_t u = Round64Shr30(SMul64(p.x, 929887696) + SMul64(dy, static_cast<int32_t>(0xE0000000)));
    const int32_t w = Round64Shr30(SMul64(WrapNeg32(p.x), 929887696) + SMul64(dy, static_cast<int32_t>(0xE0000000)));
    if (u >= 0x21000 && u <= 0x60000) return true;
    return u < 0x21000 && w >= 0x21000 && w <= 0x60000;
  }
  return p.x >= -0x40000 && p.x <= 0x40000;
}

void AiOpponent::AiClassifyBalls() {
  const TableGeometry& g = pool.table;
  rackCount = 0;
  ballCount = 0;
  ballClass.fill(-1);
  for (int b = 1; b < kBallCount; ++b) {
    const FixVec2 p = AiBallPos[static_cast<size_t>(b)];
    if (!OnTable(p)) continue;
    ++ballCount;
    int32_t c;
    if (p.z > (g.hz >> 2) * 3)
      c = 1;
    else if (p.z > g.hz >> 1)
      c = 4;
    else if (p.z > -(g.hz >> 1))
      c = 8;
    else
      c = 2;
    if (AiInRackArea(p)) {
      c |= 32;
      ++rackCount;
    }
    const int32_t ax = p.x < 0 ? -p.x : p.x, az = p.z < 0 ? -p.z : p.z;
    if (ax > g.hx - 3 * kOne || az > g.hz - 3 * kOne) c |= 16;
    ballClass[static_cast<size_t>(b)] = c;
  }
}

bool AiOpponent::AiBestPocket(int t, int32_t& measure, int& pocket) {
  measure = 0x7fffffff;
  pocket = -1;
  if (t <= 0 || t >= kBallCount || !OnTable(AiBallPos[static_cast<size_t>(t)])) return false;
  for (int k = 0; k < 6; ++k) {
    if (blockedPockets[static_cast<size_t>(t)] & (1u << k)) continue;
    if (AiPocketShotOpen(t, ballRecord[static_cast<size_t>(t)][static_cast<size_t>(k)])) continue;
    const int32_t m = Dot2Fix30(work.a, work.b);
    if (m < measure) {
      measure = m;
      pocket = k;
    }
  }
  return pocket >= 0;
}

int AiOpponent::AiPickTargetByClass(int32_t required, int32_t excluded) {
  int best = 0;
  int32_t bestMeasure = 0;
  for (int b = 1; b < kBallCount; ++b) {
    const int32_t c = ballClass[static_cast<size_t>(b)];
    if (c == -1 || (c & excluded) || (c & required) != required) continue;
    int32_t m;
    int k;
    AiBestPocket(b, m, k);
    if (best == 0 || m < bestMeasure) {
      best = b;
      bestMeasure = m;
    }
  }
  return best;
}

uint16_t AiOpponent::AiChooseGroupMask() const {
  const uint8_t owner = pool.rules.SolidsOwner;
  const int shooter = pool.rules.CurrentPlayer & 1;
  if (owner != 0) return owner == shooter + 1 ? 254 : 65024;
  const TableGeometry& g = pool.table;
  int64_t s[2] = {0, 0};
  for (int b = 1; b < kBallCount; ++b) {
    const FixVec2 p = AiBallPos[static_cast<size_t>(b)];
    if (b == 8 || !OnTable(p)) continue;
    const int64_t x = p.x, y = p.z;
    const int64_t corner =
        std::min({(g.hx - x) + (g.hz - y), (g.hx - x) + (g.hz + y), (g.hx + x) + (g.hz - y), (g.hx + x) + (g.hz + y)});
    s[b > 8 ? 1 : 0] += corner;
  }
  return s[0] > s[1] ? 65024 : 254;
}

// ---- cue-ball placements ----

void AiOpponent::AddPlacement(int t, FixVec2 d) {
  if (placements_.size() >= static_cast<size_t>(kMaxPlacements)) return;
  const int32_t f = AiFreeTravel(t, d);
  if (f < 4 * kOne) return;
  int32_t dist;
  if (!(pool.rules.TurnFlags & 4)) {
    dist = std::min(f, 8 * kOne);
  } else {
    // Behind the head string: far enough along d to cross it.
    const int64_t e = int64_t{AiBallPos[static_cast<size_t>(t)].z} + (pool.table.hz >> 1);
    if (e < 0 || d.z >= 0) return;
    const int64_t q = (e << 30) / -int64_t{d.z};
    if (q > 0x7fffffff || q > f) return;
    dist = std::max(static_cast<int32_t>(q), 4 * kOne);
  }
  const FixVec2 p = AiBallPos[static_cast<size_t>(t)];
  placements_.push_back({WrapAdd32(p.x, FixMul30(d.x, dist)), WrapAdd32(p.z, FixMul30(d.z, dist))});
}

void AiOpponent::PlaceBehind(int t, int k) {
  const AiWindow& w = ballRecord[static_cast<size_t>(t)][static_cast<size_t>(k)];
  FixVec2 d{WrapNeg32((w.a.x >> 1) + (w.b.x >> 1)), WrapNeg32((w.a.z >> 1) + (w.b.z >> 1))};
  const bool behind = (pool.rules.TurnFlags & 4) != 0;
  if (!Unit(d)) return;
  constexpr int32_t c = 1057429273, s = 186453311;  // cos and sin of 10 degrees
  const FixVec2 turns[3] = {
      d,
      {Round64Shr30(SMul64(c, d.x) + SMul64(s, d.z)), Round64Shr30(SMul64(c, d.z) - SMul64(s, d.x))},
      {Round64Shr30(SMul64(c, d.x) - SMul64(s, d.z)), Round64Shr30(SMul64(c, d.z) + SMul64(s, d.x))},
  };
  for (FixVec2 v : turns) {
    if (behind && v.z >= 0) continue;
    if (Unit(v)) AddPlacement(t, v);
  }
}

void AiOpponent::AiBuildPlacements() {
  placements_.clear();
  const TableGeometry& g = pool.table;
  const uint8_t flags = pool.rules.TurnFlags;
  const bool behind = (flags & 4) != 0;
  int t = 0;
  if (flags & 2) {
    auto open = [&](int b) { return 6 - __builtin_popcount(blockedPockets[static_cast<size_t>(b)]); };
    if (pool.GameType == 1 || pool.GameType == 2) {
      uint16_t mask = 0xFFFE;
      if (pool.GameType == 2) {
        const uint8_t owner = pool.rules.SolidsOwner;
        const int shooter = pool.rules.CurrentPlayer & 1;
        mask = owner == 0 ? 65278 : owner == shooter + 1 ? 254 : 65024;
      }
      int most = 0;
      bool any = false;
      for (int b = 1; b < kBallCount; ++b) {
        const FixVec2 p = AiBallPos[static_cast<size_t>(b)];
        if (!(mask & (1u << b)) || !OnTable(p)) continue;
        any = true;
        if (pool.GameType == 1 && p.z <= -(g.hz >> 1)) continue;
        if (pool.GameType == 2 && behind && p.z <= -(g.hz >> 1)) continue;
        if (open(b) > most) {
          most = open(b);
          t = b;
        }
      }
      if (pool.GameType == 2 && !any && OnTable(AiBallPos[8])) t = 8;
    } else {
      for (int b = 1; b < kBallCount && !t; ++b) {
        if (OnTable(AiBallPos[static_cast<size_t>(b)])) t = b;
      }
    }
  }
  if (t) {
    // The widest window and the one it displaced as widest.
    int best = -1, displaced = -1;
    int32_t bestMeasure = 0;
    for (int k = 0; k < 6; ++k) {
      if (blockedPockets[static_cast<size_t>(t)] & (1u << k)) continue;
      const AiWindow& w = ballRecord[static_cast<size_t>(t)][static_cast<size_t>(k)];
      const int32_t m = Dot2Fix30(w.a, w.b);
      if (best < 0 || m < bestMeasure) {
        displaced = best;
        best = k;
        bestMeasure = m;
      }
    }
    if (best >= 0) PlaceBehind(t, best);
    if (displaced >= 0) PlaceBehind(t, displaced);
    if (placements_.empty()) {
      constexpr int32_t s = 759250125;  // sqrt(1/2)
      const FixVec2 dirs[8] = {{0, kFixOne30}, {kFixOne30, 0}, {0, -kFixOne30}, {-kFixOne30, 0},
                               {s, s},         {s, -s},        {-s, s},         {-s, -s}};
      for (FixVec2 d : dirs) {
        if (behind && d.z >= 0) continue;
        AddPlacement(t, d);
      }
    }
  }
  if (placements_.empty()) {
    FixVec2 cue = AiBallPos[0];
    if (!OnTable(cue)) {
      // A cue ball still in the pocket: the spot the game would give it,
      // found on the trial copy so the real table stays untouched.
      Pool& w = *work_;
      w = *saved_;
      w.PlaceCueBallInHand();
      cue = {w.ballStates[0].position.x, w.ballStates[0].position.z};
    }
    placements_.push_back(cue);
  }
}

}  // namespace ks
