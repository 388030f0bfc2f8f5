// Computer-against-computer racks: every rack ends, thinks stay bounded and
// the difficulty levels come out in order.
#include <gtest/gtest.h>

#include <cstdlib>

#include "match.h"
#include "simulation/ai.h"

namespace tablesim {
namespace {

// KS_SOAK_RACKS raises the number of racks per game type and pairing.
int SoakRacks() {
  const char* v = std::getenv("KS_SOAK_RACKS");
  const int n = v ? std::atoi(v) : 0;
  return n > 0 ? n : 3;
}

TEST(AiMatch, EveryGameAndPairingEnds) {
  const int racks = SoakRacks();
  const int skills[] = {SkillFromName("easy"), SkillFromName("medium"), SkillFromName("hard")};
  for (int game = 1; game <= 6; ++game) {
    for (int a : skills) {
      for (int b : skills) {
        for (int seed = 1; seed <= racks; ++seed) {
          const MatchResult m = PlayRack(game, a, b, static_cast<uint32_t>(seed * 7919 + game), nullptr);
          EXPECT_TRUE(m.winner == 1 || m.winner == 2);
          EXPECT_LE(m.longestThink, ks::AiOpponent::kMaxFrames);
          EXPECT_FALSE(m.shotLimit) << "game " << game << " skills " << a << "/" << b << " seed " << seed;
        }
      }
    }
  }
}

TEST(AiMatch, HardBeatsEasy) {
  // Over fixed seeds, per game type: Hard pots on a clearly larger share of
  // its shots and wins most racks; over all games it wins at least 65%.
  constexpr int kRacks = 40;
  int allHardWins = 0;
  for (int game = 1; game <= 6; ++game) {
    int hardWins = 0, hardShots = 0, hardPots = 0, easyShots = 0, easyPots = 0;
    for (int seed = 1; seed <= kRacks; ++seed) {
      // Alternate who breaks.
      const bool hardFirst = seed % 2 == 1;
      const MatchResult m =
          PlayRack(game, hardFirst ? SkillFromName("hard") : SkillFromName("easy"),
                   hardFirst ? SkillFromName("easy") : SkillFromName("hard"), static_cast<uint32_t>(seed), nullptr);
      const PlayerTally& h = m.player[hardFirst ? 0 : 1];
      const PlayerTally& e = m.player[hardFirst ? 1 : 0];
      hardShots += h.shots;
      hardPots += h.potShots;
      easyShots += e.shots;
      easyPots += e.potShots;
      if (m.winner == (hardFirst ? 1 : 2)) ++hardWins;
    }
    ASSERT_GT(hardShots, 0);
    ASSERT_GT(easyShots, 0);
    const double hardShare = static_cast<double>(hardPots) / hardShots;
    const double easyShare = static_cast<double>(easyPots) / easyShots;
    EXPECT_GT(hardShare, easyShare + 0.1) << "game " << game;
    EXPECT_GT(hardWins, kRacks / 2) << "game " << game;
    allHardWins += hardWins;
  }
  EXPECT_GE(allHardWins, 6 * kRacks * 65 / 100);
}

}  // namespace
}  // namespace tablesim
