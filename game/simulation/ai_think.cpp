// The think cycle: placements and candidates consumed one per frame, each
// candidate simulated on a private copy of the table and scored.
#include <algorithm>

#include "simulation/ai.h"

namespace ks {
namespace {

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

}  // namespace

AiOpponent::AiOpponent(Pool& p) : pool(p), saved_(std::make_unique<Pool>(p)), work_(std::make_unique<Pool>(p)) {
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
        owner == 0 ? open : static_cast<uint16_t>(RuleMaskToBitMask(owner == shooter + 1 ? kRuleSolids : kRuleStripes));
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
  bestSuccess = kAiNoScore;
  bestTie = kAiNoTie;
  AiCandidatesLeft = 0;
  candidateCursor = 0;
  swapTables_ = false;
  AiBuildBallRecords();
  AiBuildPlacements();
  AiPlacementsLeft = static_cast<int32_t>(placements_.size());
  placementCursor_ = 0;
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
  bestSuccess = lastSuccess;
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
  lastSuccess = kAiNoScore;
  const RuleBlock& before = saved_->rules;
  const int shooter = before.CurrentPlayer & 1;
  int own = 0, opp = 0;
  CountSides(before, shooter, false, own, opp);
  ownCount = own;
  if (trial.kind <= 1) {
    // A plain hit is not simulated: it is worth what the opponent's next
    // turn is worth.
    lastScore = pool.GameType == 1 ? -9000 : -AiValueA(opp);
    return;
  }
  if (!AiSimulateShot()) return;
  ScoreOutcome();
  if (penaltyCount != 0 && lastScore != kAiNoScore) {
    // Knuckle hits after the first contact make the outcome chancy.
    lastScore = static_cast<int16_t>(static_cast<uint16_t>(lastScore >= 0 ? lastScore >> 1 : lastScore * 2));
  }
}

void AiOpponent::ScoreOutcome() {
  Pool& w = *work_;
  const RuleBlock before = saved_->rules;
  const int shooter = before.CurrentPlayer & 1;
  int ownBefore = 0, oppBefore = 0;
  CountSides(before, shooter, false, ownBefore, oppBefore);

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

  bool won = false;
  if (r.Outcome == kRuleOutcomeGame) {
    if (r.OutcomeDetail != shooter + 1) return;  // lost by this shot
    won = true;
  } else if (r.Outcome == kRuleOutcomeScratch || r.Outcome == kRuleOutcomeFoul || r.Outcome == kRuleOutcomeMiscall ||
             r.Foul != 0) {
    return;  // a foul: kAiNoScore, never kept over a legal shot
  }
  const int outcome = (r.CurrentPlayer & 1) == shooter ? 0 : 1;  // 0 the shooter continues, 1 the turn passes
  const int32_t failure = -AiValueB(oppBefore);

  int32_t success;
  if (won) {
    success = 10000;
  } else if (pool.GameType != 1 && trial.kind == 8) {
    success = failure;  // a kick that only hits leaves the opponent the table
  } else {
    // Score the table as the rules left it (a re-rack moves balls), then put
    // the search's own view of the table and its records back.
    const std::array<FixVec2, kBallCount> pos = AiBallPos;
    const auto records = ballRecord;
    const auto blocked = blockedPockets;
    for (int b = 0; b < kBallCount; ++b) {
      const BallState& s = w.ballStates[static_cast<size_t>(b)];
      AiBallPos[static_cast<size_t>(b)] =
          s.state == kBallOff ? FixVec2{kAiOffTable, kAiOffTable} : FixVec2{s.position.x, s.position.z};
    }
    success = EvaluatePosition(outcome, shooter, ownBefore, before, r);
    AiBallPos = pos;
    ballRecord = records;
    blockedPockets = blocked;
  }
  lastSuccess = success;
  const int32_t measure = Dot2Fix30(trial.edgeA, trial.edgeB);
  const int32_t p =
      trial.kind == 7 ? AiSuccessWeightKick(measure, pool.skillIndex) : AiSuccessWeight(measure, pool.skillIndex);
  lastScore = AiCombineScore(success, failure, p);
  lastTie = measure;
}

void AiOpponent::ApplyShot() const {
  pool.ballStates[0].position = FixVec3{aiShot.cueX, 0, aiShot.cueY};
  pool.ballStates[0].state = kBallAtRest;
  pool.cueDirection = FixVec3{WrapNeg32(aiShot.aimX), 0, WrapNeg32(aiShot.aimY)};
  pool.cueTip = {WrapNeg32(aiShot.tipX), aiShot.tipY};
  pool.cueElevation = static_cast<FixAngle>(aiShot.elevation) & kAngleMask;
  pool.strikePower = aiShot.speed;
  // The plan is the call the rules read the shot against.
  pool.called = CalledShot{trial.kind, trial.pocket, trial.ball, trial.second};
  pool.calledPocket8 = trial.pocket;
}

}  // namespace ks
