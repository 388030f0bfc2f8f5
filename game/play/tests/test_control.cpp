// The play control: the modes' dispatch protocol, the Control's turn flow
// driven by pen and key events, the in-game texts, and random input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

#include "play/control.h"
#include "play/hud.h"
#include "play/table_scene.h"
#include "play/view.h"
#include "simulation/ai.h"
#include "simulation/table.h"

namespace ks::play {
namespace {

// ---- dispatch ----

class Probe final : public InputMode {
 public:
  std::uint32_t OnPenDown(const InputEvent&) override { return ++downs, MakeResult(kResultCommand, 3); }
  std::uint32_t OnPenMove(const InputEvent&) override { return ++moves, 0; }
  std::uint32_t OnIdle(const InputEvent&) override { return ++idles, 0; }
  int downs = 0, moves = 0, idles = 0;
};

TEST(InputModeDispatch, EventsReachTheirHandlersAndIdle) {
  Probe p;
  p.Init(nullptr);
  EXPECT_EQ(p.HandleEvent({kMsgPenDown, 0, PenParam(5, 7), 10}), MakeResult(kResultCommand, 3));
  EXPECT_EQ(p.lastEvent.time, 10u);
  // A move without the button and a timer tick both run the idle step.
  p.HandleEvent({kMsgPenMove, 0, 0, 11});
  p.HandleEvent({kMsgTimer, 1, 0, 12});
  EXPECT_EQ(p.moves, 0);
  EXPECT_EQ(p.idles, 2);
  p.HandleEvent({kMsgPenMove, 1, 0, 13});
  EXPECT_EQ(p.moves, 1);
  EXPECT_EQ(p.penMoveTime, 13u);
  EXPECT_EQ(p.HandleEvent({kMsgStartShot, 0, 0, 14}), kResultStartShot);
}

TEST(InputModeDispatch, ParentlessCommands) {
  InputMode m;
  m.Init(nullptr);
  for (std::uint32_t c = 0; c <= 20; ++c) {
    const bool kept = c != 0 && c != 8 && c != 9 && c <= 18;
    EXPECT_EQ(m.HandleEvent({kMsgCommand, c, 0, 0}), kept ? MakeResult(kResultCommand, c) : 0u) << c;
  }
}

TEST(InputModeDispatch, LeaveIsPostedAndReturnedOnceOnTheNextPass) {
  Probe p;
  p.Init(nullptr);
  EXPECT_EQ(p.HandleEvent({kMsgLeave, 11u << 16, 0, 1}), 0u);
  // The next event is not looked at: the posted answer comes back instead.
  EXPECT_EQ(p.HandleEvent({kMsgPenDown, 0, 0, 2}), MakeResult(kResultLeave, 11));
  EXPECT_EQ(p.downs, 0);
  EXPECT_EQ(p.lastEvent.time, 1u);
  EXPECT_EQ(p.HandleEvent({kMsgPenDown, 0, 0, 3}), MakeResult(kResultCommand, 3));
  // The end request: value 0x8000 selects OnEnd, others OnEndWith; both
  // answer a command with the value.
  EXPECT_EQ(p.HandleEvent({kMsgEnd, 0x8000u << 16, 0, 4}), MakeResult(kResultCommand, 0x8000));
  EXPECT_EQ(p.HandleEvent({kMsgEnd, 7u << 16, 0, 5}), MakeResult(kResultCommand, 7));
}

// ---- the Control ----

class FakeClock final : public PoolHost {
 public:
  std::uint32_t GetTime() override { return now; }
  std::uint32_t now = 1000;
};

KeyMap TestKeys() {
  KeyMap k;
  k.keys[KeyMap::kAimMode] = 'A';
  k.keys[KeyMap::kMoveBall] = 'M';
  k.keys[KeyMap::kZipToEnd] = 'Z';
  k.keys[KeyMap::kUp] = 0x26;
  k.keys[KeyMap::kDown] = 0x28;
  k.keys[KeyMap::kLeft] = 0x25;
  k.keys[KeyMap::kRight] = 0x27;
  k.keys[KeyMap::kZoomIn] = 0x21;
  k.keys[KeyMap::kZoomOut] = 0x22;
  k.keys[KeyMap::kOverHead] = 'O';
  k.keys[KeyMap::kStrokeCue] = ' ';
  k.keys[KeyMap::kTipLeft] = 'J';
  k.keys[KeyMap::kTipRight] = 'L';
  k.keys[KeyMap::kTipUp] = 'I';
  k.keys[KeyMap::kTipDown] = 'K';
  k.keys[KeyMap::kCueUp] = 'Q';
  k.keys[KeyMap::kCueDown] = 'E';
  return k;
}

TableSetup SetupOf(GameKind game, Opponent opponent, std::uint32_t seed) {
  TableSetup setup;
  setup.game = game;
  setup.opponent = opponent;
  setup.seed = seed;
  setup.matchGoal = 1;
  setup.pointsGoal = 20;
  return setup;
}

struct Play {
  // A new game, or with `held` (a table state as a save keeps it) a match
  // resumed with `kind`.
  explicit Play(GameKind game, Opponent opponent = Opponent::kHuman, int skill = 11, std::uint32_t seed = 1,
                const std::vector<std::uint8_t>* held = nullptr, int kind = Control::kNewGame) {
    table = std::make_unique<Table>(SetupOf(game, opponent, seed), &clock);
    if (opponent == Opponent::kComputer) table->pool().skill = static_cast<std::int16_t>(skill);
    if (held != nullptr) {
      EXPECT_TRUE(table->pool().ReadState(held->data(), held->size()));
      table->pool().RestoreBallState();
    }
    view.pool = &table->pool();
    PlayHost host;
    host.clock = [this] { return clock.now; };
    host.scene = &scene;
    host.screenWidth = 240;
    host.screenHeight = 320;
    // The grip as the aiming view shows it: a strip down the middle of the
    // lower part of the screen.
    host.gripOutline = [](std::int32_t* points, int capacity) {
      static constexpr std::int32_t kGrip[8] = {118, 250, 122, 250, 126, 319, 114, 319};
      for (int i = 0; i < 8 && i < 2 * capacity; ++i) points[i] = kGrip[i];
      return capacity >= 4 ? 4 : 0;
    };
    // Its tip just above it.
    host.tipOutline = [](std::int32_t* points, int capacity) {
      static constexpr std::int32_t kTip[8] = {118, 236, 122, 236, 122, 244, 118, 244};
      for (int i = 0; i < 8 && i < 2 * capacity; ++i) points[i] = kTip[i];
      return capacity >= 4 ? 4 : 0;
    };
    control = std::make_unique<Control>(&table->pool(), &view, &keys, host);
    control->Start(kind);
    // The camera glides to the first aiming view.
    if (held == nullptr && !control->ComputerToPlay()) UntilPersonAims();
  }
  Pool& pool() { return table->pool(); }
  std::uint32_t Send(std::uint32_t message, std::uint32_t wParam = 0, std::int32_t lParam = 0) {
    const std::uint32_t r = control->HandleEvent({message, wParam, lParam, clock.now});
    over = over || r == 1;
    return r;
  }
  // One frame tick of 31 ms.
  void Tick(int n = 1) {
    for (int i = 0; i < n && !over; ++i) {
      clock.now += 31;
      Send(kMsgTimer, 1);
    }
  }
  // Holds a key for `ticks` frames (one key-down a tick) and releases it.
  void Hold(std::uint32_t key, int ticks) {
    for (int i = 0; i < ticks && !over; ++i) {
      clock.now += 31;
      Send(kMsgKeyDown, key);
    }
    Send(kMsgKeyUp, key);
  }
  // Ticks until the shot ends (bounded).
  void RunShot() {
    for (int i = 0; i < 20000 && control->ShotRunning() && !over; ++i) Tick();
  }
  // Ticks until a person may aim, or the match ends.
  void UntilPersonAims() {
    for (int i = 0; i < 40000 && !over && (control->ShotRunning() || control->Active() != control->Aim()); ++i) Tick();
  }

