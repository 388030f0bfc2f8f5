// rackplan: writes the script of an 8-Ball rack between two people at
// tableplay (--game 8ball --p2 human --seed 1) in which player 1 clears his
// group, is asked for the 8's pocket, names it and pots the 8 there, every
// move a person's tap, drag or key.
//
//   rackplan OUTPUT.script [-v]     (-v: each turn as it starts, on stderr)
//
// It plays the rack here first, through the same play control tableplay
// drives, fed the events tableplay would feed it: pen events and keys as
// they come, a tick every 31 ms that is a key-down of Space while it is
// held. Each move is chosen by trying the candidates in a
// forked copy of the match and keeping the first whose outcome serves:
//   - player 1 with ball in hand places the cue ball (M and a drag) behind
//     a ball of his group in line with a pocket; with or without it, he
//     turns the aim with pen drags onto the ghost ball for that pocket and
//     strokes with Space held;
//   - player 2 strokes where no ball is hit, a foul that hands player 1 the
//     cue ball;
//   - with his group down player 1 taps the pocket for the 8, aims (A) and
//     pots it there.
// What tableplay's timing leaves open is kept out of the moves: Space is
// held a whole number of ticks (31 ms each), so it gets as many key-downs
// whatever the phase of the timer, and every wait for a turn has a margin.
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "play/control.h"
#include "play/hud.h"
#include "play/table_scene.h"
#include "play/view.h"
#include "simulation/pool.h"
#include "simulation/table.h"

namespace {

using ks::play::Control;

constexpr std::uint32_t kTickMs = 31;
constexpr int kScreenWidth = 240, kScreenHeight = 320;
constexpr std::uint32_t kKeySpace = 0x20, kKeyM = 'M', kKeyA = 'A';
constexpr double kRadius = 65536.0;  // a ball's radius in table units
constexpr double kTurn = 262144.0;   // a whole turn in aim units
constexpr double kPi = 3.14159265358979323846;

class Clock final : public ks::PoolHost {
 public:
  std::uint32_t GetTime() override { return now; }
  std::uint32_t now = 0;
};

// What a move led to, once the table is at rest and the next turn ready.
struct Outcome {
  bool over = false;
  bool player1Won = false;
  int player = 0;
  int turnFlags = 0;
  int solidsOwner = 0;
  std::uint32_t onTable = 0;  // bit n: ball n
  bool callingPocket = false;
  int eightPocket = -1;  // the pocket the 8 dropped into on the last shot
};

// The match as tableplay holds it, and the script of what was done to it.
class Match {
 public:
  Match() {
    ks::TableSetup setup;
    setup.game = ks::GameKind::kEightBall;
    setup.size = ks::TableSize::kSmall;
    setup.opponent = ks::Opponent::kHuman;
    setup.seed = 1;
    setup.matchGoal = 1;
    setup.pointsGoal = 30;
    table_ = std::make_unique<ks::Table>(setup, &clock_);
    view_.pool = &table_->pool();
    // The camera as tableplay sets it before play starts (the table end).
    view_.target = {0, 0, 0};
    view_.eye = {0, 0x10000, 0};
    view_.roll = 0;
    view_.cueTilt = 0;
    view_.yaw = 0;
    view_.pitch = -16192;
    view_.SetDistance(0x5BCCA4);
    using A = ks::play::KeyMap;
    keys_.keys[A::kAimMode] = 'A';
    keys_.keys[A::kMoveBall] = 'M';
    keys_.keys[A::kMoveView] = 'V';
    keys_.keys[A::kZipToEnd] = 'Z';
    keys_.keys[A::kUp] = 0x26;
    keys_.keys[A::kDown] = 0x28;
    keys_.keys[A::kLeft] = 0x25;
    keys_.keys[A::kRight] = 0x27;
    keys_.keys[A::kZoomIn] = 0x21;
    keys_.keys[A::kZoomOut] = 0x22;
    keys_.keys[A::kOverHead] = 'O';
    keys_.keys[A::kStrokeCue] = kKeySpace;
    keys_.keys[A::kTipLeft] = 'J';
    keys_.keys[A::kTipRight] = 'L';
    keys_.keys[A::kTipUp] = 'I';
    keys_.keys[A::kTipDown] = 'K';
    keys_.keys[A::kCueUp] = 'Q';
    keys_.keys[A::kCueDown] = 'E';
    keys_.keys[A::kReplay] = 'R';
    keys_.keys[A::kNextMode] = 'N';
    keys_.keys[A::kTrackLines] = 'T';
    keys_.keys[A::kPreviousMode] = 'P';
    ks::play::PlayHost host;
    host.clock = [this] { return clock_.now; };
    host.scene = &sceneHost_;
    host.screenWidth = kScreenWidth;
    host.screenHeight = kScreenHeight;
    control_ = std::make_unique<Control>(&table_->pool(), &view_, &keys_, host);
    control_->Start();
  }

