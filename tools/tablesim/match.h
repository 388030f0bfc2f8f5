// Computer-against-computer racks for the harness and its tests.
#pragma once

#include <cstdint>
#include <cstdio>

namespace tablesim {

struct PlayerTally {
  int shots = 0;
  int potted = 0;    // object balls pocketed on the player's shots
  int potShots = 0;  // shots that pocketed at least one ball
  int fouls = 0;
  int racksWon = 0;
};

struct MatchResult {
  PlayerTally player[2];
  int winner = 0;        // 1 or 2
  int longestThink = 0;  // frames
  int totalThinks = 0;
  bool shotLimit = false;  // the rack was decided on balls because it ran too long
  uint32_t failedSimulations = 0;
};

// skill words of the two sides; gameType 1 Straight .. 6 10-Ball.
MatchResult PlayRack(int gameType, int skill1, int skill2, uint32_t seed, std::FILE* log);

// "easy", "medium", "hard" to a skill word; 0 when unknown.
int SkillFromName(const char* name);

// The --match mode of tablesim.
int RunMatchMode(int argc, char** argv);

}  // namespace tablesim
