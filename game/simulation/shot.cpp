// Shot execution: the step, the step ring, playback, "Zip To End" and rewind.
#include <algorithm>

#include "simulation/pool.h"

namespace ks {

namespace {

bool Moving(uint8_t state) { return (state & (kBallSpinning | kBallRolling | kBallSliding)) != 0; }

int64_t DistanceSq(const FixVec3& a, const FixVec3& b) {
  const int64_t dx = static_cast<int64_t>(b.x) - a.x;
  const int64_t dz = static_cast<int64_t>(b.z) - a.z;
  return dx * dx + dz * dz;
}

}  // namespace

void Pool::PredictEvents() {
  PredictBallEvents();
  PredictPairEvents();
  CollectEvents();
}

void Pool::StepSimulation() {
  if (eventCount <= 0) return;
  ComputeBallStep();
  std::array<EventPair, 16> list{};
  const int n = std::min<int>(eventCount, static_cast<int>(list.size()));
  std::copy(eventList.begin(), eventList.begin() + n, list.begin());
  const EventPair first = list[0];
  // The observer hears the events this step applies, as the handlers below
  // choose them: a pair the step leaves alone never happened.
  auto tell = [&](const EventPair* events, int count) {
    if (observer != nullptr && count > 0) observer->OnStepEvents(events, count, simClock);
  };
  if (first.b >= 16) {
    std::array<EventPair, 16> table{};
    int m = 0;
    for (int i = 0; i < n; ++i) {
      if (list[i].b >= 16 && list[i].b <= kEventKnuckleLast) table[static_cast<size_t>(m++)] = list[i];
    }
    tell(table.data(), m);
    for (int i = 0; i < n; ++i) {
      if (list[i].b >= kEventPocketFirst && list[i].b < kEventJawFirst) ApplyPocketDrop(list[i].a);
    }
    for (int i = 0; i < n; ++i) {
      if (list[i].b >= 16 && list[i].b < kEventPocketFirst) ApplyTableCushion(list[i].a, list[i].b);
    }
    for (int i = 0; i < n; ++i) {
      if (list[i].b >= kEventJawFirst && list[i].b < kEventKnuckleFirst)
        ApplyJawLine(list[i].a, list[i].b - kEventJawFirst);
    }
    for (int i = 0; i < n; ++i) {
      if (list[i].b >= kEventKnuckleFirst && list[i].b <= kEventKnuckleLast) {
        ApplyKnuckle(list[i].a, list[i].b - kEventKnuckleFirst);
      }
    }
  } else if (first.a != first.b) {
    if (n == 1) {
      tell(&first, 1);
      ApplyBallCollision(first.a, first.b);
    } else {
      // Only pairs actually in contact at this instant are handled together.
      std::array<EventPair, 16> touching{};
      int m = 0;
      const StepRecord& r = Next();
      for (int i = 0; i < n; ++i) {
        const int64_t d = DistanceSq(r.ball[list[i].a].position, r.ball[list[i].b].position);
        if (d <= kContactDistSq + kContactBand) touching[static_cast<size_t>(m++)] = list[i];
      }
      if (m <= 1) {
        const EventPair p = m == 1 ? touching[0] : first;
        tell(&p, 1);
        ApplyBallCollision(p.a, p.b);
      } else {
        tell(touching.data(), m);
        ApplyMultiCollision(touching.data(), m);
      }
    }
  } else {
    tell(list.data(), n);
    for (int i = 0; i < n; ++i) ApplyStateChange(list[i].a);
  }
  // The parties' predictions are stale now.
  auto invalidate = [&](int b) {
    if (b >= kBallCount) return;
    motions[b].next = BallEvent{};
    for (int k = 0; k < kBallCount; ++k) {
      pairTimes[b][k] = kNoTime;
      pairTimes[k][b] = kNoTime;
    }
  };
  for (int i = 0; i < n; ++i) {
    invalidate(list[i].a);
    invalidate(list[i].b);
  }
  if (timeToNextEvent != 0) {
    ringCurrent = ringNext;
    ringNext = ringNext >= 4080 ? 0 : ringNext + 16;
    ringPrevIndex = ringIndex;
    ringIndex = (ringIndex + 1) & 255;
    ++ringLead;
  } else {
    Current() = Next();
  }
}

void Pool::AdvanceStepRing() {
  Next() = Current();
  ringTime[static_cast<size_t>(ringIndex & 255)] = kNoTime;
  ringPrevIndex = ringIndex;
  ringIndex = (ringIndex + 1) & 255;
  ringCurrent = ringNext;
  ringNext = ringNext >= 4080 ? 0 : ringNext + 16;
  ++ringLead;
  eventCount = 0;
}

// Brings every ball to rest where it is and closes the shot; used when a
// shot exceeds the step cap (a repeating zero-time sequence must not hang).
void Pool::ForceRest() {
  StepRecord& r = Current();
  for (int b = 0; b < kBallCount; ++b) {
    BallEntry& e = r.ball[b];
    if (e.state != kBallOff) {
      e.state = kBallAtRest;
      e.speed = 0;
      e.spin = 0;
    }
    BuildMotion(b, e);
  }
  ClearPredictions();
  ++stepCapHits;
  AdvanceStepRing();
}

// One predicted and applied step; false when the shot has ended.
bool Pool::SimulateOneStep() {
  PredictEvents();
  ++stepCount;
  highestRingIndex = std::max(highestRingIndex, ringIndex);
  if (eventCount == 0) {
    AdvanceStepRing();
    return false;
  }
  if (stepCount >= kStepCap) {
    ForceRest();
    return false;
  }
  RecordRuleFacts();
  StepSimulation();
  return true;
}

void Pool::StartShot() {
  shownTime = 0;
  frameCount = 0;
  frameCounterShot = 0;
  stepCount = 0;
  highestRingIndex = 0;
  replayAvailable = 0;
  BeginShot();
  strikePending = 0;
  lastFrameTime = GetTime();
  ClearShotStarted();
  StartShotClock();
  shotClock = 0;
  SimulateOneStep();
  lastFrameTime = GetTime();
  SetShotStarted();
}

int Pool::RunShot() {
  if (IsShotOver()) {
    strikePending = 0;
    replayAvailable = 1;
    return -1;
  }
  bool shown = false;
  while (eventCount != 0) {
    // A full ring cannot take more steps until the shown entry moves on.
    if (ringLead >= kRingSize) break;
    SimulateOneStep();
    if (eventCount == 0) break;
    const uint32_t now = GetTime();
    if (now - lastFrameTime < 6) continue;
    lastFrameTime = now;
    const uint64_t target = std::min<uint64_t>(static_cast<uint64_t>(GetShotTime()) * kUnitsPerTick, 0xFFFFFFFEu);
    if (SeekReplay(static_cast<uint32_t>(target)) == 0) {
      shown = true;
      break;
    }
  }
  if (!shown) {
    lastFrameTime = GetTime();
    const uint64_t target = std::min<uint64_t>(static_cast<uint64_t>(GetShotTime()) * kUnitsPerTick, 0xFFFFFFFEu);
    if (SeekReplay(static_cast<uint32_t>(target)) == 1) return 0;
  }
  ++frameCount;
  return 1;
}

int Pool::FinishShot() {
  while (eventCount != 0) {
    // Keep simulating to rest: showing the newest entry frees the ring.
    if (ringLead >= kRingSize) SeekReplay(ringTime[static_cast<size_t>(ringPrevIndex & 255)]);
    if (!SimulateOneStep()) break;
  }
  SeekReplay(0x7FFF0000);
  const int over = IsShotOver();
  replayAvailable = 1;
  return over;
}

int Pool::IsShotOver() {
  if (shotRunning) return 0;
  if (ballStates[0].state == kBallOff) {
    rules.Scratch = 1;
    PlaceCueBallInHand();
  }
  return 1;
}

int Pool::SeekReplay(uint32_t T) {
  ringLead = 1;
  int j = ringPrevIndex & 255;
  if (T < ringTime[static_cast<size_t>(j)]) {
    // Walk back at most one ring's length.
    for (int steps = 0; steps < kRingSize - 1 && T < ringTime[static_cast<size_t>(j)]; ++steps) {
      j = (j - 1) & 255;
      ++ringLead;
    }
    const uint32_t base = ringTime[static_cast<size_t>(j)];
    InterpolateBalls(ring[j], T >= base ? T - base : 0);
    shownTime = T;
    return 0;
  }
  if (ringTime[static_cast<size_t>(j)] - shownTime < kSeekSlack) return 1;
  const StepRecord& r = ring[j];
  uint8_t running = 0;
  for (int b = 0; b < kBallCount; ++b) {
    const BallEntry& e = r.ball[b];
    BallState& s = ballStates[b];
    if (s.state != e.state) s.changed = 1;
    s.state = e.state;
    if (e.state != kBallOff) {
      if (!(s.position == e.position) || !(s.orientation == e.orientation)) s.changed = 1;
      s.position = e.position;
      s.orientation = e.orientation;
    }
    if (Moving(e.state)) running = 1;
  }
  shotRunning = running;
  shownTime = ringTime[static_cast<size_t>(j)];
  return 0;
}

void Pool::SyncShotClock() {
  lastFrameTime = GetTime();
  if (strikePending || highestRingIndex >= 255) return;
  rewindEnd = replayAvailable ? ringTime[static_cast<size_t>((ringIndex - 2) & 255)] >> 16 : GetShotTime();
  shotRunning = 1;
  strikePending = 1;
  rewindLength = std::max<uint32_t>(rewindEnd, 250);
  rewindStart = GetTime();
}

int Pool::PlayShotFrame() {
  const uint32_t now = GetTime();
  if (now - lastFrameTime < 4) return 0;
  lastFrameTime = now;
  const int64_t elapsed = static_cast<int64_t>(now - rewindStart);
  const int64_t T = static_cast<int64_t>(rewindEnd) - elapsed * static_cast<int64_t>(rewindLength) / 250;
  if (T < 1) {
    // Record 0 holds the struck cue ball; the rewind shows it still.
    SeekReplay(0);
    shotRunning = 0;
    return -1;
  }
  const uint64_t target = std::min<uint64_t>(static_cast<uint64_t>(T) * kUnitsPerTick, 0xFFFFFFFEu);
  return SeekReplay(static_cast<uint32_t>(target)) == 0 ? 1 : 0;
}

// The shot record the rules read, reset before each shot.
void Pool::ResetShot() {
  BeginTurn();
  rules.ShotFlags = rules.TurnFlags;
  if (rules.TurnFlags & 1) rules.BreakPlayer = rules.CurrentPlayer;
  rules.Scratch = 0;
  rules.FirstHit = 0;
  rules.RailAfterContact.fill(0);
  rules.PocketOf.fill(-1);
  rules.LowestBall = 0;
  for (int b = 1; b < kBallCount; ++b) {
    if (ballStates[b].state != kBallOff) {
      rules.LowestBall = static_cast<uint8_t>(b);
      break;
    }
  }
}

}  // namespace ks
