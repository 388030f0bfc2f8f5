#include "screens/career_room.h"

#include <algorithm>

#include "ce/crt.h"
#include "display/display.h"
#include "screens.h"
#include "screens/screen_kit.h"
#include "simulation/services.h"
#include "ui/list_box.h"
#include "ui/message_dlg.h"

namespace career {

int RoomGoal(int room, int menuGame) {
  room = std::clamp(room, 0, 5);
  return menuGame == 5 ? kPointGoals[room] : kGameGoals[room];
}

const wchar_t* RankName(int rankIndex) {
  static constexpr const wchar_t* kNames[6] = {L"D", L"D", L"C", L"B", L"A", L"Champ"};
  return rankIndex >= 0 && rankIndex < 6 ? kNames[rankIndex] : L"";
}

std::vector<Offer> DrawOffers(int room, const ks::app::CareerRecord& c, const ks::app::OpponentTable& table,
                              ks::RandomSource& random,
                              void (*spot)(const void* context, int goal, int rating, int* received, int* given),
                              const void* context) {
  room = std::clamp(room, 0, 5);
  const int multiplier = kBetMultiplier[c.difficulty & 3];
  const int goal = RoomGoal(room, c.gameType);
  const int champion = kChampions[room];
  std::vector<int> candidates;
  for (int i = 0; i <= 116 && candidates.size() < 31; ++i) {
    if (i != champion && table[static_cast<std::size_t>(i)].room == room) candidates.push_back(i);
  }
  std::vector<Offer> offers;
  auto make = [&](int entry, std::int32_t bet) {
    Offer o;
    o.entry = entry;
    o.bet = bet;
    spot(context, goal, table[static_cast<std::size_t>(entry)].rating, &o.spotReceived, &o.spotGiven);
    offers.push_back(o);
  };
  const std::int32_t championBet = table[static_cast<std::size_t>(champion)].highStake * multiplier;
  make(champion, championBet);
  if (room == 5) return offers;
  // Passes over the candidates until five are drawn; each pass runs to its
  // end. A room with fewer candidates stops once all are drawn.
  const int wanted = std::min<int>(kChallengers, static_cast<int>(candidates.size()));
  std::vector<bool> drawn(candidates.size(), false);
  int count = 0;
  while (count < wanted) {
    for (std::size_t k = 0; k < candidates.size(); ++k) {
      const int r = random.Rand();
      if (r >= 16383 || drawn[k] || count >= wanted) continue;
      drawn[k] = true;
      ++count;
      std::int32_t bet;
      if (room == 0 && count == 4) {
        bet = std::min<std::int32_t>(50 * multiplier, c.money);
      } else {
        const double f = std::clamp(r * 6.103888e-05, 0.2, 0.85);
        bet = static_cast<std::int32_t>(championBet * f) / 5 * 5;
        if (bet == 0) bet = 5;
      }
      make(candidates[k], bet);
    }
  }
  return offers;
}

}  // namespace career

namespace {

constexpr std::uint32_t kWhiteBevel[5] = {0xFFFFFF, 0xE0E0E0, 0xD3D3D3, 0xFFFFFF, 0x3F3F3F};

void SpotFor(const void* context, int goal, int rating, int* received, int* given) {
  const ksMain* app = static_cast<const ksMain*>(context);
  const ks::app::CareerRecord* c = const_cast<ksMain*>(app)->CurrentCareer();
  app->ComputeSpot(received, given, goal, c ? c->rating : 0, rating);
}

}  // namespace

