// The careers file "ksCareers.dat": the marker 0xAA55, the number of careers
// (0 to 16) and always 16 records of 1,384 bytes. An older form without the
// marker holds a count and that many records of 868 bytes; it is converted
// on reading and the next save writes the current form.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "match_setup.h"

namespace ks::app {

inline constexpr std::uint32_t kCareersMarker = 0xAA55;
inline constexpr std::size_t kMaxCareers = 16;
inline constexpr std::size_t kCareerRecordSize = 1384;
inline constexpr std::size_t kOldCareerRecordSize = 868;
inline constexpr std::size_t kCareersFileSize = 8 + kMaxCareers * kCareerRecordSize;  // 22,152
inline constexpr std::size_t kHeldStateSize = 1288;
inline constexpr std::size_t kNicknameSize = 32;

// One career. The fields without a name of their own belong to the career
// screens; they are kept as they were read.
struct CareerRecord {
  std::int32_t money = 0;
  std::uint16_t word4 = 0;
  std::uint16_t rating = 0;
  std::uint16_t matchesWon = 0;
  std::uint16_t matchesPlayed = 0;
  std::uint16_t word12 = 0;
  std::array<std::uint8_t, 11> bytes14{};
  std::uint8_t gameType = 0;    // menu order
  std::uint8_t difficulty = 0;  // 0 Easy, 1 Medium, 2 Hard, 3 Good Luck
  std::uint8_t byte27 = 0;
  std::uint8_t rankIndex = 0;
  std::uint8_t level = 0;  // rooms unlocked
  std::uint8_t byte30 = 0;
  std::uint8_t held = 0;  // 1 while a game is on hold
  std::uint8_t currentRoom = 0;
  std::uint8_t byte33 = 0;
  std::int32_t bet = 0;
  std::array<std::uint8_t, 3> bytes40{};
  std::uint8_t chosenRow = 0;                  // row 0 is the room's top opponent
  std::array<char, kNicknameSize> nickname{};  // always terminated in memory
  std::array<std::uint8_t, MatchSetup::kSize> heldSetup{};
  std::array<std::uint8_t, kHeldStateSize> heldState{};

  // The values of a new career.
  static CareerRecord Fresh();
  void Write(std::uint8_t* out) const;  // kCareerRecordSize bytes
  static CareerRecord Read(const std::uint8_t* in);
  static CareerRecord ReadOld(const std::uint8_t* in);
  // Clamps fields that index tables (game type, difficulty, level, room,
  // row) into their ranges; true when something had to change.
  bool Sanitise();
};

struct Careers {
  std::vector<CareerRecord> records;  // the live careers, at most 16

  // The file's bytes: always the full 16 slots.
  std::vector<std::uint8_t> Serialise() const;
  enum class Parse { kOk, kConvertedOld, kBad };
  // Reads either form; on kBad nothing is kept. `why` says what was wrong.
  Parse Deserialise(const std::vector<std::uint8_t>& bytes, std::wstring* why);
};

}  // namespace ks::app
