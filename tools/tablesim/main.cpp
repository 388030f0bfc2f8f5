// tablesim: racks a game, strikes one shot and runs it to rest, printing the
// events of every step and then one line per ball. A test tool for people
// checking the physics by hand.
#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "args.h"
#include "match.h"
#include "simulation/table.h"

namespace {

// Longest script line taken, line end excluded.
constexpr size_t kMaxScriptLine = 255;

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
               "  --seed N   rack jitter seed (0..4294967295) and, without --shot, a random shot\n"
               "  --large    the large table (default: small)\n"
               "  --script FILE  plays a two-player game, one line a shot\n"
               "             (ANGLE,POWER,TIPX,TIPY,ELEVATION, or 'resign'; '#' starts a\n"
               "             comment; lines of at most 255 characters) and prints how the\n"
               "             rules judged each shot\n");
}

void PrintEvent(const ks::TableEvent& e) {
  using Kind = ks::TableEvent::Kind;
  char what[32];
  switch (e.kind) {
    case Kind::kMotion:
      std::snprintf(what, sizeof what, "state");
      break;
    case Kind::kBall:
      std::snprintf(what, sizeof what, "ball %d", e.index);
      break;
    case Kind::kCushion:
      std::snprintf(what, sizeof what, "cushion %d", e.index);
      break;
    case Kind::kPocket:
      std::snprintf(what, sizeof what, "pocket %d", e.index);
      break;
    case Kind::kJaw:
      std::snprintf(what, sizeof what, "jaw %d", e.index);
      break;
    case Kind::kKnuckle:
      std::snprintf(what, sizeof what, "knuckle %d", e.index);
      break;
  }
  std::printf("t %.6f ball %d %s\n", e.Seconds(), e.ball, what);
}

class EventPrinter final : public ks::TableObserver {
 public:
  void OnEvent(const ks::TableEvent& e) override { PrintEvent(e); }
};

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

// Reads one line of at most kMaxScriptLine characters (the line end, "\n" or
// "\r\n", dropped). 0 at the end of the file, 1 for a line, -1 for a line too
// long (the rest of it is not read).
int ReadLine(std::FILE* f, std::string& line) {
  line.clear();
  int c = 0;
  bool any = false;
  while ((c = std::fgetc(f)) != EOF) {
    any = true;
    if (c == '\n') break;
    if (line.size() > kMaxScriptLine) return -1;  // room for a '\r' before the '\n'
    line.push_back(static_cast<char>(c));
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line.size() > kMaxScriptLine) return -1;
  return any ? 1 : 0;
}

