#include "match_setup.h"

#include <algorithm>
#include <array>
#include <cmath>
#include "ce/crt.h"

#include "saves/byte_io.h"

namespace ks::app {

void MatchSetup::Write(std::uint8_t* out) const {
  const std::uint16_t fields[10] = {secondPlayer, menuGame, gameType,     playerOne, opponent,
                                    pointGoal,    gameGoal, spotReceived, spotGiven, room};
  for (std::size_t i = 0; i < 10; ++i) PutU16(out, 2 * i, fields[i]);
}

MatchSetup MatchSetup::Read(const std::uint8_t* in) {
  MatchSetup s;
  std::uint16_t* fields[10] = {&s.secondPlayer, &s.menuGame, &s.gameType,     &s.playerOne, &s.opponent,
                               &s.pointGoal,    &s.gameGoal, &s.spotReceived, &s.spotGiven, &s.room};
  for (std::size_t i = 0; i < 10; ++i) *fields[i] = GetU16(in, 2 * i);
  return s;
}

bool MatchSetup::Valid() const {
  return secondPlayer <= 3 && menuGame < kMenuGameCount && playerOne < kOpponentCount && opponent < kOpponentCount &&
         room < kRoomCount;
}

std::int16_t GameTypeOfMenu(int menuGame) {
  static constexpr std::int16_t kTypes[kMenuGameCount] = {5, 2, 3, 6, 4, 1};
  return menuGame >= 0 && menuGame < kMenuGameCount ? kTypes[menuGame] : 0;
}

int OpponentSkill(int rankIndex, int careerDifficulty) {
  const int base = rankIndex * 2 + 1;
  if (careerDifficulty == 0) return std::max(1, base - 2);
  if (careerDifficulty == 1) return std::max(1, base - 1);
  return base;
}

void ComputeSpot(int* spotReceived, int* spotGiven, int goal, int firstRating, int secondRating, int careerDifficulty) {
  const int max = (goal * 2) / 3;
  const int d = std::clamp(secondRating - firstRating, -550, 550);
  // d x 4096 / 550 truncates toward zero as the device's division does; the
  // product is shifted arithmetically, rounding half up.
  const std::int64_t scaled = static_cast<std::int64_t>(d) * 4096 / 550;
  int spot = static_cast<int>((scaled * max + 2048) >> 12);
  if (careerDifficulty == 0) spot += goal / 2;
  if (careerDifficulty == 1) spot += max / 2;
  if (careerDifficulty == 2) spot += max / 3;
  spot = std::clamp(spot, -max, max);
  *spotReceived = spot > 0 ? spot : 0;
  *spotGiven = spot < 0 ? -spot : 0;
  if (careerDifficulty == 3) *spotReceived = *spotGiven = 0;
}

int FormatMoney(wchar_t* buffer, std::size_t capacity, std::int32_t amount) {
  int n;
  if (amount < 1000) {
    n = _snwprintf(buffer, capacity, L"$%d", amount);
  } else if (amount < 1000000) {
    n = _snwprintf(buffer, capacity, L"$%d,%03d", amount / 1000, amount % 1000);
  } else {
    n = _snwprintf(buffer, capacity, L"$%d,%03d,%03d", amount / 1000000, (amount / 1000) % 1000, amount % 1000);
  }
  return n < 0 ? 0 : n;
}

int RankIndexOf(int rating) {
  int index = 0;
  for (int threshold : {1250, 1500, 1750, 2000, 2250})
    if (rating >= threshold) ++index;
  return index;
}

std::int32_t RatingTable(int i) {
  static const std::array<std::int32_t, 256> table = [] {
    std::array<std::int32_t, 256> t{};
    for (int k = 0; k < 256; ++k) {
      if (k <= 128) {
        t[static_cast<std::size_t>(k)] =
            -static_cast<std::int32_t>(std::ceil(65536.0 / (1.0 + std::pow(10.0, (128 - k) / 80.0))));
      } else {
        t[static_cast<std::size_t>(k)] =
            static_cast<std::int32_t>(std::floor(65536.0 / (1.0 + std::pow(10.0, (k - 128) / 80.0))));
      }
    }
    return t;
  }();
  return table[static_cast<std::size_t>(std::clamp(i, 0, 255))];
}

std::uint16_t UpdatedRating(std::uint16_t rating, int opponentRating, bool won) {
  const int d = (static_cast<int>(rating) - opponentRating) / 10;
  const std::int32_t t = RatingTable(std::clamp(d + 128, 0, 255));
  std::int32_t change;
  if (won) {
    change = ((65536 - t) * 48) >> 16;
  } else {
    change = ((t > 0 ? -t : 0) * 48) >> 16;
  }
  return static_cast<std::uint16_t>((static_cast<std::uint32_t>(rating) + static_cast<std::uint32_t>(change)) &
                                    0xFFFFu);
}

int PointGoalFromByte(std::uint8_t stored) { return stored % 25 == 0 ? stored : stored + 256; }
std::uint8_t PointGoalToByte(int goal) { return static_cast<std::uint8_t>(goal & 0xFF); }

}  // namespace ks::app