  ks::Pool& pool() { return table_->pool(); }
  Control& control() { return *control_; }
  ks::play::View& view() { return view_; }
  const std::vector<std::string>& script() const { return script_; }
  bool over() const { return over_; }

  // The script's commands, done here as tableplay meets them.
  void Wait(std::uint32_t ms) {
    Line("wait " + std::to_string(ms));
    RunFor(ms);
  }
  void Key(std::uint32_t key) {
    Line(std::string("key ") + static_cast<char>(key - 'A' + 'a'));
    Feed(ks::play::kMsgKeyDown, key, 0);
    Feed(ks::play::kMsgKeyUp, key, 0);
  }
  void Pen(const char* what, int x, int y) {
    Line(std::string(what) + " " + std::to_string(x) + " " + std::to_string(y));
    const std::uint32_t message = std::string(what) == "down" ? ks::play::kMsgPenDown
                                  : std::string(what) == "up" ? ks::play::kMsgPenUp
                                                              : ks::play::kMsgPenMove;
    Feed(message, message == ks::play::kMsgPenUp ? 0u : 1u, ks::play::PenParam(x, y));
  }
  void Tap(int x, int y) {
    Line("tap " + std::to_string(x) + " " + std::to_string(y));
    Feed(ks::play::kMsgPenDown, 1, ks::play::PenParam(x, y));
    Feed(ks::play::kMsgPenUp, 0, ks::play::PenParam(x, y));
  }
  // Space held for whole ticks: its key-down as it is pressed, then one a
  // tick while it is held.
  void Stroke(int ticks) {
    Line("keydown space");
    Feed(ks::play::kMsgKeyDown, kKeySpace, 0);
    spaceDown_ = true;
    Wait(static_cast<std::uint32_t>(ticks) * kTickMs);
    Line("keyup space");
    spaceDown_ = false;
    Feed(ks::play::kMsgKeyUp, kKeySpace, 0);
  }
  void Comment(const std::string& text) { script_.push_back("# " + text); }
  void Raw(const std::string& line) { script_.push_back(line); }

  // Waits until the player at the table may act (aiming, or naming the 8's
  // pocket), then a margin; false when the match ends first.
  bool WaitForTurn() {
    std::uint32_t waited = 0;
    while (!over_ && waited < 60000 && !Ready()) {
      RunFor(kTickMs);
      waited += kTickMs;
    }
    if (over_) {
      script_.push_back("wait " + std::to_string(waited + 3000));
      return false;
    }
    constexpr std::uint32_t kMargin = 400;
    RunFor(kMargin);
    script_.push_back("wait " + std::to_string(waited + kMargin));
    return true;
  }

  Outcome Now() {
    ks::Pool& p = pool();
    Outcome o;
    o.over = over_;
    o.player = p.rules.CurrentPlayer;
    o.turnFlags = p.rules.TurnFlags;
    o.solidsOwner = p.rules.SolidsOwner;
    for (int b = 0; b < ks::kBallCount; ++b)
      if (p.ballStates[static_cast<std::size_t>(b)].state != ks::kBallOff) o.onTable |= 1u << b;
    o.callingPocket = control_->CallingPocket();
    o.eightPocket = p.rules.PocketOf[8];
    if (over_) {
      const ks::play::HudTexts t = ks::play::MakeHudTexts(p, control_.get(), L"Player 1", L"Player 2");
      o.player1Won = t.result == L"Player 1 Wins";
    }
    return o;
  }

