// The match set-up: the record the set-up screens fill and the table takes
// when a room is loaded; also stored in the quick-play save and in a held
// career game (20 bytes, ten little-endian u16 in this order).
#pragma once

#include <cstddef>
#include <cstdint>

namespace ks::app {

// The second player as the set-up screens name it. The table's own
// numbering differs (0 practice, 1 human, 2 computer); SetupMatch maps it.
enum class SecondPlayer : std::uint16_t { kPractice = 0, kComputer = 1, kHuman = 2, kComputerSecond = 3 };

// Game types in menu order.
enum class MenuGame : std::uint16_t { kSixBall = 0, kEightBall, kNineBall, kTenBall, kRotation, kStraight };
inline constexpr int kMenuGameCount = 6;
inline constexpr int kRoomCount = 6;
// A career's level counts the rooms whose champion it has beaten; beating
// the last room's champion wins the career.
inline constexpr int kFinalLevel = kRoomCount;
inline constexpr int kOpponentCount = 161;  // entries of the opponent table

struct MatchSetup {
  std::uint16_t secondPlayer = 0;  // SecondPlayer
  std::uint16_t menuGame = 4;      // MenuGame
  std::uint16_t gameType = 0;      // the table's GameType, filled in by SetupMatch
  std::uint16_t playerOne = 128;   // opponent-table entry of player one
  std::uint16_t opponent = 128;    // opponent-table entry of player two
  std::uint16_t pointGoal = 0;     // Straight: points that win a game
  std::uint16_t gameGoal = 1;      // games that win the match
  std::uint16_t spotReceived = 0;  // handicap in favour of player one
  std::uint16_t spotGiven = 0;     // handicap in favour of player two
  std::uint16_t room = 0;          // 0-5

  static constexpr std::size_t kSize = 20;
  void Write(std::uint8_t* out) const;
  static MatchSetup Read(const std::uint8_t* in);
  // Every index names something that exists: kind, game type, the two
  // opponent-table entries and the room.
  bool Valid() const;
};

// The table's GameType for a menu game type (0 for an unknown one).
std::int16_t GameTypeOfMenu(int menuGame);

// The computer's skill for opponent rank index `rankIndex`; `careerDifficulty`
// is -1 outside a career.
int OpponentSkill(int rankIndex, int careerDifficulty);

// The handicap between two ratings for a match to `goal`, as the career room
// shows it; `careerDifficulty` -1 outside a career.
void ComputeSpot(int* spotReceived, int* spotGiven, int goal, int firstRating, int secondRating, int careerDifficulty);

// "$%d", "$%d,%03d" or "$%d,%03d,%03d"; returns the character count.
int FormatMoney(wchar_t* buffer, std::size_t capacity, std::int32_t amount);

// How many of the thresholds 1250, 1500, 1750, 2000 and 2250 the rating reaches.
int RankIndexOf(int rating);

// The career rating after a match against `opponentRating`.
std::uint16_t UpdatedRating(std::uint16_t rating, int opponentRating, bool won);
// The rating table's entry i (0-255), a Fix16 value.
std::int32_t RatingTable(int i);

// The quick-play point goal is kept in one byte: 275 and 300 do not fit, so
// a byte that is not a multiple of 25 stands for itself plus 256.
int PointGoalFromByte(std::uint8_t stored);
std::uint8_t PointGoalToByte(int goal);

}  // namespace ks::app
