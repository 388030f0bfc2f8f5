// The rules of the six game types: each shot that has come to rest is judged
// into an outcome, the turn flags and the scores.
#include <algorithm>
#include <bit>

#include "simulation/pool.h"

namespace ks {
namespace {

constexpr uint16_t kSolids = 0x7F00;
constexpr uint16_t kStripes = 0x007F;
constexpr uint16_t kEight = 0x0080;
constexpr uint16_t kObjectBalls = 0x7FFF;
constexpr uint8_t kBreak = 1, kInHand = 2, kBehindHead = 4, kMatchOver = 8;
constexpr uint8_t kOutcomeGame = 1, kOutcomeScratch = 2, kOutcomeFoul = 3, kOutcomeMiscall = 4, kOutcomeQuit = 6;
constexpr uint8_t kWrongFirst = 7, kNoRail = 8, kBreakRails = 9, kWrongGroup = 10, kNotEight = 11, kNoHit = 12;
constexpr int kEventResign = 23, kEventQuit = 13, kEventMiscall = 18;

int16_t Add16(int16_t a, int b) { return static_cast<int16_t>(std::clamp(a + b, -32768, 32767)); }

}  // namespace

void Pool::ResetGame() {
  rules = RuleBlock{};
  rules.PointsGoal = 150;
  rules.MatchGoal = 5;
  GameType = 3;
  OpponentKind = 1;
}

void Pool::BeginTurn() {
  rules.turnStartPlayer = rules.CurrentPlayer;
  rules.turnStartScores = {rules.Score[0],    rules.Score[1],      rules.GamesWon[0],
                           rules.GamesWon[1], rules.FoulsInRow[0], rules.FoulsInRow[1]};
}

void Pool::UpdatePocketedMask() {
  uint16_t pocketed = 0;
  uint32_t onTable = 0;
  uint32_t count = 0;
  for (int b = 0; b < kBallCount; ++b) {
    const bool down = b == 0 ? rules.Scratch != 0 : rules.PocketOf[static_cast<size_t>(b)] >= 0;
    if (down) {
      pocketed = static_cast<uint16_t>(pocketed | RuleMaskOf(b));
      ++count;
    }
    if (ballStates[static_cast<size_t>(b)].state != kBallOff) onTable |= RuleMaskOf(b);
  }
  rules.PocketedThisShot = pocketed;
  rules.OnTableMask = onTable;
  rules.PocketedCount = count;
}

void Pool::CountRailBalls() {
  rules.RailCount = static_cast<uint8_t>(
      std::count_if(rules.RailAfterContact.begin(), rules.RailAfterContact.end(), [](uint8_t r) { return r != 0; }));
}

void Pool::SpotPocketedBalls() {
  uint16_t mask = rules.PocketedThisShot & kObjectBalls;
  if (GameType == 3 || GameType == 5 || GameType == 6) mask &= static_cast<uint16_t>(MoneyBallMask);
  uint8_t list[kBallCount];
  int n = 0;
  for (int b = 1; b < kBallCount; ++b) {
    if (mask & RuleMaskOf(b)) list[n++] = static_cast<uint8_t>(b);
  }
  SpotBalls(list, n);
}

bool Pool::IsGroupCleared() const {
  if (rules.SolidsOwner == 0) return false;
  const bool solids = rules.SolidsOwner == rules.CurrentPlayer + 1;
  return (rules.OnTableMask & (solids ? kSolids : kStripes)) == 0;
}

namespace {

// The shared steps of the rule sets, on the Pool's rule block.
struct Judge {
  Pool& p;
  RuleBlock& r;
  int shooter;
  int other;
  bool brk;
  bool scratch;
  uint16_t pocketed;  // object balls pocketed in this shot

