// The table-state stream kept inside save files: 776 bytes of little-endian
// fields with no padding. Section 1 is the rule block (184 bytes), section 2
// the 16 ball records (512 bytes), section 3 the match set-up (80 bytes).
#include <cstring>

#include "simulation/pool.h"

namespace ks {
namespace {

constexpr size_t kSection3 = 696;
constexpr uint16_t kExtensionMarker = 0xAA55;
constexpr uint8_t kMatchOver = 8;

// Field writers: each advances the cursor by the field's size. The caller
// checks the buffer length once, before the first field.
class Writer {
 public:
  explicit Writer(uint8_t* p) : p_(p) {}
  void Byte(uint8_t v) { *p_++ = v; }
  void Word16(uint16_t v) {
    Byte(static_cast<uint8_t>(v));
    Byte(static_cast<uint8_t>(v >> 8));
  }
  void Word32(uint32_t v) {
    Word16(static_cast<uint16_t>(v));
    Word16(static_cast<uint16_t>(v >> 16));
  }
  void Int16(int16_t v) { Word16(static_cast<uint16_t>(v)); }
  void Int32(int32_t v) { Word32(static_cast<uint32_t>(v)); }
  void Vector(const FixVec3& v) {
    Int32(v.x);
    Int32(v.y);
    Int32(v.z);
  }
  void Quad(const FixQuat& q) {
    Int32(q.w);
    Int32(q.x);
    Int32(q.y);
    Int32(q.z);
  }
  void Skip(size_t n) { p_ += n; }

 private:
  uint8_t* p_;
};

class Reader {
 public:
  explicit Reader(const uint8_t* p) : p_(p) {}
  uint8_t Byte() { return *p_++; }
  uint16_t Word16() {
    const uint16_t lo = Byte();
    return static_cast<uint16_t>(lo | (Byte() << 8));
  }
  uint32_t Word32() {
    const uint32_t lo = Word16();
    return lo | (uint32_t{Word16()} << 16);
  }
  int16_t Int16() { return static_cast<int16_t>(Word16()); }
  int32_t Int32() { return static_cast<int32_t>(Word32()); }
  FixVec3 Vector() {
    FixVec3 v;
    v.x = Int32();
    v.y = Int32();
    v.z = Int32();
    return v;
  }
  FixQuat Quad() {
    FixQuat q;
    q.w = Int32();
    q.x = Int32();
    q.y = Int32();
    q.z = Int32();
    return q;
  }
  void Skip(size_t n) { p_ += n; }
  const uint8_t* At() const { return p_; }