 private:
  bool Ready() const {
    if (control_->ShotRunning() || control_->Busy()) return false;
    return control_->CallingPocket() || control_->Active() == control_->Aim();
  }
  void Line(const std::string& line) { script_.push_back(line); }
  void Feed(std::uint32_t message, std::uint32_t wParam, std::int32_t lParam) {
    if (over_) return;
    if (control_->HandleEvent({message, wParam, lParam, clock_.now}) == 1) over_ = true;
  }
  // Time passes: a tick every 31 ms, as tableplay's frame timer gives it:
  // a key-down of Space while it is held, else the timer.
  void RunFor(std::uint32_t ms) {
    const std::uint32_t end = clock_.now + ms;
    while (nextTick_ <= end) {
      clock_.now = nextTick_;
      if (spaceDown_)
        Feed(ks::play::kMsgKeyDown, kKeySpace, 0);
      else
        Feed(ks::play::kMsgTimer, 1, 0);
      nextTick_ += kTickMs;
    }
    clock_.now = end;
  }

  Clock clock_;
  std::unique_ptr<ks::Table> table_;
  ks::play::View view_;
  ks::play::SceneHost sceneHost_;
  ks::play::KeyMap keys_;
  std::unique_ptr<Control> control_;
  std::vector<std::string> script_;
  std::uint32_t nextTick_ = kTickMs;
  bool spaceDown_ = false;
  bool over_ = false;
};

// ---- geometry ----

struct Point {
  double x, z;
};

Point BallAt(ks::Pool& p, int b) {
  const ks::FixVec3& v = p.ballStates[static_cast<std::size_t>(b)].position;
  return {static_cast<double>(v.x), static_cast<double>(v.z)};
}

// The aim heading that sends the cue ball from `from` towards `to`: the cue
// direction (from the ball to the stick) of heading a is at 0x30000 - a.
std::int32_t HeadingTowards(Point from, Point to) {
  const double theta = std::atan2(from.z - to.z, from.x - to.x);
  double a = 0x30000 - theta * kTurn / (2 * kPi);
  a = std::fmod(a, kTurn);
  if (a < 0) a += kTurn;
  return static_cast<std::int32_t>(std::lround(a)) & 0x3FFFF;
}

std::int32_t ShortWay(std::int32_t change) {
  change &= 0x3FFFF;
  return change > 0x20000 ? change - 0x40000 : change;
}

// Turns the aim onto `heading` with one pen drag: each move of dx pixels
// turns it by 16 dx |dx|, so the drag is a long move and shorter ones for
// what is left.
void TurnAim(Match& m, std::int32_t heading) {
  std::int32_t left = ShortWay(heading - (m.view().yaw & 0x3FFFF));
  if (left / 16 == 0) return;
  int x = left < 0 ? 220 : 20;
  const int y = 60;
  m.Pen("down", x, y);
  for (int guard = 0; guard < 12 && std::abs(left) >= 16; ++guard) {
    const int dx = static_cast<int>(std::sqrt(std::abs(left) / 16.0));
    if (dx == 0) break;
    x += left < 0 ? -dx : dx;
    m.Pen("move", x, y);
    left = ShortWay(heading - (m.view().yaw & 0x3FFFF));
  }
  m.Pen("up", x, y);
  m.Wait(200);
}

// Moves the cue ball in hand towards `spot` with M and pen drags (an eighth
// of a radius a pixel, along the screen as the camera faces the table).
// True when it stands within a tenth of a radius of it.
bool PlaceCueBall(Match& m, Point spot) {
  for (int attempt = 0; attempt < 4; ++attempt) {
    const Point c = BallAt(m.pool(), 0);
    const double a = spot.x - c.x, b = spot.z - c.z;
    if (std::hypot(a, b) < 0.1 * kRadius) return true;
    m.Key(kKeyM);
    m.Wait(100);
    if (m.control().Active() != m.control().MoveBall()) return false;
    // The drag (X, Z) moves the ball by minus its turn by the view's yaw.
    const double yaw = (m.view().yaw & 0x3FFFF) * 2 * kPi / kTurn;
    const double cs = std::cos(yaw), sn = std::sin(yaw);
    const double X = -a * cs + b * sn, Z = -a * sn - b * cs;
    int dx = static_cast<int>(std::lround(-X / 8192.0)), dy = static_cast<int>(std::lround(Z / 8192.0));
    dx = std::max(-220, std::min(220, dx));
    dy = std::max(-300, std::min(300, dy));
    const int x0 = dx < 0 ? 230 : 10, y0 = dy < 0 ? 310 : 10;
    m.Pen("down", x0, y0);
    m.Pen("move", x0 + dx, y0 + dy);
    m.Pen("up", x0 + dx, y0 + dy);
    m.Wait(200);
  }
  const Point c = BallAt(m.pool(), 0);
  return std::hypot(spot.x - c.x, spot.z - c.z) < 0.1 * kRadius;
}

// ---- trying moves in a copy of the match ----

template <typename Move>
std::optional<Outcome> Try(Match& m, Move move) {
  int fds[2];
  if (pipe(fds) != 0) return std::nullopt;
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child < 0) return std::nullopt;
  if (child == 0) {
    close(fds[0]);
    Outcome o;
    if (move(m)) {
      m.WaitForTurn();
      o = m.Now();
    } else {
      o.player = -1;
    }
    const ssize_t written = write(fds[1], &o, sizeof o);
    _exit(written == static_cast<ssize_t>(sizeof o) ? 0 : 1);
  }
  close(fds[1]);
  Outcome o;
  const ssize_t got = read(fds[0], &o, sizeof o);
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (got != static_cast<ssize_t>(sizeof o) || o.player < 0) return std::nullopt;
  return o;
}

