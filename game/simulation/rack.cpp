// Racking, ball placement, snapshots and the table's sound effects.
#include <algorithm>
#include <cstdlib>

#include "simulation/game_sound_set.h"
#include "simulation/pool.h"

namespace ks {

namespace {

constexpr int32_t kRowStep = 113664;   // 1.734375: rows of a rack
constexpr int32_t kOff = INT32_MIN;    // not used by the layout
constexpr uint16_t kRackCueMode = 80;  // the cue set-up word a reset rack starts with

struct Slot {
  int8_t col;  // x in whole radii; kNoSlot when off the table
  int8_t row;
};
constexpr int8_t kNoSlot = 127;

// Ball 1..15 slots per layout, by game type; layout 0 uses the
// Straight list and layout 7 the 9-Ball list.
constexpr Slot kLayouts[7][15] = {
    {},
    // 1 Straight
    {{0, 0},
     {-1, 1},
     {1, 1},
     {-2, 2},
     {0, 2},
     {2, 2},
     {-3, 3},
     {-1, 3},
     {1, 3},
     {3, 3},
     {-4, 4},
     {-2, 4},
     {0, 4},
     {2, 4},
     {4, 4}},
    // 2 8-Ball
    {{-4, 4},
     {0, 0},
     {-2, 4},
     {2, 4},
     {-1, 3},
     {2, 2},
     {-3, 3},
     {0, 2},
     {1, 3},
     {3, 3},
     {-1, 1},
     {1, 1},
     {0, 4},
     {-2, 2},
     {4, 4}},
    // 3 9-Ball
    {{0, 0},
     {-2, 2},
     {0, 4},
     {2, 2},
     {1, 3},
     {-1, 1},
     {-1, 3},
     {1, 1},
     {0, 2},
     {kNoSlot, 0},
     {kNoSlot, 0},
     {kNoSlot, 0},
     {kNoSlot, 0},
     {kNoSlot, 0},
     {kNoSlot, 0}},
    // 4 Rotation
    {{0, 0},
     {-4, 4},
     {4, 4},
     {-2, 2},
     {1, 1},
     {2, 2},
     {-3, 3},
     {-1, 3},
     {1, 3},
     {3, 3},
     {-1, 1},
     {-2, 4},
     {0, 4},
     {2, 4},
     {0, 2}},
    // 5 6-Ball
    {{0, 0},
     {-1, 1},
     {1, 1},
     {-2, 2},
     {2, 2},
     {0, 2},
     {kNoSlot, 0},
     {kNoSlot, 0},
     {kNoSlot, 0},
     {kNoSlot, 0},
     {kNoSlot, 0},
     {kNoSlot, 0},
     {kNoSlot, 0},
     {kNoSlot, 0},
     {kNoSlot, 0}},
    // 6 10-Ball
    {{0, 0},
     {-2, 2},
     {-3, 3},
     {2, 2},
     {1, 3},
     {-1, 1},
     {-1, 3},
     {1, 1},
     {3, 3},
     {0, 2},
     {kNoSlot, 0},
     {kNoSlot, 0},
     {kNoSlot, 0},
     {kNoSlot, 0},
     {kNoSlot, 0}},
};

// Balls that may change places after racking, per layout. The apex, the
// money ball and the rule-bound corner balls stay where the rules want them.
struct ShuffleList {
  int count;
  uint8_t balls[15];
};
constexpr ShuffleList kShuffle[8] = {
    {15, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}},
    {15, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}},
    {12, {2, 3, 4, 5, 6, 7, 9, 10, 11, 12, 13, 14}},
    {7, {2, 3, 4, 5, 6, 7, 8}},
    {11, {4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}},
    {2, {2, 3}},
    {3, {4, 6, 8}},
    {7, {2, 3, 4, 5, 6, 7, 8}},
};

constexpr uint8_t kAppearance[16][2] = {{240, 0}, {208, 0}, {128, 0}, {176, 0}, {192, 0}, {160, 0}, {144, 0}, {224, 0},
                                        {112, 0}, {208, 1}, {128, 1}, {176, 1}, {192, 1}, {160, 1}, {144, 1}, {224, 1}};

// Closer than 2.0: the squared distance in quarter radii squared below 16.
bool Touching(const FixVec3& a, const FixVec3& b) {
  const int64_t dx = static_cast<int64_t>(a.x) - b.x, dz = static_cast<int64_t>(a.z) - b.z;
  return ((dx * dx + dz * dz) >> 30) < 16;
}

}  // namespace