 private:
  const uint8_t* p_;
};

// View angle from the stored aim direction (x, z) when a stream carries no
// extension block: radians to angle units, turned into the view's half.
FixAngle ViewAngleFromDirection(const FixVec3& d) {
  int64_t a = int64_t{ArcTan2(d.x, d.z)} * 400 / 628;
  if (d.z >= 1) a += d.x <= 0 ? 0x20000 : -0x20000;
  return static_cast<FixAngle>(static_cast<uint64_t>(a) & kAngleMask);
}

}  // namespace

size_t Pool::WriteState(uint8_t* buffer, size_t length) const {
  if (!buffer || length < kTableStateSize) return 0;
  Writer w(buffer);
  const RuleBlock& r = rules;
  for (const FixVec3& v : r.shotSetup) w.Vector(v);
  for (int32_t v : r.shotWords) w.Int32(v);
  w.Byte(r.CurrentPlayer);
  w.Byte(r.BreakPlayer);
  for (int16_t v : r.Score) w.Int16(v);
  for (int16_t v : r.GamesWon) w.Int16(v);
  for (int16_t v : r.FoulsInRow) w.Int16(v);
  w.Int16(r.PointsGoal);
  w.Int16(r.MatchGoal);
  w.Byte(r.Outcome);
  w.Byte(r.OutcomeDetail);
  // A saved game is never over: the flag is masked in the copy only.
  w.Byte(static_cast<uint8_t>(r.TurnFlags & ~kMatchOver));
  w.Byte(r.SolidsOwner);
  w.Word16(r.PocketedThisShot);
  w.Word16(r.placedWord);
  for (const FixVec3& v : r.cueSetup) w.Vector(v);
  for (int32_t v : r.cueWords) w.Int32(v);
  w.Word16(r.cueMode);

  for (const BallState& b : ballStates) {
    w.Vector(b.position);
    w.Quad(b.orientation);
    w.Byte(b.shade);
    w.Byte(b.stripe);
    w.Byte(b.state);
    w.Byte(b.changed);
  }

  w.Int16(GameType);
  w.Int16(OpponentKind);
  w.Int16(skill);
  w.Word32(0x8000);
  w.Word16(struckBall);
  w.Word16(0);
  w.Word16(poolWord);
  w.Word16(kExtensionMarker);
  w.Int16(matchSetup[0]);
  w.Int16(matchSetup[1]);
  w.Word16(0);
  w.Int32(camera.viewScale[0]);
  w.Int32(camera.viewScale[1]);
  w.Int32(camera.viewDistance[0]);
  w.Int32(camera.viewDistance[1]);
  w.Word32(r.viewAngle);
  // The rest of the extension block is reserved; write zeros, not stale bytes.
  std::memset(buffer + kSection3 + 44, 0, 36);
  return kTableStateSize;
}

bool Pool::ReadState(const uint8_t* buffer, size_t length) {
  if (!buffer || length < kTableStateSize) return false;
  // Everything is read into copies and checked before any of it goes live.
  BallSnapshot snap = snapshot;
  RuleBlock& r = snap.rules;
  Reader in(buffer);
  for (FixVec3& v : r.shotSetup) v = in.Vector();
  for (int32_t& v : r.shotWords) v = in.Int32();
  r.CurrentPlayer = in.Byte();
  r.BreakPlayer = in.Byte();
  for (int16_t& v : r.Score) v = in.Int16();
  for (int16_t& v : r.GamesWon) v = in.Int16();
  for (int16_t& v : r.FoulsInRow) v = in.Int16();
  r.PointsGoal = in.Int16();
  r.MatchGoal = in.Int16();
  r.Outcome = in.Byte();
  r.OutcomeDetail = in.Byte();
  r.TurnFlags = in.Byte();
  r.SolidsOwner = in.Byte();
  r.PocketedThisShot = in.Word16();
  r.placedWord = in.Word16();
  for (FixVec3& v : r.cueSetup) v = in.Vector();
  for (int32_t& v : r.cueWords) v = in.Int32();
  r.cueMode = in.Word16();
  if (r.CurrentPlayer > 1 || r.BreakPlayer > 1 || r.SolidsOwner > 2) return false;
  for (int16_t f : r.FoulsInRow) {
    if (f < 0) return false;
  }

  for (BallState& b : snap.balls) {
    b.position = in.Vector();
    b.orientation = in.Quad();
    b.shade = in.Byte();
    b.stripe = in.Byte();
    b.state = in.Byte();
    b.changed = in.Byte();
    if (b.state != kBallAtRest && b.state != kBallOff) return false;
    if (b.state == kBallAtRest &&
        (b.position.x < -table.hx || b.position.x > table.hx || b.position.z < -table.hz || b.position.z > table.hz))
      return false;
  }

  const int16_t gameType = in.Int16();
  const int16_t opponentKind = in.Int16();
  const int16_t skillWord = in.Int16();
  in.Skip(4);  // constant 0x8000
  const uint16_t struck = in.Word16();
  in.Skip(2);
  const uint16_t word = in.Word16();
  if (gameType < 0 || gameType > 6 || opponentKind < 0 || opponentKind > 2 || skillWord < 1 || skillWord > 14 ||
      struck >= kBallCount)
    return false;

  std::array<int16_t, 2> setup = matchSetup;
  std::array<int32_t, 4> cameraWords{camera.viewScale[0], camera.viewScale[1], camera.viewDistance[0],
                                     camera.viewDistance[1]};
  if (in.Word16() == kExtensionMarker) {
    setup[0] = in.Int16();
    setup[1] = in.Int16();
    in.Skip(2);
    for (int32_t& c : cameraWords) c = in.Int32();
    r.viewAngle = in.Word32() & kAngleMask;
  } else {
    r.viewAngle = ViewAngleFromDirection(r.shotSetup[3]);
  }

  snapshot = snap;
  GameType = gameType;
  OpponentKind = opponentKind;
  skill = skillWord;
  struckBall = struck;
  poolWord = word;
  matchSetup = setup;
  camera.viewScale = {cameraWords[0], cameraWords[1]};
  camera.viewDistance = {cameraWords[2], cameraWords[3]};
  return true;
}

}  // namespace ks
