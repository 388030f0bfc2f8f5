#include "saves/careers.h"

#include <algorithm>
#include <cstring>

#include "saves/byte_io.h"

namespace ks::app {

CareerRecord CareerRecord::Fresh() {
  CareerRecord r;
  r.money = 75;
  r.rating = 1100;
  r.gameType = 3;
  r.byte27 = 1;
  r.byte30 = 1;
  return r;
}

void CareerRecord::Write(std::uint8_t* out) const {
  std::memset(out, 0, kCareerRecordSize);
  PutS32(out, 0, money);
  PutU16(out, 4, word4);
  PutU16(out, 6, rating);
  PutU16(out, 8, matchesWon);
  PutU16(out, 10, matchesPlayed);
  PutU16(out, 12, word12);
  std::memcpy(out + 14, bytes14.data(), bytes14.size());
  const std::uint8_t singles[9] = {gameType, difficulty, byte27, rankIndex, level, byte30, held, currentRoom, byte33};
  std::memcpy(out + 25, singles, sizeof singles);
  PutS32(out, 36, bet);
  std::memcpy(out + 40, bytes40.data(), bytes40.size());
  out[43] = chosenRow;
  std::memcpy(out + 44, nickname.data(), nickname.size());
  std::memcpy(out + 76, heldSetup.data(), heldSetup.size());
  std::memcpy(out + 96, heldState.data(), heldState.size());
}

namespace {

void ReadSingles(CareerRecord& r, const std::uint8_t* in) {
  r.gameType = in[0];
  r.difficulty = in[1];
  r.byte27 = in[2];
  r.rankIndex = in[3];
  r.level = in[4];
  r.byte30 = in[5];
  r.held = in[6];
  r.currentRoom = in[7];
  r.byte33 = in[8];
}

// Copies a stored text into a field, up to and including its terminator and
// never past either end; the last byte is always a terminator.
void CopyText(std::array<char, kNicknameSize>& field, const std::uint8_t* in, std::size_t available) {
  field.fill(0);
  const std::size_t n = std::min(available, field.size() - 1);
  for (std::size_t i = 0; i < n && in[i] != 0; ++i) field[i] = static_cast<char>(in[i]);
}

}  // namespace

CareerRecord CareerRecord::Read(const std::uint8_t* in) {
  CareerRecord r;
  r.money = GetS32(in, 0);
  r.word4 = GetU16(in, 4);
  r.rating = GetU16(in, 6);
  r.matchesWon = GetU16(in, 8);
  r.matchesPlayed = GetU16(in, 10);
  r.word12 = GetU16(in, 12);
  std::memcpy(r.bytes14.data(), in + 14, r.bytes14.size());
  ReadSingles(r, in + 25);
  r.bet = GetS32(in, 36);
  std::memcpy(r.bytes40.data(), in + 40, r.bytes40.size());
  r.chosenRow = in[43];
  CopyText(r.nickname, in + 44, kNicknameSize);
  std::memcpy(r.heldSetup.data(), in + 76, r.heldSetup.size());
  std::memcpy(r.heldState.data(), in + 96, r.heldState.size());
  return r;
}

CareerRecord CareerRecord::ReadOld(const std::uint8_t* in) {
  CareerRecord r;
  r.money = GetS32(in, 0);
  r.word4 = GetU16(in, 4);
  r.rating = GetU16(in, 6);
  r.matchesWon = GetU16(in, 8);
  r.matchesPlayed = GetU16(in, 10);
  r.word12 = GetU16(in, 12);
  std::memcpy(r.bytes14.data(), in + 14, r.bytes14.size());
  ReadSingles(r, in + 25);
  r.bet = static_cast<std::int16_t>(GetU16(in, 34));
  std::memcpy(r.bytes40.data(), in + 36, 3);
  r.chosenRow = in[39];
  CopyText(r.nickname, in + 40, 72 - 40);
  std::memcpy(r.heldSetup.data(), in + 72, r.heldSetup.size());
  std::memcpy(r.heldState.data(), in + 92, 776);
  return r;
}

bool CareerRecord::Sanitise() {
  bool changed = false;
  auto clamp = [&changed](std::uint8_t& field, std::uint8_t max, std::uint8_t fallback) {
    if (field > max) {
      field = fallback;
      changed = true;
    }
  };
  clamp(gameType, kMenuGameCount - 1, 3);
  clamp(difficulty, 3, 0);
  clamp(rankIndex, 5, 0);
  clamp(level, kFinalLevel, kFinalLevel);
  clamp(currentRoom, kRoomCount - 1, 0);
  clamp(chosenRow, 5, 0);
  if (held > 1) {
    held = 1;
    changed = true;
  }
  return changed;
}

std::vector<std::uint8_t> Careers::Serialise() const {
  std::vector<std::uint8_t> out(kCareersFileSize, 0);
  PutU32(out.data(), 0, kCareersMarker);
  PutU32(out.data(), 4, static_cast<std::uint32_t>(records.size()));
  for (std::size_t i = 0; i < records.size() && i < kMaxCareers; ++i)
    records[i].Write(out.data() + 8 + i * kCareerRecordSize);
  return out;
}

Careers::Parse Careers::Deserialise(const std::vector<std::uint8_t>& bytes, std::wstring* why) {
  records.clear();
  auto bad = [why](const wchar_t* text) {
    if (why) *why = text;
    return Parse::kBad;
  };
  if (bytes.size() < 4) return bad(L"shorter than its first word");
  const std::uint32_t first = GetU32(bytes.data(), 0);
  if (first == kCareersMarker) {
    if (bytes.size() != kCareersFileSize) return bad(L"not 22152 bytes long");
    const std::uint32_t count = GetU32(bytes.data(), 4);
    if (count > kMaxCareers) return bad(L"more than 16 careers");
    for (std::uint32_t i = 0; i < count; ++i)
      records.push_back(CareerRecord::Read(bytes.data() + 8 + i * kCareerRecordSize));
    return Parse::kOk;
  }
  if (first > kMaxCareers) return bad(L"neither the marker nor a count of old records");
  if (bytes.size() != 4 + first * kOldCareerRecordSize) return bad(L"old form of the wrong length");
  for (std::uint32_t i = 0; i < first; ++i)
    records.push_back(CareerRecord::ReadOld(bytes.data() + 4 + i * kOldCareerRecordSize));
  return Parse::kConvertedOld;
}

}  // namespace ks::app
