// CareerRoomDlg: one room of the career. The room's champion and up to
// five challengers drawn at random, each with rank, bet and spot; the
// chosen opponent's picture and biography; the player's rank and money.
// "Rack Em" accepts the chosen opponent's bet and starts the match.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "saves/careers.h"
#include "saves/opponents.h"
#include "ui/dlg.h"

class ksMain;
class ssInput;
class ListBox;
class Picture;
class StaticText;

namespace ks {
class RandomSource;
}

namespace career {

inline constexpr int kChampions[6] = {4, 55, 100, 30, 81, 11};
inline constexpr int kGameGoals[6] = {3, 5, 6, 8, 9, 11};
inline constexpr int kPointGoals[6] = {15, 30, 45, 60, 75, 90};
inline constexpr int kBetMultiplier[4] = {1, 2, 5, 10};
inline constexpr int kChallengers = 5;

// One opponent on offer: the bet and the spots shown on its row.
struct Offer {
  std::int32_t bet = 0;
  int entry = 0;
  int spotGiven = 0;
  int spotReceived = 0;
};

// The match goal a room plays to for the career's game type.
int RoomGoal(int room, int menuGame);
// The room's offers: the champion first, then the challengers in the order
// they were drawn (none in the last room). A room with fewer than five
// candidates offers all it has. `spot` computes (received, given) for an
// opponent's rating.
std::vector<Offer> DrawOffers(int room, const ks::app::CareerRecord& career, const ks::app::OpponentTable& table,
                              ks::RandomSource& random,
                              void (*spot)(const void* context, int goal, int rating, int* received, int* given),
                              const void* context);
// "D", "D", "C", "B", "A", "Champ" by rank index; empty for any other.
const wchar_t* RankName(int rankIndex);

}  // namespace career

class CareerRoomDlg final : public Dlg {
 public:
  enum Id { kOpponent = 2, kBiography = 3, kBack = 4, kRackEm = 5, kList = 6, kSpot = 7, kRank = 8, kMoney = 9 };
  static constexpr int kScreenId = 1003;

  bool Build(ssDisplay* display, ssInput* input);
  LRESULT WndProc(UINT message, WPARAM p1, LPARAM p2) override;
  const std::vector<career::Offer>& Offers() const { return m_Offers; }
  ListBox* List() const { return m_List; }

  ksMain* m_App = nullptr;
  int m_Room = 0;

 private:
  void OnInit();
  void FillList();
  void ShowOpponent();
  void RackEm();

  Picture* m_Picture = nullptr;
  StaticText* m_Biography = nullptr;
  ListBox* m_List = nullptr;
  StaticText* m_Spot = nullptr;
  StaticText* m_Rank = nullptr;
  StaticText* m_Money = nullptr;
  std::vector<career::Offer> m_Offers;
};