  explicit Judge(Pool& pool)
      : p(pool),
        r(pool.rules),
        shooter(pool.rules.CurrentPlayer & 1),
        other(1 - (pool.rules.CurrentPlayer & 1)),
        brk((pool.rules.ShotFlags & kBreak) != 0),
        scratch(pool.rules.Scratch != 0),
        pocketed(0) {
    p.UpdatePocketedMask();
    p.CountRailBalls();
    pocketed = r.PocketedThisShot & kObjectBalls;
  }
  void PassTurn() { r.CurrentPlayer = static_cast<uint8_t>(other); }
  void Foul(uint8_t detail) {
    r.Outcome = kOutcomeFoul;
    r.OutcomeDetail = detail;
  }
  void MatchResetOnBreak() {
    if (brk && r.MatchGoal >= 2 && (r.GamesWon[0] >= r.MatchGoal || r.GamesWon[1] >= r.MatchGoal)) r.GamesWon = {0, 0};
  }
  // A game won by `winner`: the game count and then a re-rack or the match end.
  void GameEnd(int winner, uint8_t detail, int16_t layout, int nextPlayer) {
    r.Outcome = kOutcomeGame;
    r.OutcomeDetail = detail;
    r.GamesWon[static_cast<size_t>(winner)] = Add16(r.GamesWon[static_cast<size_t>(winner)], 1);
    r.SolidsOwner = 0;
    if (r.GamesWon[static_cast<size_t>(winner)] >= r.MatchGoal) {
      r.FoulsInRow = {0, 0};
      r.CurrentPlayer = 0;
      r.TurnFlags = kMatchOver;
      return;
    }
    p.PlaceBalls(layout);
    r.CurrentPlayer = static_cast<uint8_t>(nextPlayer);
  }
  // The shot against its call. A human's shot passes while calling is off;
  // the computer always shoots a called shot (its plan), which is read like
  // any other call.
  bool CalledShotPasses() const {
    const bool computer = p.OpponentKind == 2 && shooter == 1;
    if (!computer && !p.callingOn) return true;
    const CalledShot& c = p.called;
    int ball = 0;
    if (c.kind == 3 || c.kind == 4)
      ball = c.ball;
    else if (c.kind == 5 || c.kind == 6)
      ball = c.second;
    else if (c.kind == 7)
      ball = c.second != 0 ? c.second : c.ball;
    else
      return false;
    if (ball < 1 || ball >= kBallCount) return false;
    return r.PocketOf[static_cast<size_t>(ball)] == static_cast<int8_t>(c.pocket);
  }
};

void StraightFoulCount(Judge& j, int penalty) {
  RuleBlock& r = j.r;
  int16_t& fouls = r.FoulsInRow[static_cast<size_t>(j.shooter)];
  int16_t& score = r.Score[static_cast<size_t>(j.shooter)];
  score = Add16(score, -penalty);
  fouls = Add16(fouls, 1);
  if (fouls >= 3) {
    fouls = 3;
    score = Add16(score, -15);
  }
  if (score < -99) score = -99;
  if (j.scratch) r.TurnFlags |= kBehindHead;
  j.PassTurn();
}

void StraightMiscallStep(Pool& p) {
  RuleBlock& r = p.rules;
  r.CurrentPlayer = r.turnStartPlayer;
  r.Score = {r.turnStartScores[0], r.turnStartScores[1]};
  r.GamesWon = {r.turnStartScores[2], r.turnStartScores[3]};
  r.FoulsInRow = {r.turnStartScores[4], r.turnStartScores[5]};
  p.SpotPocketedBalls();
  p.redraw = 1;
  r.CurrentPlayer = static_cast<uint8_t>(1 - (r.CurrentPlayer & 1));
  r.Outcome = kOutcomeMiscall;
  r.OutcomeDetail = 0;
}

void JudgeStraight(Judge& j) {
  RuleBlock& r = j.r;
  const int n = std::popcount(static_cast<unsigned>(j.pocketed));
  if (j.scratch) {
    j.p.SpotPocketedBalls();
    StraightFoulCount(j, j.brk ? 2 : 1);
    return;
  }
  if (n == 0) {
    if (r.FirstHit == 0) {
      j.Foul(kNoHit);
      StraightFoulCount(j, j.brk ? 2 : 1);
    } else if (j.brk && (r.RailCount < 3 || r.RailAfterContact[0] == 0)) {
      j.Foul(kBreakRails);
      StraightFoulCount(j, 2);
    } else if (!j.brk && r.RailCount == 0) {
      j.Foul(kNoRail);
      StraightFoulCount(j, 1);
    } else {
      r.FoulsInRow[static_cast<size_t>(j.shooter)] = 0;
      j.PassTurn();
    }
    return;
  }
  r.FoulsInRow[static_cast<size_t>(j.shooter)] = 0;
  int16_t& score = r.Score[static_cast<size_t>(j.shooter)];
  score = Add16(score, n);
  const bool calledOk = j.CalledShotPasses();
  if (score >= r.PointsGoal) {
    if (!calledOk) {
      StraightMiscallStep(j.p);
      return;
    }
    r.GamesWon[static_cast<size_t>(j.shooter)] = Add16(r.GamesWon[static_cast<size_t>(j.shooter)], 1);
    r.Outcome = kOutcomeGame;
    r.OutcomeDetail = static_cast<uint8_t>(j.shooter + 1);
    r.TurnFlags = kMatchOver;
    return;
  }
  if (!calledOk) {
    StraightMiscallStep(j.p);
    return;
  }
  const int left = std::popcount(static_cast<unsigned>(r.OnTableMask & kObjectBalls));
  if (left == 0) {
    j.p.RerackStraightFull();
  } else if (left == 1) {
    int k = 1;
    while (k < kBallCount && !(r.OnTableMask & RuleMaskOf(k))) ++k;
    j.p.RerackStraightAround(k);
  }
}

void JudgeEightBall(Judge& j) {
  RuleBlock& r = j.r;
  j.MatchResetOnBreak();
  const uint16_t group = r.SolidsOwner == 0 ? 0 : (r.SolidsOwner == j.shooter + 1 ? kSolids : kStripes);
  // The group counts as cleared when none of it was on the table as the shot began.
  const bool clearedBefore = group != 0 && ((r.OnTableMask | j.pocketed) & group) == 0;
  uint8_t detail = 0;
  bool foul = j.scratch;
  if (r.FirstHit == 0) {
    detail = kNoHit;
  } else if (clearedBefore && r.FirstHit != 8) {
    detail = kNotEight;
  } else if (group != 0 && !clearedBefore && !(group & RuleMaskOf(r.FirstHit))) {
    detail = kWrongGroup;
  } else if (r.RailCount == 0) {
    detail = kNoRail;
  }
  if (detail != 0) foul = true;
  r.Foul = foul ? (detail != 0 ? detail : 1) : 0;

  int loser = -1, winner = -1;
  if (j.pocketed & kEight) {
    if (j.brk) {
      if (!foul) winner = j.shooter;
    } else {
      // Against the computer neither side calls the 8: player 1 is spared the
      // call and the computer's call is its own plan.
      const bool eightCalled = j.p.OpponentKind == 2 || r.PocketOf[8] == static_cast<int8_t>(j.p.calledPocket8);
      if (!foul && clearedBefore && j.CalledShotPasses() && eightCalled)
        winner = j.shooter;
      else
        loser = j.shooter;
    }
  } else if (j.scratch && clearedBefore) {
    loser = j.shooter;
  }
  if (winner >= 0 || loser >= 0) {
    const int w = winner >= 0 ? winner : 1 - loser;
    const uint8_t d = static_cast<uint8_t>(winner >= 0 ? winner + 1 : loser + 3);
    j.GameEnd(w, d, 2, 1 - r.BreakPlayer);
    return;
  }
  if (foul) {
    uint16_t spot = j.pocketed;
    if (group != 0) spot &= static_cast<uint16_t>(group | kEight);
    const uint16_t saved = r.PocketedThisShot;
    r.PocketedThisShot = spot;
    j.p.SpotPocketedBalls();
    r.PocketedThisShot = saved;
    j.PassTurn();
    if (!j.scratch) {
      j.Foul(detail);
      r.TurnFlags = kInHand;
    }
    if (j.brk) r.TurnFlags |= kBehindHead;
    return;
  }
  if (j.pocketed == 0) {
    j.PassTurn();
    return;
  }
  if (group == 0) {
    const bool solids = (j.pocketed & kSolids) != 0, stripes = (j.pocketed & kStripes) != 0;
    if (solids && !stripes)
      r.SolidsOwner = static_cast<uint8_t>(j.shooter + 1);
    else if (stripes && !solids)
      r.SolidsOwner = static_cast<uint8_t>(j.other + 1);
    return;
  }
  if (!(j.pocketed & group)) j.PassTurn();
}

// A foul of 9-, 6-, 10-Ball and Rotation: the third in a row loses the game.
void MoneyFoul(Judge& j, int16_t layout) {
  RuleBlock& r = j.r;
  int16_t& fouls = r.FoulsInRow[static_cast<size_t>(j.shooter)];
  fouls = Add16(fouls, 1);
  if (fouls < 3) {
    j.p.SpotPocketedBalls();
    j.PassTurn();
    return;
  }
  fouls = 0;
  j.GameEnd(j.other, static_cast<uint8_t>(j.shooter + 3), layout, j.other);
}

// Step 3 shared by 9-Ball and Rotation: nothing pocketed. True when a foul.
bool NothingPocketed(Judge& j) {
  RuleBlock& r = j.r;
  uint8_t detail = 0;
  if (r.FirstHit == 0)
    detail = kNoHit;
  else if (r.FirstHit != r.LowestBall)
    detail = kWrongFirst;
  else if (r.RailCount == 0)
    detail = kNoRail;
  if (detail == 0) {
    r.FoulsInRow[static_cast<size_t>(j.shooter)] = 0;
    j.PassTurn();
    return false;
  }
  j.Foul(detail);
  r.TurnFlags = kInHand;
  return true;
}

void JudgeMoneyBall(Judge& j) {
  RuleBlock& r = j.r;
  if (j.brk) r.FoulsInRow = {0, 0};
  j.MatchResetOnBreak();
  const int16_t layout = j.p.GameType;
  if (!j.scratch && j.pocketed != 0) {
    if (r.FirstHit == r.LowestBall && r.FirstHit != 0) {
      r.FoulsInRow[static_cast<size_t>(j.shooter)] = 0;
      if (j.pocketed & static_cast<uint16_t>(j.p.MoneyBallMask)) {
        j.GameEnd(j.shooter, static_cast<uint8_t>(j.shooter + 1), layout, j.shooter);
      }
      return;
    }
    j.Foul(kWrongFirst);
    r.TurnFlags = kInHand;
    MoneyFoul(j, layout);
    return;
  }
  if (!j.scratch) {
    if (NothingPocketed(j)) MoneyFoul(j, layout);
    return;
  }
  MoneyFoul(j, layout);
}

void JudgeRotation(Judge& j) {
  RuleBlock& r = j.r;
  if (j.brk) {
    r.Score = {0, 0};
    r.FoulsInRow = {0, 0};
  }
  j.MatchResetOnBreak();
  bool foul = j.scratch;
  if (!j.scratch && j.pocketed != 0) {
    if (r.FirstHit == r.LowestBall && r.FirstHit != 0) {
      int sum = 0;
      for (int b = 1; b < kBallCount; ++b) {
        if (j.pocketed & RuleMaskOf(b)) sum += b;
      }
      int16_t& score = r.Score[static_cast<size_t>(j.shooter)];
      score = Add16(score, sum);
      r.FoulsInRow[static_cast<size_t>(j.shooter)] = 0;
      if ((r.OnTableMask & kObjectBalls) != 0 && score < 61) return;
      j.GameEnd(j.shooter, static_cast<uint8_t>(j.shooter + 1), 4, j.shooter);
      return;
    }
    j.Foul(kWrongFirst);
    r.TurnFlags = kInHand;
    foul = true;
  } else if (!j.scratch) {
    foul = NothingPocketed(j);
  }
  if (!foul) return;
  // Every ball pocketed on a foul comes back.
  j.p.SpotPocketedBalls();
  r.PocketedThisShot = 0;
  MoneyFoul(j, 4);
}

}  // namespace

void Pool::EvaluateShot() {
  rules.Outcome = 0;
  rules.OutcomeDetail = 0;
  rules.TurnFlags = 0;
  rules.Foul = 0;
  if (rules.Scratch) {
    rules.Outcome = kOutcomeScratch;
    if (OpponentKind != 0) rules.TurnFlags = kInHand;
  }
  if (OpponentKind == 0) return;
  Judge j(*this);
  switch (GameType) {
    case 1:
      JudgeStraight(j);
      break;
    case 2:
      JudgeEightBall(j);
      break;
    case 3:
    case 5:
    case 6:
      JudgeMoneyBall(j);
      break;
    case 4:
      JudgeRotation(j);
      break;
    default:
      break;
  }
  redraw = 1;
}

int Pool::Resign() {
  if (OpponentKind == 0 || shotState != 0) return 0;
  const int shooter = rules.CurrentPlayer & 1;
  rules.FoulsInRow = {0, 0};
  rules.Score = {0, 0};
  rules.Outcome = kOutcomeGame;
  rules.OutcomeDetail = static_cast<uint8_t>(5 + shooter);
  rules.GamesWon[static_cast<size_t>(1 - shooter)] = Add16(rules.GamesWon[static_cast<size_t>(1 - shooter)], 1);
  redraw = 1;
  OnGameEvent(kEventResign);
  const int from = GameType == 2 ? (rules.BreakPlayer & 1) : shooter;
  rules.CurrentPlayer = static_cast<uint8_t>(1 - from);
  return 1;
}

int Pool::QuitMatch() {
  if (OpponentKind == 2) rules.CurrentPlayer = 0;
  rules.Score = {0, 0};
  rules.GamesWon = {0, 0};
  rules.FoulsInRow = {0, 0};
  rules.GamesWon[static_cast<size_t>(1 - (rules.CurrentPlayer & 1))] = rules.MatchGoal;
  rules.Outcome = kOutcomeQuit;
  rules.TurnFlags = kMatchOver;
  redraw = 1;
  OnGameEvent(kEventQuit);
  return 1;
}

void Pool::Miscall() {
  if (rules.Outcome >= 2) return;
  if (GameType == 1) {
    if (rules.Score[0] > rules.turnStartScores[0] || rules.Score[1] > rules.turnStartScores[1]) {
      StraightMiscallStep(*this);
      OnGameEvent(kEventMiscall);
    }
  } else if (GameType == 2) {
    if (rules.Outcome != kOutcomeGame || (rules.OutcomeDetail != 1 && rules.OutcomeDetail != 2)) return;
    const size_t w = rules.OutcomeDetail - 1u;
    rules.GamesWon[w] = Add16(rules.GamesWon[w], -1);
    rules.GamesWon[1 - w] = Add16(rules.GamesWon[1 - w], 1);
    if (OpponentKind == 2 && rules.GamesWon[1 - w] >= rules.MatchGoal) rules.CurrentPlayer = 0;
    rules.OutcomeDetail = static_cast<uint8_t>(rules.OutcomeDetail + 2);
    OnGameEvent(kEventMiscall);
  }
}

}  // namespace ks
