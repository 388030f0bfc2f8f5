#include "quick_play.h"

#include "ce/crt.h"
#include <string>

#include "display/display_s16.h"
#include "ks_main.h"
#include "screens.h"
#include "screens/screen_kit.h"
#include "ui/choice_list.h"
#include "ui/dlg_man.h"
#include "ui/message_dlg.h"
#include "ui/static_text.h"

namespace {

constexpr std::uint32_t kBevel[5] = {0xFFFFFF, 0xE0E0E0, 0xD3D3D3, 0x7F7F7F, 0x3F3F3F};
constexpr std::uint32_t kYellow = 0xFFFF00;

constexpr const wchar_t* kRoomNames[ks::app::kRoomCount] = {L"Garage",       L"Hawg Pen",   L"Pit Stop",
                                                            L"Deep Pockets", L"Hard Times", L"Beach House"};
constexpr const wchar_t* kRoomPictures[ks::app::kRoomCount] = {L"SelectGarage.tga",    L"SelectHawgPen.tga",
                                                               L"SelectPitStop.tga",   L"SelectDeepPockets.tga",
                                                               L"SelectHardTimes.tga", L"SelectBeachHouse.tga"};
constexpr const wchar_t* kRoomTexts[ks::app::kRoomCount] = {
    L"Garage      Bar Table",   L"Hawg Pen   Bar Table",   L"Pit Stop   Bar Table",
    L"Deep Pockets  Pro Table", L"Hard Times   Pro Table", L"Beach House Championship Table"};
constexpr const wchar_t* kGames[ks::app::kMenuGameCount] = {L"6-Ball",  L"8-Ball",   L"9-Ball",
                                                            L"10-Ball", L"Rotation", L"Straight"};
constexpr const wchar_t* kRulePictures[ks::app::kMenuGameCount] = {L"6ball.tga",  L"8ball.tga",    L"9ball.tga",
                                                                   L"10ball.tga", L"rotation.tga", L"straight.tga"};
constexpr const wchar_t* kRuleTexts[ks::app::kMenuGameCount] = {
    L"6-Ball is a low ball first game, so the balls must be struck in numerical order.  The goal is to pocket the "
    L"six ball which ends the game; the other balls have no scoring value.",
    L"The object of Eight Ball is to pocket all stripes or all solids and then the eight ball. The first player to "
    L"legally pocket a stripes or solids is assigned ownership of those balls. You must pocket all your balls before "
    L"shooting the eight ball.",
    L"9-Ball is a low ball first game, so the balls must be struck in numerical order.  The goal is to pocket the "
    L"nine ball which ends the game; the other balls have no scoring value.",
    L"10-Ball is a low ball first game, so the balls must be struck in numerical order.  The goal is to pocket the "
    L"ten ball which ends the game; the other balls have no scoring value.",
    L"Rotation is a low ball first game, so the balls must be struck in numerical order.  The point value on the "
    L"ball is scored. All balls pocketed without a foul are counted. If the score is tied when the last ball is "
    L"pocketed the current shooter wins.",
    L"Players score one point for each pocketed ball. First player to reach the point goal wins. When the 14th ball "
    L"of the rack is pocketed, the 14 balls are re-racked, leaving the 15th ball in position on the table."};

void Colour(Wnd* w, std::uint32_t a, std::uint32_t b = 0xD3D3D3) {
  w->SetColourA(a);
  w->SetColourB(b);
  w->SetColourC(0);
  w->SetBevelColours(kBevel);
}

std::wstring Widen(const char* text) {
  std::wstring out;
  for (const char* c = text; c != nullptr && *c != 0; ++c) out.push_back(static_cast<unsigned char>(*c));
  return out;
}

template <typename T>
T* Make(QuickPlayDlg* screen, ssDisplay* display, RECT r, const wchar_t* caption, int kind, std::uint32_t style,
        std::uint32_t flags, int id, const wchar_t* font, std::uint32_t colourA, std::uint32_t colourB = 0xD3D3D3) {
  auto* w = new T();
  if (!w->Create(display, screen, r, caption, kind, style, flags, id, 0)) return nullptr;
  Colour(w, colourA, colourB);
  if (font != nullptr) w->SetFontByName(font, L"UI", L"res.ark");
  return w;
}

}  // namespace

