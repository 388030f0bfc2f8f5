// The match set-up's arithmetic: handicaps, skills, money texts, ranks, the
// rating table and the point-goal byte; and the opponent table's shape.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "match_setup.h"
#include "saves/opponents.h"

namespace {

using namespace ks::app;

TEST(MatchSetup, ComputeSpot) {
  struct Case {
    int goal, first, second, difficulty, received, given;
  };
  const Case cases[] = {
      {9, 1500, 2050, -1, 6, 0}, {9, 2050, 1500, -1, 0, 6}, {9, 1500, 1500, 0, 4, 0},
      {3, 1100, 1000, 0, 1, 0},  {11, 1100, 2250, 1, 7, 0}, {9, 1500, 2050, 3, 0, 0},
  };
  for (const Case& c : cases) {
    int received = -1, given = -1;
    ComputeSpot(&received, &given, c.goal, c.first, c.second, c.difficulty);
    EXPECT_EQ(received, c.received) << c.goal << " " << c.first << " " << c.second;
    EXPECT_EQ(given, c.given) << c.goal << " " << c.first << " " << c.second;
  }
}

TEST(MatchSetup, OpponentSkillFollowsTheCareerDifficulty) {
  EXPECT_EQ(OpponentSkill(3, -1), 7);
  EXPECT_EQ(OpponentSkill(3, 0), 5);
  EXPECT_EQ(OpponentSkill(3, 1), 6);
  EXPECT_EQ(OpponentSkill(3, 2), 7);
  EXPECT_EQ(OpponentSkill(3, 3), 7);
  EXPECT_EQ(OpponentSkill(0, 0), 1);
}

TEST(MatchSetup, FormatMoneyAndRanks) {
  const std::pair<int, const wchar_t*> money[] = {{999, L"$999"},          {1000, L"$1,000"}, {1234567, L"$1,234,567"},
                                                  {-50, L"$-50"},          {0, L"$0"},        {999999, L"$999,999"},
                                                  {1000000, L"$1,000,000"}};
  for (const auto& [amount, text] : money) {
    wchar_t buffer[32];
    EXPECT_EQ(FormatMoney(buffer, 32, amount), static_cast<int>(std::wcslen(text)));
    EXPECT_STREQ(buffer, text);
  }
  const std::pair<int, int> ranks[] = {{1249, 0}, {1250, 1}, {1499, 1}, {1500, 2},
                                       {1750, 3}, {2000, 4}, {2250, 5}, {9999, 5}};
  for (const auto& [rating, rank] : ranks) EXPECT_EQ(RankIndexOf(rating), rank) << rating;
}

TEST(MatchSetup, RatingTableAndUpdates) {
  const std::pair<int, int> table[] = {{0, -1606},   {1, -1652},   {64, -8966}, {127, -32297}, {128, -32768},
                                       {129, 32296}, {158, 19438}, {200, 7327}, {255, 1651}};
  for (const auto& [i, t] : table) EXPECT_EQ(RatingTable(i), t) << i;
  struct Case {
    int own, other, won, lost;
  };
  const Case cases[] = {{1100, 1100, 72, 0},   {1109, 1100, 72, 0}, {1110, 1100, 24, -24},
                        {1500, 1200, 33, -15}, {1200, 1500, 62, 0}, {2250, 1000, 46, -2}};
  for (const Case& c : cases) {
    EXPECT_EQ(UpdatedRating(static_cast<std::uint16_t>(c.own), c.other, true), c.own + c.won) << c.own;
    EXPECT_EQ(UpdatedRating(static_cast<std::uint16_t>(c.own), c.other, false), c.own + c.lost) << c.own;
  }
}

TEST(MatchSetup, GameTypesAndPointGoalByte) {
  const int types[] = {5, 2, 3, 6, 4, 1};
  for (int m = 0; m < 6; ++m) EXPECT_EQ(GameTypeOfMenu(m), types[m]);
  for (int goal = 25; goal <= 300; goal += 25) EXPECT_EQ(PointGoalFromByte(PointGoalToByte(goal)), goal) << goal;
}

TEST(MatchSetup, LayoutIsTenLittleEndianWords) {
  MatchSetup s;
  s.secondPlayer = 2;
  s.room = 0x0105;
  std::uint8_t bytes[20];
  s.Write(bytes);
  EXPECT_EQ(bytes[0], 2);
  EXPECT_EQ(bytes[18], 5);
  EXPECT_EQ(bytes[19], 1);
  EXPECT_EQ(MatchSetup::Read(bytes).room, 0x0105);
  EXPECT_FALSE(MatchSetup::Read(bytes).Valid());
}

TEST(OpponentTable, RoomsChampionsAndLinkedPlayers) {
  Players players{};
  std::strcpy(players[0].name.data(), "Robin");
  players[0].id = 3;
  players[0].rating = 1333;
  char spare[32] = "spare";
  OpponentTable table;
  BuildOpponentTable(table, players, spare);
  int perRoom[6] = {};
  for (int i = 0; i < kComputerOpponents; ++i) {
    const OpponentEntry& e = table[static_cast<std::size_t>(i)];
    ++perRoom[e.room];
    EXPECT_LE(std::strlen(e.nickname), 27u);
    EXPECT_GE(e.rating, 1000);
    EXPECT_LE(e.rating, 2250);
    for (int j = 0; j < i; ++j) EXPECT_STRNE(e.nickname, table[static_cast<std::size_t>(j)].nickname);
  }
  const int expected[6] = {22, 21, 24, 32, 28, 1};
  for (int r = 0; r < 6; ++r) EXPECT_EQ(perRoom[r], expected[r]) << r;
  EXPECT_EQ(table[11].room, 5);
  EXPECT_EQ(table[11].rating, 2250);
  EXPECT_EQ(table[11].highStake, 100000);
  EXPECT_EQ(table[55].highStake, 1500);
  EXPECT_EQ(table[55].rankIndex, 2);
  EXPECT_STREQ(table[128].nickname, "Player 1");
  EXPECT_EQ(table[129].id, 129);
  EXPECT_STREQ(table[130].nickname, "Robin");
  EXPECT_EQ(table[130].rating, 1333);
  EXPECT_EQ(table[130].id, 3);
  EXPECT_EQ(table[160].nickname, spare);
}

}  // namespace
