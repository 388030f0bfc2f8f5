// Computer-against-computer racks judged by the game's own rules: each shot
// goes through EvaluateShot, which passes the turn, gives ball in hand and
// ends the rack. A rack is a match of one game; Straight plays to a short
// points goal so a rack stays about one rack of balls long.
#include "match.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "args.h"
#include "simulation/ai.h"
#include "simulation/table.h"

namespace tablesim {
namespace {

constexpr int kShotLimit = 300;
constexpr int16_t kStraightPoints = 14;

class Clock final : public ks::PoolHost {
 public:
  uint32_t GetTime() override { return now += 8; }
  uint32_t now = 0;
};

uint16_t OnTable(const ks::Pool& p) {
  uint16_t m = 0;
  for (int b = 1; b < ks::kBallCount; ++b) {
    if (p.ballStates[static_cast<size_t>(b)].state != ks::kBallOff) m = static_cast<uint16_t>(m | (1u << b));
  }
  return m;
}

}  // namespace

int SkillFromName(const char* name) {
  if (!std::strcmp(name, "easy")) return 3;
  if (!std::strcmp(name, "medium")) return 7;
  if (!std::strcmp(name, "hard")) return 11;
  return 0;
}

MatchResult PlayRack(int gameType, int skill1, int skill2, uint32_t seed, std::FILE* log) {
  MatchResult r;
  Clock clock;
  ks::TableSetup setup;
  setup.game = static_cast<ks::GameKind>(gameType);
  setup.seed = seed;
  // Both sides are the computer. The rules know player 2 as the computer and
  // read its shots against its plans; player 1's pass as a human's with
  // calling off. Straight plays to a short goal.
  setup.opponent = ks::Opponent::kComputer;
  setup.pointsGoal = kStraightPoints;
  setup.matchGoal = 1;
  ks::Table table(setup, &clock);
  ks::Pool& pool = table.pool();
  // The money ball a foul brings back (bit n), not counted as potted.
  const uint32_t moneyBits = ks::RuleMaskToBitMask(pool.MoneyBallMask) | (gameType == 2 ? 1u << 8 : 0u);

  ks::AiOpponent ai(pool);
  const int skills[2] = {skill1, skill2};
  for (int shot = 0; shot < kShotLimit; ++shot) {
    const int me = pool.rules.CurrentPlayer & 1;
    PlayerTally& t = r.player[me];
    pool.skill = static_cast<int16_t>(skills[me]);
    if (pool.ballStates[0].state == ks::kBallOff) {
      pool.PlaceCueBallInHand();
      pool.ballStates[0].state = ks::kBallAtRest;
    }
    const uint16_t before = OnTable(pool);
    ai.AiThink();
    int frames = 1;
    while (ai.AiFinishThink() == 0) {
      if (++frames > ks::AiOpponent::kMaxFrames) break;  // cannot happen; keeps the harness finite
    }
    r.longestThink = std::max(r.longestThink, frames);
    ++r.totalThinks;
    ai.ApplyShot();
    table.Strike();
    table.Finish();
    ++t.shots;
    // What went down, read before the rules spot balls back or re-rack.
    const uint16_t potted = static_cast<uint16_t>(before & ~OnTable(pool));
    const int first = pool.rules.FirstHit;
    const ks::RuleBlock& rb = table.Judge();
    int winner = 0;
    bool lost = false;
    if (rb.Outcome == 1) {
      // 1 and 2: that player wins; 3 and 4: that player loses.
      if (rb.OutcomeDetail == 1 || rb.OutcomeDetail == 2)
        winner = rb.OutcomeDetail;
      else if (rb.OutcomeDetail == 3 || rb.OutcomeDetail == 4)
        winner = 5 - rb.OutcomeDetail;
      lost = winner != 0 && winner != me + 1;
    }
    const bool foul = lost || rb.Outcome == 2 || rb.Outcome == 3 || rb.Outcome == 4 || rb.Foul != 0;
    const uint16_t counted = static_cast<uint16_t>(potted & ~(foul ? moneyBits : 0u));
    t.potted += __builtin_popcount(counted);
    if (counted) ++t.potShots;
    if (foul) ++t.fouls;
    if (log) {
      std::fprintf(log, "shot %d player %d potted %04x first %d%s\n", shot + 1, me + 1, potted, first,
                   foul ? " foul" : "");
    }
    if (winner == 0 && (rb.TurnFlags & 8)) winner = rb.Score[0] >= rb.Score[1] ? 1 : 2;
    if (winner) {
      r.winner = winner;
      break;
    }
  }
  if (r.winner == 0) {
    r.shotLimit = true;
    r.winner = r.player[0].potted >= r.player[1].potted ? 1 : 2;
  }
  r.player[r.winner - 1].racksWon = 1;
  r.failedSimulations = ai.failedSimulations;
  return r;
}

int RunMatchMode(int argc, char** argv) {
  int game = 3, s1 = 7, s2 = 7;
  uint32_t seed = 1;
  int racks = 1;
  bool verbose = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
    if (a == "--match") continue;
    if (a == "--verbose") {
      verbose = true;
      continue;
    }
    if (!v) {
      std::fprintf(stderr, "tablesim: %s needs a value\n", a.c_str());
      return 2;
    }
    ++i;
    if (a == "--game") {
      const std::optional<ks::GameKind> g = ks::GameFromName(v);
      if (!g) {
        std::fprintf(stderr, "tablesim: unknown game type '%s'\n", v);
        return 2;
      }
      game = static_cast<int>(*g);
    } else if (a == "--p1" || a == "--p2") {
      const int s = SkillFromName(v);
      if (!s) {
        std::fprintf(stderr, "tablesim: skill must be easy, medium or hard\n");
        return 2;
      }
      (a == "--p1" ? s1 : s2) = s;
    } else if (a == "--seed") {
      if (!ParseSeed(v, seed)) {
        std::fprintf(stderr, "tablesim: bad seed '%s' (0..4294967295)\n", v);
        return 2;
      }
    } else if (a == "--racks") {
      uint64_t n = 0;
      if (!ParseUnsigned(v, 100000, n) || n == 0) {
        std::fprintf(stderr, "tablesim: bad racks '%s' (1..100000)\n", v);
        return 2;
      }
      racks = static_cast<int>(n);
    } else {
      std::fprintf(stderr,
                   "usage: tablesim --match --game G --p1 easy|medium|hard --p2 easy|medium|hard "
                   "--seed N [--racks N] [--verbose]\n");
      return 2;
    }
  }
  PlayerTally total[2];
  int last = 0, longest = 0, limits = 0;
  for (int k = 0; k < racks; ++k) {
    // The players take turns to break.
    const bool swap = k % 2 == 1;
    const MatchResult m =
        PlayRack(game, swap ? s2 : s1, swap ? s1 : s2, seed + static_cast<uint32_t>(k), verbose ? stdout : nullptr);
    for (int p = 0; p < 2; ++p) {
      const PlayerTally& t = m.player[swap ? 1 - p : p];
      total[p].shots += t.shots;
      total[p].potted += t.potted;
      total[p].potShots += t.potShots;
      total[p].fouls += t.fouls;
      total[p].racksWon += t.racksWon;
    }
    last = swap ? 3 - m.winner : m.winner;
    longest = std::max(longest, m.longestThink);
    limits += m.shotLimit ? 1 : 0;
  }
  for (int p = 0; p < 2; ++p) {
    const PlayerTally& t = total[p];
    std::printf("player %d shots %d potted %d pot-share %.3f fouls %d racks %d\n", p + 1, t.shots, t.potted,
                t.shots ? static_cast<double>(t.potShots) / t.shots : 0.0, t.fouls, t.racksWon);
  }
  std::printf("longest-think %d frames%s\n", longest, limits ? " (some racks hit the shot limit)" : "");
  const int winner = racks == 1 ? last : (total[0].racksWon >= total[1].racksWon ? 1 : 2);
  std::printf("winner %d\n", winner);
  return 0;
}

}  // namespace tablesim