bool QuickPlayDlg::Build(ssDisplay* display, ssInput*) {
  Create(display, nullptr, RECT{0, 0, 0x10000, 0x10000}, L"Dialog", ui::kKindWindow, ui::kStyleVisible, ui::kFlagShadow,
         kScreenId, 0);
  Colour(this, kYellow);
  SetImageByName(L"HardTimes.tga", L"UI", L"res.ark");
  SetFontByName(L"Small Fonts7", L"UI", L"res.ark");
  const wchar_t* small7 = L"Small Fonts7";
  m_Player2 = Make<ChoiceList>(this, display, RECT{1489, 8936, 51535, 13405}, L"Player 2", ui::kKindChoiceList,
                               0x10010080, 0x210020, kPlayer2, small7, kYellow);
  m_Location = Make<ChoiceList>(this, display, RECT{1191, 14149, 63748, 18618}, L"Location", ui::kKindChoiceList,
                                0x10010080, 0x210020, kLocation, small7, kYellow);
  m_GameType = Make<ChoiceList>(this, display, RECT{1489, 19362, 44981, 23831}, L"Game Type", ui::kKindChoiceList,
                                0x10010080, 0x210020, kGameType, small7, kYellow);
  m_Goal = Make<ChoiceList>(this, display, RECT{1489, 24576, 47662, 29044}, L"Match Goal", ui::kKindChoiceList,
                            0x10010080, 0x210020, kMatchGoal, small7, kYellow);
  if (!m_Player2 || !m_Location || !m_GameType || !m_Goal) return false;
  Make<StaticText>(this, display, RECT{297, 744, 33661, 8192}, L"Quick Play", ui::kKindStatic, 0x10800200, 0x280020, 0,
                   L"Cornerstone8", kYellow, 0);
  Make<Picture>(this, display, RECT{297, 29044, 64940, 57344}, L"Test Picture", ui::kKindPicture, 0x10800000, 0x80020,
                0, small7, kYellow, 0);
  m_Picture = Make<Picture>(this, display, RECT{893, 31278, 15490, 55109}, L"Test Picture", ui::kKindPicture,
                            0x10000000, 0, kInfoPicture, small7, kYellow);
  m_Text = Make<StaticText>(this, display, RECT{16384, 30533, 64344, 58088}, L"", ui::kKindStatic, 0x10000000, 32,
                            kInfoText, L"Small Fonts6", 0xFFFFFF);
  Make<StaticText>(this, display, RECT{9532, 59578, 22043, 64046}, L"Back", ui::kKindStatic, 0x10000000, 32, 0, small7,
                   0xFFFFFF);
  Make<StaticText>(this, display, RECT{47960, 59578, 63152, 64046}, L"Rack Em", ui::kKindStatic, 0x10000000, 32, 0,
                   small7, 0xFFFFFF);
  if (auto* back = Make<Picture>(this, display, RECT{3276, 57716, 8043, 63674}, L"Test Picture", ui::kKindPicture,
                                 0x10000000, 0, kBack, L"cornerstone10", 0xFFFFFF))
    back->SetImageByName(L"Back.tga", L"UI", L"res.ark");
  if (auto* home = Make<Picture>(this, display, RECT{42300, 58088, 47066, 64046}, L"Test Picture", ui::kKindPicture,
                                 0x10000000, 0, kRackEm, L"cornerstone10", 0xFFFFFF))
    home->SetImageByName(L"Home.tga", L"UI", L"res.ark");
  if (!m_Picture || !m_Text) return false;
  m_Player2->SetNeighbours(nullptr, m_Location, nullptr, nullptr);
  m_Location->SetNeighbours(m_Player2, m_GameType, nullptr, nullptr);
  m_GameType->SetNeighbours(m_Location, m_Goal, nullptr, nullptr);
  m_Goal->SetNeighbours(m_GameType, nullptr, nullptr, nullptr);
  return true;
}

LRESULT QuickPlayDlg::WndProc(UINT message, WPARAM p1, LPARAM p2) {
  if (message == ui::kMsgInitDialog) {
    OnInit();
    return 0;
  }
  if (message == ui::kMsgCommand) {
    const int id = ui::CommandId(p1), code = ui::CommandCode(p1);
    if (code == ui::kNotifyChanged || code == ui::kNotifyListFocus) {
      if (id == kPlayer2) ShowPlayer2();
      if (id == kLocation) ShowRoom();
      if (id == kGameType) ShowRules();
      if (id == kMatchGoal && code == ui::kNotifyListFocus) HideInfo();
      return 0;
    }
    if (code == ui::kNotifyClicked && id == kRackEm) {
      RackEm();
      return 0;
    }
    if (code == ui::kNotifyClicked && id == kBack) {
      EndDialog(kResultCancel);
      return 0;
    }
  }
  return Dlg::WndProc(message, p1, p2);
}

