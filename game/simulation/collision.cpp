// Event collection and the collision responses.
#include <algorithm>

#include "simulation/pool.h"

namespace ks {

namespace {

bool Travelling(uint8_t state) { return (state & kBallTravelling) != 0; }

FixVec3 VelocityOf(const BallEntry& e) {
  return FixVec3{FixMul30(e.speed, e.direction.x), 0, FixMul30(e.speed, e.direction.z)};
}

FixVec3 SpinOf(const BallEntry& e) {
  return FixVec3{FixMul30(e.spin, e.spinAxis.x), FixMul30(e.spin, e.spinAxis.y), FixMul30(e.spin, e.spinAxis.z)};
}

void StoreVelocity(BallEntry& e, FixVec3 v) {
  v.y = 0;
  e.speed = Length2D(v);
  if (e.speed != 0) {
    Normalize2DScaled(v);
    e.direction = FixVec3{v.x, 0, v.z};
  }
}

void StoreSpin(BallEntry& e, FixVec3 w) {
  e.spin = Length3D(w);
  Normalize3DScaled(w);
  e.spinAxis = w;
}

int32_t Rs30(int64_t v) { return Round64Shr30(v); }

int32_t SignedBy(int32_t magnitude, int32_t sign) { return sign < 0 ? WrapNeg32(magnitude) : magnitude; }

// Unit plane vector from a to b. The difference is scaled up for precision
// while it fits 32 bits (touching balls are about 2^17 apart).
FixVec3 ContactNormal(const FixVec3& a, const FixVec3& b) {
  int64_t dx = static_cast<int64_t>(b.x) - a.x;
  int64_t dz = static_cast<int64_t>(b.z) - a.z;
  int shift = 13;
  while (shift > 0 && (std::max(dx < 0 ? -dx : dx, dz < 0 ? -dz : dz) << shift) >= (int64_t{1} << 30)) --shift;
  while ((dx < 0 ? -dx : dx) >= (int64_t{1} << 30) || (dz < 0 ? -dz : dz) >= (int64_t{1} << 30)) {
    dx /= 2;
    dz /= 2;
  }
  FixVec3 n{static_cast<int32_t>(dx << shift), 0, static_cast<int32_t>(dz << shift)};
  if (n.x == 0 && n.z == 0) n.x = kFixOne30;  // coincident centres: any normal separates them
  Normalize2D(n);
  return n;
}

int64_t DistanceSq(const FixVec3& a, const FixVec3& b) {
  const int64_t dx = static_cast<int64_t>(b.x) - a.x;
  const int64_t dz = static_cast<int64_t>(b.z) - a.z;
  return dx * dx + dz * dz;
}

}  // namespace

// ---- event collection ----

void Pool::OfferEvent(uint8_t a, uint8_t b, uint32_t relative) {
  if (relative < timeToNextEvent) {
    timeToNextEvent = relative;
    eventList[0] = EventPair{a, b};
    eventCount = 1;
  } else if (relative == timeToNextEvent && eventCount < static_cast<int32_t>(eventList.size())) {
    // A full list drops the extra pairs: they are found again at relative
    // time 0 in the next step.
    eventList[static_cast<size_t>(eventCount++)] = EventPair{a, b};
  }
}

bool Pool::InGrazingList(int a, int b) const {
  for (int i = 0; i < grazingCount; ++i) {
    const EventPair& p = grazingList[static_cast<size_t>(i)];
    if ((p.a == a && p.b == b) || (p.a == b && p.b == a)) return true;
  }
  return false;
}

void Pool::AddGrazing(int a, int b) {
  if (InGrazingList(a, b)) return;
  if (grazingCount < static_cast<int32_t>(grazingList.size())) {
    grazingList[static_cast<size_t>(grazingCount++)] = EventPair{static_cast<uint8_t>(a), static_cast<uint8_t>(b)};
  }
}

void Pool::CollectEvents() {
  timeToNextEvent = kNoTime;
  eventCount = 0;
  movingSecondBall = 0;
  auto relative = [&](uint32_t t) { return t >= simClock ? t - simClock : 0u; };
  // (1) own changes of motion.
  for (int a = 0; a < kBallCount; ++a) {
    const BallMotion& m = motions[a];
    if (m.state == kBallAtRest || m.state == kBallOff) continue;
    if (m.next.time != kNoTime && m.next.kind == a)
      OfferEvent(static_cast<uint8_t>(a), static_cast<uint8_t>(a), relative(m.next.time));
  }
  // (2) cushions, pockets, jaws and knuckles; equal times keep the state changes.
  const uint32_t t1 = timeToNextEvent;
  const int32_t n1 = eventCount;
  for (int a = 0; a < kBallCount; ++a) {
    const BallMotion& m = motions[a];
    if (m.state == kBallAtRest || m.state == kBallOff) continue;
    if (m.next.time != kNoTime && m.next.kind != a)
      OfferEvent(static_cast<uint8_t>(a), static_cast<uint8_t>(m.next.kind), relative(m.next.time));
  }
  if (timeToNextEvent == t1) eventCount = n1;
  // (3) ball-ball contacts.
  const uint32_t t2 = timeToNextEvent;
  const int32_t n2 = eventCount;
  ballPairListStart = eventCount;
  for (int a = 0; a < kBallCount; ++a) {
    if (!Travelling(motions[a].state)) continue;
    for (int b = 0; b < kBallCount; ++b) {
      if (b == a || motions[b].state == kBallOff) continue;
      if (Travelling(motions[b].state) && b < a) continue;
      const uint32_t t = pairTimes[a][b];
      if (t == kNoTime || t == kPairNoContact) continue;
      if (InGrazingList(a, b)) continue;
      OfferEvent(static_cast<uint8_t>(a), static_cast<uint8_t>(b), relative(t));
    }
  }
  if (timeToNextEvent == t2) {
    eventCount = n2;
  } else {
    ballPairListStart = 0;
    const EventPair first = eventList[0];
    lastBall = first.b;
    movingSecondBall = Travelling(motions[first.b].state) ? 1 : 0;
    if (!movingSecondBall) {
      // Nearly simultaneous hits of the same ball are handled together.
      const int a = first.a;
      for (int b = 0; b < kBallCount && eventCount < static_cast<int32_t>(eventList.size()); ++b) {
        if (b == a || motions[b].state == kBallOff) continue;
        const uint32_t t = pairTimes[a][b];
        if (t == kNoTime || t == kPairNoContact || InGrazingList(a, b)) continue;
        const uint32_t r = relative(t);
        if (r <= timeToNextEvent || r - timeToNextEvent >= kMultiHitWindow) continue;
        if (Travelling(motions[b].state) && b < a) continue;
        eventList[static_cast<size_t>(eventCount++)] = EventPair{static_cast<uint8_t>(a), static_cast<uint8_t>(b)};
      }
    }
  }
  if (timeToNextEvent != 0) grazingCount = 0;
}

// ---- motion-state changes ----

void Pool::SetSliding(BallEntry& e) const {
  e.state = kBallSliding;
  if (e.speed < kRestThreshold + 1) {
    if (e.spin > kRestThreshold && Abs32(e.spinAxis.y) > kVerticalAxis) {
      e.state = kBallSpinning;
      e.spin = Abs32(FixMul30(e.spinAxis.y, e.spin));
      e.spinAxis = FixVec3{0, e.spinAxis.y < 0 ? -kFixOne30 : kFixOne30, 0};
      e.speed = 0;
      e.direction = FixVec3{};
    } else if (e.spin <= kRestThreshold) {
      e.state = kBallAtRest;
      e.speed = 0;
      e.spin = 0;
    }
  }
}

void Pool::ApplyStateChange(int ball) {
  BallEntry& e = Next().ball[ball];
  switch (e.state) {
    case kBallSpinning:
      e.state = kBallAtRest;
      break;
    case kBallRolling:
      e.state = e.spin > kRestThreshold ? kBallSpinning : kBallAtRest;
      break;
    case kBallSliding:
      if (e.speed > kRestThreshold) {
        e.state = kBallRolling;
      } else {
        e.state = e.spin > kRestThreshold ? kBallSpinning : kBallAtRest;
      }
      break;
    default:
      break;
  }
  if (e.state == kBallAtRest) {
    e.speed = 0;
    e.spin = 0;
  } else if (e.state == kBallSpinning) {
    e.spin = Abs32(FixMul30(e.spinAxis.y, e.spin));
    e.spinAxis = FixVec3{0, e.spinAxis.y < 0 ? -kFixOne30 : kFixOne30, 0};
    e.speed = 0;
    e.direction = FixVec3{};
    if (e.spin == 0) e.state = kBallAtRest;
  }
  BuildMotion(ball, e);
}

// ---- ball-ball ----

// Separating two overlapping balls must not push one through a cushion: a
// ball that was inside the cushion lines stays inside them.
void Pool::KeepInside(BallEntry& e, const FixVec3& was) const {
  const int32_t mx = table.hx - kBallRadius, mz = table.hz - kBallRadius;
  const bool wasInside = was.x >= -mx && was.x <= mx && was.z >= -mz && was.z <= mz;
  if (!wasInside) return;
  e.position.x = std::clamp(e.position.x, -mx, mx);
  e.position.z = std::clamp(e.position.z, -mz, mz);
}

void Pool::ApplyNormalExchange(BallEntry& a, BallEntry& b, bool aTravelling, bool bTravelling) const {
  const FixVec3 n = contactNormal;
  const int32_t c =
      Rs30(WrapAdd64(SMul64(WrapSub32(FixMul30(a.speed, a.direction.x), FixMul30(b.speed, b.direction.x)), n.x),
                     SMul64(WrapSub32(FixMul30(a.speed, a.direction.z), FixMul30(b.speed, b.direction.z)), n.z)));
  const int32_t k = WrapAdd32(c, 16);
  if (k < 0) return;
  auto receive = [&](BallEntry& e, int32_t j) {
    FixVec3 v = VelocityOf(e);
    v.x = WrapAdd32(v.x, FixMul30(j, n.x));
    v.z = WrapAdd32(v.z, FixMul30(j, n.z));
    StoreVelocity(e, v);
  };
  if (!aTravelling) {
    receive(b, k);
  } else if (!bTravelling) {
    receive(a, WrapSub32(-16, c));
  } else {
    receive(b, k >> 1);
    receive(a, WrapNeg32(k >> 1));
  }
}

int32_t Pool::ApplyBallCollision(int ia, int ib) {
  BallEntry& A0 = Next().ball[ia];
  BallEntry& B0 = Next().ball[ib];
  if (A0.state == kBallOff || B0.state == kBallOff) return 0;
  SetSliding(A0);
  SetSliding(B0);
  const bool ta = Travelling(A0.state);
  const bool tb = Travelling(B0.state);
  if (!ta && !tb) {
    BuildMotion(ia, A0);
    BuildMotion(ib, B0);
    return 0;
  }
  // The travelling ball plays a.
  const int a = ta ? ia : ib;
  const int b = ta ? ib : ia;
  BallEntry& A = Next().ball[a];
  BallEntry& B = Next().ball[b];
  FixVec3 n = ContactNormal(A.position, B.position);
  contactNormal = n;
  int32_t strength = 0;

  if (!(ta && tb)) {
    // a travelling ball meets a ball at rest or spinning in place.
    if (DistanceSq(A.position, B.position) < kContactDistSq) {
      const FixVec3 was = A.position;
      A.position.x = WrapAdd32(B.position.x, FixMul30(n.x, -131074));
      A.position.z = WrapAdd32(B.position.z, FixMul30(n.z, -131074));
      KeepInside(A, was);
    }
    const bool bSpins = B.state == kBallSpinning;
    FixVec3 Va = VelocityOf(A), Wa = SpinOf(A);
    FixVec3 Vb{}, Wb{0, bSpins ? SpinOf(B).y : 0, 0};
    int32_t c = Rs30(WrapAdd64(SMul64(Va.x, n.x), SMul64(Va.z, n.z)));
    if (c < 0) c = 0;
    strength = c;
    // A grazing touch, or one too weak to move the other ball, is not taken
    // again in this instant: balls frozen together would trade it forever.
    if (c <= (A.speed >> 4) || c <= kRestThreshold) AddGrazing(a, b);
    const int32_t t = Abs32(Rs30(WrapSub64(SMul64(Va.z, n.x), SMul64(Va.x, n.z))));
    const int32_t q = Rs30(WrapSub64(SMul64(Wa.z, n.x), SMul64(Wa.x, n.z)));
    const FixVec3 f{Rs30(WrapAdd64(SMul64(Abs32(n.z), SignedBy(t, Va.x)), SMul64(n.z, Wa.y))), 0,
                    Rs30(WrapSub64(SMul64(Abs32(n.x), SignedBy(t, Va.z)), SMul64(n.x, Wa.y)))};
    const FixVec3 g{FixMul30(Wb.y, WrapNeg32(n.z)), 0, FixMul30(Wb.y, n.x)};
    const int32_t k1 = static_cast<int32_t>(UMulShr30(static_cast<uint32_t>(impactBias + c), kTwoSevenths30));
    const int32_t dfx = FixMul30(f.x, k1), dfz = FixMul30(f.z, k1);
    Va.x = WrapSub32(Va.x, dfx);
    Va.z = WrapSub32(Va.z, dfz);
    Vb.x = WrapAdd32(Vb.x, dfx >> 1);
    Vb.z = WrapAdd32(Vb.z, dfz >> 1);
    if (bSpins) {
      const int32_t dgx = FixMul30(g.x, k1), dgz = FixMul30(g.z, k1);
      Vb.x = WrapSub32(Vb.x, dgx);
      Vb.z = WrapSub32(Vb.z, dgz);
      Va.x = WrapAdd32(Va.x, dgx >> 1);
      Va.z = WrapAdd32(Va.z, dgz >> 1);
    }
    const int32_t k2 = static_cast<int32_t>(UMulShr28(static_cast<uint32_t>(impactBias + c), kFiveSevenths30));
    const int32_t ex = FixMul30(FixMul30(q, n.z), k2);
    const int32_t ez = FixMul30(FixMul30(q, n.x), k2);
    const int32_t ey = FixMul30(Rs30(WrapSub64(SMul64(f.z, n.x), SMul64(f.x, n.z))), k2);
    Wa.x = WrapAdd32(Wa.x, ex);
    Wa.z = WrapSub32(Wa.z, ez);
    Wa.y = WrapAdd32(Wa.y, ey);
    Wb.x = WrapAdd32(Wb.x, ex >> 1);
    Wb.z = WrapSub32(Wb.z, ez >> 1);
    Wb.y = WrapAdd32(Wb.y, ey >> 1);
    if (bSpins) {
      const int32_t eg = FixMul30(Rs30(WrapSub64(SMul64(g.z, n.x), SMul64(g.x, n.z))), k2);
      Wb.y = WrapSub32(Wb.y, eg);
      Wa.y = WrapSub32(Wa.y, eg >> 1);
    }
    const int32_t ncx = FixMul30(n.x, c), ncz = FixMul30(n.z, c);
    Va.x = WrapSub32(Va.x, ncx);
    Va.z = WrapSub32(Va.z, ncz);
    Vb.x = WrapAdd32(Vb.x, WrapSub32(ncx, ncx >> 4));
    Vb.z = WrapAdd32(Vb.z, WrapSub32(ncz, ncz >> 4));
    StoreVelocity(A, Va);
    StoreSpin(A, Wa);
    StoreVelocity(B, Vb);
    StoreSpin(B, Wb);
    if (B.speed != 0 && B.direction.x == 0 && B.direction.z == 0) B.direction = n;
  } else {
    // Two travelling balls.
    if (DistanceSq(A.position, B.position) < kContactDistSq) {
      const int32_t mx = static_cast<int32_t>((static_cast<int64_t>(A.position.x) + B.position.x) >> 1);
      const int32_t mz = static_cast<int32_t>((static_cast<int64_t>(A.position.z) + B.position.z) >> 1);
      const int32_t ox = FixMul30(n.x, 0x10001), oz = FixMul30(n.z, 0x10001);
      const FixVec3 wasA = A.position, wasB = B.position;
      B.position.x = WrapAdd32(mx, ox);
      B.position.z = WrapAdd32(mz, oz);
      A.position.x = WrapSub32(mx, ox);
      A.position.z = WrapSub32(mz, oz);
      KeepInside(A, wasA);
      KeepInside(B, wasB);
    }
    FixVec3 Va = VelocityOf(A), Wa = SpinOf(A), Vb = VelocityOf(B), Wb = SpinOf(B);
    const int32_t ca = Rs30(WrapAdd64(SMul64(Va.x, n.x), SMul64(Va.z, n.z)));
    const int32_t cb = Rs30(WrapAdd64(SMul64(Vb.x, n.x), SMul64(Vb.z, n.z)));
    const int32_t s = Abs32(WrapSub32(cb, ca));
    strength = s;
    const bool grazeA = ca <= (A.speed >> 4);
    const bool grazeB = WrapNeg32(cb) <= (B.speed >> 4);
    const int32_t rel = WrapAdd32(Abs32(WrapSub32(Vb.x, Va.x)), Abs32(WrapSub32(Vb.z, Va.z))) >> 4;
    if ((grazeA && grazeB) || s <= rel || s <= kRestThreshold) AddGrazing(a, b);
    const int32_t qa = Rs30(WrapSub64(SMul64(Wa.z, n.x), SMul64(Wa.x, n.z)));
    const int32_t ta2 = Abs32(Rs30(WrapSub64(SMul64(Va.z, n.x), SMul64(Va.x, n.z))));
    const FixVec3 fa{Rs30(WrapAdd64(SMul64(Abs32(n.z), SignedBy(ta2, Va.x)), SMul64(n.z, Wa.y))), 0,
                     Rs30(WrapSub64(SMul64(Abs32(n.x), SignedBy(ta2, Va.z)), SMul64(n.x, Wa.y)))};
    const int32_t qb = Rs30(WrapSub64(SMul64(Wb.x, n.z), SMul64(Wb.z, n.x)));
    const int32_t tb2 = Abs32(Rs30(WrapSub64(SMul64(Vb.z, n.x), SMul64(Vb.x, n.z))));
    const FixVec3 fb{Rs30(WrapSub64(SMul64(Abs32(n.z), SignedBy(tb2, Vb.x)), SMul64(n.z, Wb.y))), 0,
                     Rs30(WrapAdd64(SMul64(Abs32(n.x), SignedBy(tb2, Vb.z)), SMul64(n.x, Wb.y)))};
    const int32_t k1 = static_cast<int32_t>(UMulShr30(static_cast<uint32_t>(impactBias + s), kTwoSevenths30));
    int32_t d = FixMul30(fa.x, k1);
    Va.x = WrapSub32(Va.x, d);
    Vb.x = WrapAdd32(Vb.x, d >> 1);
    d = FixMul30(fa.z, k1);
    Va.z = WrapSub32(Va.z, d);
    Vb.z = WrapAdd32(Vb.z, d >> 1);
    d = FixMul30(fb.x, k1);
    Vb.x = WrapSub32(Vb.x, d);
    Va.x = WrapAdd32(Va.x, d >> 1);
    d = FixMul30(fb.z, k1);
    Vb.z = WrapSub32(Vb.z, d);
    Va.z = WrapAdd32(Va.z, d >> 1);
    const int32_t k2 = static_cast<int32_t>(UMulShr30(static_cast<uint32_t>(impactBias + s), kFiveSevenths30));
    int32_t e = FixMul28(FixMul30(qa, n.z), k2);
    Wa.x = WrapAdd32(Wa.x, e);
    Wb.x = WrapAdd32(Wb.x, e >> 1);
    e = FixMul28(FixMul30(qa, n.x), k2);
    Wa.z = WrapSub32(Wa.z, e);
    Wb.z = WrapSub32(Wb.z, e >> 1);
    e = FixMul30(Rs30(WrapSub64(SMul64(fa.z, n.x), SMul64(fa.x, n.z))), k2);
    Wa.y = WrapAdd32(Wa.y, e);
    Wb.y = WrapAdd32(Wb.y, e >> 1);
    e = FixMul28(FixMul30(qb, n.z), k2);
    Wb.x = WrapSub32(Wb.x, e);
    Wa.x = WrapSub32(Wa.x, e >> 1);
    e = FixMul28(FixMul30(qb, n.x), k2);
    Wb.z = WrapAdd32(Wb.z, e);
    Wa.z = WrapAdd32(Wa.z, e >> 1);
    e = FixMul30(Rs30(WrapSub64(SMul64(fb.z, n.x), SMul64(fb.x, n.z))), k2);
    Wb.y = WrapSub32(Wb.y, e);
    Wa.y = WrapSub32(Wa.y, e >> 1);
    int32_t dx = FixMul30(n.x, ca), dz = FixMul30(n.z, ca);
    Va.x = WrapSub32(Va.x, dx);
    Va.z = WrapSub32(Va.z, dz);
    Vb.x = WrapAdd32(Vb.x, WrapSub32(dx, dx >> 4));
    Vb.z = WrapAdd32(Vb.z, WrapSub32(dz, dz >> 4));
    dx = FixMul30(n.x, cb);
    dz = FixMul30(n.z, cb);
    Vb.x = WrapSub32(Vb.x, dx);
    Vb.z = WrapSub32(Vb.z, dz);
    Va.x = WrapAdd32(Va.x, WrapSub32(dx, dx >> 4));
    Va.z = WrapAdd32(Va.z, WrapSub32(dz, dz >> 4));
    StoreVelocity(A, Va);
    StoreSpin(A, Wa);
    StoreVelocity(B, Vb);
    StoreSpin(B, Wb);
  }
  ApplyNormalExchange(A, B, true, ta && tb);
  SetSliding(A);
  SetSliding(B);
  BuildMotion(a, A);
  BuildMotion(b, B);
  PlayCollisionSound(1, strength);
  return strength;
}

int32_t Pool::ApplyMultiCollision(const EventPair* pairs, int count) {
  struct Contact {
    int other;
    FixVec3 n;
    int32_t k;
  };
  std::array<std::array<Contact, kBallCount>, kBallCount> contacts{};
  std::array<int, kBallCount> contactCount{};
  std::array<FixVec2, kBallCount> impulse{};
  StepRecord& r = Next();
  auto addContact = [&](int a, int b) {
    for (int i = 0; i < contactCount[a]; ++i) {
      if (contacts[a][i].other == b) return;
    }
    if (contactCount[a] < kBallCount) contacts[a][contactCount[a]++].other = b;
  };
  for (int i = 0; i < count; ++i) {
    const int a = pairs[i].a, b = pairs[i].b;
    if (r.ball[a].state == kBallOff || r.ball[b].state == kBallOff) continue;
    addContact(a, b);
    if (b > a && Travelling(r.ball[b].state)) addContact(b, a);
  }
  int32_t total = 0;
  std::array<int32_t, kBallCount> share{};
  for (int a = 0; a < kBallCount; ++a) {
    const BallEntry& A = r.ball[a];
    for (int i = 0; i < contactCount[a]; ++i) {
      Contact& c = contacts[a][i];
      c.n = ContactNormal(A.position, r.ball[c.other].position);
      c.k = Rs30(WrapAdd64(SMul64(A.direction.x, c.n.x), SMul64(A.direction.z, c.n.z)));
    }
    share[a] = 0x10000;
    if (contactCount[a] > 1) {
      int64_t s1 = 0, s2 = 0;
      for (int i = 0; i < contactCount[a]; ++i) {
        s1 += static_cast<int32_t>(ToInt64(SSquareTo64(contacts[a][i].k)) >> 32) >> 15;
      }
      for (int i = 0; i < contactCount[a]; ++i) {
        for (int j = i + 1; j < contactCount[a]; ++j) {
          const Contact &ci = contacts[a][i], &cj = contacts[a][j];
          const int32_t dot = Rs30(WrapAdd64(SMul64(ci.n.x, cj.n.x), SMul64(ci.n.z, cj.n.z)));
          s2 += static_cast<int32_t>(SMul64(FixMul30(dot, ci.k), cj.k) >> 32) >> 16;
        }
      }
      const int32_t S1 = static_cast<int32_t>(std::clamp<int64_t>(s1, INT32_MIN, INT32_MAX));
      const int32_t S2 = static_cast<int32_t>(std::clamp<int64_t>(s2, INT32_MIN, INT32_MAX));
      if (S2 == 0) {
        share[a] = 0x10000;
      } else if (Abs32(S2 >> 15) >= (S1 >> 1) || S1 <= 0) {
        share[a] = 0;
      } else {
        const int32_t q = SDiv64By32To64(FromInt64(static_cast<int64_t>(S2) * (int64_t{1} << 17)), S1, nullptr);
        const int64_t den = static_cast<int64_t>(q) + 0x10000;
        share[a] = den > 0 ? static_cast<int32_t>(
                                 UDiv64By32To64(FromUint64(uint64_t{1} << 32), static_cast<uint32_t>(den), nullptr))
                           : 0;
      }
    }
  }
  for (int a = 0; a < kBallCount; ++a) {
    const BallEntry& A = r.ball[a];
    const FixVec3 V = VelocityOf(A);
    for (int i = 0; i < contactCount[a]; ++i) {
      const Contact& c = contacts[a][i];
      int32_t J = FixMul16(Rs30(WrapAdd64(SMul64(c.n.x, V.x), SMul64(c.n.z, V.z))), share[a]);
      if (J <= kRestThreshold) AddGrazing(a, c.other);
      if (J < 4096) J = 4096;
      impulse[c.other].x = WrapAdd32(impulse[c.other].x, FixMul30(c.n.x, J));
      impulse[c.other].z = WrapAdd32(impulse[c.other].z, FixMul30(c.n.z, J));
      impulse[a].x = WrapSub32(impulse[a].x, FixMul30(c.n.x, J));
      impulse[a].z = WrapSub32(impulse[a].z, FixMul30(c.n.z, J));
      total = WrapAdd32(total, J);
    }
  }
  for (int a = 0; a < kBallCount; ++a) {
    if (impulse[a].x == 0 && impulse[a].z == 0) continue;
    BallEntry& A = r.ball[a];
    if (A.state == kBallOff) continue;
    FixVec3 V = VelocityOf(A);
    V.x = WrapAdd32(V.x, impulse[a].x);
    V.z = WrapAdd32(V.z, impulse[a].z);
    StoreVelocity(A, V);
    if (A.speed != 0 && A.direction.x == 0 && A.direction.z == 0) A.direction = FixVec3{impulse[a].x, 0, impulse[a].z};
    A.speed = WrapSub32(A.speed, A.speed >> 3);
    if (A.spin == 0) A.spinAxis = FixVec3{};
    SetSliding(A);
    BuildMotion(a, A);
  }
  PlayCollisionSound(1, total);
  return total;
}

// ---- cushions, jaws, knuckles, pockets ----

// Collision of a ball with a fixed obstacle whose normal points towards the
// ball. The normal speed is reflected in one step: the ball leaves with
// factor * (impact + push) - impact along the normal, which is positive for
// every factor above 1, so no repetition is needed. Friction at the contact
// removes tangential slip (2/7 from the travel, 5/7 from the side spin) up
// to a Coulomb limit, and the cushion nose halves the rolling spin.
int32_t Pool::ApplyObstacle(int ball, const FixVec3& n, int32_t factor) {
  BallEntry& E = Next().ball[ball];
  if (E.state == kBallOff) return 0;
  FixVec3 V = VelocityOf(E);
  FixVec3 W = SpinOf(E);
  const int32_t vn = Rs30(WrapAdd64(SMul64(V.x, n.x), SMul64(V.z, n.z)));
  int32_t strength = 0;
  if (vn < 0) {
    const int32_t impact = WrapNeg32(vn);
    strength = impact;
    const int32_t J = FixMul28(WrapAdd32(impact, minimumPush), factor);
    V.x = WrapAdd32(V.x, FixMul30(n.x, J));
    V.z = WrapAdd32(V.z, FixMul30(n.z, J));
    const FixVec3 t{WrapNeg32(n.z), 0, n.x};
    const int32_t slip = WrapAdd32(Rs30(WrapAdd64(SMul64(V.x, t.x), SMul64(V.z, t.z))), W.y);
    if (Abs32(slip) > slipThreshold) {
      int32_t dv = FixMul30(slip, static_cast<int32_t>(kTwoSevenths30));
      const int32_t limit = static_cast<int32_t>((static_cast<int64_t>(impact) * impactScale) >> 20);
      if (Abs32(dv) > limit) dv = dv < 0 ? -limit : limit;
      const int32_t dw = static_cast<int32_t>((static_cast<int64_t>(dv) * 5) / 2);
      V.x = WrapSub32(V.x, FixMul30(t.x, dv));
      V.z = WrapSub32(V.z, FixMul30(t.z, dv));
      W.y = WrapSub32(W.y, dw);
    }
    W.x = FixMul16(W.x, spinKeep);
    W.z = FixMul16(W.z, spinKeep);
  }
  StoreVelocity(E, V);
  StoreSpin(E, W);
  SetSliding(E);
  BuildMotion(ball, E);
  return strength;
}

int32_t Pool::ApplyTableCushion(int ball, int code) {
  FixVec3 n;
  switch (code) {
    case kEventSideCushionLeft:
      n = FixVec3{kFixOne30, 0, 0};
      break;
    case kEventSideCushionRight:
      n = FixVec3{-kFixOne30, 0, 0};
      break;
    case kEventEndCushionNear:
      n = FixVec3{0, 0, kFixOne30};
      break;
    case kEventEndCushionFar:
      n = FixVec3{0, 0, -kFixOne30};
      break;
    default:
      return 0;
  }
  contactNormal = n;
  BallEntry& E = Next().ball[ball];
  if (E.state == kBallOff) return 0;
  // Keep the centre inside the cushion lines.
  const int32_t mx = table.hx - kBallRadius, mz = table.hz - kBallRadius;
  E.position.x = std::clamp(E.position.x, -mx, mx);
  E.position.z = std::clamp(E.position.z, -mz, mz);
  const int32_t s = ApplyObstacle(ball, n, cushionFactor);
  PlayCollisionSound(7, s);
  return s;
}

int32_t Pool::ApplyJawLine(int ball, int jaw) {
  if (jaw < 0 || jaw >= 12) return 0;
  const FixVec3 n{table.jawNormal[static_cast<size_t>(jaw)].x, 0, table.jawNormal[static_cast<size_t>(jaw)].z};
  contactNormal = n;
  const int32_t s = ApplyObstacle(ball, n, jawFactor);
  PlayCollisionSound(7, s);
  return s;
}

int32_t Pool::ApplyKnuckle(int ball, int knuckle) {
  if (knuckle < 0 || knuckle >= 12) return 0;
  const BallEntry& E = Next().ball[ball];
  if (E.state == kBallOff) return 0;
  const FixVec2 k = table.knuckle[static_cast<size_t>(knuckle)];
  FixVec3 n = ContactNormal(FixVec3{k.x, 0, k.z}, E.position);
  contactNormal = n;
  const int32_t s = ApplyObstacle(ball, n, knuckleFactor);
  PlayCollisionSound(7, s);
  return s;
}

void Pool::ApplyPocketDrop(int ball) {
  BallEntry& E = Next().ball[ball];
  if (E.state == kBallOff) return;
  const int32_t strength = E.speed;
  E.state = kBallOff;
  E.speed = 0;
  E.spin = 0;
  BuildMotion(ball, E);
  PlayCollisionSound(10, strength);
}

void Pool::PlayCollisionSound(int kind, int32_t strength) {
  if (silent || !sound) return;
  uint32_t v = static_cast<uint32_t>(strength < 0 ? 0 : strength) >> 7;
  if (v > 65535) v = 65535;
  static constexpr int kClass[4] = {0, 1, 1, 2};
  const int cls = kClass[v >> 14];
  const uint32_t pitch = (~v >> 10) & 63;
  int64_t delay = static_cast<int64_t>(simClock / kUnitsPerTick) - static_cast<int64_t>(shotClock);
  if (delay < 1) delay = 1;
  if (kind == 10) delay += pitch >> 1;
  PlayEffect(cls + kind, static_cast<uint32_t>(delay));
}

// ---- facts for the rules ----

void Pool::RecordRuleFacts() {
  for (int i = 0; i < eventCount; ++i) {
    const EventPair p = eventList[static_cast<size_t>(i)];
    if (p.a >= kBallCount) continue;
    if (p.b >= kEventPocketFirst && p.b < kEventPocketFirst + 6) {
      rules.PocketOf[p.a] = static_cast<int8_t>(p.b - kEventPocketFirst);
    }
    if (rules.FirstHit == 0 && p.a == 0 && p.b != 0 && p.b < kBallCount) rules.FirstHit = p.b;
    if (rules.FirstHit != 0 && p.b >= 16) rules.RailAfterContact[p.a] = 1;
  }
}

}  // namespace ks