bool CareerRoomDlg::Build(ssDisplay* display, ssInput*) {
  using namespace kit;
  MakeScreen(this, display, kScreenId, 0, kWhite, kGrey, L"HardTimes.tga", L"Small Fonts7");
  const wchar_t* s7 = L"Small Fonts7";
  const wchar_t* s6 = L"Small Fonts6";
  if (auto* frame = Pic(this, display, RECT{0, 0, 64940, 27554}, 0, nullptr, s7, 0x10800000, 0x80020, kWhite, 0)) {
    frame->SetColourC(kWhite);
    frame->SetBevelColours(kWhiteBevel);
  }
  m_Picture = Pic(this, display, RECT{595, 1489, 15192, 25320}, kOpponent, nullptr, s7);
  m_Biography =
      Label(this, display, RECT{16384, 744, 64940, 27554}, L"", 0x10000000, 32, kBiography, s6, kWhite, kGrey);
  Label(this, display, RECT{9532, 60322, 28299, 64791}, L"Leave Room", 0x10000000, 0x200020, 0, s7, kWhite, kGrey);
  Label(this, display, RECT{49747, 60322, 64344, 64791}, L"Rack Em", 0x10000000, 0x200020, 0, s7, kWhite, kGrey);
  if (auto* frame = Pic(this, display, RECT{595, 32768, 64940, 58088}, 0, nullptr, s7, 0x10800000, 0x80020, kWhite, 0))
    frame->SetBevelColours(kWhiteBevel);
  m_List = Make<ListBox>(this, display, RECT{0, 37236, 64344, 58088}, L"Test ListBox", ui::kKindListBox, 0x90000080,
                         0x100020, kList, s6, kWhite);
  Label(this, display, RECT{22639, 34257, 31576, 37981}, L"Rank", 0x10000000, 32, 0, s6, kWhite, kGrey);
  Label(this, display, RECT{36044, 34257, 42896, 37981}, L"Bet", 0x10000000, 32, 0, s6, kWhite, kGrey);
  m_Spot =
      Label(this, display, RECT{49747, 34257, 62259, 37981}, L"Spot (11)", 0x10000000, 32, kSpot, s6, kWhite, kGrey);
  m_Rank = Label(this, display, RECT{595, 29044, 28895, 32768}, L"", 0x10000000, 0x200020, kRank, s7, kYellow, kGrey);
  m_Money =
      Label(this, display, RECT{30384, 29044, 62259, 32768}, L"", 0x10000002, 0x200020, kMoney, s7, kYellow, kGrey);
  Pic(this, display, RECT{43789, 58833, 48556, 64791}, kRackEm, L"Home.tga");
  Pic(this, display, RECT{2978, 58833, 7745, 64791}, kBack, L"Back.tga");
  return m_Picture && m_Biography && m_List && m_Spot && m_Rank && m_Money;
}

LRESULT CareerRoomDlg::WndProc(UINT message, WPARAM p1, LPARAM p2) {
  if (message == ui::kMsgInitDialog) {
    OnInit();
    return 0;
  }
  if (message == ui::kMsgCommand) {
    const int id = ui::CommandId(p1), code = ui::CommandCode(p1);
    if (code == ui::kNotifyClicked && id == kBack) {
      EndDialog(kResultCancel);
      return 0;
    }
    if (code == ui::kNotifyClicked && id == kRackEm) {
      RackEm();
      return 0;
    }
    if (id == kList && code == ui::kNotifyChanged) {
      ShowOpponent();
      return 0;
    }
    if (id == kList && code == ui::kNotifyPressed) {
      RackEm();
      m_List->Invalidate(0);
      return 0;
    }
    if (id == kList && code == ui::kNotifyLeave) {
      EndDialog(kResultCancel);
      return 0;
    }
  }
  return Dlg::WndProc(message, p1, p2);
}

void CareerRoomDlg::OnInit() {
  SetKeyButtons(kRackEm, kBack);
  // The rows start two border units in, clear of the frame around the list.
  m_List->SetTextOffset(2 * m_List->BorderUnit(), 0);
  m_List->SetStyle(m_List->Style() | ListBox::kSorted);
  m_List->SetFirstSortable(1);
  static constexpr int kStops[3] = {70, 112, 173};
  kit::DesignTabStops(m_List, kStops);
  FillList();
  Invalidate(0);
  m_List->SetCurSel(0);
  ks::app::CareerRecord* c = m_App ? m_App->CurrentCareer() : nullptr;
  if (c == nullptr) return;
  c->rankIndex = static_cast<std::uint8_t>(ks::app::RankIndexOf(c->rating));
  wchar_t text[96];
  _snwprintf(text, 96, L"Your Rank: %s (%d)", career::RankName(c->rankIndex), c->rating);
  m_Rank->SetText(text);
  wchar_t money[32];
  ks::app::FormatMoney(money, 32, c->money);
  _snwprintf(text, 96, L"You Have: %s", money);
  m_Money->SetText(text);
  // A high rating or a fortune takes the smaller font rather than being cut.
  kit::FitFont(m_Rank, {L"Small Fonts7", L"Small Fonts6"});
  kit::FitFont(m_Money, {L"Small Fonts7", L"Small Fonts6"});
  ShowOpponent();
}