void Pool::RackBalls() {
  const int32_t hz = table.hz;
  const int32_t top = hz >> 1;
  for (int layout = 0; layout < 8; ++layout) {
    const int src = layout == 0 ? 1 : layout == 7 ? 3 : layout;
    auto& list = rackPositions[static_cast<size_t>(layout)];
    list[0] = FixVec2{0, -3 * (hz >> 2)};
    for (int b = 1; b < kBallCount; ++b) {
      const Slot s = kLayouts[src][b - 1];
      list[static_cast<size_t>(b)] =
          s.col == kNoSlot ? FixVec2{kOff, 0} : FixVec2{s.col * kFixOne16, top + s.row * kRowStep};
    }
  }
}

bool Pool::BallTouchesOthers(int ball, const FixVec3& pos) const {
  for (int b = 0; b < kBallCount; ++b) {
    if (b == ball || ballStates[b].state == kBallOff) continue;
    if (Touching(pos, ballStates[b].position)) return true;
  }
  return false;
}

bool Pool::CueTouchesBall() const {
  for (int b = 1; b < kBallCount; ++b) {
    if (ballStates[b].state != kBallOff && Touching(ballStates[0].position, ballStates[b].position)) return true;
  }
  return false;
}

void Pool::Shuffle(int layout) {
  const ShuffleList& L = kShuffle[layout & 7];
  if (!random || L.count <= 0) return;
  for (int i = 0; i < L.count; ++i) {
    const int a = L.balls[i];
    const int b = L.balls[random->Rand() % L.count];
    std::swap(ballStates[a].position, ballStates[b].position);
  }
}

void Pool::Jitter(int excluded) {
  if (!random) return;
  const FixVec3 footSpot{0, 0, table.hz >> 1};
  for (int b = 1; b < kBallCount; ++b) {
    if (b == excluded || ballStates[b].state == kBallOff) continue;
    const FixVec3 old = ballStates[b].position;
    const int32_t dx = random->Rand() % 1024 - 511;
    const int32_t dz = random->Rand() % 1024 - 511;
    const FixVec3 moved{old.x + dx, 0, old.z + dz};
    bool undo = BallTouchesOthers(b, moved);
    if (!undo && footSpotGuard && Touching(moved, footSpot)) undo = true;
    if (!undo) ballStates[b].position = moved;
  }
}

void Pool::PlaceBalls(int16_t layout) {
  const int L = std::clamp<int>(layout, 0, 7);
  const auto& list = rackPositions[static_cast<size_t>(L)];
  for (int b = 0; b < kBallCount; ++b) {
    BallState& s = ballStates[b];
    const FixVec2 p = list[static_cast<size_t>(b)];
    s.position = p.x == kOff ? FixVec3{} : FixVec3{p.x, 0, p.z};
    s.state = p.x == kOff ? kBallOff : kBallAtRest;
    s.shade = kAppearance[b][0];
    s.stripe = kAppearance[b][1];
    s.changed = 1;
    s.orientation = FixQuat{};
  }
  PlayEffect(0, 0);
  rules.TurnFlags = OpponentKind != 0 ? 7 : 1;
  rules.SolidsOwner = 0;
  rules.excludedBall = 0;
  rules.PocketedThisShot = 0;
  footSpotGuard = 0;
  Shuffle(L);
  Jitter(-1);
  if (L != 3) Jitter(-1);
  redraw = 1;
}

// Searches a free spot for `ball`: first the preferred point, then a grid
// growing out from it within the band of z, then the whole table. Always ends.
static FixVec3 FindFreeSpot(const Pool& pool, int ball, FixVec3 preferred, int32_t zMin, int32_t zMax) {
  const int32_t mx = pool.table.hx - kFixOne16, mz = pool.table.hz - kFixOne16;
  auto ok = [&](const FixVec3& p) {
    if (p.x < -mx || p.x > mx || p.z < -mz || p.z > mz) return false;
    for (int b = 0; b < kBallCount; ++b) {
      if (b == ball || pool.ballStates[b].state == kBallOff) continue;
      if (Touching(p, pool.ballStates[b].position)) return false;
    }
    return true;
  };
  if (ok(preferred)) return preferred;
  constexpr int32_t step = 0x8000;  // half a radius
  for (int pass = 0; pass < 2; ++pass) {
    const int32_t lo = pass == 0 ? std::max(zMin, -mz) : -mz;
    const int32_t hi = pass == 0 ? std::min(zMax, mz) : mz;
    const int32_t rings = (2 * std::max(mx, mz)) / step + 2;
    for (int32_t r = 1; r <= rings; ++r) {
      for (int32_t iz = -r; iz <= r; ++iz) {
        for (int32_t ix = -r; ix <= r; ++ix) {
          if (std::max(std::abs(ix), std::abs(iz)) != r) continue;
          const FixVec3 p{preferred.x + ix * step, 0, preferred.z + iz * step};
          if (p.z < lo || p.z > hi) continue;
          if (ok(p)) return p;
        }
      }
    }
  }
  return preferred;  // every spot covered: nothing better exists
}

