// The players file "ksPlayers.dat": 31 records of 80 bytes, the human
// players whose records are linked into the opponent table.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace ks::app {

inline constexpr std::size_t kPlayerCount = 31;
inline constexpr std::size_t kPlayerRecordSize = 80;
inline constexpr std::size_t kPlayersFileSize = kPlayerCount * kPlayerRecordSize;  // 2,480
inline constexpr std::size_t kPlayerNameSize = 64;

struct PlayerRecord {
  std::array<char, kPlayerNameSize> name{};  // always terminated in memory
  std::uint16_t word64 = 50;
  std::uint16_t word66 = 50;
  std::uint16_t word68 = 0;
  std::uint8_t id = 255;  // 255: a free slot
  std::uint8_t byte71 = 0;
  std::uint16_t rating = 1200;  // copied into the opponent entry's rating
  std::uint16_t rankIndex = 0;  // copied into the opponent entry's rank index
  std::uint16_t word76 = 0;
  std::uint16_t word78 = 0;

  void Write(std::uint8_t* out) const;
  static PlayerRecord Read(const std::uint8_t* in);
};

using Players = std::array<PlayerRecord, kPlayerCount>;

std::vector<std::uint8_t> SerialisePlayers(const Players& players);
// False (and `players` untouched) unless `bytes` is exactly one file.
bool DeserialisePlayers(const std::vector<std::uint8_t>& bytes, Players& players);

}  // namespace ks::app