struct Shot {
  bool place = false;
  Point spot{};
  Point target{};
  int ticks = 0;
};

constexpr int kPowers[] = {12, 16, 21, 27};

// Plays a shot: the cue ball placed first (then A to aim) when the shot
// asks for it.
bool PlayShot(Match& m, const Shot& s) {
  if (s.place && !PlaceCueBall(m, s.spot)) return false;
  if (s.place) {
    m.Key(kKeyA);
    m.Wait(300);
  }
  if (m.control().Active() != m.control().Aim()) return false;
  TurnAim(m, HeadingTowards(BallAt(m.pool(), 0), s.target));
  m.Stroke(s.ticks);
  return true;
}

// The balls player 1 is to pot: his group, or either while the table is open.
std::vector<int> Group(ks::Pool& p) {
  std::vector<int> balls;
  const int owner = p.rules.SolidsOwner;  // 0 open, else the solids' player + 1
  for (int b = 1; b <= 15; ++b) {
    if (b == 8 || p.ballStates[static_cast<std::size_t>(b)].state == ks::kBallOff) continue;
    const bool solid = b < 8;
    if (owner != 0 && solid != (owner == 1)) continue;
    balls.push_back(b);
  }
  return balls;
}

bool Clear(ks::Pool& p, Point at, double radius, int except) {
  const ks::TableGeometry& t = p.table;
  if (std::abs(at.x) > t.hx - 1.2 * kRadius || std::abs(at.z) > t.hz - 1.2 * kRadius) return false;
  for (int b = 0; b < ks::kBallCount; ++b) {
    if (b == except || b == 0 || p.ballStates[static_cast<std::size_t>(b)].state == ks::kBallOff) continue;
    const Point q = BallAt(p, b);
    if (std::hypot(q.x - at.x, q.z - at.z) < radius) return false;
  }
  return true;
}