void QuickPlayDlg::OnInit() {
  using namespace ks::app;
  SetKeyButtons(kRackEm, kBack);
  const int w = ui::ScreenWidth(Device()), h = ui::ScreenHeight(Device());
  m_OpponentWidth = static_cast<int>(w * 0.21818182);
  m_RulesWidth = static_cast<int>(w * 0.29090908);
  m_RoomWidth = static_cast<int>(w * 0.43636364);
  m_PictureHeight = static_cast<int>(h * 0.36363637);

  m_Player2->AddString(L"Practice Alone");
  m_Player2->SetItemData(0, kPractice);
  m_Player2->AddString(L"Human");
  m_Player2->SetItemData(1, kHuman);
  m_Player2->SetStyle(m_Player2->Style() | ChoiceList::kSorted);
  m_Player2->SetFirstSortable(2);
  for (int i = 0; i <= 116; ++i) {
    const std::wstring name = Widen(m_App->Opponents()[static_cast<std::size_t>(i)].nickname);
    const int at = m_Player2->AddString(name.c_str());
    if (at >= 0) m_Player2->SetItemData(at, m_App->Opponents()[static_cast<std::size_t>(i)].id);
  }
  const int kind = m_App->Prefs()[pref::kSecondPlayer];
  for (int i = 0; i < m_Player2->GetCount(); ++i) {
    const std::uint32_t data = m_Player2->GetItemData(i);
    if ((kind == 0 && data == kPractice) || (kind == 2 && data == kHuman) ||
        (kind == 1 && data == m_App->Prefs()[pref::kOpponent])) {
      m_Player2->SetCurSel(i);
      break;
    }
  }
  m_Label = m_Text->Position();
  m_LabelMoved = m_Label;
  m_LabelMoved.left = m_Picture->Position().left + m_RoomWidth + 4;

  const int best = m_App->Prefs()[pref::kBestLevel];
  for (int room = 0; room < kRoomCount; ++room) {
    std::wstring name = kRoomNames[room];
    if (room > 0 && best < room) name += L" (Locked)";
    m_Location->AddString(name.c_str());
  }
  for (const wchar_t* game : kGames) m_GameType->AddString(game);
  m_GameType->SetCurSel(m_App->Prefs()[pref::kMenuGame]);
  if (m_App->Prefs()[pref::kMenuGame] != static_cast<int>(MenuGame::kStraight)) {
    FillGameCounts();
    m_Goal->SetCurSel(m_App->Prefs()[pref::kGameGoal] - 1);
  } else {
    m_GameCounts = true;
    FillPointGoals();
    m_Goal->SetCurSel(PointGoalFromByte(m_App->Prefs()[pref::kPointGoal]) / 25 - 1);
  }
  m_Location->SetCurSel(m_App->Prefs()[pref::kRoom]);
}

void QuickPlayDlg::FillGameCounts() {
  if (m_GameCounts && m_Goal->GetCount() > 0) return;
  m_Goal->Clear();
  m_Goal->AddString(L"1  Game");
  for (int n = 2; n <= 15; ++n) {
    wchar_t text[32];
    _snwprintf(text, 32, L"%d  Games", n);
    m_Goal->AddString(text);
  }
  m_Goal->SetCurSel(0);
  m_GameCounts = true;
}

void QuickPlayDlg::FillPointGoals() {
  if (!m_GameCounts) return;
  m_Goal->Clear();
  for (int points = 25; points <= 300; points += 25) {
    wchar_t text[32];
    _snwprintf(text, 32, L"%d  Points", points);
    m_Goal->AddString(text);
  }
  m_Goal->SetCurSel(0);
  m_GameCounts = false;
}

void QuickPlayDlg::ShowInfo(const wchar_t* picture, const wchar_t* text, int width, const RECT& label,
                            const wchar_t* font) {
  m_Picture->ShowWindow(5);
  m_Text->ShowWindow(5);
  const RECT& at = m_Picture->Position();
  m_Picture->MoveWindow(at.left, at.top, width, m_PictureHeight, true);
  m_Text->MoveWindow(label.left, label.top, label.right - label.left, label.bottom - label.top, true);
  // A picture that cannot be loaded leaves the one shown before.
  m_Picture->SetImageByName(picture, L"UI", L"res.ark");
  m_Picture->MoveWindow(at.left, at.top, width, m_PictureHeight, true);
  m_Text->SetText(text);
  // A text too long for the label in its font takes the smallest one.
  kit::FitFont(m_Text, {font, L"Small Fonts6"});
  Invalidate(0);
}

