// The opponent table: 128 computer opponents grouped by room, "Player 1"
// and "Player 2", and 31 entries linked to the human players' records.
#pragma once

#include <array>
#include <cstdint>

#include "saves/players.h"

namespace ks::app {

inline constexpr int kComputerOpponents = 128;
inline constexpr int kPlayerOneEntry = 128;
inline constexpr int kPlayerTwoEntry = 129;
inline constexpr int kFirstPlayerEntry = 130;
inline constexpr int kTableEntries = 161;

struct OpponentEntry {
  const char* nickname = "";
  const char* fullName = "unknown";
  const char* biography = "";
  std::int32_t lowStake = -1;
  std::int32_t highStake = -1;  // the room champion's bet base
  std::uint16_t room = 0;
  std::uint8_t id = 255;
  std::uint8_t picture = 0;
  std::uint16_t rating = 1200;
  std::uint16_t rankIndex = 0;  // the computer's skill is rankIndex x 2 + 1
  std::uint16_t word28 = 0;
  std::uint16_t word30 = 0;
};

using OpponentTable = std::array<OpponentEntry, kTableEntries>;

// The built-in table with the player records linked in: entries 130 to 160
// point at the records' names and copy their numbers. Entry 160's name is
// `spareName` (32 bytes, owned by the caller).
void BuildOpponentTable(OpponentTable& table, const Players& players, char* spareName);

}  // namespace ks::app
