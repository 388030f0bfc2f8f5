// Table geometry and the prediction of each ball's next event.
#include <algorithm>

#include "simulation/pool.h"

namespace ks {

namespace {

constexpr int32_t kCornerEnd = 206080;          // cushion end before a corner pocket
constexpr int32_t kSideGap = 176640;            // half the side-pocket mouth
constexpr int32_t kCornerBound = 206078;        // cushion contact limit near corners
constexpr int32_t kSideGapBound = 176638;       // cushion contact limit at the side pockets
constexpr int32_t kPocketOffset = 0xE000;       // 0.875
constexpr int32_t kSidePocketOffset = 0x2E000;  // 2.875
constexpr int32_t kDiag = 759250125;            // sqrt(1/2) in Fix30
constexpr int32_t kSideJawSin = 277904834;      // sin 15 degrees in Fix30
constexpr int32_t kSideJawCos = 1037154959;     // cos 15 degrees in Fix30

bool Travelling(uint8_t state) { return (state & kBallTravelling) != 0; }

int64_t Abs64(int64_t v) { return v < 0 ? -v : v; }

// (a * b) >> 24 on 64-bit values, saturated so that no product overflows.
int64_t Mul24(int64_t a, int64_t b) {
  const __int128 p = static_cast<__int128>(a) * b;
  __int128 r = p >> 24;
  const __int128 lim = static_cast<__int128>(1) << 60;
  if (r > lim) r = lim;
  if (r < -lim) r = -lim;
  return static_cast<int64_t>(r);
}

// Position along one axis after t: p + v t + a t^2 / 2.
int32_t AxisAt(int32_t p, int32_t v, int32_t a, uint32_t t) {
  const int64_t half = Mul24(a, t) / 2;
  return static_cast<int32_t>(std::clamp<int64_t>(p + Mul24(v + half, t), INT32_MIN, INT32_MAX));
}

// Quotient (num << 24) / den as a time, or -1 when negative or too large.
int64_t TimeQuotient(int64_t num, int64_t den) {
  if (den == 0) return -1;
  const __int128 q = (static_cast<__int128>(num) << 24) / den;
  if (q < 0 || q > 0x7FFFFFFF) return -1;
  return static_cast<int64_t>(q);
}

// Quartic coefficients keep 16 fraction bits of the squared length: with 8,
// slow relative motions (a few hundredths of a radius a second) round to
// zero and contacts between balls drifting together are missed.
int64_t QuarticCoeff(int64_t v) { return (v + (int64_t{1} << 15)) >> 16; }
constexpr int64_t kQ = 256;  // thresholds below are in 1/256 radius^2, scaled to the coefficients

int32_t Dot30(int32_t ax, int32_t az, int32_t bx, int32_t bz) {
  return Round64Shr30(WrapAdd64(SMul64(ax, bx), SMul64(az, bz)));
}

}  // namespace

// ---- geometry ----

void Pool::InitCushionGeometry() {
  TableGeometry& g = table;
  const int32_t hx = g.hx, hz = g.hz;
  g.cushion = {kFixOne16 - hx, hx - kFixOne16, kFixOne16 - hz, hz - kFixOne16};
  g.pocket = {FixVec2{-hx - kPocketOffset, -hz - kPocketOffset},
              FixVec2{hx + kPocketOffset, -hz - kPocketOffset},
              FixVec2{-hx - kPocketOffset, hz + kPocketOffset},
              FixVec2{hx + kPocketOffset, hz + kPocketOffset},
              FixVec2{-hx - kSidePocketOffset, 0},
              FixVec2{hx + kSidePocketOffset, 0}};
  g.knuckle = {FixVec2{-hx, kSideGap},        FixVec2{-hx, -kSideGap},          FixVec2{hx, kSideGap},
               FixVec2{hx, -kSideGap},        FixVec2{-hx, -(hz - kCornerEnd)}, FixVec2{-(hx - kCornerEnd), -hz},
               FixVec2{-hx, hz - kCornerEnd}, FixVec2{-(hx - kCornerEnd), hz},  FixVec2{hx, -(hz - kCornerEnd)},
               FixVec2{hx - kCornerEnd, -hz}, FixVec2{hx, hz - kCornerEnd},     FixVec2{hx - kCornerEnd, hz}};
  const int32_t h2 = hz >> 1;
  g.railAnchor = {FixVec2{0, -hz},  FixVec2{-hx, -h2}, FixVec2{hx, -h2},
                  FixVec2{-hx, h2}, FixVec2{0, hz},    FixVec2{hx, h2}};
  constexpr int32_t a = 0x10100, b = 109312, c = 123904;
  g.pocketAnchor = {FixVec2{a - hx, -b - hz}, FixVec2{hx - a, -b - hz}, FixVec2{-b - hx, -c},
                    FixVec2{-b - hx, a - hz}, FixVec2{hx + b, -c},      FixVec2{hx + b, a - hz},
                    FixVec2{-b - hx, hz - a}, FixVec2{-b - hx, c},      FixVec2{a - hx, hz + b},
                    FixVec2{hx - a, hz + b},  FixVec2{hx + b, c},       FixVec2{hx + b, hz - a}};
  InitPocketGeometry();
}

void Pool::InitPocketGeometry() {
  TableGeometry& g = table;
  // Jaw faces: the side pockets narrow by 15 degrees towards the back; the
  // corner jaws run at 45 degrees. Each normal points into the pocket mouth.
  g.jawNormal = {FixVec2{kSideJawSin, -kSideJawCos},
                 FixVec2{kSideJawSin, kSideJawCos},
                 FixVec2{-kSideJawSin, -kSideJawCos},
                 FixVec2{-kSideJawSin, kSideJawCos},
                 FixVec2{kDiag, -kDiag},
                 FixVec2{-kDiag, kDiag},
                 FixVec2{kDiag, kDiag},
                 FixVec2{-kDiag, -kDiag},
                 FixVec2{-kDiag, -kDiag},
                 FixVec2{kDiag, kDiag},
                 FixVec2{-kDiag, kDiag},
                 FixVec2{kDiag, -kDiag}};
  g.captureRadiusSq = static_cast<uint64_t>(SMul64(g.captureRadius, g.captureRadius));
  for (size_t i = 0; i < 12; ++i) {
    g.jawPoint[i] = FixVec2{g.knuckle[i].x + (g.jawNormal[i].x >> 14), g.knuckle[i].z + (g.jawNormal[i].z >> 14)};
  }
}

void Pool::InitPocketPositions() {
  TableGeometry& g = table;
  const int32_t hx = g.hx, hz = g.hz;
  constexpr int32_t m = 0x17000, f = 183552, n = 52480, s = 96512, one = 0x10000, half = 0x8000;
  g.pocketAim = {FixVec2{-hx - m, -hz - m},
                 FixVec2{hx + m, -hz - m},
                 FixVec2{-hx - m, hz + m},
                 FixVec2{hx + m, hz + m},
                 FixVec2{-hx - kSidePocketOffset, 0},
                 FixVec2{hx + kSidePocketOffset, 0}};
  g.pocketApproach = {
      FixVec2{one - hx, f - hz}, FixVec2{f - hx, one - hz}, FixVec2{-n - hx, one - hz}, FixVec2{one - hx, -n - hz},
      FixVec2{hx - f, one - hz}, FixVec2{hx - one, f - hz}, FixVec2{hx - one, -n - hz}, FixVec2{hx + n, one - hz},
      FixVec2{f - hx, hz - one}, FixVec2{one - hx, hz - f}, FixVec2{one - hx, hz + n},  FixVec2{-n - hx, hz - one},
      FixVec2{hx - one, hz - f}, FixVec2{hx - f, hz - one}, FixVec2{hx + n, hz - one},  FixVec2{hx - one, hz + n}};
  g.sidePocketApproach = {FixVec2{half - hx, s}, FixVec2{half - hx, -s}, FixVec2{hx - half, -s}, FixVec2{hx - half, s}};
}

void Pool::SnapshotBallPositions(FixVec2 out[kBallCount]) const {
  for (int b = 0; b < kBallCount; ++b) {
    const BallState& s = ballStates[b];
    out[b] = s.state == kBallOff ? FixVec2{INT32_MIN, INT32_MIN} : FixVec2{s.position.x, s.position.z};
  }
}

// ---- solvers ----

int32_t Pool::TimeToTravel(int32_t s, int32_t v) const {
  if (s < 0 || v < 1) return -1;
  if (s == 0) return 0;
  const int64_t d = rollingDecel2;
  if (d <= 0) return -1;
  const int64_t disc = SMul64(v, v) - 2 * d * s;
  if (disc < 0) return -1;
  const int64_t root = ISqrt64(static_cast<uint64_t>(disc));
  const int64_t num = (static_cast<int64_t>(v) - root) << 24;
  int64_t q = num / d;
  const int64_t rem = num % d;
  if (2 * rem >= d) ++q;
  if (q > 0x7FFFFFFF) return -1;
  return static_cast<int32_t>(q);
}

namespace {

struct Quartic {
  int64_t a4, a3, a2, a1, a0;
  int64_t F(int64_t t) const {
    int64_t r = Mul24(a4, t) + a3;
    r = Mul24(r, t) + a2;
    r = Mul24(r, t) + a1;
    return Mul24(r, t) + a0;
  }
  int64_t D(int64_t t) const {
    int64_t r = Mul24(4 * a4, t) + 3 * a3;
    r = Mul24(r, t) + 2 * a2;
    return Mul24(r, t) + a1;
  }
};

// Newton iterations from t towards the first root; -1 none, -2 beyond the horizon.
int64_t Newton(const Quartic& q, int64_t t, int64_t horizon, int64_t stepLimit) {
  for (int i = 0; i < 50; ++i) {
    const int64_t d = q.D(t);
    if (d >= 0) return -1;  // no longer approaching
    const int64_t f = q.F(t);
    if (f < 5 * kQ) return f < -64 * kQ ? -1 : t;
    const int64_t step = TimeQuotient(f, -d);
    if (step < 0) return -1;
    t += step;
    if (t >= horizon) return -2;
    if (step < stepLimit) return t;
  }
  return -1;
}

}  // namespace

static int64_t SolvePrimary(const int64_t c[5], uint32_t horizonU, bool touchingAllowed, bool newtonOnly) {
  const Quartic q{c[0], c[1], c[2], c[3], c[4]};
  const int64_t horizon = horizonU;
  // Newton from now.
  if (q.a1 < 0) {
    const int64_t t = TimeQuotient(std::max<int64_t>(q.a0, 0), -q.a1);
    if (t >= 0) {
      if (t >= horizon) return -1;
      if (t < 1) return static_cast<int64_t>(t);
      const int64_t r = Newton(q, t, horizon, 1);
      if (r >= 0) return r < horizon ? static_cast<int64_t>(r) : -1;
      if (r == -2) return -1;
    }
  }
  if (newtonOnly) return -1;
  // From the inflection point of the approach.
  const int64_t da2 = 4 * q.a4;
  if (da2 <= 0) return -1;
  const __int128 disc128 = static_cast<__int128>(q.a3) * q.a3 - (static_cast<__int128>(da2) * q.a2 * 2) / 3;
  if (disc128 < 0) return -1;
  const uint64_t discU = disc128 > static_cast<__int128>(UINT64_MAX) ? UINT64_MAX : static_cast<uint64_t>(disc128);
  const int64_t root = ISqrt64(discU);
  const int64_t t0 = TimeQuotient(root - q.a3, da2);
  if (t0 < 0) return -1;
  const int64_t f0 = q.F(t0);
  if (f0 >= 0) {
    if (t0 >= horizon || q.D(t0) >= 0) return -1;
    if (f0 < 5 * kQ) return static_cast<int64_t>(t0);
    const int64_t r = Newton(q, t0, horizon, 8);
    return (r >= 0 && r < horizon) ? static_cast<int64_t>(r) : -1;
  }
  if (t0 == 0) return -1;  // overlapping now and not approaching: no contact
  // Overlapping at t0: bisect between now and t0 for the first touch.
  int64_t lo = 0, hi = t0, pt = t0 / 2;
  for (int i = 0; i < 64; ++i) {
    const int64_t f = q.F(pt);
    int64_t next;
    if (f > 0) {
      if (f < 8 * kQ) break;
      lo = pt;
      next = (pt + hi) / 2;
    } else {
      if (pt == 0) {
        pt = (touchingAllowed && f == 0) ? 0 : -1;
        break;
      }
      hi = pt;
      next = (lo + pt) / 2;
    }
    const bool stop = Abs64(next - pt) < 4096;
    pt = next;
    if (stop) break;
  }
  return (pt >= 0 && pt < horizon) ? static_cast<int64_t>(pt) : -1;
}

int32_t Pool::SolveContactQuartic(const int64_t c[5], uint32_t horizonU, bool touchingAllowed, bool newtonOnly) const {
  const int64_t r = SolvePrimary(c, horizonU, touchingAllowed, newtonOnly);
  if (r >= 0) return static_cast<int32_t>(r);
  // Newton's first estimate is no bound when the gap closes faster than
  // linearly, so "beyond the horizon" may be wrong: when the balls are apart
  // now and touching by the horizon, bisect for the first touch.
  const Quartic q{c[0], c[1], c[2], c[3], c[4]};
  if (horizonU == 0) return -1;
  int64_t lo = 0, hi = static_cast<int64_t>(horizonU) - 1;
  if (q.F(hi) >= 5 * kQ) return -1;
  if (q.F(lo) < 5 * kQ) return q.a1 < 0 ? 0 : -1;  // touching now and closing
  for (int i = 0; i < 64 && hi - lo > 1; ++i) {
    const int64_t mid = lo + (hi - lo) / 2;
    if (q.F(mid) < 5 * kQ) {
      hi = mid;
    } else {
      lo = mid;
    }
  }
  return static_cast<int32_t>(hi);
}

// ---- per-ball events ----

namespace {

struct Candidate {
  uint32_t best = kNoTime;
  uint16_t kind = 0;
  void Offer(int64_t t, int k) {
    if (t >= 0 && static_cast<uint64_t>(t) < best) {
      best = static_cast<uint32_t>(t);
      kind = static_cast<uint16_t>(k);
    }
  }
};

}  // namespace

void Pool::PredictBallEvents() {
  const TableGeometry& g = table;
  const int32_t hx = g.hx, hz = g.hz;
  const int32_t lineX = hx - kFixOne16, lineZ = hz - kFixOne16;
  auto onSideCushion = [&](int32_t z) { return Abs32(z) <= hz - kCornerBound && Abs32(z) >= kSideGapBound; };
  auto onEndCushion = [&](int32_t x) { return Abs32(x) <= hx - kCornerBound; };
  auto jawAxisOk = [&](const FixVec2& q, int32_t cx, int32_t cz) {
    if (q.x <= -lineX) return cx <= q.x;
    if (q.x >= lineX) return cx >= q.x;
    if (q.z <= -lineZ) return cz <= q.z;
    if (q.z >= lineZ) return cz >= q.z;
    return false;
  };

  for (int i = 0; i < kBallCount; ++i) {
    BallMotion& m = motions[i];
    if (m.state == kBallAtRest || m.state == kBallOff || m.next.valid) continue;
    Candidate c;
    const FixVec3 p = m.start;
    if (m.state == kBallSpinning) {
      c.Offer(TimeQuotient(m.spin, spinDecay), i);
    } else if (m.state == kBallRolling) {
      c.Offer(TimeQuotient(m.speed, rollingDecel2), i);
      const FixVec3 d = m.direction;
      const int32_t v = m.speed;
      // Straight-line cushions: x first, then z unless an x contact counted.
      bool xRecorded = false;
      // A ball pushed past a cushion line within the cushion's span (it
      // cannot be there) meets the cushion at once rather than escape.
      auto cushionDistance = [&](int32_t gap, int32_t approach) -> int64_t {
        if (approach <= 0) return -1;
        if (gap < 0) return 0;
        const int64_t num = static_cast<int64_t>(gap) << 30;
        int64_t q = num / approach;
        if ((num % approach) * 2 >= approach) ++q;
        return q > 0x7FFFFFFF ? -1 : q;
      };
      if (d.x != 0) {
        const bool left = d.x < 0;
        const int32_t L = left ? -lineX : lineX;
        const int64_t dist = cushionDistance(left ? p.x - L : L - p.x, left ? -d.x : d.x);
        if (dist >= 0) {
          const int32_t zc = WrapAdd32(p.z, FixMul30(d.z, static_cast<int32_t>(dist)));
          const int32_t t = TimeToTravel(static_cast<int32_t>(dist), v);
          if (t >= 0 && onSideCushion(zc) && static_cast<uint32_t>(t) < c.best) {
            c.Offer(t, left ? kEventSideCushionLeft : kEventSideCushionRight);
            xRecorded = true;
          }
        }
      }
      if (!xRecorded && d.z != 0) {
        const bool nearEnd = d.z < 0;
        const int32_t L = nearEnd ? -lineZ : lineZ;
        const int64_t dist = cushionDistance(nearEnd ? p.z - L : L - p.z, nearEnd ? -d.z : d.z);
        if (dist >= 0) {
          const int32_t xc = WrapAdd32(p.x, FixMul30(d.x, static_cast<int32_t>(dist)));
          const int32_t t = TimeToTravel(static_cast<int32_t>(dist), v);
          if (t >= 0 && onEndCushion(xc)) c.Offer(t, nearEnd ? kEventEndCushionNear : kEventEndCushionFar);
        }
      }
      for (int k = 0; k < 12; ++k) {
        const FixVec2 q = g.jawPoint[static_cast<size_t>(k)], n = g.jawNormal[static_cast<size_t>(k)];
        const int32_t approach = WrapNeg32(Dot30(d.x, d.z, n.x, n.z));
        if (approach <= 0) continue;
        const int64_t num = static_cast<int64_t>(p.x - q.x) * n.x + static_cast<int64_t>(p.z - q.z) * n.z;
        if (num < 0) continue;
        const int64_t dist = num / approach;
        if (dist > 0x7FFFFFFF) continue;
        const int32_t t = TimeToTravel(static_cast<int32_t>(dist), v);
        if (t < 0 || static_cast<uint32_t>(t) >= c.best) continue;
        const int32_t cx = WrapAdd32(p.x, FixMul30(d.x, static_cast<int32_t>(dist)));
        const int32_t cz = WrapAdd32(p.z, FixMul30(d.z, static_cast<int32_t>(dist)));
        if (jawAxisOk(q, cx, cz)) c.Offer(t, kEventJawFirst + k);
      }
      auto circle = [&](const FixVec2& centre, int32_t radius, bool pocket) -> int32_t {
        const int64_t dx = static_cast<int64_t>(centre.x) - p.x, dz = static_cast<int64_t>(centre.z) - p.z;
        const int64_t proj = (dx * d.x + dz * d.z) >> 30;
        if (proj < 0) return -1;
        const int64_t disc = proj * proj + SMul64(radius, radius) - (dx * dx + dz * dz);
        if (pocket ? disc <= 0 : disc < 0) return -1;
        int64_t dist = proj - static_cast<int64_t>(ISqrt64(static_cast<uint64_t>(disc)));
        if (dist < 0) dist = 0;
        if (dist > 0x7FFFFFFF) return -1;
        return TimeToTravel(static_cast<int32_t>(dist), v);
      };
      const bool skipKnuckles = c.kind >= 16 && c.kind <= 27 && c.best != kNoTime;
      if (!skipKnuckles) {
        for (int k = 0; k < 12; ++k)
          c.Offer(circle(g.knuckle[static_cast<size_t>(k)], kFixOne16, false), kEventKnuckleFirst + k);
      }
      for (int k = 0; k < 6; ++k)
        c.Offer(circle(g.pocket[static_cast<size_t>(k)], g.captureRadius, true), kEventPocketFirst + k);
    } else if (m.state == kBallSliding) {
      c.Offer(TimeQuotient(m.slipSpeed, slidingFriction), i);
      const int32_t vx = FixMul30(m.direction.x, m.speed), vz = FixMul30(m.direction.z, m.speed);
      const int32_t ax = FixMul30(m.slip.x, slideTravelRate), az = FixMul30(m.slip.z, slideTravelRate);
      // Roots of a t^2 + 2 v t - e = 0 (e = 2 (line - position)).
      auto roots = [&](int64_t e, int64_t v, int64_t a, int64_t onLine, int64_t out[2]) {
        out[0] = out[1] = -1;
        if (Abs64(e) < onLine) {
          out[0] = 0;
          if (a != 0) out[1] = TimeQuotient(-2 * v, a);
          return;
        }
        const int64_t disc = v * v + e * a;
        if (disc < 0) return;
        const int64_t s = ISqrt64(static_cast<uint64_t>(disc));
        out[0] = TimeQuotient(-e, s - v);
        out[1] = TimeQuotient(e, s + v);
      };
      auto cushion = [&](bool xAxis, bool minus) {
        const int32_t pos = xAxis ? p.x : p.z, v = xAxis ? vx : vz, a = xAxis ? ax : az;
        if (v == 0 && a == 0) return;
        const int32_t L = xAxis ? (minus ? -lineX : lineX) : (minus ? -lineZ : lineZ);
        const bool past = minus ? pos < L : pos > L;
        const bool outward = minus ? v < 0 : v > 0;
        if (past && outward && (xAxis ? onSideCushion(p.z) : onEndCushion(p.x))) {
          c.Offer(0, xAxis ? (minus ? kEventSideCushionLeft : kEventSideCushionRight)
                           : (minus ? kEventEndCushionNear : kEventEndCushionFar));
          return;
        }
        int64_t t[2];
        roots(2 * (static_cast<int64_t>(L) - pos), v, a, 256, t);
        for (int64_t r : t) {
          if (r < 0 || static_cast<uint64_t>(r) >= c.best) continue;
          const int64_t vel = v + Mul24(a, r);
          if (minus ? vel > 0 : vel <= 0) continue;
          const int32_t other =
              xAxis ? AxisAt(p.z, vz, az, static_cast<uint32_t>(r)) : AxisAt(p.x, vx, ax, static_cast<uint32_t>(r));
          if (xAxis ? !onSideCushion(other) : !onEndCushion(other)) continue;
          c.Offer(r, xAxis ? (minus ? kEventSideCushionLeft : kEventSideCushionRight)
                           : (minus ? kEventEndCushionNear : kEventEndCushionFar));
        }
      };
      cushion(true, true);
      cushion(true, false);
      cushion(false, true);
      cushion(false, false);
      for (int k = 0; k < 12; ++k) {
        const FixVec2 q = g.jawPoint[static_cast<size_t>(k)], n = g.jawNormal[static_cast<size_t>(k)];
        const int64_t u = Dot30(vx, vz, n.x, n.z), w = Dot30(ax, az, n.x, n.z);
        const int64_t e = 2 * ((static_cast<int64_t>(q.x - p.x) * n.x + static_cast<int64_t>(q.z - p.z) * n.z) >> 30);
        int64_t t[2];
        roots(e, u, w, 1024, t);
        for (int64_t r : t) {
          if (r < 0 || static_cast<uint64_t>(r) >= c.best) continue;
          const int64_t velx = vx + Mul24(ax, r), velz = vz + Mul24(az, r);
          if (velx * n.x + velz * n.z >= 0) continue;
          const int32_t cx = AxisAt(p.x, vx, ax, static_cast<uint32_t>(r));
          const int32_t cz = AxisAt(p.z, vz, az, static_cast<uint32_t>(r));
          const bool inX = q.x < 1 ? cx >= -lineX : cx <= lineX;
          if (inX && cz >= -lineZ && cz <= lineZ) continue;
          if (!jawAxisOk(q, cx, cz)) continue;
          c.Offer(r, kEventJawFirst + k);
        }
      }
      auto circle = [&](const FixVec2& centre, int32_t radius, bool knuckle) -> int32_t {
        const int64_t dpx = static_cast<int64_t>(p.x) - centre.x, dpz = static_cast<int64_t>(p.z) - centre.z;
        int64_t co[5];
        co[0] = QuarticCoeff(static_cast<int64_t>(ax) * ax + static_cast<int64_t>(az) * az) / 4;
        co[1] = QuarticCoeff(static_cast<int64_t>(vx) * ax + static_cast<int64_t>(vz) * az);
        co[2] = QuarticCoeff(static_cast<int64_t>(vx) * vx + static_cast<int64_t>(vz) * vz + dpx * ax + dpz * az);
        co[3] = QuarticCoeff(2 * (dpx * vx + dpz * vz));
        co[4] = QuarticCoeff(dpx * dpx + dpz * dpz - SMul64(radius, radius));
        return SolveContactQuartic(co, c.best, knuckle);
      };
      if (!(c.kind >= 16 && c.kind <= 27 && c.best != kNoTime)) {
        for (int k = 0; k < 12; ++k)
          c.Offer(circle(g.knuckle[static_cast<size_t>(k)], kFixOne16, true), kEventKnuckleFirst + k);
      }
      for (int k = 0; k < 6; ++k)
        c.Offer(circle(g.pocket[static_cast<size_t>(k)], g.captureRadius, false), kEventPocketFirst + k);
    }
    m.next.time = c.best == kNoTime ? kNoTime : m.startTime + c.best;
    m.next.kind = c.kind;
    m.next.valid = 1;
  }
}

// ---- ball-ball contacts ----

void Pool::PrepareMotionVectors() {
  const StepRecord& r = Current();
  for (int i = 0; i < kBallCount; ++i) {
    MotionVector& mv = motionVectors[i];
    mv = MotionVector{};
    const uint8_t st = motions[i].state;
    if (!Travelling(st)) continue;
    const BallEntry& e = r.ball[i];
    mv.velocity = FixVec3{FixMul30(e.direction.x, e.speed), 0, FixMul30(e.direction.z, e.speed)};
    if (st == kBallRolling) {
      mv.acceleration = FixVec3{WrapNeg32(FixMul30(e.direction.x, rollingDecel2)), 0,
                                WrapNeg32(FixMul30(e.direction.z, rollingDecel2))};
    } else {
      FixVec3 slip{WrapSub32(mv.velocity.x, FixMul30(e.spinAxis.z, e.spin)), 0,
                   WrapAdd32(mv.velocity.z, FixMul30(e.spinAxis.x, e.spin))};
      Normalize2DScaled(slip);
      mv.acceleration =
          FixVec3{WrapNeg32(FixMul30(slip.x, slideTravelRate)), 0, WrapNeg32(FixMul30(slip.z, slideTravelRate))};
    }
  }
}

void Pool::PredictPairEvents() {
  PrepareMotionVectors();
  const StepRecord& r = Current();
  const uint32_t now = simClock;
  for (int i = 0; i < kBallCount; ++i) {
    if (!Travelling(motions[i].state)) continue;
    const BallEntry& ei = r.ball[i];
    for (int j = 0; j < kBallCount; ++j) {
      if (j == i || motions[j].state == kBallOff || pairTimes[i][j] != kNoTime) continue;
      const bool jMoving = Travelling(motions[j].state);
      if (jMoving && j < i) continue;
      const BallEntry& ej = r.ball[j];
      const uint32_t ownI = motions[i].next.time, ownJ = motions[j].next.time;
      const uint32_t end = std::min(ownI, ownJ);
      const uint32_t horizon = end > now ? end - now : 0;
      int64_t t = -1;
      if (!jMoving && motions[i].state == kBallRolling) {
        const int64_t dx = static_cast<int64_t>(ej.position.x) - ei.position.x;
        const int64_t dz = static_cast<int64_t>(ej.position.z) - ei.position.z;
        const int64_t proj = (dx * ei.direction.x + dz * ei.direction.z) >> 30;
        if (proj >= 0) {
          const int64_t disc = proj * proj + kContactDistSq - (dx * dx + dz * dz);
          if (disc > 0) {
            const int64_t dist = proj - static_cast<int64_t>(ISqrt64(static_cast<uint64_t>(disc)));
            if (dist < 1) {
              t = 0;
            } else if (dist <= 0x7FFFFFFF) {
              t = TimeToTravel(static_cast<int32_t>(dist), ei.speed);
            }
            if (t >= static_cast<int64_t>(horizon)) t = -1;
          }
        }
      } else {
        const MotionVector& mi = motionVectors[i];
        const MotionVector& mj = motionVectors[j];
        const int64_t dpx = static_cast<int64_t>(ei.position.x) - ej.position.x;
        const int64_t dpz = static_cast<int64_t>(ei.position.z) - ej.position.z;
        const int64_t dvx = static_cast<int64_t>(mi.velocity.x) - mj.velocity.x;
        const int64_t dvz = static_cast<int64_t>(mi.velocity.z) - mj.velocity.z;
        const int64_t dax = static_cast<int64_t>(mi.acceleration.x) - mj.acceleration.x;
        const int64_t daz = static_cast<int64_t>(mi.acceleration.z) - mj.acceleration.z;
        if (Abs64(dpx) < (int64_t{1} << 30) && Abs64(dpz) < (int64_t{1} << 30)) {
          int64_t co[5];
          co[0] = QuarticCoeff(dax * dax + daz * daz) / 4;
          co[1] = QuarticCoeff(dvx * dax + dvz * daz);
          co[2] = QuarticCoeff(dvx * dvx + dvz * dvz + dpx * dax + dpz * daz);
          co[3] = QuarticCoeff(2 * (dpx * dvx + dpz * dvz));
          co[4] = QuarticCoeff(dpx * dpx + dpz * dpz - kContactDistSq);
          // The full solver for every pair: two rolling balls that first
          // separate can still meet later, which Newton from now misses.
          t = SolveContactQuartic(co, horizon, false);
        }
      }
      pairTimes[i][j] = t >= 0 ? now + static_cast<uint32_t>(t) : kPairNoContact;
    }
  }
}

}  // namespace ks
