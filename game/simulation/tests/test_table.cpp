// The Table front: set-up per game type and size, the shot check and its
// conversion, observed stepping that agrees with the Pool, and the view.
#include "simulation/table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace ks {
namespace {

int BallsOnTable(const Table& t) {
  int n = 0;
  for (const BallState& b : t.View().balls) n += b.state != kBallOff ? 1 : 0;
  return n;
}

TEST(Table, SetsUpEachGame) {
  struct Case {
    GameKind game;
    const char* name;
    int balls;  // the cue ball included
    uint32_t money;
  };
  const Case cases[] = {
      {GameKind::kStraight, "straight", 16, 0}, {GameKind::kEightBall, "8ball", 16, 0},
      {GameKind::kNineBall, "9ball", 10, 0x40}, {GameKind::kRotation, "rotation", 16, 0},
      {GameKind::kSixBall, "6ball", 7, 0x200},  {GameKind::kTenBall, "10ball", 11, 0x20},
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(GameName(c.game), c.name);
    ASSERT_EQ(GameFromName(c.name), c.game) << c.name;
    TableSetup setup;
    setup.game = c.game;
    Table practice(setup);
    EXPECT_EQ(practice.Game(), c.game);
    EXPECT_EQ(BallsOnTable(practice), c.balls) << c.name;
    EXPECT_EQ(practice.pool().MoneyBallMask, c.money) << c.name;
    EXPECT_EQ(practice.View().turnFlags, 1) << "a break";
    setup.opponent = Opponent::kHuman;
    Table match(setup);
    EXPECT_EQ(match.View().turnFlags, 7) << "a break from the hand behind the head string";
  }
  EXPECT_FALSE(GameFromName("snooker"));
  EXPECT_FALSE(GameFromName(""));

  TableSetup large;
  large.size = TableSize::kLarge;
  large.pointsGoal = 14;
  large.matchGoal = 1;
  Table t(large);
  EXPECT_GT(t.pool().table.hz, Table(TableSetup{}).pool().table.hz);
  EXPECT_EQ(t.pool().table.cushion[3], t.pool().table.hz - 0x10000) << "geometry follows the size";
  EXPECT_EQ(t.View().balls[0].position.z, -3 * (t.pool().table.hz >> 2)) << "racked for that size";
  EXPECT_EQ(t.Rules().PointsGoal, 14);
  EXPECT_EQ(t.Rules().MatchGoal, 1);
}

TEST(Table, ShotsAreCheckedAndConverted) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    Shot shot;
    bool strikable;
    bool convertible;
  };
  const Case cases[] = {
      {{0, 300, 0, 0, 0}, true, true},     {{-720, 640, -1, 1, 90}, true, true},
      {{0, 0, 1, -1, 0}, true, true},      {{nan, 300, 0, 0, 0}, false, false},
      {{0, nan, 0, 0, 0}, false, false},   {{0, 300, nan, 0, 0}, false, false},
      {{0, 300, 0, nan, 0}, false, false}, {{0, 300, 0, 0, nan}, false, false},
      {{inf, 300, 0, 0, 0}, false, false}, {{0, -inf, 0, 0, 0}, false, false},
      {{0, 640.5, 0, 0, 0}, false, true},  {{0, -1, 0, 0, 0}, false, true},
      {{0, 300, 1.5, 0, 0}, false, true},  // off the ball: convertible for tests, not strikable
      {{0, 300, 0, 0, 91}, false, true},   {{2e6, 300, 0, 0, 0}, false, false},
      {{0, 1e9, 0, 0, 0}, false, false},  // would not fit the power word
  };
  for (const Case& c : cases) {
    const Shot& s = c.shot;
    SCOPED_TRACE(::testing::Message() << s.angle << "," << s.power << "," << s.side << "," << s.height << ","
                                      << s.elevation);
    EXPECT_EQ(CheckShot(s) == nullptr, c.strikable);
    EXPECT_EQ(ToCueParameters(s).has_value(), c.convertible);
    Table t(TableSetup{});
    const CueParameters before{t.pool().cueDirection, t.pool().cueTip, t.pool().cueElevation, t.pool().strikePower};
    EXPECT_EQ(t.Aim(s), c.strikable);
    if (!c.strikable) {
      EXPECT_EQ(t.pool().cueDirection, before.direction) << "a refused shot changes nothing";
      EXPECT_EQ(t.pool().strikePower, before.power);
    }
  }
  // Real units to the Pool's words: the stick lies opposite the travel.
  const std::optional<CueParameters> c = ToCueParameters(Shot{90, 640, 0.5, -0.25, 90});
  ASSERT_TRUE(c);
  EXPECT_EQ(c->direction, (FixVec3{-kFixOne30, 0, 0}));
  EXPECT_EQ(c->tip, (std::array<Fix16, 2>{0x8000, -0x4000}));
  EXPECT_EQ(c->elevation, 0x10000);
  EXPECT_EQ(c->power, kMaxStrikePower);
}