void Pool::PlaceCueBallInHand() {
  BallState& cue = ballStates[0];
  const int32_t hz = table.hz;
  FixVec3 p{0, 0, -3 * (hz >> 2)};
  // The head-area spots of the original search, tried in its order.
  for (int i = 0; i < 4 && BallTouchesOthers(0, p); ++i) {
    p.x = static_cast<int32_t>(static_cast<uint32_t>(p.x) ^ 0x40000u);
    if (p.x == 0) {
      p.z = static_cast<int32_t>(static_cast<uint32_t>(p.z) ^ 0x40000u);
      if (p.z == 0) p.z = kFixOne16;
    }
  }
  cue.state = kBallAtRest;
  if (BallTouchesOthers(0, p)) p = FindFreeSpot(*this, 0, FixVec3{0, 0, -3 * (hz >> 2)}, -hz, -(hz >> 1));
  cue.position = p;
  cue.changed = 1;
  redraw = 1;
}

void Pool::SpotBalls(const uint8_t* balls, int count) {
  if (!balls || count <= 0) return;
  const int32_t hz = table.hz;
  const int32_t limit = hz - kFixOne16;
  auto blocker = [&](int ball, const FixVec3& p) -> int {
    for (int b = 0; b < kBallCount; ++b) {
      if (b == ball || ballStates[b].state == kBallOff) continue;
      if (Touching(p, ballStates[b].position)) return b;
    }
    return -1;
  };
  auto offset = [&](const FixVec3& p, int other) {
    const int64_t dx = static_cast<int64_t>(ballStates[other].position.x) - p.x;
    const int64_t rad = kContactDistSq - dx * dx;
    return static_cast<int32_t>(ISqrt64(static_cast<uint64_t>(rad < 0 ? 0 : rad))) + 1;
  };
  int failedFrom = count;
  for (int i = 0; i < count; ++i) {
    const int ball = balls[i];
    if (ball <= 0 || ball >= kBallCount) continue;
    FixVec3 p{0, 0, hz >> 1};
    bool placed = false;
    for (int guard = 0; guard < 64; ++guard) {
      const int o = blocker(ball, p);
      if (o < 0) {
        placed = true;
        break;
      }
      p.z = ballStates[o].position.z + offset(p, o);
      if (p.z >= limit) break;
    }
    if (!placed) {
      failedFrom = i;
      break;
    }
    ballStates[ball].position = p;
    ballStates[ball].state = kBallAtRest;
    ballStates[ball].changed = 1;
  }
  // The rest go the other way from below the foot spot, in descending
  // order, and fall back to a free-spot search rather than leave the table.
  for (int i = count - 1; i >= failedFrom; --i) {
    const int ball = balls[i];
    if (ball <= 0 || ball >= kBallCount) continue;
    FixVec3 p{0, 0, (hz >> 1) - 16};
    bool placed = false;
    for (int guard = 0; guard < 64; ++guard) {
      const int o = blocker(ball, p);
      if (o < 0) {
        placed = true;
        break;
      }
      p.z = ballStates[o].position.z - offset(p, o);
      if (p.z <= -limit) break;
    }
    if (!placed) p = FindFreeSpot(*this, ball, FixVec3{0, 0, hz >> 1}, 0, hz);
    ballStates[ball].position = p;
    ballStates[ball].state = kBallAtRest;
    ballStates[ball].changed = 1;
  }
  redraw = 1;
}

