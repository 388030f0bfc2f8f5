// tablesim: racks a game, strikes one shot and runs it to rest, printing the
// events of every step and then one line per ball. A test tool for people
// checking the physics by hand.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "match.h"
#include "simulation/pool.h"

namespace {

struct Game {
  const char* name;
  int16_t type;
};
constexpr Game kGames[] = {{"straight", 1}, {"8ball", 2}, {"9ball", 3}, {"rotation", 4}, {"6ball", 5}, {"10ball", 6}};

class HostClock final : public ks::PoolHost {
 public:
  uint32_t GetTime() override { return now; }
  uint32_t now = 0;
};

void Usage(std::FILE* out = stderr) {
  std::fprintf(out,
               "usage: tablesim [--game 8ball|9ball|10ball|6ball|rotation|straight]\n"
               "                [--shot ANGLE,POWER,TIPX,TIPY,ELEVATION | --seed N]\n"
               "                [--large] [--quiet]\n"
               "       tablesim --match --game G --p1 easy|medium|hard --p2 easy|medium|hard --seed N [--racks N]\n"
               "       tablesim [--game TYPE] [--seed N] [--large] --script FILE\n"
               "  ANGLE      degrees; 0 sends the cue ball up the table (+z), 90 towards +x\n"
               "  POWER      cue ball speed scale in ball radii per second (0..640)\n"
               "  TIPX,TIPY  tip offset in ball radii (side, height; positive height is follow)\n"
               "  ELEVATION  cue elevation in degrees\n"
               "  --seed N   rack jitter seed and, without --shot, a random shot\n"
               "  --large    the large table (default: small)\n"
               "  --script FILE  plays a two-player game, one line a shot\n"
               "             (ANGLE,POWER,TIPX,TIPY,ELEVATION, or 'resign'; '#' starts a\n"
               "             comment) and prints how the rules judged each shot\n");
}

const char* EventName(int a, int b, char* buf, size_t n) {
  if (b == a) {
    std::snprintf(buf, n, "state");
  } else if (b < 16) {
    std::snprintf(buf, n, "ball %d", b);
  } else if (b < 22) {
    std::snprintf(buf, n, "cushion %d", b);
  } else if (b < 28) {
    std::snprintf(buf, n, "pocket %d", b - 22);
  } else if (b < 40) {
    std::snprintf(buf, n, "jaw %d", b - 28);
  } else {
    std::snprintf(buf, n, "knuckle %d", b - 40);
  }
  return buf;
}

const char* StateName(uint8_t s) {
  switch (s) {
    case ks::kBallAtRest:
      return "rest";
    case ks::kBallSpinning:
      return "spinning";
    case ks::kBallRolling:
      return "rolling";
    case ks::kBallSliding:
      return "sliding";
    default:
      return "off";
  }
}

const char* DetailName(uint8_t outcome, uint8_t detail) {
  if (outcome == 2) return "scratch";
  if (outcome == 4) return "miscall";
  if (outcome == 6) return "match quit";
  if (outcome == 1) {
    static const char* const kGameEnd[] = {"",
                                           "player 1 wins the game",
                                           "player 2 wins the game",
                                           "player 1 loses the game",
                                           "player 2 loses the game",
                                           "player 1 resigns",
                                           "player 2 resigns"};
    return detail >= 1 && detail <= 6 ? kGameEnd[detail] : "game end";
  }
  switch (detail) {
    case 7:
      return "foul: wrong ball first";
    case 8:
      return "foul: no cushion after contact";
    case 9:
      return "foul: break without three balls and the cue ball to a cushion";
    case 10:
      return "foul: not the player's group first";
    case 11:
      return "foul: group cleared, the 8 not first";
    case 12:
      return "foul: no ball hit";
    default:
      return outcome == 0 ? "legal" : "foul";
  }
}

// Plays the shots of a script file as a two-player game and prints the
// verdict of each: the check that a rack goes the way the rules say.
int RunScript(ks::Pool& pool, const char* path) {
  std::FILE* f = std::fopen(path, "r");
  if (!f) {
    std::fprintf(stderr, "tablesim: cannot open script '%s'\n", path);
    return 2;
  }
  char line[256];
  int number = 0, shot = 0, rc = 0;
  while (std::fgets(line, sizeof line, f)) {
    ++number;
    std::string text(line);
    if (const size_t hash = text.find('#'); hash != std::string::npos) text.erase(hash);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
    size_t start = 0;
    while (start < text.size() && std::isspace(static_cast<unsigned char>(text[start]))) ++start;
    text.erase(0, start);
    if (text.empty()) continue;
    if (pool.rules.TurnFlags & 8) {
      std::printf("line %d: the match is over; rest of the script ignored\n", number);
      break;
    }
    const int shooter = pool.rules.CurrentPlayer + 1;
    if (text == "resign") {
      if (!pool.Resign()) {
        std::printf("line %d: resign refused\n", number);
      } else {
        std::printf("line %d: player %d resigns; games %d-%d\n", number, shooter, pool.rules.GamesWon[0],
                    pool.rules.GamesWon[1]);
        pool.PlaceBalls(pool.GameType);
      }
      continue;
    }
    double angle = 0, power = 0, tipx = 0, tipy = 0, elev = 0;
    char extra = 0;
    if (std::sscanf(text.c_str(), "%lf,%lf,%lf,%lf,%lf %c", &angle, &power, &tipx, &tipy, &elev, &extra) != 5 ||
        power < 0 || power > 640 || std::fabs(tipx) > 1 || std::fabs(tipy) > 1 || elev < 0 || elev > 90) {
      std::fprintf(stderr, "tablesim: %s:%d: bad shot '%s'\n", path, number, text.c_str());
      rc = 2;
      break;
    }
    ++shot;
    const uint8_t flags = pool.rules.TurnFlags;
    const double rad = angle * M_PI / 180.0;
    pool.cueDirection = ks::FixVec3{static_cast<int32_t>(std::lround(-std::sin(rad) * 1073741824.0)), 0,
                                    static_cast<int32_t>(std::lround(-std::cos(rad) * 1073741824.0))};
    pool.cueTip = {static_cast<int32_t>(std::lround(tipx * 65536)), static_cast<int32_t>(std::lround(tipy * 65536))};
    pool.cueElevation = static_cast<ks::FixAngle>(std::lround(elev / 360.0 * 262144.0)) & ks::kAngleMask;
    pool.strikePower = static_cast<int32_t>(std::lround(power * 65536));
    pool.ResetShot();
    pool.StartShot();
    pool.FinishShot();
    pool.EvaluateShot();
    const ks::RuleBlock& r = pool.rules;
    std::string potted;
    for (int b = 1; b < ks::kBallCount; ++b) {
      if (r.PocketOf[static_cast<size_t>(b)] >= 0) potted += (potted.empty() ? "" : ",") + std::to_string(b);
    }
    const bool passes = r.CurrentPlayer + 1 != shooter;
    std::printf("shot %d player %d%s: first %d potted [%s] -> %s; %s%s; score %d-%d games %d-%d fouls %d-%d%s\n", shot,
                shooter, (flags & 1) ? " break" : "", r.FirstHit, potted.c_str(),
                DetailName(r.Outcome, r.OutcomeDetail), passes ? "turn passes" : "shooter continues",
                (r.TurnFlags & 1)   ? ", new rack"
                : (r.TurnFlags & 2) ? ", ball in hand"
                                    : "",
                r.Score[0], r.Score[1], r.GamesWon[0], r.GamesWon[1], r.FoulsInRow[0], r.FoulsInRow[1],
                (r.TurnFlags & 8) ? "; match over" : "");
  }
  std::fclose(f);
  return rc;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--match")) return tablesim::RunMatchMode(argc, argv);
  }
  int16_t game = 2;
  bool haveShot = false, haveSeed = false, large = false, quiet = false;
  double angle = 0, power = 300, tipx = 0, tipy = 0, elev = 0;
  unsigned long seed = 1;
  const char* script = nullptr;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> const char* {
      if (i + 1 >= argc) {
        Usage();
        std::exit(2);
      }
      return argv[++i];
    };
    if (arg == "--game") {
      const std::string g = value();
      bool found = false;
      for (const Game& k : kGames) {
        if (g == k.name) {
          game = k.type;
          found = true;
        }
      }
      if (!found) {
        std::fprintf(stderr, "tablesim: unknown game type '%s'\n", g.c_str());
        return 2;
      }
    } else if (arg == "--shot") {
      if (std::sscanf(value(), "%lf,%lf,%lf,%lf,%lf", &angle, &power, &tipx, &tipy, &elev) != 5) {
        std::fprintf(stderr, "tablesim: --shot needs ANGLE,POWER,TIPX,TIPY,ELEVATION\n");
        return 2;
      }
      haveShot = true;
    } else if (arg == "--seed") {
      char* end = nullptr;
      const char* v = value();
      seed = std::strtoul(v, &end, 10);
      if (!end || *end) {
        std::fprintf(stderr, "tablesim: bad seed '%s'\n", v);
        return 2;
      }
      haveSeed = true;
    } else if (arg == "--script") {
      script = value();
    } else if (arg == "--large") {
      large = true;
    } else if (arg == "--quiet") {
      quiet = true;
    } else {
      const bool help = arg == "--help" || arg == "-h";
      Usage(help ? stdout : stderr);
      return help ? 0 : 2;
    }
  }
  if (!haveShot && !haveSeed && !script) {
    Usage();
    return 2;
  }
  ks::DeviceRand rng(static_cast<uint32_t>(seed));
  if (!haveShot) {
    // A seeded random shot, roughly towards the rack.
    std::srand(static_cast<unsigned>(seed));
    angle = (std::rand() % 6001) / 100.0 - 30.0;
    power = 50 + std::rand() % 591;
    tipx = (std::rand() % 101 - 50) / 100.0;
    tipy = (std::rand() % 101 - 50) / 100.0;
    elev = (std::rand() % 300) / 10.0;
  }
  if (power < 0 || power > 640 || std::fabs(tipx) > 1 || std::fabs(tipy) > 1 || elev < 0 || elev > 90) {
    std::fprintf(stderr, "tablesim: shot out of range (POWER 0..640, TIP -1..1, ELEVATION 0..90)\n");
    return 2;
  }

  HostClock clock;
  ks::Pool pool;
  pool.host = &clock;
  pool.random = &rng;
  if (large) {
    pool.table.hx = 1259520;
    pool.table.hz = 0x267000;
  }
  pool.InitCushionGeometry();
  pool.InitPocketPositions();
  pool.InitPhysicsConstants();
  pool.RackBalls();
  pool.GameType = game;
  pool.OpponentKind = script ? 1 : 0;
  pool.MoneyBallMask = game == 5 ? 0x200 : game == 6 ? 0x20 : 0x40;
  pool.PlaceBalls(game);
  pool.StartClock();
  if (script) {
    pool.silent = 1;
    return RunScript(pool, script);
  }
  pool.ResetShot();

  const double rad = angle * M_PI / 180.0;
  pool.cueDirection = ks::FixVec3{static_cast<int32_t>(std::lround(-std::sin(rad) * 1073741824.0)), 0,
                                  static_cast<int32_t>(std::lround(-std::cos(rad) * 1073741824.0))};
  pool.cueTip = {static_cast<int32_t>(std::lround(tipx * 65536)), static_cast<int32_t>(std::lround(tipy * 65536))};
  pool.cueElevation = static_cast<ks::FixAngle>(std::lround(elev / 360.0 * 262144.0)) & ks::kAngleMask;
  pool.strikePower = static_cast<int32_t>(std::lround(power * 65536));
  std::printf("shot angle %.3f power %.3f tip %.3f,%.3f elevation %.3f\n", angle, power, tipx, tipy, elev);

  // Step by hand so that every event can be printed, as FinishShot would run it.
  pool.shotRunning = 1;
  pool.silent = 1;
  pool.BeginShot();
  pool.stepCount = 0;
  int steps = 0;
  while (true) {
    pool.PredictEvents();
    ++pool.stepCount;
    if (pool.eventCount == 0) {
      pool.AdvanceStepRing();
      break;
    }
    if (pool.stepCount >= ks::kStepCap) {
      std::printf("step cap reached\n");
      break;
    }
    if (!quiet) {
      const double t = (pool.simClock + pool.timeToNextEvent) / 16777216.0;
      for (int i = 0; i < pool.eventCount; ++i) {
        char buf[32];
        const ks::EventPair p = pool.eventList[static_cast<size_t>(i)];
        std::printf("t %.6f ball %d %s\n", t, p.a, EventName(p.a, p.b, buf, sizeof buf));
      }
    }
    pool.RecordRuleFacts();
    pool.StepSimulation();
    ++steps;
  }
  pool.SeekReplay(0x7FFF0000);
  pool.IsShotOver();
  std::printf("steps %d time %.6f first-hit %d scratch %d\n", steps, pool.simClock / 16777216.0, pool.rules.FirstHit,
              pool.rules.Scratch);
  for (int b = 0; b < ks::kBallCount; ++b) {
    const ks::BallState& s = pool.ballStates[static_cast<size_t>(b)];
    std::printf("ball %d %s %d %d\n", b, StateName(s.state), s.position.x, s.position.z);
  }
  std::printf("hash %016llx\n", static_cast<unsigned long long>(pool.StateHash()));
  return 0;
}