void CareerRoomDlg::FillList() {
  m_List->Clear();
  m_Offers.clear();
  if (m_App == nullptr) return;
  m_App->SetCareerPlay(true);
  const ks::app::CareerRecord* c = m_App->CurrentCareer();
  if (c == nullptr) return;
  wchar_t text[64];
  _snwprintf(text, 64, L"Spot (%d)", career::RoomGoal(m_Room, c->gameType));
  m_Spot->SetText(text);
  ks::DeviceRand random(m_App->GetTime());
  m_Offers = career::DrawOffers(m_Room, *c, m_App->Opponents(), random, SpotFor, m_App);
  for (const career::Offer& o : m_Offers) {
    const ks::app::OpponentEntry& e = m_App->Opponents()[static_cast<std::size_t>(o.entry)];
    wchar_t bet[32];
    ks::app::FormatMoney(bet, 32, o.bet);
    wchar_t spot[24];
    if (o.spotGiven == 0) {
      _snwprintf(spot, 24, L"Get %d", o.spotReceived);
    } else {
      _snwprintf(spot, 24, L"Give %d", o.spotGiven);
    }
    const std::wstring row =
        kit::Widen(e.nickname) + L"\t" + career::RankName(e.rankIndex) + L"\t" + bet + L"\t" + spot + L"\t";
    const int at = m_List->AddRow(row.c_str());
    if (at >= 0) m_List->SetItemData(at, e.id);
  }
}

void CareerRoomDlg::ShowOpponent() {
  const int row = m_List->GetCurSel();
  if (row < 0 || row >= m_List->GetCount() || m_App == nullptr) return;
  const std::uint32_t entry = m_List->GetItemData(row);
  if (entry >= static_cast<std::uint32_t>(ks::app::kTableEntries)) return;
  const ks::app::OpponentEntry& e = m_App->Opponents()[entry];
  m_Biography->SetText(kit::Widen(e.biography).c_str());
  m_Picture->SetImageByName((kit::Widen(e.nickname) + L".tga").c_str(), L"UI", L"res.ark");
  Invalidate(0);
}

void CareerRoomDlg::RackEm() {
  const int row = m_List->GetCurSel();
  if (row < 0 || row >= m_List->GetCount() || m_App == nullptr) return;
  ks::app::CareerRecord* c = m_App->CurrentCareer();
  if (c == nullptr) return;
  const std::uint32_t entry = m_List->GetItemData(row);
  const auto offer = std::find_if(m_Offers.begin(), m_Offers.end(), [entry](const career::Offer& o) {
    return static_cast<std::uint32_t>(o.entry) == entry;
  });
  if (offer == m_Offers.end()) return;
  if (offer->bet > c->money) {
    m_App->ShowMessage(L"Check your wallet!!",
                       L"You don't have enough money. Get some more money and then I'll play you.");
    return;
  }
  ks::app::MatchSetup& s = m_App->MatchSetup();
  s.menuGame = c->gameType;
  s.room = static_cast<std::uint16_t>(m_Room);
  c->currentRoom = static_cast<std::uint8_t>(m_Room);
  if (c->gameType == 5) {
    s.gameGoal = 1;
    s.pointGoal = static_cast<std::uint16_t>(career::kPointGoals[m_Room]);
  } else {
    s.gameGoal = static_cast<std::uint16_t>(career::kGameGoals[m_Room]);
  }
  s.secondPlayer = 1;
  s.opponent = static_cast<std::uint16_t>(entry);
  s.spotReceived = static_cast<std::uint16_t>(offer->spotReceived);
  s.spotGiven = static_cast<std::uint16_t>(offer->spotGiven);
  s.Write(c->heldSetup.data());
  c->bet = offer->bet;
  c->chosenRow = static_cast<std::uint8_t>(row);
  s.playerOne = kit::kCareerPlayerEntry;
  kit::SetCareerPlayerName(m_App, c->nickname.data());
  m_App->LoadCareerMatch(StartMode::kFresh, ReturnScreen::kCareerMap);
  m_App->CloseScreens();
}
