#include "saves/opponents.h"

#include <string>

namespace ks::app {

namespace {

// Invented names: each first word goes with each second word once.
constexpr const char* kFirst[16] = {"Quiet",   "Amber", "Lucky", "Rusty", "Velvet", "Copper", "Dusty",  "Silver",
                                    "Crimson", "Lazy",  "Brisk", "Misty", "Golden", "Cobalt", "Nimble", "Steady"};
constexpr const char* kSecond[8] = {"Comet", "Heron", "Maple", "Lantern", "Pebble", "Falcon", "Harbor", "Thistle"};

// Rooms 0 to 4 hold 22, 21, 24, 32 and 28 opponents, room 5 one.
constexpr int kPerRoom[6] = {22, 21, 24, 32, 28, 1};
// The room champions (next rank index, a fixed bet) and their bets.
constexpr int kChampionEntry[6] = {4, 55, 100, 30, 81, 11};
constexpr std::int32_t kChampionBet[6] = {500, 1500, 5000, 15000, 50000, 100000};
// Stakes of the ordinary opponents by room.
constexpr std::int32_t kLowStake[5] = {75, 50, 505, 1800, 4000};
constexpr std::int32_t kHighStake[5] = {115, 320, 1140, 2550, 6000};
// Room 4's second opponent of rank index 5.
constexpr int kSecondTopEntry = 90;

const std::array<std::string, kComputerOpponents>& Nicknames() {
  static const std::array<std::string, kComputerOpponents> names = [] {
    std::array<std::string, kComputerOpponents> n;
    for (int i = 0; i < kComputerOpponents; ++i)
      n[static_cast<std::size_t>(i)] = std::string(kFirst[i % 16]) + " " + kSecond[(i / 16) % 8];
    return n;
  }();
  return names;
}

std::array<std::uint8_t, kComputerOpponents> RoomOfEntry() {
  std::array<std::uint8_t, kComputerOpponents> room{};
  std::array<bool, kComputerOpponents> fixed{};
  int left[6];
  for (int r = 0; r < 6; ++r) left[r] = kPerRoom[r];
  for (int r = 0; r < 6; ++r) {
    room[static_cast<std::size_t>(kChampionEntry[r])] = static_cast<std::uint8_t>(r);
    fixed[static_cast<std::size_t>(kChampionEntry[r])] = true;
    --left[r];
  }
  room[kSecondTopEntry] = 4;
  fixed[kSecondTopEntry] = true;
  --left[4];
  // The rest in turn over the rooms that still have places, so that every
  // room has ordinary opponents early in the table.
  int r = 0;
  for (int i = 0; i < kComputerOpponents; ++i) {
    if (fixed[static_cast<std::size_t>(i)]) continue;
    for (int tries = 0; tries < 6 && left[r] == 0; ++tries) r = (r + 1) % 5;
    room[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(r);
    --left[r];
    r = (r + 1) % 5;
  }
  return room;
}

}  // namespace

void BuildOpponentTable(OpponentTable& table, const Players& players, char* spareName) {
  const auto& names = Nicknames();
  const std::array<std::uint8_t, kComputerOpponents> rooms = RoomOfEntry();
  static const std::array<std::string, kComputerOpponents> biographies = [] {
    std::array<std::string, kComputerOpponents> b;
    static constexpr const char* kHabits[4] = {"Plays slow and safe.", "Never misses a Friday night game.",
                                               "Learned the game from a grandmother.",
                                               "Keeps a cue behind the counter."};
    for (int i = 0; i < kComputerOpponents; ++i) b[static_cast<std::size_t>(i)] = kHabits[i % 4];
    return b;
  }();
  for (int i = 0; i < kComputerOpponents; ++i) {
    OpponentEntry& e = table[static_cast<std::size_t>(i)];
    const int room = rooms[static_cast<std::size_t>(i)];
    e = OpponentEntry{};
    e.nickname = names[static_cast<std::size_t>(i)].c_str();
    e.fullName = "unknown";
    e.biography = biographies[static_cast<std::size_t>(i)].c_str();
    e.room = static_cast<std::uint16_t>(room);
    e.id = static_cast<std::uint8_t>(i);
    e.picture = static_cast<std::uint8_t>(i % 35);
    bool champion = false;
    for (int r = 0; r < 6; ++r) {
      if (kChampionEntry[r] != i) continue;
      champion = true;
      e.rankIndex = static_cast<std::uint16_t>(r == 5 ? 5 : r + 1);
      e.rating = static_cast<std::uint16_t>(r == 5 ? 2250 : 1250 + 250 * r);
      e.lowStake = e.highStake = kChampionBet[r];
    }
    if (i == kSecondTopEntry) {
      champion = true;
      e.rankIndex = 5;
      e.rating = 2250;
      e.lowStake = 4800;
      e.highStake = 6000;
    }
    if (!champion) {
      e.rankIndex = static_cast<std::uint16_t>(room);
      e.rating = static_cast<std::uint16_t>(1000 + 250 * room + (i * 37) % 240);
      e.lowStake = kLowStake[room];
      e.highStake = kHighStake[room];
      if (i >= 118 && i < 125) e.lowStake = e.highStake = -1;
    }
  }
  OpponentEntry& one = table[kPlayerOneEntry];
  one = OpponentEntry{};
  one.nickname = one.fullName = "Player 1";
  one.id = 128;
  OpponentEntry& two = table[kPlayerTwoEntry];
  two = OpponentEntry{};
  two.nickname = two.fullName = "Player 2";
  two.id = 129;
  for (std::size_t p = 0; p < kPlayerCount; ++p) {
    OpponentEntry& e = table[kFirstPlayerEntry + p];
    const PlayerRecord& record = players[p];
    e = OpponentEntry{};
    e.nickname = e.fullName = record.name.data();
    e.id = record.id;
    e.rating = record.rating;
    e.rankIndex = record.rankIndex;
    e.word28 = record.word76;
    e.word30 = record.word78;
  }
  table[kTableEntries - 1].nickname = spareName;
}

}  // namespace ks::app
