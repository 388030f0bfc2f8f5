#include "saves/players.h"

#include <cstring>

#include "saves/byte_io.h"

namespace ks::app {

void PlayerRecord::Write(std::uint8_t* out) const {
  std::memcpy(out, name.data(), name.size());
  PutU16(out, 64, word64);
  PutU16(out, 66, word66);
  PutU16(out, 68, word68);
  out[70] = id;
  out[71] = byte71;
  PutU16(out, 72, rating);
  PutU16(out, 74, rankIndex);
  PutU16(out, 76, word76);
  PutU16(out, 78, word78);
}

PlayerRecord PlayerRecord::Read(const std::uint8_t* in) {
  PlayerRecord r;
  for (std::size_t i = 0; i + 1 < r.name.size() && in[i] != 0; ++i) r.name[i] = static_cast<char>(in[i]);
  r.word64 = GetU16(in, 64);
  r.word66 = GetU16(in, 66);
  r.word68 = GetU16(in, 68);
  r.id = in[70];
  r.byte71 = in[71];
  r.rating = GetU16(in, 72);
  r.rankIndex = GetU16(in, 74);
  if (r.rankIndex > 5) r.rankIndex = 5;  // it indexes the skill and rank tables
  r.word76 = GetU16(in, 76);
  r.word78 = GetU16(in, 78);
  return r;
}

std::vector<std::uint8_t> SerialisePlayers(const Players& players) {
  std::vector<std::uint8_t> out(kPlayersFileSize, 0);
  for (std::size_t i = 0; i < kPlayerCount; ++i) players[i].Write(out.data() + i * kPlayerRecordSize);
  return out;
}

bool DeserialisePlayers(const std::vector<std::uint8_t>& bytes, Players& players) {
  if (bytes.size() != kPlayersFileSize) return false;
  for (std::size_t i = 0; i < kPlayerCount; ++i) players[i] = PlayerRecord::Read(bytes.data() + i * kPlayerRecordSize);
  return true;
}

}  // namespace ks::app