// Plays the shots of a script file as a two-player game and prints the
// verdict of each: the check that a rack goes the way the rules say.
int RunScript(ks::Table& table, const char* path) {
  struct stat info {};
  if (::stat(path, &info) == 0 && S_ISDIR(info.st_mode)) {
    std::fprintf(stderr, "tablesim: script '%s' is a folder\n", path);
    return 2;
  }
  std::FILE* f = std::fopen(path, "r");
  if (!f) {
    std::fprintf(stderr, "tablesim: cannot open script '%s'\n", path);
    return 2;
  }
  std::string text;
  int number = 0, shot = 0, rc = 0, got = 0;
  while ((got = ReadLine(f, text)) != 0) {
    ++number;
    if (got < 0) {
      std::fprintf(stderr, "tablesim: %s:%d: line longer than %zu characters\n", path, number, kMaxScriptLine);
      rc = 2;
      break;
    }
    if (const size_t hash = text.find('#'); hash != std::string::npos) text.erase(hash);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
    size_t start = 0;
    while (start < text.size() && std::isspace(static_cast<unsigned char>(text[start]))) ++start;
    text.erase(0, start);
    if (text.empty()) continue;
    if (table.Rules().TurnFlags & 8) {
      std::printf("line %d: the match is over; rest of the script ignored\n", number);
      break;
    }
    const int shooter = table.Rules().CurrentPlayer + 1;
    if (text == "resign") {
      if (!table.Resign()) {
        std::printf("line %d: resign refused\n", number);
      } else {
        std::printf("line %d: player %d resigns; games %d-%d\n", number, shooter, table.Rules().GamesWon[0],
                    table.Rules().GamesWon[1]);
      }
      continue;
    }
    ks::Shot s;
    std::string why;
    if (!tablesim::ParseShot(text, s, why)) {
      std::fprintf(stderr, "tablesim: %s:%d: bad shot '%s': %s\n", path, number, text.c_str(), why.c_str());
      rc = 2;
      break;
    }
    ++shot;
    const uint8_t flags = table.Rules().TurnFlags;
    table.Aim(s);
    table.Strike();
    table.Finish();
    const ks::RuleBlock& r = table.Judge();
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
  if (rc == 0 && std::ferror(f)) {
    std::fprintf(stderr, "tablesim: cannot read script '%s'\n", path);
    rc = 2;
  }
  std::fclose(f);
  return rc;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--match")) return tablesim::RunMatchMode(argc, argv);
  }
  ks::TableSetup setup;
  bool haveShot = false, haveSeed = false, quiet = false;
  ks::Shot shot;
  shot.power = 300;
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
      const char* g = value();
      const std::optional<ks::GameKind> game = ks::GameFromName(g);
      if (!game) {
        std::fprintf(stderr, "tablesim: unknown game type '%s'\n", g);
        return 2;
      }
      setup.game = *game;
    } else if (arg == "--shot") {
      const char* v = value();
      std::string why;
      if (!tablesim::ParseShot(v, shot, why)) {
        std::fprintf(stderr, "tablesim: bad --shot '%s': %s\n", v, why.c_str());
        return 2;
      }
      haveShot = true;
    } else if (arg == "--seed") {
      const char* v = value();
      if (!tablesim::ParseSeed(v, setup.seed)) {
        std::fprintf(stderr, "tablesim: bad seed '%s' (0..4294967295)\n", v);
        return 2;
      }
      haveSeed = true;
    } else if (arg == "--script") {
      script = value();
    } else if (arg == "--large") {
      setup.size = ks::TableSize::kLarge;
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
  if (!haveShot) {
    // A seeded random shot, roughly towards the rack.
    std::srand(setup.seed);
    shot.angle = (std::rand() % 6001) / 100.0 - 30.0;
    shot.power = 50 + std::rand() % 591;
    shot.side = (std::rand() % 101 - 50) / 100.0;
    shot.height = (std::rand() % 101 - 50) / 100.0;
    shot.elevation = (std::rand() % 300) / 10.0;
  }

  setup.opponent = script ? ks::Opponent::kHuman : ks::Opponent::kPractice;
  ks::Table table(setup);
  if (script) return RunScript(table, script);

  table.Aim(shot);  // checked when parsed; the random shot is in range
  std::printf("shot angle %.3f power %.3f tip %.3f,%.3f elevation %.3f\n", shot.angle, shot.power, shot.side,
              shot.height, shot.elevation);
  EventPrinter printer;
  if (!quiet) table.SetObserver(&printer);
  table.Strike();
  table.Finish();
  const ks::Pool& pool = table.pool();
  if (pool.stepCapHits) std::printf("step cap reached\n");
  std::printf("steps %u time %.6f first-hit %d scratch %d\n", pool.stepCount - 1, pool.simClock / 16777216.0,
              pool.rules.FirstHit, pool.rules.Scratch);
  const ks::TableView view = table.View();
  for (int b = 0; b < ks::kBallCount; ++b) {
    const ks::BallState& s = view.balls[static_cast<size_t>(b)];
    std::printf("ball %d %s %d %d\n", b, StateName(s.state), s.position.x, s.position.z);
  }
  std::printf("hash %016llx\n", static_cast<unsigned long long>(pool.StateHash()));
  return 0;
}