// Shots at ball b into each pocket: the ghost ball two radii behind it on
// the pocket's line; with ball in hand the cue ball stands further back on
// that line, a straight shot.
std::vector<Shot> ShotsAt(ks::Pool& p, int b, bool inHand) {
  std::vector<Shot> shots;
  const Point ball = BallAt(p, b), cue = BallAt(p, 0);
  for (int k = 0; k < 6; ++k) {
    const Point pocket{static_cast<double>(p.table.pocketAim[static_cast<std::size_t>(k)].x),
                       static_cast<double>(p.table.pocketAim[static_cast<std::size_t>(k)].z)};
    const double lx = ball.x - pocket.x, lz = ball.z - pocket.z, l = std::hypot(lx, lz);
    if (l < 1) continue;
    const Point ghost{ball.x + lx / l * 2 * kRadius, ball.z + lz / l * 2 * kRadius};
    if (inHand) {
      for (double back : {1.5, 3.0, 5.0}) {
        const Point spot{ghost.x + lx / l * back * kRadius, ghost.z + lz / l * back * kRadius};
        if (!Clear(p, spot, 2.6 * kRadius, -1)) continue;
        for (int ticks : kPowers) shots.push_back({true, spot, ghost, ticks});
      }
    } else {
      // A cut the cue ball can make: the ghost ball ahead of the cue ball
      // within 60 degrees of the line to the pocket.
      const double gx = ghost.x - cue.x, gz = ghost.z - cue.z, g = std::hypot(gx, gz);
      if (g < 1 || (gx * -lx + gz * -lz) / (g * l) < 0.5) continue;
      for (int ticks : kPowers) shots.push_back({false, {}, ghost, ticks});
    }
  }
  return shots;
}

bool Player1Kept(const Outcome& before, const Outcome& after) {
  if (after.over || after.player != 0) return false;
  const std::uint32_t potted = before.onTable & ~after.onTable;
  return (potted & 0x0100) == 0 && (potted & ~1u) != 0 && (after.onTable & 1) != 0;
}

// Player 1's turn: the first shot that pots a ball of his group and keeps
// him at the table; else one that leaves the 8 on the table.
bool Player1Turn(Match& m) {
  const Outcome before = m.Now();
  const bool inHand = (before.turnFlags & 2) != 0;
  std::optional<Shot> chosen, fallback;
  for (int b : Group(m.pool())) {
    for (const Shot& s : ShotsAt(m.pool(), b, inHand)) {
      const auto o = Try(m, [&](Match& c) { return PlayShot(c, s); });
      if (!o) continue;
      if (Player1Kept(before, *o)) {
        chosen = s;
        break;
      }
      if (!fallback && !o->over && (o->onTable & 0x100) != 0) fallback = s;
    }
    if (chosen) break;
  }
  if (!chosen) chosen = fallback;
  if (!chosen) return false;
  return PlayShot(m, *chosen);
}

// The player at the table hands the cue ball over: a soft stroke that hits
// no ball, a foul that gives the other player ball in hand.
bool HandOver(Match& m) {
  const int other = 1 - m.Now().player;
  for (int step = 0; step < 64; ++step) {
    const std::int32_t heading = static_cast<std::int32_t>((step * 0x1000 + (step % 2) * 0x20800) & 0x3FFFF);
    auto move = [heading](Match& c) {
      if (c.control().Active() != c.control().Aim()) {
        c.Key(kKeyA);
        c.Wait(600);
      }
      TurnAim(c, heading);
      c.Stroke(11);
      return true;
    };
    const auto o = Try(m, move);
    if (o && !o->over && o->player == other && (o->turnFlags & 2) != 0 && (o->onTable & 0x100) != 0) return move(m);
  }
  return false;
}

// Player 2 breaks straight down the table, hard, without potting the 8.
bool Break(Match& m) {
  for (int ticks : {40, 34, 46, 28}) {
    auto move = [ticks](Match& c) {
      c.Stroke(ticks);
      return true;
    };
    const auto o = Try(m, move);
    if (o && !o->over && (o->onTable & 0x101) == 0x101) return move(m);
  }
  return false;
}

