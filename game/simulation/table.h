// Table: a small front over the Pool for the view, the play control, the
// tools and the tests.
//
// The Pool keeps its own field and operation names and stays reachable
// through pool(); this front collects the sequences every caller used to
// repeat:
//   - setting up a table for a game type and size (services, geometry,
//     physics constants, rack, money ball, clock);
//   - a shot described in real units (degrees, ball radii a second, ball
//     radii), checked and converted to the Pool's fixed point in one place;
//   - striking it and running it to rest, or one frame at a time, with an
//     observer that hears every event and every frame;
//   - a read-only snapshot of what the view draws.
//
// Floating point appears only in the conversion of a Shot; the simulation
// itself stays integer and deterministic.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "simulation/pool.h"

namespace ks {

// The game types by their GameType words.
enum class GameKind : int16_t { kStraight = 1, kEightBall, kNineBall, kRotation, kSixBall, kTenBall };

// Command-line names: "straight", "8ball", "9ball", "rotation", "6ball", "10ball".
const char* GameName(GameKind game);
std::optional<GameKind> GameFromName(std::string_view name);

enum class TableSize { kSmall, kLarge };

// The second player as the rules see it (the Pool's OpponentKind word).
enum class Opponent : int16_t { kPractice = 0, kHuman = 1, kComputer = 2 };

struct TableSetup {
  GameKind game = GameKind::kEightBall;
  TableSize size = TableSize::kSmall;
  Opponent opponent = Opponent::kPractice;
  uint32_t seed = 1;         // the random source that shuffles and jitters racks
  int16_t pointsGoal = 150;  // Straight points that win a game
  int16_t matchGoal = 5;     // games that win the match
  bool sound = false;        // play effects through the Pool's sound service
};

// A shot in real units.
struct Shot {
  double angle = 0;      // degrees; 0 sends the cue ball up the table (+z), 90 towards +x
  double power = 0;      // cue-ball speed scale in ball radii a second, 0..640
  double side = 0;       // tip offset across the ball, ball radii, -1..1
  double height = 0;     // tip offset up the ball, ball radii, -1..1; positive is follow
  double elevation = 0;  // cue elevation in degrees, 0..90
};

// nullptr when the shot can be struck, else why not (NaN, infinity, or a
// value out of its range).
const char* CheckShot(const Shot& shot);

// The cue words of the Pool that a shot sets.
struct CueParameters {
  FixVec3 direction;           // Fix30, from the ball towards the stick
  std::array<Fix16, 2> tip{};  // side, height
  FixAngle elevation = 0;
  int32_t power = 0;  // Fix16
};

// The one conversion from real units. It takes any finite shot whose values
// fit the Pool's words (tests strike off the ball on purpose); nullopt
// otherwise. Table::Aim also applies CheckShot.
std::optional<CueParameters> ToCueParameters(const Shot& shot);

// One event of a step, as the simulation applies it.
struct TableEvent {
  enum class Kind { kMotion, kBall, kCushion, kPocket, kJaw, kKnuckle };
  uint32_t time = 0;  // simulation time, 2^24 units a second from the strike
  uint8_t ball = 0;   // the ball the event belongs to
  Kind kind = Kind::kMotion;
  int index = 0;  // the other ball, or the cushion, pocket, jaw or knuckle number
  double Seconds() const { return time / 16777216.0; }
};
TableEvent DescribeEvent(const EventPair& pair, uint32_t time);

// What the view draws, copied out of the Pool.
struct TableView {
  std::array<BallState, kBallCount> balls{};  // positions, orientations, states, colours
  struct Cue {
    FixVec3 direction;  // Fix30, from the cue ball towards the stick
    std::array<Fix16, 2> tip{};
    FixAngle elevation = 0;
    int32_t power = 0;
    FixVec3 origin;                    // where the posed stick stands
    std::array<FixVec3, 30> points{};  // the stick model as last posed
  } cue;
  GameKind game = GameKind::kEightBall;
  uint8_t currentPlayer = 0;  // 0 or 1
  uint8_t turnFlags = 0;      // 1 break, 2 ball in hand, 4 behind the head string, 8 match over
  uint8_t outcome = 0;        // the verdict of the last shot
  uint8_t outcomeDetail = 0;
  std::array<int16_t, 2> score{};
  std::array<int16_t, 2> gamesWon{};
  std::array<int16_t, 2> foulsInRow{};
  bool shotRunning = false;
};

// Hears a shot: every event as it is applied and every frame shown. The
// Pool's own hooks (DrawHud and the rest) arrive through the base class.
class TableObserver : public PoolObserver {
 public:
  virtual void OnEvent(const TableEvent& /*event*/) {}
  virtual void OnFrame(const TableView& /*view*/) {}

 private:
  void OnStepEvents(const EventPair* events, int count, uint32_t time) final;
};

class Table {
 public:
  // `host` gives the clock; without one the clock stands still (a shot then
  // only runs through Finish). The Table owns the random source.
  explicit Table(const TableSetup& setup, PoolHost* host = nullptr);
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;

  // Sets the cue for the next shot; false (and nothing changes) when
  // CheckShot refuses it.
  bool Aim(const Shot& shot);
  void Aim(const CueParameters& cue);

  // Strikes the cue ball as aimed: the shot record is reset and the first
  // step taken.
  void Strike();
  // One frame of the running shot at the clock's pace; the observer's
  // OnFrame follows. False once the shot is over.
  bool PlayFrame();
  // Runs the struck shot to rest ("Zip To End"); the observer's OnFrame
  // sees the table at rest.
  void Finish();
  // Judges the shot at rest by the rules of the game type.
  const RuleBlock& Judge();
  // The player to shoot resigns the game; false when refused (practice, or a
  // shot running). The balls are racked again for the next game.
  bool Resign();

  // Events and frames go to `observer` (nullptr for none); it stays the
  // Pool's observer too.
  void SetObserver(TableObserver* observer);

  TableView View() const;
  const RuleBlock& Rules() const { return pool_.rules; }
  GameKind Game() const { return static_cast<GameKind>(pool_.GameType); }

  // The Pool underneath, for what this front does not cover (the computer
  // opponent, saves, tests that pin the Pool itself).
  Pool& pool() { return pool_; }
  const Pool& pool() const { return pool_; }

 private:
  class StillClock final : public PoolHost {
   public:
    uint32_t GetTime() override { return 0; }
  };
  StillClock stillClock_;
  DeviceRand random_;
  TableObserver* observer_ = nullptr;
  Pool pool_;
};

}  // namespace ks