  FakeClock clock;
  KeyMap keys = TestKeys();
  SceneHost scene;
  View view;
  std::unique_ptr<Table> table;
  std::unique_ptr<Control> control;
  bool over = false;
};

TEST(Control, HeldStrokeKeyStrikesOnReleaseAndTheShotRunsToItsEnd) {
  Play p(GameKind::kEightBall);
  ASSERT_EQ(p.control->Active(), p.control->Aim());
  EXPECT_TRUE(p.scene.stickShown);
  p.Hold(' ', 30);
  EXPECT_TRUE(p.control->ShotRunning());
  EXPECT_GT(p.pool().strikePower, 0);
  EXPECT_LE(p.pool().strikePower, kMaxStrikePower);
  EXPECT_FALSE(p.scene.stickShown);
  p.RunShot();
  EXPECT_FALSE(p.control->ShotRunning());
  // The break is judged and the next turn set up.
  EXPECT_EQ(p.pool().rules.TurnFlags & 1, 0);
}

TEST(Control, AStrokeWhileAShotRunsIsRefused) {
  Play p(GameKind::kNineBall);
  p.Hold(' ', 30);
  ASSERT_TRUE(p.control->ShotRunning());
  p.Tick(3);
  const std::uint32_t steps = p.pool().stepCount;
  // Message 4 asks the active mode to start a shot; so do a fresh key stroke
  // and a pen stroke.
  p.Send(kMsgStartShot);
  p.Hold(' ', 30);
  EXPECT_EQ(p.control->refusedStrokes, 1);
  EXPECT_TRUE(p.control->ShotRunning());
  EXPECT_GE(p.pool().stepCount, steps);
}

TEST(Control, StrokePowerStaysInRange) {
  struct Case {
    const char* what;
    int ticks;
  } cases[] = {{"a tap is not armed", 1}, {"a short hold", 25}, {"a minute's hold", 2000}};
  for (const Case& c : cases) {
    Play p(GameKind::kEightBall);
    p.Hold(' ', c.ticks);
    if (c.ticks == 1) {
      EXPECT_FALSE(p.control->ShotRunning()) << c.what;
      continue;
    }
    ASSERT_TRUE(p.control->ShotRunning()) << c.what;
    EXPECT_GT(p.pool().strikePower, 0) << c.what;
    EXPECT_LE(p.pool().strikePower, kMaxStrikePower) << c.what;
    if (c.ticks == 2000) {
      EXPECT_EQ(p.pool().strikePower, kMaxStrikePower) << c.what;
    }
  }
}

TEST(Control, PenStrokesNeverGiveANegativePower) {
  // Pull the stick back from the low part of the screen and push it forward
  // at several speeds, including a flick of two samples in one millisecond.
  struct Case {
    int back, forward;
    std::uint32_t dt;
  } cases[] = {{40, 0, 0}, {40, 5, 31}, {20, 19, 1}, {60, -30, 200}};
  for (const Case& c : cases) {
    Play p(GameKind::kEightBall);
    // An earlier cancelled drag leaves its samples in the rings.
    p.Send(kMsgPenDown, 1, PenParam(120, 300));
    p.Send(kMsgPenMove, 1, PenParam(120, 310));
    p.Send(kMsgPenUp, 0, PenParam(120, 320));
    p.Send(kMsgPenDown, 1, PenParam(120, 280));
    p.clock.now += 31;
    p.Send(kMsgPenMove, 1, PenParam(120, 280 + c.back));
    p.clock.now += c.dt;
    p.Send(kMsgPenUp, 0, PenParam(120, 280 + c.forward));
    EXPECT_GE(p.pool().strikePower, 0) << c.back << " " << c.forward;
    EXPECT_LE(p.pool().strikePower, kMaxStrikePower);
  }
}

TEST(Control, ADragAcrossTurnsTheAimAndTheCue) {
  Play p(GameKind::kEightBall);
  const FixVec3 before = p.pool().cueDirection;
  p.Send(kMsgPenDown, 1, PenParam(100, 100));
  p.Send(kMsgPenMove, 1, PenParam(140, 100));
  p.Send(kMsgPenUp, 0, PenParam(140, 100));
  EXPECT_FALSE(p.control->ShotRunning());
  EXPECT_NE(p.pool().cueDirection.x, before.x);
  EXPECT_EQ(p.control->Aim()->aimDirection, static_cast<FixAngle>(p.view.yaw & 0x3FFFF));
}

TEST(Control, CueTipAndAngleKeysStayWithinTheirLimits) {
  // While aiming, the tip keys move the tip's point one way (Right and Up
  // lower the offsets), held they move it faster; it stays in its circle.
  struct Case {
    std::uint32_t side, height;
    int sign;
  } cases[] = {{'L', 'I', -1}, {'J', 'K', 1}};
  for (const Case& c : cases) {
    Play p(GameKind::kEightBall);
    p.Send(kMsgKeyDown, c.side);
    EXPECT_EQ(p.pool().cueTip[0], 100 * c.sign);
    p.Send(kMsgKeyUp, c.side);
    for (int i = 0; i < 400; ++i) {
      p.clock.now += 31;
      p.Send(kMsgKeyDown, c.side);
      p.Send(kMsgKeyDown, c.height);
      p.Send(kMsgKeyDown, 'Q');
    }
    const std::int64_t x = p.pool().cueTip[0], y = p.pool().cueTip[1];
    EXPECT_LE(x * x + y * y, std::int64_t{0xC000} * 0xC000);
    EXPECT_EQ(x > 0 ? 1 : -1, c.sign);
    EXPECT_EQ(y > 0 ? 1 : -1, c.sign);
    EXPECT_EQ(p.pool().cueElevation, 0x10E00u);
  }
}

// A drag started on the stick's tip moves the tip's point on the cue ball,
// from the press, and neither turns the aim nor strikes.
TEST(Control, ADragOnTheTipMovesTheTipsPoint) {
  Play p(GameKind::kNineBall);
  const FixAngle aim = p.control->Aim()->aimDirection;
  p.Send(kMsgPenDown, 1, PenParam(120, 240));
  EXPECT_TRUE(p.control->Aim()->tipDrag);
  EXPECT_FALSE(p.control->Aim()->strokeDrag);
  // Ten pixels right: 10 x -2048, eased by 0.5 over the tip's depth.
  p.Send(kMsgPenMove, 1, PenParam(130, 240));
  const std::int64_t d = ISqrt64((std::uint64_t{1} << 32) - 20480ull * 20480ull);
  EXPECT_EQ(p.pool().cueTip[0], (-20480 * ((std::int64_t{1} << 31) / d)) >> 16);
  EXPECT_EQ(p.pool().cueTip[1], 0);
  p.Send(kMsgPenMove, 1, PenParam(120, 250));
  EXPECT_EQ(p.pool().cueTip[0], 0);
  EXPECT_GT(p.pool().cueTip[1], 0);
  // Far off, the point stays on its circle.
  p.Send(kMsgPenMove, 1, PenParam(400, 600));
  const std::int64_t x = p.pool().cueTip[0], y = p.pool().cueTip[1];
  EXPECT_LE(x * x + y * y, std::int64_t{0xC000} * 0xC000);
  p.Send(kMsgPenUp, 0, PenParam(400, 600));
  EXPECT_FALSE(p.control->ShotRunning());
  EXPECT_EQ(p.control->Aim()->aimDirection, aim);
  EXPECT_EQ(p.pool().cueTip[0], x);
}

// A pen stroke's power grows with the stroke factor.
TEST(Control, ThePenStrokesPowerFollowsTheStrokeFactor) {
  std::int32_t power[2] = {};
  for (int i = 0; i < 2; ++i) {
    Play p(GameKind::kNineBall);
    p.control->Aim()->host->strokeFactor = 4 << i;
    p.Send(kMsgPenDown, 1, PenParam(120, 280));
    p.clock.now += 31;
    p.Send(kMsgPenMove, 1, PenParam(120, 310));
    p.clock.now += 31;
    p.Send(kMsgPenMove, 1, PenParam(120, 300));
    p.clock.now += 31;
    p.Send(kMsgPenUp, 0, PenParam(120, 281));
    ASSERT_TRUE(p.control->ShotRunning());
    power[i] = p.pool().strikePower;
  }
  EXPECT_GT(power[0], 0);
  EXPECT_EQ(power[1], 2 * power[0]);
}

// A shot that misses everything is a foul: the other player gets ball in
// hand, moves the cue ball by pen and strokes from there.
TEST(Control, FoulGivesBallInHandAndThePlacementMovesTheCueBall) {
  Play p(GameKind::kNineBall);
  p.Hold(' ', 20);  // the break
  p.RunShot();
  p.UntilPersonAims();
  // Turn the aim away from every ball, to the head rail, and stroke softly.
  p.Hold(0x25, 0);
  p.view.yaw = 0x20000;
  p.control->Aim()->aimDirection = 0x20000;
  p.control->Aim()->CueFromAim();
  p.Hold(' ', 20);
  p.RunShot();
  p.UntilPersonAims();
  ASSERT_NE(p.pool().rules.TurnFlags & 2, 0) << "no ball in hand after a shot that hit nothing";
  const FixVec3 start = p.pool().ballStates[0].position;
  p.Send(kMsgKeyDown, 'M');
  EXPECT_EQ(p.control->State(), 10);
  EXPECT_EQ(p.control->Active(), p.control->MoveBall());
  p.Send(kMsgPenDown, 1, PenParam(120, 200));
  for (int i = 1; i <= 10; ++i) p.Send(kMsgPenMove, 1, PenParam(120 + i, 200));
  p.Send(kMsgPenUp, 0, PenParam(130, 200));
  EXPECT_NE(p.pool().ballStates[0].position.x, start.x);
  EXPECT_EQ(p.control->Active(), p.control->Aim());
  p.Hold(' ', 20);
  EXPECT_TRUE(p.control->ShotRunning());
}

// Ball in hand: the cue ball runs along the drag and stops 128 short of
// the ball in its way, or on the head string when it must stay behind it;
// held keys move it only after 300 ms; the camera follows it.
TEST(Control, PlacingTheCueBall) {
  Play p(GameKind::kEightBall, Opponent::kPractice);
  Pool& pool = p.pool();
  for (int b = 2; b < kBallCount; ++b) pool.ballStates[static_cast<std::size_t>(b)].state = kBallOff;
  pool.ballStates[1].position = FixVec3{0, 0, 0};
  pool.ballStates[0].position = FixVec3{0, 0, -0x140000};
  pool.rules.TurnFlags = 6;
  p.Send(kMsgKeyDown, 'M');
  ASSERT_EQ(p.control->Active(), p.control->MoveBall());
  p.view.yaw = 0;
  // A hundred pixels up the screen, along the table: the head string holds
  // the ball exactly on it.
  p.Send(kMsgPenDown, 1, PenParam(120, 200));
  p.Send(kMsgPenMove, 1, PenParam(120, 100));
  EXPECT_EQ(pool.ballStates[0].position.z, -(pool.table.hz >> 1));
  EXPECT_EQ(pool.ballStates[0].position.x, 0);
  // A pixel is an eighth of a radius, and the camera moves with the ball.
  const Fix16 target = p.view.target.x;
  p.Send(kMsgPenMove, 1, PenParam(128, 100));
  EXPECT_EQ(pool.ballStates[0].position.x, 0x10000);
  EXPECT_EQ(p.view.target.x, target - 0x10000);
  p.Send(kMsgPenMove, 1, PenParam(120, 100));
  // Free to go on: it stops 128 short of ball 1, and then does not move.
  pool.rules.TurnFlags = 2;
  p.Send(kMsgPenMove, 1, PenParam(120, -100));
  EXPECT_EQ(pool.ballStates[0].position.x, 0);
  EXPECT_NEAR(pool.ballStates[0].position.z, -0x20000 - 128, 2);
  const FixVec3 stopped = pool.ballStates[0].position;
  p.Send(kMsgPenMove, 1, PenParam(120, -120));
  EXPECT_EQ(pool.ballStates[0].position, stopped);
  // Sideways to the cushion and beyond: it stays on the cloth.
  p.Send(kMsgPenMove, 1, PenParam(-200, -120));
  EXPECT_EQ(pool.ballStates[0].position.x, -(pool.table.hx - 0x10000));
  EXPECT_EQ(pool.ballStates[0].position.z, stopped.z);
  p.Send(kMsgPenMove, 1, PenParam(0, -120));
  EXPECT_EQ(pool.ballStates[0].position.x, -(pool.table.hx - 0x10000) + 200 * 0x2000);
  p.Send(kMsgPenUp, 0, PenParam(0, -120));
  EXPECT_EQ(p.control->Active(), p.control->Aim());
  // Held Down: nothing for 300 ms, then it comes back towards the camera.
  p.Send(kMsgKeyDown, 'M');
  p.view.yaw = 0;
  const FixVec3 placed = pool.ballStates[0].position;
  for (int i = 0; i < 9; ++i) {
    p.clock.now += 31;
    p.Send(kMsgKeyDown, 0x28);
  }
  EXPECT_EQ(pool.ballStates[0].position, placed);
  for (int i = 0; i < 10; ++i) {
    p.clock.now += 31;
    p.Send(kMsgKeyDown, 0x28);
  }
  EXPECT_LT(pool.ballStates[0].position.z, placed.z);
  EXPECT_EQ(pool.ballStates[0].position.x, placed.x);
}

// A person against the computer, through to the end of the game: the person
// plays soft strokes, the computer thinks in slices and plays.
TEST(Control, ARackAgainstTheComputerReachesItsEnd) {
  Play p(GameKind::kEightBall, Opponent::kComputer, 11, 3);
  bool sawThinking = false, sawComputerShot = false;
  for (int turn = 0; turn < 200 && !p.over; ++turn) {
    if (p.control->ComputerToPlay()) {
      for (int i = 0; i < 20000 && !p.over && p.control->ComputerToPlay() && !p.control->ShotRunning(); ++i) {
        const HudTexts t = MakeHudTexts(p.pool(), p.control.get(), L"P1", L"CPU");
        sawThinking = sawThinking || t.title == L"Thinking";
        p.Tick();
      }
      sawComputerShot = sawComputerShot || p.control->ShotRunning();
      p.RunShot();
      continue;
    }
    p.UntilPersonAims();
    if (p.over) break;
    p.Hold(' ', 20);
    p.RunShot();
  }
  ASSERT_TRUE(p.over);
  EXPECT_TRUE(sawThinking);
  EXPECT_TRUE(sawComputerShot);
  EXPECT_NE(p.pool().rules.TurnFlags & 8, 0);
  const HudTexts t = MakeHudTexts(p.pool(), p.control.get(), L"P1", L"CPU");
  EXPECT_TRUE(t.result == L"P1 Wins" || t.result == L"P1 Loses" || t.result == L"CPU Loses")
      << std::string(t.result.begin(), t.result.end());
  EXPECT_EQ(t.score[0].substr(t.score[0].size() - 1), L"1");
}

// A new game is first seen from the foot of the table, whichever way the
// camera looked before, and the first turn's glide starts from there: half
// a turn round to the aim behind the cue ball at the head.
TEST(Control, ANewGameIsFirstSeenFromTheFootOfTheTable) {
  for (TableSize size : {TableSize::kSmall, TableSize::kLarge}) {
    FakeClock clock;
    TableSetup setup = SetupOf(GameKind::kNineBall, Opponent::kPractice, 1);
    setup.size = size;
    Table table(setup, &clock);
    View view;
    view.pool = &table.pool();
    view.yaw = 0x9000;
    const KeyMap keys = TestKeys();
    SceneHost scene;
    PlayHost host;
    host.clock = [&clock] { return clock.now; };
    host.scene = &scene;
    host.endViewDistance = 0x66666;
    Control control(&table.pool(), &view, &keys, host);
    control.Start(Control::kNewGame);
    ASSERT_EQ(control.Active(), control.Glide());
    EXPECT_EQ(view.yaw, 0x20000);
    // Where the camera stands: the world point the view puts at its eye.
    auto m = [&view](int i) { return static_cast<double>(view.matrix[static_cast<std::size_t>(i)]) / 65536.0; };
    double eye[3];
    for (int i = 0; i < 3; ++i) eye[i] = -(m(12) * m(4 * i) + m(13) * m(4 * i + 1) + m(14) * m(4 * i + 2));
    // The foot view's target (0, 0xB5CA0, -0x5BCCA4) and distance, turned
    // half round and seen through the pitch, with the eye's height of 1.
    const double cp = std::cos(view.pitch * 2 * 3.14159265358979 / 0x40000),
                 sp = std::sin(view.pitch * 2 * 3.14159265358979 / 0x40000);
    const double distance = size == TableSize::kLarge ? 0x734B40 / 65536.0 : 0x5C67E0 / 65536.0;
    EXPECT_NEAR(eye[0], 0, 0.1);
    EXPECT_NEAR(eye[1], -0xB5CA0 / 65536.0 - cp + sp * distance, 0.1);
    EXPECT_NEAR(eye[2], 0x5BCCA4 / 65536.0 + sp + cp * distance, 0.1);
    EXPECT_GT(eye[2], table.pool().table.hz / 65536.0) << "beyond the foot rail";
    // The glide takes four seconds to bring the aim round.
    clock.now += 3900;
    control.HandleEvent({kMsgTimer, 1, 0, clock.now});
    EXPECT_EQ(control.Active(), control.Glide());
    clock.now += 200;
    control.HandleEvent({kMsgTimer, 1, 0, clock.now});
    EXPECT_EQ(control.Active(), control.Aim());
    EXPECT_EQ(view.yaw & 0x3FFFF, 0);
  }
}

TEST(Control, TheGlideTurnsTheShortWayAndZipToEndSkipsIt) {
  Play p(GameKind::kEightBall);
  GlideMode* g = p.control->Glide();
  g->Start(FixVec3{0, 0, 0x100000}, -800, 0x3F000, FixVec3{0, 0, 0x200000}, -1600, 0x1000, 0, 1000);
  p.clock.now = 500;
  EXPECT_EQ(g->OnIdle({kMsgTimer, 1, 0, 500}), 0u);
  EXPECT_EQ(p.view.yaw, 0x40000);  // halfway from 0x3F000 forward to 0x41000
  EXPECT_EQ(p.view.eye.z, 0x180000);
  EXPECT_EQ(p.view.pitch, -1200);
  p.clock.now = 1000;
  EXPECT_EQ(g->OnIdle({kMsgTimer, 1, 0, 1000}), kResultTurnReady);
  EXPECT_EQ(p.view.yaw, 0x1000);
  // A turn that begins glides; Zip To End goes straight to aiming.
  p.control->BeginTurn();
  ASSERT_EQ(p.control->Active(), g);
  p.Send(kMsgKeyDown, 'Z');
  EXPECT_EQ(p.control->Active(), p.control->Aim());
  EXPECT_EQ(p.control->State(), 11);
}

TEST(Control, CallingThePocketForTheEight) {
  Play p(GameKind::kEightBall);
  Pool& pool = p.pool();
  // The player to play owns the solids and has cleared them.
  pool.rules.SolidsOwner = static_cast<std::uint8_t>(pool.rules.CurrentPlayer + 1);
  for (int b = 1; b <= 7; ++b) pool.ballStates[static_cast<std::size_t>(b)].state = kBallOff;
  pool.UpdatePocketedMask();
  ASSERT_TRUE(pool.IsGroupCleared());
  p.control->BeginTurn();
  ASSERT_TRUE(p.control->CallingPocket());
  EXPECT_EQ(p.control->viewMode, 14);
  CallPocketMode* m = p.control->CallPocket();
  const auto& far = m->points[3];
  p.Send(kMsgPenDown, 1, PenParam(far[0] - 2, far[1] + 1));
  p.Send(kMsgPenUp, 0, PenParam(far[0] - 2, far[1] + 1));
  EXPECT_EQ(m->selected, 3);
  EXPECT_EQ(pool.calledPocket8, 3);
  // Up from 3 stays, Left goes to 4 (pocket 2), Down to 5 (pocket 4).
  struct Step {
    std::uint32_t key;
    int screen, pocket;
  } steps[] = {{0x26, 3, 3}, {0x25, 4, 2}, {0x28, 5, 4}, {0x27, 2, 5}};
  for (const Step& s : steps) {
    p.Send(kMsgKeyDown, s.key);
    p.Send(kMsgKeyUp, s.key);
    EXPECT_EQ(m->selected, s.screen);
    EXPECT_EQ(pool.calledPocket8, s.pocket);
  }
  // Two points at the same distance: the lower screen index wins.
  const int midX = (m->points[0][0] + m->points[1][0]) / 2, midY = (m->points[0][1] + m->points[1][1]) / 2;
  p.Send(kMsgPenDown, 1, PenParam(midX, midY));
  EXPECT_EQ(m->selected, 0);
  // The Aim Mode key goes on to aiming with the call kept.
  p.Send(kMsgKeyDown, 'A');
  EXPECT_EQ(p.control->Active(), p.control->Aim());
  EXPECT_EQ(pool.calledPocket8, 0);
}

TEST(Control, AReplayPlaysTheShotAgainToTheSameVerdict) {
  Play p(GameKind::kNineBall);
  EXPECT_FALSE(p.control->ReplayAvailable());
  p.Hold(' ', 25);
  p.RunShot();
  p.UntilPersonAims();
  ASSERT_TRUE(p.control->ReplayAvailable());
  const RuleBlock rules = p.pool().rules;
  const auto balls = p.pool().ballStates;
  p.keys.keys[KeyMap::kReplay] = 'R';
  p.Send(kMsgKeyDown, 'R');
  EXPECT_FALSE(p.control->ReplayAvailable());
  // The stroke is shown, then the shot runs.
  for (int i = 0; i < 400 && !p.control->ShotRunning(); ++i) p.Tick();
  ASSERT_TRUE(p.control->ShotRunning());
  p.RunShot();
  p.UntilPersonAims();
  EXPECT_TRUE(p.control->ReplayAvailable());
  EXPECT_EQ(p.pool().rules.CurrentPlayer, rules.CurrentPlayer);
  EXPECT_EQ(p.pool().rules.Score, rules.Score);
  for (int b = 0; b < kBallCount; ++b) {
    EXPECT_EQ(p.pool().ballStates[static_cast<std::size_t>(b)].position, balls[static_cast<std::size_t>(b)].position)
        << b;
  }
}

TEST(Control, MovingTheViewByPenAndHeldKeys) {
  Play p(GameKind::kEightBall);
  p.keys.keys[KeyMap::kMoveView] = 'V';
  p.Send(kMsgKeyDown, 'V');
  ASSERT_EQ(p.control->Active(), p.control->MoveView());
  const FixVec3 start = p.view.target;
  p.Send(kMsgPenDown, 1, PenParam(100, 100));
  p.Send(kMsgPenMove, 1, PenParam(100, 90));
  EXPECT_FALSE(p.view.target == start);
  // A key held less than 450 ms does not move it.
  const FixVec3 dragged = p.view.target;
  for (int i = 0; i < 10; ++i) {
    p.clock.now += 31;
    p.Send(kMsgKeyDown, 0x26);
  }
  EXPECT_EQ(p.view.target, dragged);
  for (int i = 0; i < 20; ++i) {
    p.clock.now += 31;
    p.Send(kMsgKeyDown, 0x26);
  }
  EXPECT_FALSE(p.view.target == dragged);
  p.Send(kMsgKeyUp, 0x26);
  p.Send(kMsgKeyDown, 'A');
  EXPECT_EQ(p.control->Active(), p.control->Aim());
}

TEST(Control, TheOverheadLookReturnsToAiming) {
  Play p(GameKind::kEightBall);
  p.keys.keys[KeyMap::kNextMode] = 'N';
  p.Send(kMsgKeyUp, 'N');
  ASSERT_EQ(p.control->Active(), p.control->CueTip());
  const std::int32_t yaw = p.view.yaw;
  p.Send(kMsgKeyDown, 'O');
  EXPECT_EQ(p.view.pitch, -0x10000);
  p.Send(kMsgKeyUp, 'O');
  EXPECT_EQ(p.control->Active(), p.control->Aim());
  EXPECT_EQ(p.view.yaw, yaw);
}

TEST(Control, TheModeRingAndTheCueTipAndAngleModes) {
  Play p(GameKind::kEightBall);
  p.keys.keys[KeyMap::kNextMode] = 'N';
  p.keys.keys[KeyMap::kPreviousMode] = 'P';
  p.pool().rules.TurnFlags &= static_cast<std::uint8_t>(~2);  // no ball in hand
  p.Send(kMsgKeyUp, 'N');
  ASSERT_EQ(p.control->Active(), p.control->CueTip());
  EXPECT_EQ(p.control->viewMode, 15);
  // The first press moves by the smallest step; the tip stays on its circle.
  p.Send(kMsgKeyDown, 0x26);
  EXPECT_EQ(p.pool().cueTip[1], -100);
  p.Send(kMsgKeyUp, 0x26);
  for (int i = 0; i < 300; ++i) {
    p.clock.now += 31;
    p.Send(kMsgKeyDown, 0x25);
  }
  p.Send(kMsgKeyUp, 0x25);
  const std::int64_t y = p.pool().cueTip[1];
  const std::int64_t limit = static_cast<std::int64_t>(ISqrt64(static_cast<std::uint64_t>(0x90000000LL - y * y))) - 16;
  EXPECT_EQ(p.pool().cueTip[0], -limit);
  p.Send(kMsgKeyUp, 'N');
  ASSERT_EQ(p.control->Active(), p.control->CueAngle());
  const FixAngle before = p.pool().cueElevation;
  p.Send(kMsgKeyDown, 0x26);
  EXPECT_EQ(p.pool().cueElevation, before - 100);
  for (int i = 0; i < 300; ++i) {
    p.clock.now += 31;
    p.Send(kMsgKeyDown, 0x28);
  }
  EXPECT_EQ(p.pool().cueElevation, 0x10E00u);
  // On round the ring: zoom, then ball in hand and the pocket call are
  // skipped without them, back to aiming.
  p.Send(kMsgKeyUp, 'N');
  ASSERT_EQ(p.control->Active(), p.control->KeyTurn());
  EXPECT_EQ(p.control->viewMode, 17);
  // Zoomed in the key-turn mode, the aiming distance follows.
  p.Send(kMsgKeyDown, 0x28);
  const Fix16 zoomed = p.view.eye.z;
  p.Send(kMsgKeyUp, 'N');
  EXPECT_EQ(p.control->Active(), p.control->Aim());
  EXPECT_EQ(p.control->Aim()->aimDistance, zoomed);
  p.Send(kMsgKeyUp, 'P');
  EXPECT_EQ(p.control->Active(), p.control->KeyTurn());
  p.Send(kMsgKeyUp, 'P');
  EXPECT_EQ(p.control->Active(), p.control->CueAngle());
  // The Stroke Cue key goes back to aiming from any of them.
  p.Send(kMsgKeyDown, ' ');
  EXPECT_EQ(p.control->Active(), p.control->Aim());
}

// A rack against the computer played from pen and key events only: the
// break by a pen stroke, aims by drags, ball in hand placed by a drag, the
// pocket for the 8 named by a tap, the computer's turns, to the end.
TEST(Control, AScriptedRackOfTapsDragsAndKeys) {
  // Either side may break; this seed gives the break to the person.
  Play p(GameKind::kEightBall, Opponent::kComputer, 11, 16);
  ASSERT_FALSE(p.control->ComputerToPlay());
  p.keys.keys[KeyMap::kNextMode] = 'N';
  Pool& pool = p.pool();
  // The break: a pen pulled down from the stick and pushed back up fast.
  p.Send(kMsgPenDown, 1, PenParam(120, 280));
  for (int y = 284; y <= 316; y += 4) {
    p.clock.now += 31;
    p.Send(kMsgPenMove, 1, PenParam(120, y));
  }
  p.clock.now += 10;
  p.Send(kMsgPenMove, 1, PenParam(120, 282));
  ASSERT_TRUE(p.control->ShotRunning()) << "the pen stroke did not strike";
  p.RunShot();
  int placements = 0, calls = 0, computerTurns = 0, fouls = 0;
  bool cleared = false;
  std::wstring lastResult;
  for (int turn = 0; turn < 300 && !p.over; ++turn) {
    const HudTexts t = MakeHudTexts(pool, p.control.get(), L"Ann", L"CPU");
    if (!t.result.empty() && t.result != L" ") lastResult = t.result;
    if (pool.rules.Foul != 0 || pool.rules.Outcome == 2) ++fouls;
    if (p.control->ComputerToPlay()) {
      ++computerTurns;
      for (int i = 0; i < 20000 && !p.over && !p.control->ShotRunning(); ++i) p.Tick();
      p.RunShot();
      continue;
    }
    p.UntilPersonAims();
    if (p.over) break;
    // Once the groups are set, the person's group goes down at once, so the
    // 8 must be called on the next turn.
    if (!cleared && pool.rules.SolidsOwner != 0) {
      cleared = true;
      const bool solids = pool.rules.SolidsOwner == pool.rules.CurrentPlayer + 1;
      for (int b = solids ? 1 : 9; b <= (solids ? 7 : 15); ++b)
        pool.ballStates[static_cast<std::size_t>(b)].state = kBallOff;
      pool.UpdatePocketedMask();
      p.control->BeginTurn();
    }
    if (p.control->CallingPocket()) {
      const auto& pt = p.control->CallPocket()->points[2];
      p.Send(kMsgPenDown, 1, PenParam(pt[0], pt[1]));
      p.Send(kMsgPenUp, 0, PenParam(pt[0], pt[1]));
      EXPECT_EQ(pool.calledPocket8, 5);
      p.Send(kMsgKeyDown, 'A');
      p.Send(kMsgKeyUp, 'A');
      ++calls;
    }
    if ((pool.rules.TurnFlags & 2) != 0 && (pool.rules.TurnFlags & 1) == 0) {
      const FixVec3 before = pool.ballStates[0].position;
      p.Send(kMsgKeyDown, 'M');
      p.Send(kMsgPenDown, 1, PenParam(120, 160));
      for (int i = 1; i <= 8; ++i) p.Send(kMsgPenMove, 1, PenParam(120 + i * 2, 160 - i));
      p.Send(kMsgPenUp, 0, PenParam(136, 152));
      if (!(pool.ballStates[0].position == before)) ++placements;
    }
    // Aim a little by a drag across the upper screen, then a held stroke.
    p.Send(kMsgPenDown, 1, PenParam(100, 100));
    p.Send(kMsgPenMove, 1, PenParam(100 + turn % 7, 100));
    p.Send(kMsgPenUp, 0, PenParam(100 + turn % 7, 100));
    p.Hold(' ', 22);
    ASSERT_TRUE(p.control->ShotRunning() || p.over);
    p.RunShot();
  }
  ASSERT_TRUE(p.over);
  EXPECT_NE(pool.rules.TurnFlags & 8, 0);
  EXPECT_GE(computerTurns, 1);
  EXPECT_TRUE(cleared);
  EXPECT_GE(calls, 1);
  EXPECT_GE(placements, 1);
  const HudTexts t = MakeHudTexts(pool, p.control.get(), L"Ann", L"CPU");
  EXPECT_TRUE(t.result == L"Ann Wins" || t.result == L"Ann Loses" || t.result == L"CPU Loses")
      << std::string(t.result.begin(), t.result.end());
  EXPECT_EQ(pool.rules.Outcome, 1);
  EXPECT_GE(fouls, 1);
}

TEST(Control, TrackLinesPreviewTheAimedShotWithoutTouchingTheTable) {
  Play p(GameKind::kNineBall, Opponent::kPractice);
  p.keys.keys[KeyMap::kTrackLines] = 'T';
  const auto before = p.pool().ballStates;
  p.Send(kMsgKeyDown, 'T');
  ASSERT_TRUE(p.control->TrackLinesShown());
  // Held, the key repeats within 250 ms and does not toggle again.
  for (int i = 0; i < 20; ++i) {
    p.clock.now += 31;
    p.Send(kMsgKeyDown, 'T');
  }
  EXPECT_TRUE(p.control->TrackLinesShown());
  p.Tick(60);
  const TrackLinesMode* t = p.control->TrackLines();
  EXPECT_TRUE(t->Finished());
  EXPECT_GE(t->Track(0).size(), 2u);
  // The cue ball's line starts at the cue ball, and the break moved others.
  EXPECT_EQ(t->Track(0).front(), before[0].position);
  int moved = 0;
  for (int b = 1; b < kBallCount; ++b) moved += t->Track(b).size() > 1 ? 1 : 0;
  EXPECT_GT(moved, 0);
  EXPECT_FALSE(p.control->ShotRunning());
  for (int b = 0; b < kBallCount; ++b)
    EXPECT_EQ(p.pool().ballStates[static_cast<std::size_t>(b)].position, before[static_cast<std::size_t>(b)].position);
  // A new aim starts the preview again.
  p.Send(kMsgKeyDown, 0x25);
  p.Tick();
  EXPECT_FALSE(t->Finished());
  // A press after 250 ms switches them off.
  p.clock.now += 400;
  p.Send(kMsgKeyDown, 'T');
  EXPECT_FALSE(p.control->TrackLinesShown());
  // With a second player the key does not switch them on.
  Play two(GameKind::kNineBall, Opponent::kHuman);
  two.keys.keys[KeyMap::kTrackLines] = 'T';
  two.Send(kMsgKeyDown, 'T');
  EXPECT_FALSE(two.control->TrackLinesShown());
}

TEST(HudTexts, ResultsTitlesAndScores) {
  TableSetup setup;
  setup.game = GameKind::kEightBall;
  setup.opponent = Opponent::kHuman;
  Table table(setup);
  Pool& pool = table.pool();
  struct Case {
    int outcome, detail;
    const wchar_t* text;
  } cases[] = {{0, 0, L""},
               {2, 0, L"Scratch"},
               {4, 0, L"Miscall"},
               {1, 1, L"Ann Wins"},
               {1, 3, L"Ann Loses"},
               {1, 4, L"Bob Loses"},
               {1, 6, L"Bob Resigns"},
               {2, 8, L"Rail not hit"},
               {2, 12, L"Ball not hit"},
               {2, 13, L""},
               {2, 255, L""}};
  for (const Case& c : cases) {
    pool.rules.Outcome = static_cast<std::uint8_t>(c.outcome);
    pool.rules.OutcomeDetail = static_cast<std::uint8_t>(c.detail);
    EXPECT_EQ(MakeHudTexts(pool, nullptr, L"Ann", L"Bob").result, c.text) << c.outcome << "/" << c.detail;
  }
  pool.rules.GamesWon = {2, 1};
  const HudTexts t = MakeHudTexts(pool, nullptr, L"Ann", L"Bob");
  EXPECT_EQ(t.score[1], L"1 - " + std::to_wstring(pool.rules.MatchGoal));
  EXPECT_EQ(t.title, L"Aim Mode");
  pool.OpponentKind = 0;
  pool.rules.Outcome = 1;
  pool.rules.OutcomeDetail = 1;
  const HudTexts practice = MakeHudTexts(pool, nullptr, L"Ann", L"Bob");
  EXPECT_EQ(practice.result, L" ");
  EXPECT_TRUE(practice.name[1].empty());
  EXPECT_TRUE(practice.score[0].empty());
  EXPECT_EQ(practice.icon, -1);
}

// The icon beside the name of the player at the table: his group in 8-Ball
// once the table is closed (the 8 when it is cleared), the ball to play
// next in the rotation games; none on an open table or in practice.
TEST(HudTexts, GroupAndNextBallIcons) {
  auto table = [](GameKind game, Opponent opponent) {
    TableSetup setup;
    setup.game = game;
    setup.opponent = opponent;
    return std::make_unique<Table>(setup);
  };
  auto icon = [](const Pool& pool) { return MakeHudTexts(pool, nullptr, L"Ann", L"Bob").icon; };
  auto eight = table(GameKind::kEightBall, Opponent::kHuman);
  Pool& p8 = eight->pool();
  EXPECT_EQ(icon(p8), -1);
  p8.rules.SolidsOwner = 2;
  p8.rules.CurrentPlayer = 1;
  EXPECT_EQ(icon(p8), 2);
  p8.rules.CurrentPlayer = 0;
  EXPECT_EQ(icon(p8), 10);
  for (int b = 9; b <= 15; ++b) p8.ballStates[static_cast<std::size_t>(b)].state = kBallOff;
  EXPECT_EQ(icon(p8), 8);
  for (GameKind game : {GameKind::kNineBall, GameKind::kRotation, GameKind::kSixBall, GameKind::kTenBall}) {
    auto t = table(game, Opponent::kComputer);
    Pool& p = t->pool();
    int lowest = 1;
    while (p.ballStates[static_cast<std::size_t>(lowest)].state == kBallOff) ++lowest;
    EXPECT_EQ(icon(p), lowest);
    for (int b = 1; b <= 3; ++b) p.ballStates[static_cast<std::size_t>(b)].state = kBallOff;
    EXPECT_EQ(icon(p), 4);
    for (int b = 1; b < kBallCount; ++b) p.ballStates[static_cast<std::size_t>(b)].state = kBallOff;
    EXPECT_EQ(icon(p), -1);
  }
  EXPECT_EQ(icon(table(GameKind::kStraight, Opponent::kHuman)->pool()), -1);
  EXPECT_EQ(icon(table(GameKind::kNineBall, Opponent::kPractice)->pool()), -1);
}

// Random pen and key events for every game type: nothing crashes or hangs,
// no stroke starts while a shot runs, and the rules' state stays valid.
TEST(ControlFuzz, RandomInputKeepsPlaySound) {
  const std::uint32_t messages[] = {kMsgPenDown, kMsgPenMove, kMsgPenUp, kMsgKeyDown,   kMsgKeyUp,
                                    kMsgTimer,   kMsgTimer,   kMsgTimer, kMsgStartShot, kMsgCommand};
  const std::uint8_t keys[] = {'A', 'M', 'Z', 'O', ' ',  'J',  'L',  'I',  'K',  'Q',  'E', 'R',
                               'N', 'P', 'T', 'V', 0x21, 0x22, 0x25, 0x26, 0x27, 0x28, 'X'};
  int games = 0;
  for (int g = 1; g <= 6; ++g) {
    for (std::uint32_t seed = 1; seed <= 4; ++seed) {
      const Opponent who = seed % 2 == 0 ? Opponent::kComputer : Opponent::kHuman;
      Play p(static_cast<GameKind>(g), who, 1 + static_cast<int>(seed) * 3, seed);
      p.keys.keys[KeyMap::kReplay] = 'R';
      p.keys.keys[KeyMap::kNextMode] = 'N';
      p.keys.keys[KeyMap::kPreviousMode] = 'P';
      p.keys.keys[KeyMap::kTrackLines] = 'T';
      p.keys.keys[KeyMap::kMoveView] = 'V';
      std::mt19937 rng(seed * 7919u + static_cast<std::uint32_t>(g));
      for (int i = 0; i < 3000 && !p.over; ++i) {
        const std::uint32_t m = messages[rng() % std::size(messages)];
        std::uint32_t w = 0;
        // Mostly on the screen; now and then anywhere in the 16-bit range.
        std::int32_t l = rng() % 16 == 0
                             ? static_cast<std::int32_t>(rng())
                             : PenParam(static_cast<int>(rng() % 400) - 40, static_cast<int>(rng() % 400) - 40);
        if (m == kMsgKeyDown || m == kMsgKeyUp) w = keys[rng() % std::size(keys)];
        if (m == kMsgPenMove) w = rng() % 2;
        if (m == kMsgCommand) w = rng() % 24;
        const bool runningBefore = p.control->ShotRunning();
        const FixVec3 cueBefore = p.pool().ballStates[0].position;
        const std::uint32_t stepsBefore = p.pool().stepCount;
        // Time mostly moves on a little; now and then it jumps either way.
        p.clock.now += rng() % 32 == 0 ? rng() : rng() % 64;
        const std::uint32_t answer = p.control->HandleEvent({m, w, l, p.clock.now});
        ASSERT_LE(answer, 1u);
        p.over = p.over || answer == 1;
        if (runningBefore && p.control->ShotRunning()) {
          // A running shot is never started again (that would clear its steps).
          ASSERT_GE(p.pool().stepCount, stepsBefore) << g << " " << seed << " event " << i;
        }
        const RuleBlock& r = p.pool().rules;
        ASSERT_LE(r.CurrentPlayer, 1) << g << " " << seed;
        ASSERT_LE(p.pool().strikePower, kMaxStrikePower);
        ASSERT_GE(p.pool().strikePower, 0);
        const std::int64_t x = p.pool().cueTip[0], y = p.pool().cueTip[1];
        ASSERT_LE(x * x + y * y, std::int64_t{0xC000} * 0xC000);
        ASSERT_LE(p.pool().cueElevation, 0x10E00u);
        // A cue ball moved by hand stays on the cloth.
        const FixVec3 now = p.pool().ballStates[0].position;
        if (!runningBefore && !p.control->ShotRunning() && !(now == cueBefore)) {
          ASSERT_LE(std::abs(now.x), p.pool().table.hx);
          ASSERT_LE(std::abs(now.z), p.pool().table.hz);
        }
      }
      ++games;
    }
  }
  EXPECT_EQ(games, 24);
}

TEST(Control, APenStrokeStartsOnlyOnTheGrip) {
  Play p(GameKind::kNineBall);
  // Off the grip the drag turns the aim; on it the stick is pulled back.
  p.Send(kMsgPenDown, 1, PenParam(60, 300));
  EXPECT_FALSE(p.control->Aim()->strokeDrag);
  p.Send(kMsgPenUp, 0, PenParam(60, 300));
  p.Send(kMsgPenDown, 1, PenParam(128, 316));  // 3 pixels of slack round the box
  EXPECT_TRUE(p.control->Aim()->strokeDrag);
  p.Send(kMsgPenUp, 0, PenParam(128, 316));
  p.Send(kMsgPenDown, 1, PenParam(130, 300));
  EXPECT_FALSE(p.control->Aim()->strokeDrag);
}

TEST(Control, EitherPlayerBreaks) {
  int second = 0;
  for (std::uint32_t seed = 1; seed <= 16; ++seed) {
    Play p(GameKind::kNineBall, Opponent::kHuman, 11, seed);
    second += p.pool().rules.CurrentPlayer;
  }
  EXPECT_GT(second, 0);
  EXPECT_LT(second, 16);
  // Practice has no second player to break.
  for (std::uint32_t seed = 1; seed <= 4; ++seed) {
    Play p(GameKind::kNineBall, Opponent::kPractice, 11, seed);
    EXPECT_EQ(p.pool().rules.CurrentPlayer, 0);
  }
}

// A match is held between shots (a running shot is played to its end
// first): whoever is at the table, with or without ball in hand, in 8-Ball
// maybe with the pocket for the 8 to name. Resumed, it goes on from there.
TEST(Control, AResumedMatchGoesOnAsItWasHeld) {
  struct Held {
    const char* what;
    GameKind game;
    Opponent opponent;
    int player;
    std::uint8_t flags;  // ball in hand (2), behind the head string (4)
    bool groupCleared;   // 8-Ball: the player's solids are down
  };
  const Held cases[] = {
      {"player 1 aiming", GameKind::kNineBall, Opponent::kComputer, 0, 0, false},
      {"player 1 with ball in hand", GameKind::kNineBall, Opponent::kComputer, 0, 2, false},
      {"the computer to play", GameKind::kNineBall, Opponent::kComputer, 1, 0, false},
      {"the computer with ball in hand", GameKind::kEightBall, Opponent::kComputer, 1, 2, false},
      {"player 2 aiming", GameKind::kEightBall, Opponent::kHuman, 1, 0, false},
      {"player 2 behind the head string", GameKind::kStraight, Opponent::kHuman, 1, 6, false},
      {"player 1 to name the 8's pocket", GameKind::kEightBall, Opponent::kHuman, 0, 0, true},
      {"player 1 to name it with ball in hand", GameKind::kEightBall, Opponent::kComputer, 0, 2, true},
      {"practice", GameKind::kRotation, Opponent::kPractice, 0, 2, false},
  };
  for (const Held& c : cases) {
    SCOPED_TRACE(c.what);
    for (int kind : {Control::kResumed, Control::kResumedCareer}) {
      std::vector<std::uint8_t> held(Pool::kTableStateSize);
      FakeClock clock;
      {
        Table t(SetupOf(c.game, c.opponent, 5), &clock);
        Pool& p = t.pool();
        p.rules.CurrentPlayer = static_cast<std::uint8_t>(c.player);
        p.rules.TurnFlags = c.flags;
        p.rules.viewAngle = 0x12345;
        if (c.groupCleared) {
          p.rules.SolidsOwner = static_cast<std::uint8_t>(c.player + 1);
          for (int b = 1; b <= 7; ++b) p.ballStates[static_cast<std::size_t>(b)].state = kBallOff;
        }
        p.ballStates[0].position.x = 0x30000;
        p.SaveBallState();
        ASSERT_EQ(p.WriteState(held.data(), held.size()), Pool::kTableStateSize);
      }
      // Whatever the breaker the random draw would choose, the turn stays.
      for (std::uint32_t seed = 1; seed <= 3; ++seed) {
        Play p(c.game, c.opponent, 11, seed, &held, kind);
        const bool computer = c.opponent == Opponent::kComputer && c.player == 1;
        EXPECT_EQ(p.pool().rules.CurrentPlayer, c.player);
        EXPECT_EQ(p.pool().rules.TurnFlags, c.flags);
        EXPECT_EQ(p.pool().ballStates[0].position.x, 0x30000);
        if (computer) {
          EXPECT_EQ(p.control->Active(), p.control->Computer());
          EXPECT_EQ(p.control->viewMode, 13);
          continue;
        }
        if (c.groupCleared) {
          EXPECT_TRUE(p.control->CallingPocket());
          EXPECT_EQ(p.control->viewMode, 14);
        } else {
          EXPECT_EQ(p.control->Active(), p.control->Aim());
          EXPECT_EQ(p.control->viewMode, (c.flags & 2) != 0 ? 6 : 2);
          EXPECT_EQ(p.control->Aim()->aimDirection, 0x12345);
          EXPECT_EQ(p.view.yaw & 0x3FFFF, 0x12345);
          EXPECT_TRUE(p.scene.stickShown);
        }
        // No glide and no computer's turn: the person keeps the table.
        p.Tick(200);
        EXPECT_EQ(p.pool().rules.CurrentPlayer, c.player);
        EXPECT_FALSE(p.control->ShotRunning());
        EXPECT_NE(p.control->Active(), p.control->Computer());
        // Replay is available, but the held shot was not kept: the Replay
        // key strikes nothing and the table stays as it was held.
        EXPECT_TRUE(p.control->ReplayAvailable());
        const RuleBlock rules = p.pool().rules;
        p.keys.keys[KeyMap::kReplay] = 'R';
        p.Send(kMsgKeyDown, 'R');
        p.Tick(100);
        EXPECT_FALSE(p.control->ShotRunning());
        EXPECT_EQ(p.pool().rules.CurrentPlayer, rules.CurrentPlayer);
        EXPECT_EQ(p.pool().rules.TurnFlags, rules.TurnFlags);
        EXPECT_EQ(p.pool().rules.FoulsInRow, rules.FoulsInRow);
        EXPECT_EQ(p.pool().ballStates[0].position.x, 0x30000);
        if (c.flags & 2) {
          // The ball in hand is his to place.
          p.Send(kMsgKeyDown, 'M');
          EXPECT_EQ(p.control->Active(), p.control->MoveBall());
        }
      }
    }
  }
}

// Each turn against someone opens aimed at a ball: the lowest on the table
// in the rotation games, the nearest the player may hit in the others.
TEST(Control, ATurnOpensAimedAtTheBallToPlay) {
  struct Case {
    GameKind game;
    FixAngle aim;
  };
  // Ball 1 (and 9) stands straight down the table from the cue ball, ball 2
  // (and 10) nearer, across it towards +x.
  const Case cases[] = {{GameKind::kNineBall, 0}, {GameKind::kRotation, 0},        {GameKind::kSixBall, 0},
                        {GameKind::kTenBall, 0},  {GameKind::kEightBall, 0x10000}, {GameKind::kStraight, 0x10000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.game));
    Play p(c.game);
    for (int b = 1; b < kBallCount; ++b) p.pool().ballStates[static_cast<std::size_t>(b)].state = kBallOff;
    auto place = [&](int b, Fix16 x, Fix16 z) {
      BallState& s = p.pool().ballStates[static_cast<std::size_t>(b)];
      s.state = kBallAtRest;
      s.position = FixVec3{x, 0, z};
    };
    place(0, 0, 0);
    const bool eight = c.game == GameKind::kEightBall;
    place(eight ? 9 : 1, 0, 0x80000);
    place(eight ? 10 : 2, 0x30000, 0);
    p.control->BeginTurn();
    p.UntilPersonAims();
    EXPECT_EQ(p.control->Aim()->aimDirection, c.aim);
    EXPECT_EQ(p.view.yaw & 0x3FFFF, c.aim);
  }
  // The heading from the cue ball at the origin to a ball, by quadrant.
  Play p(GameKind::kNineBall);
  const struct {
    Fix16 x, z;
    FixAngle aim;
  } headings[] = {{0, 0x50000, 0},        {0x50000, 0, 0x10000},      {0, -0x50000, 0x20000},
                  {-0x50000, 0, 0x30000}, {0x50000, 0x50000, 0x8000}, {-0x50000, -0x50000, 0x28000}};
  for (const auto& h : headings) {
    p.pool().ballStates[0].position = FixVec3{0, 0, 0};
    p.pool().ballStates[5].position = FixVec3{h.x, 0, h.z};
    p.control->Aim()->AimAtBall(5);
    // 400 / 628 stands for 2 / pi: a few units off at the diagonals.
    EXPECT_NEAR(p.control->Aim()->aimDirection, h.aim, 24) << h.x << ", " << h.z;
  }
}

TEST(Control, ARewindPlaysTheShotBackToItsStart) {
  Play p(GameKind::kNineBall, Opponent::kPractice);
  const auto before = p.pool().ballStates;
  // Nothing to rewind before the first shot; never with a second player.
  EXPECT_FALSE(p.control->CanEnterState(16));
  p.Hold(' ', 25);
  p.RunShot();
  p.UntilPersonAims();
  ASSERT_TRUE(p.control->RewindAvailable());
  p.Send(kMsgCommand, 16);
  ASSERT_TRUE(p.control->Rewinding());
  EXPECT_EQ(p.control->Active(), p.control->Aim());
  // No stroke while it runs.
  p.Hold(' ', 25);
  EXPECT_EQ(p.control->refusedStrokes, 1);
  for (int i = 0; i < 2000 && p.control->Rewinding(); ++i) p.Tick();
  EXPECT_FALSE(p.control->Rewinding());
  EXPECT_FALSE(p.control->ShotRunning());
  EXPECT_EQ(p.control->Active(), p.control->Aim());
  for (int b = 0; b < kBallCount; ++b)
    EXPECT_EQ(p.pool().ballStates[static_cast<std::size_t>(b)].position, before[static_cast<std::size_t>(b)].position)
        << b;
  EXPECT_FALSE(p.control->RewindAvailable());
  EXPECT_TRUE(p.control->ReplayAvailable());
  Play two(GameKind::kNineBall);
  two.Hold(' ', 25);
  two.RunShot();
  EXPECT_FALSE(two.control->CanEnterState(16));
  EXPECT_FALSE(two.control->CanEnterState(15));
}

TEST(Control, PickBallTakesTheNearestBallAndSlidesIt) {
  Play p(GameKind::kNineBall, Opponent::kPractice);
  // A screen that shows the table from above, one pixel a ball radius.
  p.control->PickBall()->host->ballOnScreen = [&p](int ball, int* x, int* y) {
    const FixVec3 at = p.pool().ballStates[static_cast<std::size_t>(ball)].position;
    *x = 120 + (at.x >> 16);
    *y = 160 - (at.z >> 16);
    return true;
  };
  p.Send(kMsgCommand, 15);
  ASSERT_EQ(p.control->Active(), p.control->PickBall());
  const auto before = p.pool().ballStates;
  int bx = 0, by = 0;
  p.control->PickBall()->host->ballOnScreen(5, &bx, &by);
  p.Send(kMsgPenDown, 1, PenParam(bx, by));
  EXPECT_EQ(p.control->PickBall()->picked, 5);
  // Dragged away from the rack a little at a time.
  for (int i = 1; i <= 10; ++i) p.Send(kMsgPenMove, 1, PenParam(bx + 2 * i, by));
  p.Send(kMsgPenUp, 0, PenParam(bx + 20, by));
  EXPECT_NE(p.pool().ballStates[5].position, before[5].position);
  for (int b = 0; b < kBallCount; ++b) {
    if (b == 5) continue;
    EXPECT_EQ(p.pool().ballStates[static_cast<std::size_t>(b)].position, before[static_cast<std::size_t>(b)].position);
  }
  // The Aim Mode key leaves the look from above.
  p.Send(kMsgKeyDown, 'A');
  EXPECT_EQ(p.control->Active(), p.control->Aim());
}

TEST(TrackLines, CurvedSegmentsHaveOnePointPerUnitOfLengthAndTime) {
  struct Case {
    std::int64_t length;
    std::uint32_t span;
    int n;
  } cases[] = {{0, 0, 1}, {0xFFFF, 0, 1}, {0x10000, 0, 1}, {0x30000, 0, 3}, {0x10000, 0x200000, 2}, {-5, 0, 1}};
  for (const Case& c : cases) EXPECT_EQ(CurveSegments(c.length, c.span), c.n) << c.length << " " << c.span;
}

// While the computer thinks the screen keeps its pace: thinking runs in
// slices of the real clock, and no tick of its turn (the search, the ball
// placed, the aim and the stroke shown) holds the frame up for more than
// 40 ms.
// While the computer thinks nothing on the table moves: the scene is not
// marked to be drawn again (only the in-game text's count changes).
TEST(Control, TheComputersThinkingLeavesTheSceneAlone) {
  std::vector<std::uint8_t> held(Pool::kTableStateSize);
  {
    FakeClock clock;
    Table t(SetupOf(GameKind::kNineBall, Opponent::kComputer, 3), &clock);
    // Past the break, which the computer plays without thinking.
    t.pool().rules.CurrentPlayer = 1;
    t.pool().rules.TurnFlags = 0;
    t.pool().SaveBallState();
    t.pool().WriteState(held.data(), held.size());
  }
  Play p(GameKind::kNineBall, Opponent::kComputer, 7, 3, &held, Control::kResumed);
  ASSERT_EQ(p.control->Active(), p.control->Computer());
  // Each look at the clock moves it on by a slice: a step a tick.
  std::uint32_t now = 0;
  p.control->Computer()->host->clock = [&now] { return now += 8; };
  int thinking = 0, redraws = 0, changes = 0;
  std::int32_t last = 0;
  for (int i = 0; i < 5000 && !p.control->ShotRunning(); ++i) {
    p.view.dirty = p.view.matrixChanged = 0;
    const bool wasThinking = p.control->Computer()->Thinking();
    p.Tick();
    if (!wasThinking || !p.control->Computer()->Thinking()) continue;
    ++thinking;
    const std::int32_t left = p.control->Computer()->Opponent()->AiCandidatesLeft;
    changes += left != last ? 1 : 0;
    last = left;
    redraws += (p.view.dirty | p.view.matrixChanged) != 0 ? 1 : 0;
  }
  EXPECT_TRUE(p.control->ShotRunning());
  EXPECT_GT(thinking, 3);
  EXPECT_GT(changes, 1);
  EXPECT_EQ(redraws, 0);
}

// The slice is measured on the host's clock; here that clock counts its
// looks (one a search step), so a tick's slice is a count of steps, the same
// on any machine however busy: no tick of the computer's thinking runs more
// than a slice of steps, and the thinking is spread over several ticks.
TEST(Control, TheComputerThinksInSlicesThatKeepTheFramesComing) {
  Play p(GameKind::kNineBall, Opponent::kComputer, 7, 3);
  std::uint32_t looks = 0;
  p.control->Computer()->host->clock = [&looks] { return ++looks; };
  const std::uint32_t slice = p.control->Computer()->sliceMs;
  std::uint32_t most = 0;
  int thinkingTicks = 0, turns = 0;
  for (int shot = 0; shot < 40 && turns < 4 && !p.over; ++shot) {
    if (!p.control->ComputerToPlay()) {
      p.UntilPersonAims();
      p.Hold(' ', 12 + shot % 5);
      p.RunShot();
      continue;
    }
    ++turns;
    for (int i = 0; i < 5000 && !p.control->ShotRunning() && !p.over; ++i) {
      const bool thinking = p.control->Computer()->Thinking();
      thinkingTicks += thinking ? 1 : 0;
      const std::uint32_t before = looks;
      p.Tick();
      if (thinking) most = std::max(most, looks - before);
    }
    p.RunShot();
  }
  ASSERT_GE(turns, 2);
  // Some turn's thinking took more than one tick.
  EXPECT_GT(thinkingTicks, turns);
  // A tick looks once for its frame time and once to start the slice, then
  // once after each step.
  EXPECT_LE(most, slice + 2);
  EXPECT_GT(most, 2u);
}

}  // namespace
}  // namespace ks::play