// Player 1 names a pocket for the 8 (a tap on its point) and pots it there.
bool CallAndPotTheEight(Match& m, bool* screenshot) {
  const Outcome before = m.Now();
  const bool inHand = (before.turnFlags & 2) != 0;
  ks::play::CallPocketMode layout;
  layout.SetLayout(kScreenWidth, kScreenHeight);
  for (const Shot& s : ShotsAt(m.pool(), 8, inHand)) {
    // The screen point of the pocket the shot is aimed at.
    const Point pocketLine{s.target.x - BallAt(m.pool(), 8).x, s.target.z - BallAt(m.pool(), 8).z};
    int pocket = 0;
    double best = -2;
    for (int k = 0; k < 6; ++k) {
      const Point at{static_cast<double>(m.pool().table.pocketAim[static_cast<std::size_t>(k)].x),
                     static_cast<double>(m.pool().table.pocketAim[static_cast<std::size_t>(k)].z)};
      const Point eight = BallAt(m.pool(), 8);
      const double dx = at.x - eight.x, dz = at.z - eight.z, d = std::hypot(dx, dz);
      const double along = -(dx * pocketLine.x + dz * pocketLine.z) / (d * std::hypot(pocketLine.x, pocketLine.z));
      if (along > best) best = along, pocket = k;
    }
    // Named where the geometry says, then, when the 8 drops elsewhere, where
    // it dropped: the rules number the pockets their own way.
    for (int attempt = 0; attempt < 2; ++attempt) {
      int screen = 0;
      for (int i = 0; i < 6; ++i)
        if (ks::play::CallPocketMode::kPocketOfScreen[i] == pocket) screen = i;
      const auto point = layout.points[static_cast<std::size_t>(screen)];
      auto move = [&](Match& c) {
        c.Tap(point[0], point[1]);
        c.Wait(300);
        if (!s.place) {
          c.Key(kKeyA);
          c.Wait(600);
        }
        return PlayShot(c, s);
      };
      const auto o = Try(m, move);
      if (o && o->over && o->player1Won) {
        if (!*screenshot) m.Raw("screenshot call_pocket.png");
        *screenshot = true;
        return move(m);
      }
      if (!o || !o->over || o->eightPocket < 0 || o->eightPocket == pocket) break;
      pocket = o->eightPocket;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  static const char kUsage[] =
      "usage: rackplan OUTPUT.script [-v]\n"
      "Plans the 8-Ball rack in which player 1 calls the 8's pocket and writes\n"
      "it as tableplay's script; -v prints each turn.\n";
  if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  const bool verbose = argc == 3 && std::string(argv[2]) == "-v";
  if ((argc != 2 && !verbose) || argv[1][0] == '-') {
    std::fputs(kUsage, stderr);
    return 2;
  }
  Match m;
  m.Comment("8-Ball between two people, played to its end from taps, drags and keys");
  m.Comment("(tableplay --game 8ball --p2 human --seed 1), written by rackplan: player 1");
  m.Comment("clears his group (ball in hand placed with M and a drag, the aim turned");
  m.Comment("with pen drags, Space held), player 2 hands him the cue ball with a foul,");
  m.Comment("and with his group down player 1 taps the 8's pocket, aims (A) and pots it.");
  bool called = false;
  int turns = 0;
  for (; turns < 80 && !m.over(); ++turns) {
    if (!m.WaitForTurn()) break;
    const Outcome now = m.Now();
    if (verbose)
      std::fprintf(stderr, "turn %d: player %d, flags %d, solids %d, on the table %04x, calling %d\n", turns,
                   now.player + 1, now.turnFlags, now.solidsOwner, now.onTable, now.callingPocket ? 1 : 0);
    bool played = false;
    if (now.player == 1) {
      played = (now.turnFlags & 1) != 0 ? Break(m) : HandOver(m);
    } else if (now.callingPocket) {
      // No pot of the 8 from here: the cue ball goes to player 2, who
      // hands it back in hand.
      played = CallAndPotTheEight(m, &called) || HandOver(m);
    } else {
      played = Player1Turn(m) || HandOver(m);
    }
    if (!played) {
      std::fprintf(stderr, "rackplan: no move found for player %d at turn %d\n", now.player + 1, turns);
      return 1;
    }
  }
  const Outcome end = m.Now();
  if (!end.over || !end.player1Won || !called) {
    std::fprintf(stderr, "rackplan: the rack did not end with player 1 potting the called 8 (%d turns)\n", turns);
    return 1;
  }
  m.Raw("screenshot won.png");
  m.Raw("quit");
  std::FILE* out = std::fopen(argv[1], "w");
  if (out == nullptr) {
    std::fprintf(stderr, "rackplan: cannot write %s\n", argv[1]);
    return 1;
  }
  for (const std::string& line : m.script()) std::fprintf(out, "%s\n", line.c_str());
  if (std::fclose(out) != 0) return 1;
  std::fprintf(stderr, "rackplan: %d turns, %zu lines\n", turns, m.script().size());
  return 0;
}
