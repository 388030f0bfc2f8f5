// tablesim: racks a game, strikes one shot and runs it to rest, printing the
// events of every step and then one line per ball. A test tool for people
// checking the physics by hand.
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

void Usage() {
  std::fprintf(stderr,
               "usage: tablesim [--game 8ball|9ball|10ball|6ball|rotation|straight]\n"
               "                [--shot ANGLE,POWER,TIPX,TIPY,ELEVATION | --seed N]\n"
               "                [--large] [--quiet]\n"
               "       tablesim --match --game G --p1 easy|medium|hard --p2 easy|medium|hard --seed N [--racks N]\n"
               "  ANGLE      degrees; 0 sends the cue ball up the table (+z), 90 towards +x\n"
               "  POWER      cue ball speed scale in ball radii per second (0..640)\n"
               "  TIPX,TIPY  tip offset in ball radii (side, height; positive height is follow)\n"
               "  ELEVATION  cue elevation in degrees\n"
               "  --seed N   rack jitter seed and, without --shot, a random shot\n"
               "  --large    the large table (default: small)\n");
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
    case ks::kBallAtRest: return "rest";
    case ks::kBallSpinning: return "spinning";
    case ks::kBallRolling: return "rolling";
    case ks::kBallSliding: return "sliding";
    default: return "off";
  }
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
    } else if (arg == "--large") {
      large = true;
    } else if (arg == "--quiet") {
      quiet = true;
    } else {
      Usage();
      return arg == "--help" || arg == "-h" ? 0 : 2;
    }
  }
  if (!haveShot && !haveSeed) {
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
  pool.OpponentKind = 0;
  pool.PlaceBalls(game);
  pool.StartClock();
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
  std::printf("steps %d time %.6f first-hit %d scratch %d\n", steps, pool.simClock / 16777216.0,
              pool.rules.FirstHit, pool.rules.Scratch);
  for (int b = 0; b < ks::kBallCount; ++b) {
    const ks::BallState& s = pool.ballStates[static_cast<size_t>(b)];
    std::printf("ball %d %s %d %d\n", b, StateName(s.state), s.position.x, s.position.z);
  }
  std::printf("hash %016llx\n", static_cast<unsigned long long>(pool.StateHash()));
  return 0;
}