void Pool::RerackStraightAround(int k) {
  if (k < 1 || k >= kBallCount) return;
  const int32_t hz = table.hz;
  const auto& slots = rackPositions[1];
  rules.reRackCueCopy = ballStates[0].position;
  rules.reRackBallCopy = ballStates[k].position;
  rules.excludedBall = static_cast<uint16_t>(32 * k);
  for (int i = 2; i < kBallCount; ++i) {
    const int ball = i == k ? 1 : i;
    const FixVec2 s = slots[static_cast<size_t>(i)];
    BallState& b = ballStates[ball];
    b.position = FixVec3{s.x, 0, s.z};
    b.state = kBallAtRest;
    b.changed = 1;
  }
  bool kTouches = false;
  for (int b = 1; b < kBallCount; ++b) {
    if (b != k && ballStates[b].state != kBallOff && Touching(ballStates[b].position, ballStates[k].position)) {
      kTouches = true;
    }
  }
  BallState& cue = ballStates[0];
  if (kTouches) {
    ballStates[k].position = FixVec3{0, 0, -(hz >> 1)};
    ballStates[k].changed = 1;
    if (CueTouchesBall()) {
      ballStates[k].position = FixVec3{0, 0, 0};
      if (CueTouchesBall()) {
        ballStates[k].position = FixVec3{0, 0, hz >> 1};
        cue.position = FixVec3{0, 0, -3 * (hz >> 2)};
        cue.changed = 1;
        if (CueTouchesBall()) PlaceCueBallInHand();
        rules.TurnFlags |= 6;
      }
    }
  } else if (CueTouchesBall()) {
    cue.position.x = 0;
    cue.position.y = 0;
    if (ballStates[k].position.z < -(hz >> 1)) {
      cue.position.z = -(hz >> 1);
      cue.changed = 1;
      if (CueTouchesBall()) cue.position.z = 0;
      if (CueTouchesBall()) PlaceCueBallInHand();
    } else {
      cue.position.z = -3 * (hz >> 2);
      cue.changed = 1;
      if (CueTouchesBall()) PlaceCueBallInHand();
      rules.TurnFlags |= 6;
    }
  }
  PlayEffect(0, 0);
  // Straight re-rack order: swap places with a random ball other than k.
  if (random) {
    for (int b = 1; b < kBallCount; ++b) {
      if (b == k) continue;
      int other = k;
      for (int tries = 0; tries < 64 && other == k; ++tries) other = random->Rand() % 15 + 1;
      if (other != k) std::swap(ballStates[b].position, ballStates[other].position);
    }
  }
  footSpotGuard = 1;
  Jitter(k);
  Jitter(k);
  redraw = 1;
}

void Pool::RerackStraightFull() {
  const int32_t hz = table.hz;
  const auto& slots = rackPositions[1];
  rules.reRackCueCopy = ballStates[0].position;
  rules.excludedBall = 0;
  for (int i = 1; i < kBallCount; ++i) {
    const FixVec2 s = slots[static_cast<size_t>(i)];
    ballStates[i].position = FixVec3{s.x, 0, s.z};
    ballStates[i].state = kBallAtRest;
    ballStates[i].changed = 1;
  }
  if (CueTouchesBall()) {
    ballStates[0].position = FixVec3{0, 0, -3 * (hz >> 2)};
    ballStates[0].changed = 1;
    if (CueTouchesBall()) PlaceCueBallInHand();
    rules.TurnFlags |= 6;
  }
  PlayEffect(0, 0);
  Shuffle(1);
  footSpotGuard = 0;
  Jitter(-1);
  Jitter(-1);
  redraw = 1;
}

void Pool::ResetRackPositions() {
  for (int b = 0; b < kBallCount; ++b) {
    snapshot.balls[static_cast<size_t>(b)].shade = kAppearance[b][0];
    snapshot.balls[static_cast<size_t>(b)].stripe = kAppearance[b][1];
  }
  // The cue set-up starts over with the rack: its first three vectors, the
  // cue words and the word after them.
  RuleBlock& r = snapshot.rules;
  r.cueSetup[0] = FixVec3{0, 0, -kFixOne30};
  r.cueSetup[1] = FixVec3{-kFixOne30, 0, 0};
  r.cueSetup[2] = FixVec3{0, -kFixOne30, 0};
  r.cueWords = {0x20000000, 0x20000000, 0xB00000};
  r.cueMode = kRackCueMode;
}

void Pool::SaveBallState() {
  snapshot.balls = ballStates;
  snapshot.rules = rules;
}

void Pool::RestoreBallState() {
  ballStates = snapshot.balls;
  rules = snapshot.rules;
  redraw = 1;
}

int Pool::LoadSounds() {
  if (!archive || !sound) return 0;
  return LoadGameSoundSet(
      [&](const char* name, std::vector<uint8_t>& bytes) { return archive->ReadMember(name, bytes); },
      [&](const uint8_t* data, uint32_t samples) { return sound->LoadEffect(data, samples, 1, 8, 8000); });
}

void Pool::PlayEffect(int effect, uint32_t delay) {
  if (sound) sound->PlayEffect(effect, delay);
}

void Pool::PlaySound(int number) {
  if (sound) sound->PlaySound(number);
}

}  // namespace ks