// Records what a shot reports.
class Recorder final : public TableObserver {
 public:
  void OnEvent(const TableEvent& e) override { events.push_back(e); }
  void OnFrame(const TableView& v) override {
    ++frames;
    last = v;
  }
  std::vector<TableEvent> events;
  int frames = 0;
  TableView last;
};

// Measures, at each ball-ball collision it hears, how far apart the two
// balls stand (in radii) at that instant.
class ContactGauge final : public TableObserver {
 public:
  explicit ContactGauge(const Pool& pool) : pool_(pool) {}
  void OnEvent(const TableEvent& e) override {
    if (e.kind != TableEvent::Kind::kBall) return;
    BallEntry a, b;
    const BallMotion& ma = pool_.motions[e.ball];
    const BallMotion& mb = pool_.motions[static_cast<size_t>(e.index)];
    pool_.EvaluateMotion(ma, e.time - ma.startTime, a);
    pool_.EvaluateMotion(mb, e.time - mb.startTime, b);
    const double dx = (b.position.x - a.position.x) / 65536.0, dz = (b.position.z - a.position.z) / 65536.0;
    apart.push_back(std::sqrt(dx * dx + dz * dz));
  }
  std::vector<double> apart;

 private:
  const Pool& pool_;
};

// A step hands its observer only the collisions it applies: candidates at
// the same instant that stand apart are dropped by the step and are not
// heard. The breaks below used to report the cue ball meeting balls three
// to seven radii away.
TEST(Table, HeardCollisionsAreBallsInContact) {
  struct Case {
    GameKind game;
    Shot shot;
  };
  const Case cases[] = {{GameKind::kNineBall, Shot{0, 300, 0, 0, 0}},
                        {GameKind::kEightBall, Shot{0, 640, 0, 0, 0}},
                        {GameKind::kTenBall, Shot{0, 500, 0, 0.3, 0}},
                        {GameKind::kNineBall, Shot{10, 300, 0.2, -0.3, 5}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(GameName(c.game));
    TableSetup setup;
    setup.game = c.game;
    Table t(setup);
    ContactGauge gauge(t.pool());
    t.SetObserver(&gauge);
    ASSERT_TRUE(t.Aim(c.shot));
    t.Strike();
    t.Finish();
    ASSERT_FALSE(gauge.apart.empty());
    for (size_t i = 0; i < gauge.apart.size(); ++i) EXPECT_NEAR(gauge.apart[i], 2.0, 0.02) << "collision " << i;
  }
}

class Ticking final : public PoolHost {
 public:
  uint32_t GetTime() override { return now += 5; }
  uint32_t now = 0;
};

TEST(Table, ObservedShotAgreesWithThePool) {
  TableSetup setup;
  setup.game = GameKind::kNineBall;
  const Shot shot{10, 300, 0.2, -0.3, 5};

  // Run to rest with an observer.
  Table zip(setup);
  Recorder heard;
  zip.SetObserver(&heard);
  ASSERT_TRUE(zip.Aim(shot));
  zip.Strike();
  zip.Finish();
  // The same table and shot as tablesim has always printed them.
  EXPECT_EQ(zip.pool().StateHash(), 0x9691d53199827cd2ull) << std::hex << zip.pool().StateHash();
  EXPECT_EQ(heard.events.size(), 47u) << "the collisions the steps applied";
  EXPECT_EQ(heard.frames, 1) << "one frame at rest";
  ASSERT_FALSE(heard.events.empty());
  EXPECT_EQ(heard.events.front().kind, TableEvent::Kind::kCushion);
  EXPECT_EQ(heard.events.front().index, kEventEndCushionFar);
  for (size_t i = 1; i < heard.events.size(); ++i) EXPECT_GE(heard.events[i].time, heard.events[i - 1].time);

  // The Pool on its own, no front and no observer.
  Table bare(setup);
  bare.Aim(shot);
  bare.pool().ResetShot();
  bare.pool().StartShot();
  bare.pool().FinishShot();
  EXPECT_EQ(bare.pool().StateHash(), zip.pool().StateHash());

  // Played frame by frame on a running clock: the same events, a frame each.
  Ticking clock;
  Table play(setup, &clock);
  Recorder seen;
  play.SetObserver(&seen);
  play.Aim(shot);
  play.Strike();
  int frames = 0;
  while (play.PlayFrame()) ASSERT_LT(++frames, 100000);
  EXPECT_GT(seen.frames, 10);
  EXPECT_EQ(seen.frames, frames + 1);
  EXPECT_EQ(play.pool().StateHash(), zip.pool().StateHash());
  ASSERT_EQ(seen.events.size(), heard.events.size());
  for (size_t i = 0; i < seen.events.size(); ++i) {
    EXPECT_EQ(seen.events[i].time, heard.events[i].time) << i;
    EXPECT_EQ(seen.events[i].ball, heard.events[i].ball) << i;
    EXPECT_EQ(seen.events[i].index, heard.events[i].index) << i;
  }
  EXPECT_FALSE(seen.last.shotRunning);
}

TEST(Table, EventsAreNamed) {
  struct Case {
    EventPair pair;
    TableEvent::Kind kind;
    int index;
  };
  using K = TableEvent::Kind;
  for (const Case& c : {Case{{3, 3}, K::kMotion, 3}, Case{{0, 5}, K::kBall, 5}, Case{{2, 16}, K::kCushion, 16},
                        Case{{2, 21}, K::kCushion, 21}, Case{{4, 22}, K::kPocket, 0}, Case{{4, 27}, K::kPocket, 5},
                        Case{{1, 28}, K::kJaw, 0}, Case{{1, 39}, K::kJaw, 11}, Case{{6, 40}, K::kKnuckle, 0},
                        Case{{6, 51}, K::kKnuckle, 11}}) {
    const TableEvent e = DescribeEvent(c.pair, 1u << 24);
    EXPECT_EQ(e.kind, c.kind) << int(c.pair.b);
    EXPECT_EQ(e.index, c.index) << int(c.pair.b);
    EXPECT_EQ(e.ball, c.pair.a);
    EXPECT_EQ(e.Seconds(), 1.0);
  }
}

TEST(Table, ViewIsWhatThePoolHolds) {
  TableSetup setup;
  setup.game = GameKind::kStraight;
  setup.opponent = Opponent::kHuman;
  Table t(setup);
  ASSERT_TRUE(t.Aim(Shot{3, 400, 0, 0.1, 2}));
  t.Strike();
  t.Finish();
  const RuleBlock& r = t.Judge();
  const TableView v = t.View();
  const Pool& p = t.pool();
  for (int b = 0; b < kBallCount; ++b) {
    EXPECT_EQ(v.balls[static_cast<size_t>(b)].position, p.ballStates[static_cast<size_t>(b)].position);
    EXPECT_EQ(v.balls[static_cast<size_t>(b)].orientation, p.ballStates[static_cast<size_t>(b)].orientation);
    EXPECT_EQ(v.balls[static_cast<size_t>(b)].state, p.ballStates[static_cast<size_t>(b)].state);
  }
  EXPECT_EQ(v.cue.direction, p.cueDirection);
  EXPECT_EQ(v.cue.power, p.strikePower);
  EXPECT_EQ(v.game, GameKind::kStraight);
  EXPECT_EQ(v.currentPlayer, r.CurrentPlayer);
  EXPECT_EQ(v.turnFlags, r.TurnFlags);
  EXPECT_EQ(v.outcome, r.Outcome);
  EXPECT_EQ(v.score, r.Score);
  EXPECT_EQ(v.gamesWon, r.GamesWon);
  EXPECT_EQ(v.foulsInRow, r.FoulsInRow);
  EXPECT_FALSE(v.shotRunning);
}

}  // namespace
}  // namespace ks