void QuickPlayDlg::ShowPlayer2() {
  const int sel = m_Player2->GetCurSel();
  if (sel < 0 || sel >= m_Player2->GetCount()) return;
  const std::uint32_t data = m_Player2->GetItemData(sel);
  if (data == kPractice) {
    ShowInfo(L"1Player.tga",
             L"Practice Alone.  Rack is set to the game type.  Tracking lines are available and ball is always 'In "
             L"Hand'.",
             m_OpponentWidth, m_Label, L"Small Fonts7");
  } else if (data == kHuman) {
    ShowInfo(L"2Player.tga", L"Play Against a Friend.  Turn rotates between players.", m_OpponentWidth, m_Label,
             L"Small Fonts7");
  } else if (data < ks::app::kComputerOpponents) {
    const ks::app::OpponentEntry& e = m_App->Opponents()[data];
    const std::wstring picture = Widen(e.nickname) + L".tga";
    const std::wstring bio = Widen(e.biography);
    ShowInfo(picture.c_str(), bio.c_str(), m_OpponentWidth, m_Label, L"Small Fonts7");
  }
}

void QuickPlayDlg::ShowRoom() {
  const int room = m_Location->GetCurSel();
  if (room < 0 || room >= ks::app::kRoomCount) return;
  ShowInfo(kRoomPictures[room], kRoomTexts[room], m_RoomWidth, m_LabelMoved, L"Cornerstone8");
}

void QuickPlayDlg::ShowRules() {
  const int game = m_GameType->GetCurSel();
  if (game < 0 || game >= ks::app::kMenuGameCount) return;
  RECT label = m_Label;
  label.left += m_RulesWidth - m_OpponentWidth;
  ShowInfo(kRulePictures[game], kRuleTexts[game], m_RulesWidth, label, L"Small Fonts7");
  if (game == static_cast<int>(ks::app::MenuGame::kStraight)) {
    FillPointGoals();
  } else {
    FillGameCounts();
  }
}

void QuickPlayDlg::HideInfo() {
  m_Picture->ShowWindow(0);
  m_Text->ShowWindow(0);
  Invalidate(0);
}

void QuickPlayDlg::RackEm() {
  using namespace ks::app;
  MatchSetup& s = m_App->MatchSetup();
  s.menuGame = static_cast<std::uint16_t>(m_GameType->GetCurSel() < 0 ? 0 : m_GameType->GetCurSel());
  s.room = static_cast<std::uint16_t>(m_Location->GetCurSel() < 0 ? 0 : m_Location->GetCurSel());
  // A room beyond the best career level stays locked; nothing starts.
  if (s.room > m_App->Prefs()[pref::kBestLevel]) {
    m_App->ShowMessage(L"Room is locked.", L"This room must be unlocked in Career Mode.");
    return;
  }
  const int goal = m_Goal->GetCurSel() < 0 ? 0 : m_Goal->GetCurSel();
  if (s.menuGame == static_cast<int>(MenuGame::kStraight)) {
    s.pointGoal = static_cast<std::uint16_t>((goal + 1) * 25);
  } else {
    s.gameGoal = static_cast<std::uint16_t>(goal + 1);
  }
  const int sel = m_Player2->GetCurSel();
  const std::uint32_t data = sel >= 0 ? m_Player2->GetItemData(sel) : kPractice;
  if (data == kPractice) {
    s.secondPlayer = 0;
    s.opponent = kPlayerOneEntry;
  } else if (data == kHuman) {
    s.secondPlayer = 2;
    s.opponent = kPlayerTwoEntry;
  } else {
    s.secondPlayer = 1;
    s.opponent = static_cast<std::uint16_t>(data);
  }
  s.playerOne = kPlayerOneEntry;
  // Quick play has no handicap: a career match before it leaves its spots
  // in the set-up, which would otherwise become this match's starting
  // scores.
  s.spotReceived = 0;
  s.spotGiven = 0;
  m_App->ApplySettings();
  m_App->LoadMatch(StartMode::kFresh, ReturnScreen::kQuickPlay);
  m_App->CloseScreens();
}

Dlg* PushQuickPlay(ksMain* app) {
  if (!app || !app->ScreensReady()) return nullptr;
  auto* screen = new QuickPlayDlg();
  screen->m_App = app;
  if (!screen->Build(app->Display(), app->Input())) {
    delete screen;
    return nullptr;
  }
  app->PushScreen(screen);
  return screen;
}
