// The think cycle: placements and candidates consumed one per frame, each
// candidate simulated on a private copy of the table and scored.
#include <algorithm>

#include "simulation/ai.h"

namespace ks {
namespace {

constexpr int32_t kTwo = 0x20000;

// Outcomes the rules leave in the rule block after judging a shot.
constexpr uint8_t kRuleOutcomeGame = 1, kRuleOutcomeScratch = 2, kRuleOutcomeFoul = 3, kRuleOutcomeMiscall = 4;
// 8-Ball's groups in the rules' masks (bit 15 - n for ball n).
constexpr uint16_t kRuleSolids = 0x7F00, kRuleStripes = 0x007F;

int64_t DistSq(FixVec2 a, FixVec2 b) {
  const int64_t dx = static_cast<int64_t>(a.x) - b.x;
  const int64_t dz = static_cast<int64_t>(a.z) - b.z;
  return dx * dx + dz * dz;
}

bool OnTable(FixVec2 p) { return p.x != kAiOffTable; }

// Unit vector from a to b (Fix30); false when the points coincide.
bool Direction(FixVec2 a, FixVec2 b, FixVec2& out) {
  out = {WrapSub32(b.x, a.x), WrapSub32(b.z, a.z)};
  if (out.x == 0 && out.z == 0) return false;
  NormalizeVec2Scaled(out);
  return true;
}

FixVec2 Along(FixVec2 p, FixVec2 dir, int32_t distance) {
  return {WrapAdd32(p.x, FixMul30(dir.x, distance)), WrapAdd32(p.z, FixMul30(dir.z, distance))};
}

}  // namespace

AiOpponent::AiOpponent(Pool& p)
    : pool(p), saved_(std::make_unique<Pool>(p)), work_(std::make_unique<Pool>(p)) {
  placements_.reserve(kMaxPlacements);
}

uint16_t AiOpponent::MoneyBallBits() const {
  if (pool.GameType == 1) return 0;
  if (pool.GameType == 2) return 1u << 8;
  // The Pool keeps the money ball as bit 15 - n; the search uses bit n.
  uint16_t bits = 0;
  for (int n = 1; n < kBallCount; ++n) {
    if (pool.MoneyBallMask & (1u << (15 - n))) bits = static_cast<uint16_t>(bits | (1u << n));
  }
  return bits;
}

uint16_t AiOpponent::LegalTargets() const {
  uint16_t onTable = 0;
  for (int b = 1; b < kBallCount; ++b) {
    if (OnTable(AiBallPos[b])) onTable = static_cast<uint16_t>(onTable | (1u << b));
  }
  if (pool.GameType == 1) return onTable;
  if (pool.GameType == 2) {
    // As the rules see it: SolidsOwner is 0 on an open table, else the
    // solids player + 1; once the shooter's group is off the table the 8.
    const uint8_t owner = pool.rules.SolidsOwner;
    const int shooter = pool.rules.CurrentPlayer & 1;
    const uint16_t open = static_cast<uint16_t>(RuleMaskToBitMask(kRuleSolids | kRuleStripes));
    const uint16_t group =
        owner == 0 ? open
                   : static_cast<uint16_t>(RuleMaskToBitMask(owner == shooter + 1 ? kRuleSolids : kRuleStripes));
    const uint16_t own = onTable & group;
    return own ? own : static_cast<uint16_t>(onTable & BitMaskOf(8));
  }
  for (int b = 1; b < kBallCount; ++b) {
    if (onTable & (1u << b)) return static_cast<uint16_t>(1u << b);
  }
  return 0;
}

int AiOpponent::AiThink() {
  *saved_ = pool;
  thinking = 1;
  framesThisThink = 0;
  trialsThisThink = 0;
  baseSkill = pool.skill;
  // Both sides played by the computer: the second player thinks one level up.
  if (computerBothSides && pool.rules.CurrentPlayer == 1) pool.skill = static_cast<int16_t>(pool.skill + 1);
  pool.skillIndex = pool.skill - 1;
  pool.gameTypeIndex = pool.GameType - 1;
  trial = AiCandidate{};
  bestCandidate = AiCandidate{};
  anyPlanned_ = false;
  if (pool.rules.TurnFlags & 1) {
    AiBreakShot();
    return 0;
  }
  for (int b = 0; b < kBallCount; ++b) {
    const BallState& s = pool.ballStates[static_cast<size_t>(b)];
    AiBallPos[static_cast<size_t>(b)] =
        s.state == kBallOff ? FixVec2{kAiOffTable, kAiOffTable} : FixVec2{s.position.x, s.position.z};
  }
  AiStartSearch();
  return 0;
}

void AiOpponent::AiStartSearch() {
  bestScore = kAiNoScore;
  bestTie = kAiNoTie;
  AiCandidatesLeft = 0;
  candidateCursor = 0;
  placementOpen_ = false;
  // Cue-ball placements: behind the first legal target for each pocket when
  // the ball is in hand, and always the cue ball's own spot when it has one.
  placements_.clear();
  const TableGeometry& t = pool.table;
  const bool inHand = (pool.rules.TurnFlags & 2) != 0 || !OnTable(AiBallPos[0]);
  if (OnTable(AiBallPos[0])) placements_.push_back(AiBallPos[0]);
  if (inHand) {
    const uint16_t legal = LegalTargets();
    int target = 0;
    for (int b = 1; b < kBallCount && !target; ++b) {
      if (legal & (1u << b)) target = b;
    }
    for (int k = 0; target && k < 6 && placements_.size() < kMaxPlacements; ++k) {
      FixVec2 toPocket;
      if (!Direction(AiBallPos[target], t.pocketAim[k], toPocket)) continue;
      const FixVec2 away{WrapNeg32(toPocket.x), WrapNeg32(toPocket.z)};
      const FixVec2 p = Along(AiBallPos[target], away, 0x60000);
      if (p.x <= 0x10000 - t.hx || p.x >= t.hx - 0x10000 || p.z <= 0x10000 - t.hz || p.z >= t.hz - 0x10000) continue;
      if ((pool.rules.TurnFlags & 4) && p.z >= -(t.hz >> 1)) continue;
      bool free = true;
      for (int b = 1; b < kBallCount && free; ++b) {
        if (OnTable(AiBallPos[b]) && DistSq(AiBallPos[b], p) < (int64_t{0x22000} * 0x22000)) free = false;
      }
      if (free) placements_.push_back(p);
    }
    if (placements_.empty()) placements_.push_back(FixVec2{0, -3 * (t.hz >> 2)});
  }
  AiPlacementsLeft = static_cast<int32_t>(placements_.size());
  placementCursor_ = 0;
}

bool AiOpponent::PathClear(FixVec2 from, FixVec2 to, int skipA, int skipB) const {
  const int64_t dx = static_cast<int64_t>(to.x) - from.x;
  const int64_t dz = static_cast<int64_t>(to.z) - from.z;
  const int64_t len2 = dx * dx + dz * dz;
  for (int b = 1; b < kBallCount; ++b) {
    if (b == skipA || b == skipB || !OnTable(AiBallPos[b])) continue;
    const int64_t px = static_cast<int64_t>(AiBallPos[b].x) - from.x;
    const int64_t pz = static_cast<int64_t>(AiBallPos[b].z) - from.z;
    // Squared distance from the ball to the segment, in integers so the
    // search gives the same answer on every machine.
    int64_t dist2;
    if (len2 == 0) {
      dist2 = px * px + pz * pz;
    } else {
      const int64_t proj = (px >> 8) * (dx >> 8) + (pz >> 8) * (dz >> 8);  // scaled by 2^-16
      const int64_t l2s = (dx >> 8) * (dx >> 8) + (dz >> 8) * (dz >> 8);
      if (proj <= 0 || l2s == 0) {
        dist2 = px * px + pz * pz;
      } else if (proj >= l2s) {
        const int64_t qx = static_cast<int64_t>(AiBallPos[b].x) - to.x;
        const int64_t qz = static_cast<int64_t>(AiBallPos[b].z) - to.z;
        dist2 = qx * qx + qz * qz;
      } else {
        const int64_t cross = (px >> 8) * (dz >> 8) - (pz >> 8) * (dx >> 8);
        // cross^2 / l2s, both in the 2^-16 scale: the squared distance / 2^16.
        const __int128 c2 = static_cast<__int128>(cross) * cross;
        const __int128 q = c2 / l2s;
        dist2 = q > (INT64_MAX >> 16) ? INT64_MAX : static_cast<int64_t>(q) << 16;
      }
    }
    if (dist2 < int64_t{kTwo} * kTwo) return false;
  }
  return true;
}

void AiOpponent::AddCandidate(const AiCandidate& c) {
  if (candidateCount < kMaxCandidates) candidates_[static_cast<size_t>(candidateCount++)] = c;
}

int AiOpponent::GenerateCandidates() {
  candidateCount = 0;
  const FixVec2 cue = AiBallPos[0];
  const uint16_t legal = LegalTargets();
  const TableGeometry& t = pool.table;
  const bool rotation = pool.GameType >= 3;
  for (int b = 1; b < kBallCount; ++b) {
    if (!(legal & (1u << b))) continue;
    const FixVec2 ball = AiBallPos[b];
    for (int k = 0; k < 6; ++k) {
      const FixVec2 pocket = t.pocketAim[static_cast<size_t>(k)];
      FixVec2 travel;
      if (!Direction(ball, pocket, travel)) continue;
      const FixVec2 ghost = Along(ball, travel, -kTwo);
      FixVec2 aim;
      if (!Direction(cue, ghost, aim)) continue;
      if (Dot2Fix30(travel, aim) < 0x0A000000) continue;  // thinner than about 80 degrees
      if (!PathClear(cue, ghost, b, 0) || !PathClear(ball, pocket, b, 0)) continue;
      AiCandidate c;
      c.pocket = static_cast<uint8_t>(k);
      c.ball = static_cast<uint8_t>(b);
      c.second = static_cast<uint8_t>(b);
      c.edgeA = c.edgeB = aim;
      c.cue = cue;
      c.travel = travel;
      c.kind = 3;
      AddCandidate(c);
      c.kind = 4;
      AddCandidate(c);
    }
    // Rotation games: the lowest ball may send another one in.
    if (rotation) {
      for (int s = 1; s < kBallCount; ++s) {
        if (s == b || !OnTable(AiBallPos[s])) continue;
        for (int k = 0; k < 6; ++k) {
          const FixVec2 pocket = t.pocketAim[static_cast<size_t>(k)];
          FixVec2 t2, t1, aim;
          if (!Direction(AiBallPos[s], pocket, t2)) continue;
          const FixVec2 ghost2 = Along(AiBallPos[s], t2, -kTwo);
          if (!Direction(ball, ghost2, t1) || Dot2Fix30(t1, t2) < 0x30000000) continue;
          const FixVec2 ghost = Along(ball, t1, -kTwo);
          if (!Direction(cue, ghost, aim) || Dot2Fix30(t1, aim) < 0x20000000) continue;
          if (!PathClear(cue, ghost, b, 0) || !PathClear(ball, ghost2, b, s) || !PathClear(AiBallPos[s], pocket, s, 0))
            continue;
          AiCandidate c;
          c.kind = 5;
          c.pocket = static_cast<uint8_t>(k);
          c.ball = static_cast<uint8_t>(b);
          c.second = static_cast<uint8_t>(s);
          c.edgeA = c.edgeB = aim;
          c.cue = cue;
          c.travel = t1;
          AddCandidate(c);
        }
      }
    }
    // Hits without a pocket: full and soft.
    FixVec2 aim;
    if (Direction(cue, ball, aim) && PathClear(cue, ball, b, 0)) {
      AiCandidate c;
      c.ball = c.second = static_cast<uint8_t>(b);
      c.edgeA = c.edgeB = aim;
      c.cue = cue;
      c.travel = aim;
      c.kind = 0;
      AddCandidate(c);
      c.kind = 2;
      AddCandidate(c);
    }
  }
  // Nothing in sight: kick off each cushion at the first legal ball.
  if (candidateCount == 0) {
    for (int b = 1; b < kBallCount; ++b) {
      if (!(legal & (1u << b))) continue;
      const FixVec2 ball = AiBallPos[b];
      for (int cu = 0; cu < 4; ++cu) {
        FixVec2 mirror = ball;
        const int32_t one = 0x10000;
        switch (cu) {
          case 0: mirror.x = WrapSub32(2 * (one - t.hx), ball.x); break;
          case 1: mirror.x = WrapSub32(2 * (t.hx - one), ball.x); break;
          case 2: mirror.z = WrapSub32(2 * (one - t.hz), ball.z); break;
          default: mirror.z = WrapSub32(2 * (t.hz - one), ball.z); break;
        }
        FixVec2 aim;
        if (!Direction(cue, mirror, aim)) continue;
        AiCandidate c;
        c.kind = 8;
        c.ball = c.second = static_cast<uint8_t>(b);
        c.cushion = static_cast<uint8_t>(cu);
        c.edgeA = c.edgeB = aim;
        c.cue = cue;
        c.travel = aim;
        AddCandidate(c);
      }
      break;
    }
  }
  return candidateCount;
}

int AiOpponent::AiFinishThink() {
  if (!thinking) return 1;
  ++framesThisThink;
  if (!(pool.rules.TurnFlags & 1)) {
    if (AiThinkStep() == 0) return 0;
  }
  pool.skill = baseSkill;
  thinking = 0;
  return 1;
}

int AiOpponent::AiThinkStep() {
  if (AiCandidatesLeft != 0) {
    const bool finished = AiTryCandidate();
    if (!(finished && AiPlacementsLeft == 0)) return 0;
  } else if (AiPlacementsLeft != 0) {
    AiBallPos[0] = placements_[static_cast<size_t>(placementCursor_)];
    GenerateCandidates();
    candidateCursor = 0;
    AiCandidatesLeft = candidateCount;
    if (candidateCount == 0) {
      // Nothing to try here: close the placement now so the think ends.
      --AiPlacementsLeft;
      ++placementCursor_;
    }
    return 0;
  }
  // Done: take the best, or a defined shot when nothing scored.
  if (bestCandidate.kind == kAiKindNone) {
    AiFallback();
  } else {
    aiShot = bestShot;
    trial = bestCandidate;
  }
  AiApplySkillError(false);
  return 1;
}

void AiOpponent::AiFallback() {
  if (anyPlanned_) {
    aiShot = firstPlanned_;
    trial = firstPlannedCandidate_;
    return;
  }
  // A centre hit at the nearest legal ball, else straight up the table.
  const FixVec2 cue = OnTable(AiBallPos[0]) ? AiBallPos[0] : placements_.empty() ? FixVec2{} : placements_[0];
  const uint16_t legal = LegalTargets();
  int nearest = 0;
  int64_t best = INT64_MAX;
  for (int b = 1; b < kBallCount; ++b) {
    if (!(legal & (1u << b))) continue;
    const int64_t d = DistSq(cue, AiBallPos[b]);
    if (d < best) {
      best = d;
      nearest = b;
    }
  }
  aiShot = AiShot{};
  aiShot.cueX = cue.x;
  aiShot.cueY = cue.z;
  aiShot.speed = 0x1800000;
  FixVec2 aim{0, kFixOne30};
  if (nearest) Direction(cue, AiBallPos[nearest], aim);
  if (aim.x == 0 && aim.z == 0) aim = {0, kFixOne30};
  aiShot.aimX = aim.x;
  aiShot.aimY = aim.z;
  trial = AiCandidate{};
  trial.kind = 0;
}

bool AiOpponent::AiTryCandidate() {
  trial = candidates_[static_cast<size_t>(candidateCursor)];
  if (AiPlanShot(trial) == 0) {
    if (!anyPlanned_ && aiShot.speed >= 0x10000) {  // an empty kick plan is no fallback
      anyPlanned_ = true;
      firstPlanned_ = aiShot;
      firstPlannedCandidate_ = trial;
    }
    const int tries = AiPowerTries(pool.skill);
    const int32_t step = AiPowerStep(pool.skill);
    int32_t d = step;
    for (int i = 0; i < tries; ++i) {
      AiEvaluateCandidate();
      if (lastScore > bestScore || (lastScore == bestScore && lastTie < bestTie)) AiKeepBest();
      const bool more = trial.kind == 2 || (!(pool.rules.TurnFlags & 2) && trial.kind >= 2 && trial.kind <= 4);
      if (!more) break;
      aiShot.speed = static_cast<int32_t>(std::min<int64_t>(int64_t{aiShot.speed} + d, kAiMaxSpeed));
      d = static_cast<int32_t>(std::min<int64_t>(int64_t{d} + step, kAiMaxSpeed));
    }
  }
  --AiCandidatesLeft;
  ++candidateCursor;
  if (AiCandidatesLeft == 0) {
    --AiPlacementsLeft;
    ++placementCursor_;
    return true;
  }
  return false;
}

void AiOpponent::AiKeepBest() {
  bestScore = lastScore;
  bestTie = lastTie;
  bestShot = aiShot;
  bestCandidate = trial;
}

bool AiOpponent::AiSimulateShot() {
  Pool& w = *work_;
  w = *saved_;
  w.observer = nullptr;
  w.sound = nullptr;
  w.silent = 1;
  w.ringPrevIndex = 0;
  w.ringIndex = 1;
  w.ringCurrent = 0;
  w.ringNext = 16;
  w.ringLead = 1;
  w.ballStates[0].position = FixVec3{aiShot.cueX, 0, aiShot.cueY};
  w.ballStates[0].state = kBallAtRest;
  for (int b = 1; b < kBallCount; ++b) {
    BallState& s = w.ballStates[static_cast<size_t>(b)];
    const FixVec2 p = AiBallPos[static_cast<size_t>(b)];
    s.state = OnTable(p) ? kBallAtRest : kBallOff;
    if (OnTable(p)) s.position = FixVec3{p.x, 0, p.z};
  }
  w.cueDirection = FixVec3{WrapNeg32(aiShot.aimX), 0, WrapNeg32(aiShot.aimY)};
  w.cueTip = {WrapNeg32(aiShot.tipX), aiShot.tipY};
  w.cueElevation = static_cast<FixAngle>(aiShot.elevation) & kAngleMask;
  w.strikePower = aiShot.speed;
  w.ResetShot();
  w.stepCount = 0;
  w.BeginShot();
  ++trialsThisThink;
  penaltyCount = 0;
  bool contact = false;
  while (true) {
    w.PredictEvents();
    ++w.stepCount;
    if (w.eventCount == 0) {
      w.AdvanceStepRing();
      break;
    }
    if (w.stepCount >= kStepCap) {
      ++failedSimulations;
      return false;  // a shot that never settles counts as failed
    }
    // Knuckle hits of object balls after the first contact make a shot
    // chancy: the scoring weighs them down.
    const int n = std::min<int>(w.eventCount, static_cast<int>(w.eventList.size()));
    for (int i = 0; i < n; ++i) {
      const EventPair e = w.eventList[static_cast<size_t>(i)];
      if (e.a == 0 && e.b != 0 && e.b < kBallCount) contact = true;
      if (contact && e.a != 0 && e.b != e.a && e.b >= 40) ++penaltyCount;
    }
    w.RecordRuleFacts();
    w.StepSimulation();
  }
  w.SeekReplay(0x7FFF0000);
  firstHit = w.rules.FirstHit;
  scratched = w.ballStates[0].state == kBallOff || w.rules.Scratch ? 1 : 0;
  pocketedMask = 0;
  for (int b = 1; b < kBallCount; ++b) {
    if (OnTable(AiBallPos[static_cast<size_t>(b)]) && w.ballStates[static_cast<size_t>(b)].state == kBallOff)
      pocketedMask = static_cast<uint16_t>(pocketedMask | (1u << b));
  }
  return true;
}

void AiOpponent::AiEvaluateCandidate() {
  lastScore = kAiNoScore;
  lastTie = kAiNoTie;
  const uint16_t legal = LegalTargets();
  ownCount = pool.GameType == 2 ? __builtin_popcount(legal & 0xFEFE) : [&] {
    int n = 0;
    for (int b = 1; b < kBallCount; ++b) n += OnTable(AiBallPos[static_cast<size_t>(b)]) ? 1 : 0;
    return n;
  }();
  if (!AiSimulateShot()) return;
  ScoreOutcome();
  if (penaltyCount != 0 && lastScore != kAiNoScore) {
    lastScore = lastScore >= 0 ? lastScore >> 1 : std::max(lastScore * 2, -32768);
  }
}

void AiOpponent::ScoreOutcome() {
  Pool& w = *work_;
  const int shooter = w.rules.CurrentPlayer & 1;
  const uint16_t legal = LegalTargets();
  const uint16_t money = MoneyBallBits();
  // Where the cue ball stopped, read before the rules spot or re-rack balls.
  const FixVec2 cue{w.ballStates[0].position.x, w.ballStates[0].position.z};
  int64_t nearest = INT64_MAX;
  for (int b = 1; b < kBallCount; ++b) {
    if (w.ballStates[static_cast<size_t>(b)].state == kBallOff) continue;
    const FixVec2 p{w.ballStates[static_cast<size_t>(b)].position.x, w.ballStates[static_cast<size_t>(b)].position.z};
    nearest = std::min(nearest, DistSq(cue, p));
  }

  // Judge the trial with the game's own rules on the copy. A practice table
  // has no referee, so the copy plays as against the computer; the call is
  // the plan being tried.
  if (w.OpponentKind == 0) w.OpponentKind = 2;
  w.called = CalledShot{trial.kind, trial.pocket, trial.ball, trial.second};
  w.calledPocket8 = trial.pocket;
  if (scratched) w.rules.Scratch = 1;
  // A re-rack on the copy must not draw from the game's random source.
  w.random = nullptr;
  w.EvaluateShot();
  const RuleBlock& r = w.rules;

  if (r.Outcome == kRuleOutcomeGame) {
    // The game ended: a win for the shooter, or lost by this shot.
    lastScore = r.OutcomeDetail == shooter + 1 ? 10000 : kAiNoScore;
    lastTie = lastScore == 10000 ? 0 : kAiNoTie;
    return;
  }
  if (r.Outcome == kRuleOutcomeScratch || r.Outcome == kRuleOutcomeFoul || r.Outcome == kRuleOutcomeMiscall ||
      r.Foul != 0) {
    return;  // a foul: kAiNoScore, never kept over a legal shot
  }
  if ((r.CurrentPlayer & 1) != shooter) {
    // The turn passes.
    lastScore = -1000;
    lastTie = 0;
    return;
  }
  // The shooter continues: reward the pots and a short next shot.
  uint16_t good = static_cast<uint16_t>(pocketedMask & ~money);
  if (pool.GameType == 2 && legal != 0x100 && legal != 0xFEFE) good &= legal;
  lastScore = 1000 + 100 * __builtin_popcount(good);
  lastTie = nearest == INT64_MAX ? 0 : static_cast<int32_t>(std::min<int64_t>(nearest >> 24, 0x7ffffffe));
}

void AiOpponent::ApplyShot() const {
  pool.ballStates[0].position = FixVec3{aiShot.cueX, 0, aiShot.cueY};
  pool.ballStates[0].state = kBallAtRest;
  pool.cueDirection = FixVec3{WrapNeg32(aiShot.aimX), 0, WrapNeg32(aiShot.aimY)};
  pool.cueTip = {WrapNeg32(aiShot.tipX), aiShot.tipY};
  pool.cueElevation = static_cast<FixAngle>(aiShot.elevation) & kAngleMask;
  pool.strikePower = aiShot.speed;
}

}  // namespace ks
