// Fuzz target for the players file reader and the opponent table built on
// it: names stay terminated, rank indexes in range.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz_driver.h"
#include "saves/opponents.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ks::app;
  Players players{};
  if (!DeserialisePlayers(std::vector<std::uint8_t>(data, data + size), players)) return 0;
  char spare[32] = {};
  OpponentTable table;
  BuildOpponentTable(table, players, spare);
  for (const OpponentEntry& e : table) {
    if (std::strlen(e.nickname) >= kPlayerNameSize || e.rankIndex > 5) std::abort();
  }
  if (SerialisePlayers(players).size() != kPlayersFileSize) std::abort();
  return 0;
}

std::vector<std::vector<std::uint8_t>> KsFuzzSeeds() {
  ks::app::Players players{};
  std::strcpy(players[0].name.data(), "Robin");
  players[0].id = 1;
  return {ks::app::SerialisePlayers(players)};
}
