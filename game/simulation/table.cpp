#include "simulation/table.h"

#include <cmath>

namespace ks {

namespace {

struct GameEntry {
  GameKind game;
  const char* name;
};
constexpr GameEntry kGames[] = {{GameKind::kStraight, "straight"}, {GameKind::kEightBall, "8ball"},
                                {GameKind::kNineBall, "9ball"},    {GameKind::kRotation, "rotation"},
                                {GameKind::kSixBall, "6ball"},     {GameKind::kTenBall, "10ball"}};

// The ball whose pocketing wins the game (bit 15 - n); none where the game
// has no such ball.
uint32_t MoneyBallMaskOf(GameKind game) {
  switch (game) {
    case GameKind::kNineBall:
      return RuleMaskOf(9);
    case GameKind::kSixBall:
      return RuleMaskOf(6);
    case GameKind::kTenBall:
      return RuleMaskOf(10);
    default:
      return 0;
  }
}

constexpr double kMaxShotAngle = 1e6;

// The large table's half width and half length.
constexpr Fix16 kLargeHalfWidth = 1259520;
constexpr Fix16 kLargeHalfLength = 0x267000;

}  // namespace

const char* GameName(GameKind game) {
  for (const GameEntry& e : kGames) {
    if (e.game == game) return e.name;
  }
  return "?";
}

std::optional<GameKind> GameFromName(std::string_view name) {
  for (const GameEntry& e : kGames) {
    if (name == e.name) return e.game;
  }
  return std::nullopt;
}

namespace {

bool Finite(const Shot& s) {
  return std::isfinite(s.angle) && std::isfinite(s.power) && std::isfinite(s.side) && std::isfinite(s.height) &&
         std::isfinite(s.elevation);
}

}  // namespace

const char* CheckShot(const Shot& s) {
  if (!Finite(s)) return "every value must be a finite number";
  if (s.power < 0 || s.power > 640) return "POWER must be 0..640";
  if (std::fabs(s.side) > 1 || std::fabs(s.height) > 1) return "TIPX and TIPY must be -1..1";
  if (s.elevation < 0 || s.elevation > 90) return "ELEVATION must be 0..90";
  // Far beyond a few turns the angle has lost its fractional degrees.
  if (std::fabs(s.angle) > kMaxShotAngle) return "ANGLE must be -1000000..1000000";
  return nullptr;
}

std::optional<CueParameters> ToCueParameters(const Shot& s) {
  // Every result must fit its 32-bit word.
  constexpr double kMaxFix16 = 32767;
  if (!Finite(s) || std::fabs(s.angle) > kMaxShotAngle || std::fabs(s.elevation) > kMaxShotAngle ||
      std::fabs(s.power) > kMaxFix16 || std::fabs(s.side) > kMaxFix16 || std::fabs(s.height) > kMaxFix16) {
    return std::nullopt;
  }
  // The stick lies behind the ball: its direction is the travel reversed.
  const double rad = s.angle * M_PI / 180.0;
  CueParameters c;
  c.direction = FixVec3{static_cast<int32_t>(std::lround(-std::sin(rad) * 1073741824.0)), 0,
                        static_cast<int32_t>(std::lround(-std::cos(rad) * 1073741824.0))};
  c.tip = {static_cast<Fix16>(std::lround(s.side * 65536)), static_cast<Fix16>(std::lround(s.height * 65536))};
  c.elevation = static_cast<FixAngle>(std::lround(s.elevation / 360.0 * 262144.0)) & kAngleMask;
  c.power = static_cast<int32_t>(std::lround(s.power * 65536));
  return c;
}

TableEvent DescribeEvent(const EventPair& pair, uint32_t time) {
  TableEvent e;
  e.time = time;
  e.ball = pair.a;
  const int b = pair.b;
  if (b == pair.a) {
    e.kind = TableEvent::Kind::kMotion;
    e.index = b;
  } else if (b < kBallCount) {
    e.kind = TableEvent::Kind::kBall;
    e.index = b;
  } else if (b < kEventPocketFirst) {
    e.kind = TableEvent::Kind::kCushion;
    e.index = b;  // the cushion's event code
  } else if (b < kEventJawFirst) {
    e.kind = TableEvent::Kind::kPocket;
    e.index = b - kEventPocketFirst;
  } else if (b < kEventKnuckleFirst) {
    e.kind = TableEvent::Kind::kJaw;
    e.index = b - kEventJawFirst;
  } else {
    e.kind = TableEvent::Kind::kKnuckle;
    e.index = b - kEventKnuckleFirst;
  }
  return e;
}

void TableObserver::OnStepEvents(const EventPair* events, int count, uint32_t time) {
  for (int i = 0; i < count; ++i) OnEvent(DescribeEvent(events[i], time));
}

Table::Table(const TableSetup& setup, PoolHost* host) : random_(setup.seed) {
  pool_.host = host ? host : &stillClock_;
  pool_.random = &random_;
  pool_.silent = setup.sound ? 0 : 1;
  if (setup.size == TableSize::kLarge) {
    pool_.table.hx = kLargeHalfWidth;
    pool_.table.hz = kLargeHalfLength;
  }
  pool_.InitCushionGeometry();
  pool_.InitPocketPositions();
  pool_.InitPhysicsConstants();  // reads the host's friction flag
  pool_.RackBalls();
  pool_.GameType = static_cast<int16_t>(setup.game);
  pool_.OpponentKind = static_cast<int16_t>(setup.opponent);
  pool_.MoneyBallMask = MoneyBallMaskOf(setup.game);
  pool_.rules.PointsGoal = setup.pointsGoal;
  pool_.rules.MatchGoal = setup.matchGoal;
  pool_.PlaceBalls(static_cast<int16_t>(setup.game));
  pool_.StartClock();
}

bool Table::Aim(const Shot& shot) {
  if (CheckShot(shot)) return false;
  const std::optional<CueParameters> cue = ToCueParameters(shot);
  if (!cue) return false;
  Aim(*cue);
  return true;
}

void Table::Aim(const CueParameters& cue) {
  pool_.cueDirection = cue.direction;
  pool_.cueTip = cue.tip;
  pool_.cueElevation = cue.elevation;
  pool_.strikePower = cue.power;
}

void Table::Strike() {
  pool_.ResetShot();
  pool_.StartShot();
}

bool Table::PlayFrame() {
  const int result = pool_.RunShot();
  if (observer_) observer_->OnFrame(View());
  return result != -1;
}

void Table::Finish() {
  pool_.FinishShot();
  if (observer_) observer_->OnFrame(View());
}

const RuleBlock& Table::Judge() {
  pool_.EvaluateShot();
  return pool_.rules;
}

bool Table::Resign() {
  if (!pool_.Resign()) return false;
  pool_.PlaceBalls(pool_.GameType);
  return true;
}

void Table::SetObserver(TableObserver* observer) {
  observer_ = observer;
  pool_.observer = observer;
}

TableView Table::View() const {
  TableView v;
  v.balls = pool_.ballStates;
  v.cue.direction = pool_.cueDirection;
  v.cue.tip = pool_.cueTip;
  v.cue.elevation = pool_.cueElevation;
  v.cue.power = pool_.strikePower;
  v.cue.origin = pool_.stickOrigin;
  v.cue.points = pool_.stickPointsPosed;
  v.game = Game();
  const RuleBlock& r = pool_.rules;
  v.currentPlayer = r.CurrentPlayer;
  v.turnFlags = r.TurnFlags;
  v.outcome = r.Outcome;
  v.outcomeDetail = r.OutcomeDetail;
  v.score = r.Score;
  v.gamesWon = r.GamesWon;
  v.foulsInRow = r.FoulsInRow;
  v.shotRunning = pool_.shotRunning != 0;
  return v;
}

}  // namespace ks
