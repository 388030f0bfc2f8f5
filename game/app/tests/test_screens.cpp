// The menu screens driven on the running program: keys posted to its
// window, choices set on the screens' widgets, and what they store.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "ce/testing.h"
#include "temp_device.h"
#include "ce/windows.h"
#include "engine/image.h"
#include "ks_main.h"
#include "program.h"
#include "pump.h"
#include "screens.h"
#include "screens/career_delete.h"
#include "screens/career_new.h"
#include "screens/career_room.h"
#include "screens/career_map.h"
#include "screens/career_select.h"
#include "screens/credits.h"
#include "screens/help.h"
#include "screens/in_game_menu.h"
#include "screens/key_assign.h"
#include "screens/key_map.h"
#include "main_menu.h"
#include "quick_play.h"
#include "screens/settings.h"
#include "screens/screen_kit.h"
#include "screens/welcome.h"
#include "screen_fit.h"
#include "play/control.h"
#include "play/scene_loader.h"
#include "simulation/services.h"
#include "simulation/table.h"
#include "saves/save_store.h"
#include "ui/button.h"
#include "ui/choice_list.h"
#include "ui/dlg_man.h"
#include "ui/keyboard.h"
#include "ui/list_box.h"
#include "ui/message_dlg.h"
#include "ui/static_text.h"

namespace {

using ks::app::test::kTick;
using ks::app::test::Pump;

class Screens : public ::testing::Test {
 protected:
  // A device of the test's own: no save or preference an earlier test left
  // (a key map, a hand) changes what this one sees.
  ce::test::TempDevice m_Device;
  void SetUp() override {
    ::setenv("DEVICE_PROGRAM_FOLDER", KS_KESTRUNE_DATA, 1);
    ce::testing::ReloadDevice();
    ce::testing::UseVirtualClock(1000, 0);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    RegisterWindowClass(instance);  // refused when an earlier test registered it
    ASSERT_TRUE(InitInstance(instance, SW_SHOW));
    m_App = g_app;
    m_Window = KestruneWindow();
    m_App->Prefs()[ks::app::pref::kShowWelcome] = 1;
    m_App->StartMenus();
    ASSERT_EQ(m_App->State(), AppState::kMenus);
    // The welcome pages over the main menu; each goes on with "3".
    ASSERT_EQ(m_App->ScreenStack()->Count(), 3);
    EXPECT_EQ(m_App->ScreenStack()->Top()->Id(), 1022) << "the menu controls come first";
    Key(0x33);
    EXPECT_EQ(m_App->ScreenStack()->Top()->Id(), 1023);
    Key(0x33);
    ASSERT_EQ(m_App->ScreenStack()->Count(), 1);
    m_App->Careers().records.clear();
  }
  void TearDown() override {
    if (m_App == nullptr) return;
    DestroyWindow(m_Window);
    m_App->Shutdown();
    delete g_app;
    g_app = nullptr;
  }
  void Key(WPARAM key) {
    PostMessageW(m_Window, WM_KEYDOWN, key, 0);
    PostMessageW(m_Window, WM_KEYUP, key, 0);
    Pump(kTick);
  }
  template <typename T>
  T* Top() {
    return dynamic_cast<T*>(m_App->ScreenStack()->Top());
  }
  void Command(int id, int code, LPARAM p2 = 0) {
    m_App->ScreenStack()->Top()->WndProc(ui::kMsgCommand, ui::MakeCommand(id, code), p2);
    Pump(kTick);
  }
  // A match on the table, started as the set-up screens start one.
  void StartMatch(std::uint16_t menuGame, std::uint16_t secondPlayer, std::uint16_t opponent, std::uint16_t room = 0) {
    m_App->ScreenStack()->PopAll();
    m_App->MatchSetup() = ks::app::MatchSetup{};
    m_App->MatchSetup().menuGame = menuGame;
    m_App->MatchSetup().secondPlayer = secondPlayer;
    m_App->MatchSetup().opponent = opponent;
    m_App->MatchSetup().room = room;
    m_App->LoadMatch(StartMode::kFresh, ReturnScreen::kMainMenu);
    Pump(5000);
  }
  // A career made through the new-career screens.
  void NewCareer(const wchar_t* name, int difficulty) {
    ASSERT_NE(PushCareerSelect(m_App), nullptr);
    Command(CareerSelectDlg::kNewCareer, ui::kNotifyClicked);
    auto* pad = Top<CareerNewDlg>();
    ASSERT_NE(pad, nullptr) << "the keyboard screen opens at once";
    pad->Pad()->SetInputText(name);
    Key(0x33);
    auto* nick = Top<CareerNicknameDlg>();
    ASSERT_NE(nick, nullptr);
    static_cast<ChoiceList*>(nick->GetChild(CareerNicknameDlg::kDifficulty))->SetCurSel(difficulty);
    Key(0x33);
    ASSERT_NE(Top<CareerSelectDlg>(), nullptr) << "a fresh select screen comes back";
  }
  ksMain* m_App = nullptr;
  HWND m_Window = nullptr;
};

TEST_F(Screens, NewCareersStartWithTheirMoneyAndTheNicknameInSmallLetters) {
  const std::int32_t money[4] = {75, 150, 300, 675};
  for (int d = 0; d < 4; ++d) NewCareer(d == 2 ? L"Cue Ball KID 9" : L"Ann", d);
  ASSERT_EQ(m_App->Careers().records.size(), 4u);
  for (int d = 0; d < 4; ++d) {
    EXPECT_EQ(m_App->Careers().records[static_cast<std::size_t>(d)].money, money[d]);
    EXPECT_EQ(m_App->Careers().records[static_cast<std::size_t>(d)].difficulty, d);
  }
  EXPECT_STREQ(m_App->Careers().records[2].nickname.data(), "cue ball kid 9");
  // Kept in the careers file.
  m_App->LoadCareers();
  ASSERT_EQ(m_App->Careers().records.size(), 4u);
  EXPECT_EQ(m_App->Careers().records[3].money, 675);
  auto* select = Top<CareerSelectDlg>();
  ASSERT_NE(select, nullptr);
  auto* list = static_cast<ListBox*>(select->GetChild(CareerSelectDlg::kList));
  EXPECT_EQ(list->GetCount(), 4);
  wchar_t row[64];
  list->GetText(2, row, 64);
  EXPECT_STREQ(row, L"cue ball kid 9\t6-Ball\tHard") << "listed in small letters, the game type as the lists spell it";
  // The nickname screen's own spelling of the game types.
  ASSERT_NE(PushCareerNickname(m_App), nullptr);
  Key(0x39);  // the keyboard screen closed
  auto* nick = Top<CareerNicknameDlg>();
  ASSERT_NE(nick, nullptr);
  auto* types = static_cast<ChoiceList*>(nick->GetChild(CareerNicknameDlg::kGameType));
  const wchar_t* const kTypes[] = {L"6 Ball", L"8 Ball", L"9 Ball", L"10 Ball", L"Rotation", L"Straight"};
  ASSERT_EQ(types->GetCount(), 6);
  for (int i = 0; i < 6; ++i) {
    wchar_t name[32];
    types->GetString(i, name, 32);
    EXPECT_STREQ(name, kTypes[i]);
  }
}

// A person at a desktop: the keyboard types the nickname, the second soft
// key (F2) is the screens' Done, Escape and the first soft key (F1) their
// Back.
TEST_F(Screens, DesktopKeysTypeTheNicknameAndWorkBackAndDone) {
  ASSERT_NE(PushCareerSelect(m_App), nullptr);
  Command(CareerSelectDlg::kNewCareer, ui::kNotifyClicked);
  auto* pad = Top<CareerNewDlg>();
  ASSERT_NE(pad, nullptr);
  for (wchar_t c : std::wstring(L"Anna")) PostMessageW(m_Window, WM_CHAR, c, 1);
  Pump(kTick);
  EXPECT_STREQ(pad->Pad()->InputText(), L"Anna");
  auto tap = [&](WPARAM key) {
    PostMessageW(m_Window, WM_KEYDOWN, key, 0);
    PostMessageW(m_Window, WM_KEYUP, key, 0);
    Pump(kTick);
  };
  tap(VK_F2);  // Done: the nickname goes to the nickname screen
  auto* nick = Top<CareerNicknameDlg>();
  ASSERT_NE(nick, nullptr);
  EXPECT_STREQ(nick->Nickname(), L"Anna");
  tap(VK_F2);  // Done: the career is made
  ASSERT_NE(Top<CareerSelectDlg>(), nullptr);
  ASSERT_EQ(m_App->Careers().records.size(), 1u);
  EXPECT_STREQ(m_App->Careers().records[0].nickname.data(), "anna");
  tap(VK_ESCAPE);  // Back to the main menu
  EXPECT_EQ(m_App->ScreenStack()->Count(), 1);
  ASSERT_NE(PushCredits(m_App), nullptr);
  tap(VK_F1);  // Back
  EXPECT_EQ(m_App->ScreenStack()->Count(), 1);
}

TEST_F(Screens, TheWelcomeTitleLinesShareTheirCentre) {
  for (int page = 0; page < 2; ++page) {
    ASSERT_NE(page == 0 ? static_cast<Dlg*>(kit::Open<WelcomeMenuDlg>(m_App))
                        : static_cast<Dlg*>(kit::Open<WelcomePlayDlg>(m_App)),
              nullptr);
    Pump(kTick);  // drawn and shown
    // The two yellow lines in the title frame (the only yellow on the page,
    // wherever the orientation turns it), each line's ink from its
    // leftmost to its rightmost yellow pixel.
    const int w = GetSystemMetrics(SM_CXSCREEN), band = GetSystemMetrics(SM_CYSCREEN);
    std::vector<std::pair<int, int>> lines;  // left, right
    bool inLine = false;
    for (int y = 0; y < band; ++y) {
      int left = w, right = -1;
      for (int x = 0; x < w; ++x) {
        const COLORREF c = ce::testing::ScreenPixel(x, y);
        if (GetRValue(c) > 200 && GetGValue(c) > 200 && GetBValue(c) < 100) {
          left = std::min(left, x);
          right = std::max(right, x);
        }
      }
      if (right < 0) {
        inLine = false;
        continue;
      }
      if (!inLine) lines.emplace_back(left, right);
      lines.back() = {std::min(lines.back().first, left), std::max(lines.back().second, right)};
      inLine = true;
    }
    ASSERT_EQ(lines.size(), 2u) << page;
    EXPECT_NEAR(lines[0].first + lines[0].second, lines[1].first + lines[1].second, 3) << page;
    Key(0x33);
  }
}

TEST_F(Screens, AnEmptyNicknameOrASeventeenthCareerMakesNoCareer) {
  ASSERT_NE(PushCareerSelect(m_App), nullptr);
  Command(CareerSelectDlg::kNewCareer, ui::kNotifyClicked);
  Key(0x39);  // the keyboard screen cancelled: the nickname stays empty
  ASSERT_NE(Top<CareerNicknameDlg>(), nullptr);
  Key(0x33);
  auto* box = Top<MessageDlg>();
  ASSERT_NE(box, nullptr);
  EXPECT_STREQ(box->Title(), L"Empty Nickname");
  EXPECT_TRUE(m_App->Careers().records.empty());
  Key(0x33);
  Key(0x39);
  ASSERT_NE(Top<CareerSelectDlg>(), nullptr);

  m_App->Careers().records.assign(16, ks::app::CareerRecord::Fresh());
  Command(CareerSelectDlg::kNewCareer, ui::kNotifyClicked);
  Top<CareerNewDlg>()->Pad()->SetInputText(L"Extra");
  Key(0x33);
  Key(0x33);
  box = Top<MessageDlg>();
  ASSERT_NE(box, nullptr);
  EXPECT_STREQ(box->Title(), L"Too Many Careers");
  EXPECT_EQ(m_App->Careers().records.size(), 16u);
}

TEST_F(Screens, DeleteRemovesTheChosenCareerAndSaves) {
  NewCareer(L"One", 0);
  NewCareer(L"Two", 1);
  Command(CareerSelectDlg::kDeleteCareer, ui::kNotifyClicked);
  auto* del = Top<CareerDeleteDlg>();
  ASSERT_NE(del, nullptr);
  del->List()->SetCurSel(0);
  Key(0x33);
  ASSERT_NE(Top<CareerSelectDlg>(), nullptr);
  m_App->LoadCareers();
  ASSERT_EQ(m_App->Careers().records.size(), 1u);
  EXPECT_STREQ(m_App->Careers().records[0].nickname.data(), "two");
}

TEST_F(Screens, RoomOffersFollowTheDifficulty) {
  ks::app::CareerRecord career = ks::app::CareerRecord::Fresh();
  auto noSpot = [](const void*, int, int, int* r, int* g) { *r = *g = 0; };
  for (int d = 0; d < 4; ++d) {
    career.difficulty = static_cast<std::uint8_t>(d);
    career.money = 20;
    ks::DeviceRand random(static_cast<std::uint32_t>(d + 3));
    const auto offers = career::DrawOffers(0, career, m_App->Opponents(), random, noSpot, nullptr);
    ASSERT_EQ(offers.size(), 6u);
    const std::int32_t champion = m_App->Opponents()[4].highStake * career::kBetMultiplier[d];
    EXPECT_EQ(offers[0].entry, 4);
    EXPECT_EQ(offers[0].bet, champion);
    EXPECT_EQ(offers[4].bet, 20) << "the fourth challenger plays for what the player has";
    for (std::size_t i = 1; i < offers.size(); ++i) {
      EXPECT_EQ(m_App->Opponents()[static_cast<std::size_t>(offers[i].entry)].room, 0);
      if (i == 4) continue;
      EXPECT_EQ(offers[i].bet % 5, 0);
      EXPECT_GE(offers[i].bet, 5);
      EXPECT_LE(offers[i].bet, champion * 85 / 100 + 5);
    }
  }
  ks::DeviceRand random(1);
  EXPECT_EQ(career::DrawOffers(5, career, m_App->Opponents(), random, noSpot, nullptr).size(), 1u)
      << "the last room holds its champion alone";
}

TEST_F(Screens, RackEmNeedsTheMoneyAndThenStartsTheMatch) {
  NewCareer(L"Rex", 1);
  ks::app::CareerRecord& c = m_App->Careers().records[0];
  m_App->SelectCareer(0);
  ASSERT_NE(PushCareerMap(m_App), nullptr);
  Key(0x33);  // into the Garage
  auto* room = Top<CareerRoomDlg>();
  ASSERT_NE(room, nullptr);
  ASSERT_EQ(room->List()->GetCount(), 6);
  // The champion's row costs more than the starting money.
  room->List()->SetCurSel(0);
  ASSERT_GT(room->Offers()[0].bet, c.money);
  Key(0x33);
  auto* box = Top<MessageDlg>();
  ASSERT_NE(box, nullptr);
  EXPECT_STREQ(box->Title(), L"Check your wallet!!");
  Key(0x33);
  // The row with the lowest bet is affordable.
  int cheapest = -1;
  std::int32_t bet = 0;
  for (int row = 0; row < room->List()->GetCount(); ++row) {
    const std::uint32_t entry = room->List()->GetItemData(row);
    for (const career::Offer& o : room->Offers())
      if (static_cast<std::uint32_t>(o.entry) == entry && (cheapest < 0 || o.bet < bet)) {
        cheapest = row;
        bet = o.bet;
      }
  }
  ASSERT_LE(bet, c.money);
  room->List()->SetCurSel(cheapest);
  const std::uint32_t opponent = room->List()->GetItemData(cheapest);
  Key(0x33);
  EXPECT_EQ(c.bet, bet);
  EXPECT_EQ(c.chosenRow, cheapest);
  EXPECT_EQ(m_App->MatchSetup().opponent, opponent);
  EXPECT_EQ(m_App->MatchSetup().playerOne, 160);
  EXPECT_EQ(m_App->MatchSetup().gameGoal, 3);
  EXPECT_EQ(m_App->ReturnTo(), ReturnScreen::kCareerMap);
  EXPECT_NE(m_App->State(), AppState::kMenus);
  EXPECT_STREQ(m_App->Opponents()[160].nickname, "rex");
}

TEST_F(Screens, KeyAssignmentSwapsAClashAndKeepsAChangeConfirmedWithDone) {
  // "Zoom In" (list 6) takes the key "Replay" (list 12) holds.
  ASSERT_NE(PushSettings(m_App), nullptr);
  Command(SettingsDlg::kControls, ui::kNotifyClicked);
  auto* keys = Top<KeyAssignDlg>();
  ASSERT_NE(keys, nullptr);
  const int zoom = keys->Stored(6), replay = keys->Stored(12);
  ASSERT_NE(zoom, replay);
  keys->ActionList(6)->SetCurSel(replay);
  Command(KeyAssignDlg::kFirstList + 6, ui::kNotifyLeave);
  EXPECT_EQ(keys->Stored(6), replay);
  EXPECT_EQ(keys->Stored(12), zoom);
  EXPECT_EQ(keys->ActionList(12)->GetCurSel(), zoom);
  // A key stepped to with Right on the focused list and confirmed with Done
  // (without leaving the list) is kept too, with its clash swapped.
  const int aim = keys->Stored(0), moveView = keys->Stored(1);
  keys->FocusChild(keys->ActionList(0));
  // One step onto the key "Move View" holds, sent straight to the screen
  // (the application would first turn the arrows for a display held the
  // other way round).
  const bool right = moveView > 0;
  keys->ActionList(0)->SetCurSel(right ? moveView - 1 : moveView + 1);
  keys->WndProc(ui::kMsgKeyUp, right ? ui::kKeyRight : ui::kKeyLeft, 0);
  ASSERT_EQ(keys->ActionList(0)->GetCurSel(), moveView);
  Key(0x33);
  EXPECT_EQ(m_App->Prefs().keys[12], KeyAssignDlg::KeyCode(replay));
  EXPECT_EQ(m_App->Prefs().keys[26], KeyAssignDlg::KeyCode(zoom));
  EXPECT_EQ(m_App->Prefs().keys[0], KeyAssignDlg::KeyCode(moveView));
  EXPECT_EQ(m_App->Prefs().keys[1], KeyAssignDlg::KeyCode(aim));
  m_App->LoadPrefs();
  EXPECT_EQ(m_App->Prefs().keys[12], KeyAssignDlg::KeyCode(replay)) << "kept in the preferences file";
  EXPECT_EQ(m_App->Prefs().keys[0], KeyAssignDlg::KeyCode(moveView));
}

TEST_F(Screens, SettingsAreSavedOnSaveAndDroppedOnCancel) {
  using namespace ks::app;
  auto* settings = dynamic_cast<SettingsDlg*>(PushSettings(m_App));
  ASSERT_NE(settings, nullptr);
  static_cast<ChoiceList*>(settings->GetChild(SettingsDlg::kUserView))->SetCurSel(1);
  Key(0x39);
  EXPECT_EQ(m_App->Prefs()[pref::kUserView], 0);
  settings = dynamic_cast<SettingsDlg*>(PushSettings(m_App));
  static_cast<ChoiceList*>(settings->GetChild(SettingsDlg::kUserView))->SetCurSel(1);
  static_cast<ChoiceList*>(settings->GetChild(SettingsDlg::kVolume))->SetCurSel(3);
  static_cast<ChoiceList*>(settings->GetChild(SettingsDlg::kOrientation))->SetCurSel(1);
  Key(0x33);
  auto* box = Top<MessageDlg>();
  ASSERT_NE(box, nullptr);
  EXPECT_STREQ(box->Title(), L"Orientation Change");
  m_App->LoadPrefs();
  EXPECT_EQ(m_App->Prefs()[pref::kUserView], 1);
  EXPECT_EQ(m_App->Prefs()[pref::kVolume], 3);
  EXPECT_EQ(m_App->Prefs()[pref::kOrientation], 1);
}

TEST_F(Screens, TheMenuKeyOpensTheInGameMenuAndEveryChoiceReturnsToPlay) {
  m_App->ScreenStack()->PopAll();
  m_App->MatchSetup() = ks::app::MatchSetup{};
  m_App->MatchSetup().menuGame = 1;
  m_App->MatchSetup().secondPlayer = 2;  // two players at the table
  m_App->LoadMatch(StartMode::kFresh, ReturnScreen::kMainMenu);
  Pump(5000);
  ASSERT_EQ(m_App->State(), AppState::kPlay);
  // The Show KeyMap key shows the keypad over the table and hides it again.
  PostMessageW(m_Window, WM_KEYUP, m_App->Prefs().keys[29], 0);
  Pump(kTick);
  ASSERT_TRUE(m_App->KeyMapScreen());
  wchar_t label[64];
  m_App->KeyMapScreen()->GetChild(7)->GetText(label, 64);
  EXPECT_STREQ(label, L"In Game Menu") << "the 0 key: the lower of two actions sharing it";
  m_App->KeyMapScreen()->GetChild(11)->GetText(label, 64);
  EXPECT_STREQ(label, L"Adjust Aim, View or Move Ball");
  EXPECT_EQ(KeyMapDlg::ActionOfKey(m_App->Prefs().keys.data(), 0x5A), KeyMapDlg::kUnbound);
  PostMessageW(m_Window, WM_KEYUP, m_App->Prefs().keys[29], 0);
  Pump(kTick);
  EXPECT_FALSE(m_App->KeyMapScreen());
  PostMessageW(m_Window, WM_KEYUP, m_App->Prefs().keys[6], 0);
  Pump(kTick);
  auto* menu = Top<InGameMenuDlg>();
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(m_App->State(), AppState::kMenus);
  wchar_t caption[64];
  menu->GetChild(InGameMenuDlg::kHold)->GetText(caption, 64);
  EXPECT_STREQ(caption, L"Put Game On Hold") << "a quick-play match";
  EXPECT_TRUE(menu->GetChild(InGameMenuDlg::kResign)->IsVisible());
  Key(0x39);
  EXPECT_EQ(m_App->State(), AppState::kPlay);
  // Resume, and "3" and "9": back to play within the same event.
  for (int way = 0; way < 3; ++way) {
    menu = dynamic_cast<InGameMenuDlg*>(PushInGameMenu(m_App));
    ASSERT_NE(menu, nullptr);
    if (way == 0) {
      menu->WndProc(ui::kMsgCommand, ui::MakeCommand(InGameMenuDlg::kResume, 0), 0);
      EXPECT_EQ(m_App->State(), AppState::kPlay);
      m_App->ScreenStack()->CloseFinished();  // as the dispatch does after the handler
    } else {
      Key(way == 1 ? 0x33 : 0x39);
    }
    Pump(200);
    EXPECT_EQ(m_App->State(), AppState::kPlay) << way;
    EXPECT_FALSE(m_App->ScreenStack()->NonEmpty()) << way;
  }
  // A resign that reaches the match goal ends the match.
  ks::Pool& pool = *m_App->Pool();
  pool.rules.MatchGoal = 1;
  const std::int16_t before = pool.rules.GamesWon[1];
  menu = dynamic_cast<InGameMenuDlg*>(PushInGameMenu(m_App));
  ASSERT_NE(menu, nullptr);
  menu->WndProc(ui::kMsgCommand, ui::MakeCommand(InGameMenuDlg::kResign, 0), 0);
  EXPECT_EQ(m_App->State(), AppState::kPlay);
  m_App->ScreenStack()->CloseFinished();
  EXPECT_EQ(pool.rules.GamesWon[1], before + 1);
  EXPECT_NE(pool.rules.TurnFlags & 8, 0) << "the match is over";
}

// The key map called up at the table: each key's label names the action
// the key map binds to it (the lowest of two sharing it), a key no action
// uses shows nothing, and the direction pad keeps its caption; as drawn by
// the match's own frame.
std::vector<std::pair<int, std::wstring>> g_keyLabels;  // label id, text drawn
void CollectKeyLabel(const ui::DrawnText& text) {
  if (text.owner != nullptr && text.owner->Parent() != nullptr && text.owner->Parent()->Id() == KeyMapDlg::kScreenId)
    g_keyLabels.emplace_back(text.owner->Id(), text.text);
}

TEST_F(Screens, TheKeyMapAtTheTableNamesTheActionOfEachKey) {
  m_App->ScreenStack()->PopAll();
  std::array<std::uint8_t, 32>& keys = m_App->Prefs().keys;
  // "Aim Mode" moved from End to Home, "Zip To End" onto the "1" that
  // "Zoom Out" keeps, "Stroke Cue" off the second soft key.
  keys[0] = 0x5B;
  keys[5] = 0x31;
  keys[16] = 0x01;
  StartMatch(1, 2, 0);
  ASSERT_EQ(m_App->State(), AppState::kPlay);
  struct Expected {
    int label;
    const wchar_t* text;  // nullptr: nothing drawn
  };
  static constexpr Expected kExpected[] = {
      {2, L"Show KeyMap"},    // "*"
      {3, L"Cue Tip Left"},   // "7"
      {4, L"Cue Tip Right"},  // "4"
      {5, L"Zip To End"},     // "1": index 5 before "Zoom Out" at 13
      {6, L"Aim Mode"},       // Home
      {7, L"In Game Menu"},   // "0": index 6 before "Help" at 7
      {8, L"Angle   Up"},     // "8"
      {9, L"Cue Tip Up"},     // "5"
      {10, L"Zoom    In"},    // "2"
      {11, L"Adjust Aim, View or Move Ball"},
      {12, L"Move  Ball"},    // Start
      {13, L"Angle Down"},    // "9"
      {14, L"Cue Tip Down"},  // "6"
      {15, L"Replay"},        // "3"
      {16, L"Over  Head"},    // Back
      {17, nullptr},          // End: no action
      {18, nullptr},          // the second soft key: no action
      {19, L"Move View"},     // the first soft key
      {21, L"Track Lines"},   // "#"
  };
  g_keyLabels.clear();
  ui::SetTextProbe(CollectKeyLabel);
  PostMessageW(m_Window, WM_KEYUP, keys[ks::play::KeyMap::kShowKeyMap], 0);
  Pump(kTick);
  ui::SetTextProbe(nullptr);
  ASSERT_TRUE(m_App->KeyMapScreen());
  for (const Expected& e : kExpected) {
    std::vector<std::wstring> drawn;
    for (const auto& [id, text] : g_keyLabels)
      if (id == e.label && !text.empty()) drawn.push_back(text);
    wchar_t caption[64];
    m_App->KeyMapScreen()->GetChild(e.label)->GetText(caption, 64);
    if (e.text == nullptr) {
      EXPECT_TRUE(drawn.empty()) << "label " << e.label << " of a key without an action";
      EXPECT_STREQ(caption, L"") << "label " << e.label;
    } else {
      ASSERT_FALSE(drawn.empty()) << "label " << e.label << " drew nothing";
      EXPECT_EQ(drawn.front(), e.text) << "label " << e.label;
      EXPECT_STREQ(caption, e.text) << "label " << e.label;
    }
  }
  PostMessageW(m_Window, WM_KEYUP, keys[ks::play::KeyMap::kShowKeyMap], 0);
  Pump(kTick);
  EXPECT_FALSE(m_App->KeyMapScreen());
}

// The in-game menu marks its focus as every menu does: the focused caption
// in its full colour (yellow), the others dimmed to 0.65 of it (olive), on
// the panel's dark face; the mark follows the Down key.
TEST_F(Screens, TheInGameMenuShowsItsFocusedCaptionInFullYellowAndTheOthersDimmed) {
  StartMatch(1, 2, 0);
  ASSERT_EQ(m_App->State(), AppState::kPlay);
  ASSERT_EQ(m_App->Display()->m_Rotate, 0);
  PostMessageW(m_Window, WM_KEYUP, m_App->Prefs().keys[ks::play::KeyMap::kInGameMenu], 0);
  Pump(kTick);
  auto* menu = Top<InGameMenuDlg>();
  ASSERT_NE(menu, nullptr);
  // The brightest yellow ink of a caption, as its red channel on the screen.
  auto brightest = [&](int id) {
    const RECT r = menu->GetChild(id)->ScreenRect();
    int best = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) {
        const COLORREF px = ce::testing::ScreenPixel(x, y);
        if (GetBValue(px) < 40 && std::abs(GetRValue(px) - GetGValue(px)) < 24)
          best = std::max<int>(best, GetRValue(px));
      }
    return best;
  };
  const int kRing[] = {InGameMenuDlg::kResume,   InGameMenuDlg::kHold,     InGameMenuDlg::kResign,
                       InGameMenuDlg::kMiscall,  InGameMenuDlg::kSettings, InGameMenuDlg::kHelp,
                       InGameMenuDlg::kQuitMatch};
  for (int focused = 0; focused < 3; ++focused) {
    for (int id : kRing) {
      const int ink = brightest(id);
      if (id == kRing[focused]) {
        EXPECT_GE(ink, 0xD8) << "the focused caption " << id << " at step " << focused;
      } else {
        EXPECT_GE(ink, 0x80) << "caption " << id << " drawn";
        EXPECT_LE(ink, 0xB0) << "caption " << id << " dimmed at step " << focused;
      }
    }
    Key(VK_DOWN);
  }
  Key(0x39);
  EXPECT_EQ(m_App->State(), AppState::kPlay);
}

TEST_F(Screens, TheMenuKeyOpensTheInGameMenuDuringTheComputersTurn) {
  StartMatch(2, 1, 11);  // 9-Ball against the computer
  ASSERT_EQ(m_App->State(), AppState::kPlay);
  // The computer's turn, at each of its steps: thinking, and its shot.
  m_App->Pool()->rules.CurrentPlayer = 1;
  m_App->PlayControl()->BeginTurn();
  ASSERT_TRUE(m_App->PlayControl()->ComputerToPlay());
  bool sawShot = false, sawThinking = false;
  for (int step = 0; step < 400 && !(sawShot && sawThinking); ++step) {
    Pump(kTick);
    const bool shot = m_App->PlayControl()->ShotRunning();
    const bool thinking = !shot && m_App->PlayControl()->Computer()->Thinking();
    if ((shot && !sawShot) || (thinking && !sawThinking)) {
      (shot ? sawShot : sawThinking) = true;
      PostMessageW(m_Window, WM_KEYUP, m_App->Prefs().keys[ks::play::KeyMap::kInGameMenu], 0);
      Pump(kTick);
      auto* menu = Top<InGameMenuDlg>();
      ASSERT_NE(menu, nullptr) << (shot ? "during the computer's shot" : "while the computer thinks");
      // While it thinks the computer is at the table: no resigning for it.
      if (thinking) {
        EXPECT_FALSE(menu->GetChild(InGameMenuDlg::kResign)->IsVisible());
      }
      EXPECT_FALSE(m_App->PlayControl()->ShotRunning()) << "the menu finds the balls at rest";
      Key(0x39);  // back to the table
      ASSERT_EQ(m_App->State(), AppState::kPlay);
    }
  }
  EXPECT_TRUE(sawThinking);
  EXPECT_TRUE(sawShot);
}

// "Room Graphics" and "Adversary View" reach the match: as it starts, and
// again when the settings close during it.
TEST_F(Screens, RoomGraphicsAndAdversaryViewApplyAtTheStartAndWhenTheSettingsClose) {
  using namespace ks::app;
  m_App->Prefs()[pref::kRoomGraphics] = 0;
  m_App->Prefs()[pref::kAdversaryView] = 0;  // "Overhead"
  StartMatch(2, 1, 11);                      // 9-Ball against the computer
  ASSERT_EQ(m_App->State(), AppState::kPlay);
  EXPECT_FALSE(m_App->Scene()->scene.host.roomGraphics);
  EXPECT_FALSE(m_App->PlayControl()->Computer()->fromTableEnd);
  // Where the room's walls would stand above the table, the frame is black.
  auto roomPixels = [&] {
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    const bool turned = (m_App->Display()->m_Rotate & 2) != 0;
    int lit = 0;
    for (int y = h / 6; y < h / 4; y += 2)
      for (int x = 0; x < w; x += 2) {
        const COLORREF px = ce::testing::ScreenPixel(turned ? w - 1 - x : x, turned ? h - 1 - y : y);
        if (GetRValue(px) + GetGValue(px) + GetBValue(px) > 60) ++lit;
      }
    return lit;
  };
  EXPECT_EQ(roomPixels(), 0) << "no room drawn";
  // The computer's turn is seen from above.
  m_App->Pool()->rules.CurrentPlayer = 1;
  m_App->PlayControl()->BeginTurn();
  Pump(kTick);
  ASSERT_TRUE(m_App->PlayControl()->ComputerToPlay());
  EXPECT_EQ(m_App->Scene()->view.pitch, -0x10000) << "straight down";
  // While the computer thinks, the settings change from the in-game menu.
  auto* menu = dynamic_cast<InGameMenuDlg*>(PushInGameMenu(m_App));
  ASSERT_NE(menu, nullptr);
  menu->WndProc(ui::kMsgCommand, ui::MakeCommand(InGameMenuDlg::kSettings, ui::kNotifyClicked), 0);
  Pump(kTick);
  auto* settings = Top<SettingsDlg>();
  ASSERT_NE(settings, nullptr);
  static_cast<ChoiceList*>(settings->GetChild(SettingsDlg::kRoomGraphics))->SetCurSel(1);
  static_cast<ChoiceList*>(settings->GetChild(SettingsDlg::kAdversaryView))->SetCurSel(1);  // "Downtable"
  Key(0x33);                                                                                // Save
  ASSERT_EQ(m_App->State(), AppState::kPlay);
  EXPECT_TRUE(m_App->Scene()->scene.host.roomGraphics);
  EXPECT_TRUE(m_App->PlayControl()->Computer()->fromTableEnd);
  EXPECT_EQ(m_App->Scene()->view.pitch, -16192) << "the computer now seen from the table end";
  Pump(kTick);
  EXPECT_GT(roomPixels(), 100) << "the room is drawn again";
}

// The whole screen as the display shows it, and how many pixels two such
// pictures differ in.
std::vector<COLORREF> ScreenShot() {
  const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  std::vector<COLORREF> shot;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) shot.push_back(ce::testing::ScreenPixel(x, y));
  return shot;
}
std::size_t PixelsDiffering(const std::vector<COLORREF>& a, const std::vector<COLORREF>& b) {
  std::size_t n = a.size() > b.size() ? a.size() - b.size() : b.size() - a.size();
  for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) n += a[i] != b[i] ? 1 : 0;
  return n;
}

// A tap on a widget of the top screen (an upright screen: its pixels are the
// pen's).
void TapChild(HWND window, Dlg* screen, int id) {
  const RECT& r = screen->GetChild(id)->ScreenRect();
  const LPARAM pos = ui::MakePos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  PostMessageW(window, WM_LBUTTONDOWN, 1, pos);
  PostMessageW(window, WM_LBUTTONUP, 0, pos);
  Pump(kTick);
}

// The in-game menu closed by each of its keys leaves no part of its picture:
// the screen at once shows what a full frame of the match shows.
TEST_F(Screens, TheTableIsWholeAtOnceAfterTheInGameMenuCloses) {
  StartMatch(2, 2, 128);  // two persons at the table
  ASSERT_EQ(m_App->State(), AppState::kPlay);
  ASSERT_EQ(m_App->Display()->m_Rotate, 0);
  Pump(2000);
  struct Way {
    const char* name;
    std::function<void()> close;
  };
  const Way ways[] = {
      {"Resume", [&] { TapChild(m_Window, m_App->ScreenStack()->Top(), InGameMenuDlg::kResume); }},
      {"3", [&] { Key(0x33); }},
      {"9", [&] { Key(0x39); }},
      {"Enter", [&] { Key(VK_RETURN); }},
  };
  for (const Way& way : ways) {
    const std::vector<COLORREF> before = ScreenShot();
    PostMessageW(m_Window, WM_KEYUP, m_App->Prefs().keys[ks::play::KeyMap::kInGameMenu], 0);
    Pump(kTick);
    ASSERT_NE(Top<InGameMenuDlg>(), nullptr) << way.name;
    const std::vector<COLORREF> menu = ScreenShot();
    EXPECT_GT(PixelsDiffering(menu, before), 1000u) << way.name << ": the menu is shown";
    way.close();
    ASSERT_EQ(m_App->State(), AppState::kPlay) << way.name;
    ASSERT_FALSE(m_App->ScreenStack()->NonEmpty()) << way.name;
    const std::vector<COLORREF> after = ScreenShot();
    m_App->RedrawPlay();
    EXPECT_EQ(PixelsDiffering(after, ScreenShot()), 0u) << way.name << ": the screen is a whole frame of the table";
    Pump(3000);
  }
}

// The first event after the in-game menu begins the turn again: after a
// resigned game the other player breaks the new rack, the camera gliding
// to his aim.
TEST_F(Screens, TheTurnBeginsAgainAfterTheInGameMenu) {
  StartMatch(2, 2, 128);
  ASSERT_EQ(m_App->State(), AppState::kPlay);
  ASSERT_EQ(m_App->Display()->m_Rotate, 0);
  ks::Pool& pool = *m_App->Pool();
  pool.rules.MatchGoal = 3;
  ASSERT_EQ(m_App->PlayControl()->Active(), m_App->PlayControl()->Aim());
  const int player = pool.rules.CurrentPlayer;
  PostMessageW(m_Window, WM_KEYUP, m_App->Prefs().keys[ks::play::KeyMap::kInGameMenu], 0);
  Pump(kTick);
  ASSERT_NE(Top<InGameMenuDlg>(), nullptr);
  TapChild(m_Window, m_App->ScreenStack()->Top(), InGameMenuDlg::kResign);
  ASSERT_EQ(m_App->State(), AppState::kPlay);
  EXPECT_NE(pool.rules.CurrentPlayer, player);
  EXPECT_EQ(m_App->PlayControl()->Active(), m_App->PlayControl()->Glide()) << "the new turn's glide";
  Pump(3000);
  EXPECT_EQ(m_App->PlayControl()->Active(), m_App->PlayControl()->Aim());
  EXPECT_EQ(pool.rules.TurnFlags & 8, 0);
}

// A match against the computer that ends while the computer is at the
// table, before the person has aimed: the next match's break is seen from
// the usual aiming distance, the table large on the screen.
TEST_F(Screens, AMatchEndedOnTheComputersTurnLeavesTheNextBreakClose) {
  m_App->ScreenStack()->PopAll();
  m_App->MatchSetup() = ks::app::MatchSetup{};
  m_App->MatchSetup().menuGame = 2;
  m_App->MatchSetup().secondPlayer = 1;
  m_App->MatchSetup().opponent = 11;
  m_App->LoadMatch(StartMode::kFresh, ReturnScreen::kMainMenu);
  for (int i = 0; i < 10 && m_App->State() != AppState::kPlay; ++i) Pump(kTick);
  ASSERT_EQ(m_App->State(), AppState::kPlay);
  m_App->Pool()->rules.CurrentPlayer = 1;
  m_App->PlayControl()->BeginTurn();
  ASSERT_TRUE(m_App->PlayControl()->ComputerToPlay());
  PostMessageW(m_Window, WM_KEYUP, m_App->Prefs().keys[ks::play::KeyMap::kInGameMenu], 0);
  Pump(kTick);
  ASSERT_NE(Top<InGameMenuDlg>(), nullptr);
  TapChild(m_Window, m_App->ScreenStack()->Top(), InGameMenuDlg::kQuitMatch);
  Pump(5000);
  ASSERT_EQ(m_App->State(), AppState::kMenus) << "the match is over";
  EXPECT_EQ(m_App->CameraDistance(), 0x1B0000);
  // Practice: the person breaks; the glide ends at his aim.
  StartMatch(2, 0, 128);
  ASSERT_EQ(m_App->PlayControl()->Active(), m_App->PlayControl()->Aim());
  EXPECT_EQ(m_App->Scene()->view.eye.z, 0x1B0000);
  // Seen from there the cloth fills much of the screen's middle (far
  // away, the whole table would be a small box in it).
  const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  int cloth = 0, all = 0;
  for (int y = h / 4; y < 3 * h / 4; y += 2)
    for (int x = 0; x < w; x += 2, ++all) {
      const COLORREF px = ce::testing::ScreenPixel(x, y);
      if (GetGValue(px) > GetRValue(px) + 20 && GetGValue(px) > GetBValue(px)) ++cloth;
    }
  EXPECT_GT(cloth, all / 4);
}

// The camera as the application hands it to the play: the aiming distance
// one match ends with starts the next, and the room's distances for the
// view from a table end and from above frame the computer's turn.
TEST_F(Screens, TheCameraDistanceCarriesOverAndTheRoomsViewDistancesFrameTheComputersTurn) {
  auto start = [&](std::uint16_t second, std::uint16_t room) {
    StartMatch(2, second, second == 1 ? 11 : 128, room);
    ASSERT_EQ(m_App->State(), AppState::kPlay);
  };
  // Practice: the player aims, zoomed to a distance of his own.
  start(0, 0);
  EXPECT_EQ(m_App->PlayControl()->Aim()->aimDistance, 0x1B0000) << "the first match starts at the default";
  m_App->PlayControl()->Aim()->aimDistance = 0x2C0000;
  m_App->EndPlay();
  EXPECT_EQ(m_App->CameraDistance(), 0x2C0000);
  start(0, 0);
  EXPECT_EQ(m_App->PlayControl()->Aim()->aimDistance, 0x2C0000) << "the next match starts where the last ended";
  m_App->EndPlay();

  // A large table: 0.8 and 5.6 times its length.
  start(1, 3);
  EXPECT_EQ(m_App->NearViewDistance(), 2015232);
  EXPECT_EQ(m_App->FarViewDistance(), 14106624);
  ks::play::AiMode& ai = *m_App->PlayControl()->Computer();
  struct Case {
    bool fromTableEnd;
    std::int32_t yawBefore, yaw;
  };
  // From the table end nearer to where the player last looked from.
  const Case cases[] = {{false, 0x9000, -0x10000}, {true, 0x9000, 0}, {true, 0x1C000, 0x20000}, {true, 0x33000, 0}};
  for (const Case& c : cases) {
    ai.fromTableEnd = c.fromTableEnd;
    m_App->Scene()->view.yaw = c.yawBefore;
    m_App->Pool()->rules.CurrentPlayer = 1;
    m_App->PlayControl()->BeginTurn();
    ASSERT_TRUE(m_App->PlayControl()->ComputerToPlay());
    EXPECT_EQ(m_App->Scene()->view.eye.z, c.fromTableEnd ? 2015232 : 14106624) << c.yawBefore;
    EXPECT_EQ(m_App->Scene()->view.yaw, c.yaw) << c.yawBefore;
  }
}

// A career played to its end through its screens: each room's champion
// beaten in turn opens the next room with its movie; the last champion
// wins the career with the winning movie, after which the main menu and the
// map come back with every room open.
TEST_F(Screens, ACareerPlayedToItsEndOpensEachRoomAndIsWon) {
  NewCareer(L"Max", 3);
  ks::app::CareerRecord& c = m_App->Careers().records[0];
  m_App->SelectCareer(0);
  c.matchesPlayed = 1;  // past the introduction
  c.money = 10000000;
  std::int32_t money = c.money;
  for (int room = 0; room < 6; ++room) {
    m_App->ScreenStack()->PopAll();
    m_App->EnterMenus();
    auto* map = dynamic_cast<CareerMapDlg*>(PushCareerMap(m_App));
    ASSERT_NE(map, nullptr);
    // Only the rooms reached are shown.
    for (int r = 1; r < 6; ++r)
      EXPECT_EQ(map->GetChild(CareerMapDlg::kRoomPictureIds[r])->IsVisible(), r <= room) << room << " " << r;
    map->GetChild(CareerMapDlg::kRoomPictureIds[room])->Activate();
    Pump(kTick);
    auto* screen = Top<CareerRoomDlg>();
    ASSERT_NE(screen, nullptr) << room;
    EXPECT_EQ(screen->m_Room, room);
    screen->List()->SetCurSel(0);  // the champion's row
    const std::int32_t bet = screen->Offers()[0].bet;
    EXPECT_EQ(bet, m_App->Opponents()[static_cast<std::size_t>(career::kChampions[room])].highStake * 10);
    Key(0x33);
    Pump(5000);
    ASSERT_EQ(m_App->State(), AppState::kPlay) << "the match is on the table";
    EXPECT_EQ(c.currentRoom, room);
    EXPECT_EQ(c.chosenRow, 0);
    // The match won: the last game of the goal taken by the player.
    ks::Pool& pool = *m_App->Pool();
    pool.rules.GamesWon = {pool.rules.MatchGoal, 0};
    pool.rules.TurnFlags = static_cast<std::uint8_t>(pool.rules.TurnFlags | 8);
    Pump(kTick);
    Key(0x33);  // past the verdict
    EXPECT_EQ(c.level, room + 1);
    EXPECT_EQ(c.money, money + bet);
    money = c.money;
    EXPECT_EQ(m_App->MovieNumber(), room + 1) << "the movie of the room reached, the winning one at the end";
    // The movie plays to its end; then the main menu and the map.
    for (int t = 0; t < 600 && m_App->State() != AppState::kMenus; ++t) Pump(kTick);
    ASSERT_EQ(m_App->State(), AppState::kMenus);
    EXPECT_NE(Top<CareerMapDlg>(), nullptr);
    EXPECT_EQ(m_App->ScreenStack()->Count(), 2) << "the main menu under the map";
  }
  EXPECT_EQ(c.level, ks::app::kFinalLevel);
  EXPECT_EQ(m_App->Prefs()[ks::app::pref::kBestLevel], ks::app::kFinalLevel);
  // Every room open on the map, and for quick play.
  auto* map = Top<CareerMapDlg>();
  ASSERT_NE(map, nullptr);
  for (int r = 0; r < 6; ++r) EXPECT_TRUE(map->GetChild(CareerMapDlg::kRoomPictureIds[r])->IsVisible()) << r;
  // The careers file holds the won career: the level past the last room,
  // the prizes, six matches won of six, no game on hold.
  m_App->LoadCareers();
  const ks::app::CareerRecord& saved = m_App->Careers().records[0];
  EXPECT_EQ(saved.level, ks::app::kFinalLevel);
  EXPECT_EQ(saved.money, money);
  EXPECT_EQ(saved.matchesWon, 6);
  EXPECT_EQ(saved.matchesPlayed, 7);
  EXPECT_EQ(saved.held, 0);
  EXPECT_EQ(saved.currentRoom, 5);
  m_App->LoadPrefs();
  EXPECT_EQ(m_App->Prefs()[ks::app::pref::kBestLevel], ks::app::kFinalLevel);
}

// The settlement of a career match is shown over the map, not over the
// last frame of the match.
TEST_F(Screens, TheCareerResultSitsOnTheMap) {
  NewCareer(L"Max", 0);
  ks::app::CareerRecord& c = m_App->Careers().records[0];
  m_App->SelectCareer(0);
  c.matchesPlayed = 1;
  c.money = 1000;
  m_App->ScreenStack()->PopAll();
  m_App->EnterMenus();
  ASSERT_NE(PushCareerMap(m_App), nullptr);
  Key(0x33);  // into the Garage
  auto* room = Top<CareerRoomDlg>();
  ASSERT_NE(room, nullptr);
  room->List()->SetCurSel(1);  // a challenger
  Key(0x33);
  Pump(5000);
  ASSERT_EQ(m_App->State(), AppState::kPlay);
  ks::Pool& pool = *m_App->Pool();
  pool.rules.GamesWon = {0, pool.rules.MatchGoal};
  pool.rules.TurnFlags = static_cast<std::uint8_t>(pool.rules.TurnFlags | 8);
  Pump(kTick);
  Key(0x33);
  ASSERT_NE(Top<PictureMessageDlg>(), nullptr);
  EXPECT_EQ(m_App->ScreenStack()->Count(), 3) << "over the map over the main menu";
  Pump(kTick);
  // Beside the box the map's sandy backdrop shows, wherever the
  // orientation turns the screen.
  const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  int sandy = 0;
  for (int y : {h / 12, h - h / 12})
    for (int x = w / 2; x < w - w / 6; x += 4) {
      const COLORREF px = ce::testing::ScreenPixel(x, y);
      if (GetRValue(px) > 130 && GetGValue(px) > 120 && GetBValue(px) > 70 && GetRValue(px) > GetBValue(px) + 30)
        ++sandy;
    }
  EXPECT_GT(sandy, 10) << "the map, not the table, lies under the box";
}

// Every screen, in the states a player can bring it to, shows each widget
// and each text whole: on upright and on turned screens of both sizes, held
// in either hand, with the career list full.
TEST_F(Screens, EveryScreenShowsEverythingWholeOnUprightAndTurnedScreensHeldEitherWay) {
  // Sixteen careers whose nicknames are as wide as the keyboard takes, in
  // every game type and difficulty.
  m_App->Careers().records.assign(ks::app::kMaxCareers, ks::app::CareerRecord::Fresh());
  for (std::size_t i = 0; i < m_App->Careers().records.size(); ++i) {
    ks::app::CareerRecord& c = m_App->Careers().records[i];
    c.gameType = static_cast<std::uint8_t>(i % 6);
    c.difficulty = static_cast<std::uint8_t>(i % 4);
    c.level = 5;
    c.money = 99999999;
    c.rating = 2400;
    c.matchesPlayed = 1;
  }
  m_App->SelectCareer(0);
  std::unique_ptr<ssDisplayS16> original = m_App->ReplaceDisplay(nullptr);
  struct Shape {
    int width, height, rotate;
  };
  // Upright screens and screens wider than high (whose picture is turned a
  // quarter), with the "Right Hand" and "Left Hand" orientations.
  static constexpr Shape kShapes[] = {{240, 320, 0}, {240, 320, 2}, {480, 640, 0}, {480, 640, 2},
                                      {320, 240, 1}, {320, 240, 3}, {640, 480, 1}, {640, 480, 3}};
  using State = std::function<void(Dlg*)>;
  struct Opener {
    const char* name;
    std::function<Dlg*()> open;
    std::vector<std::pair<std::string, State>> states;
  };
  auto focus = [](int id) { return [id](Dlg* s) { s->FocusChild(s->GetChild(id)); }; };
  // Each choice of a choice list in turn, as the player steps through them.
  auto eachChoice = [&](std::vector<std::pair<std::string, State>>& states, int id, int count) {
    for (int i = 0; i < count; ++i)
      states.emplace_back("choice " + std::to_string(i) + " of " + std::to_string(id), [id, i](Dlg* s) {
        auto* list = dynamic_cast<ChoiceList*>(s->GetChild(id));
        if (list == nullptr || i >= list->GetCount()) return;
        s->FocusChild(list);
        list->SetCurSel(i);
        s->WndProc(ui::kMsgCommand, ui::MakeCommand(id, ui::kNotifyChanged), 0);
      });
  };
  // Each row of a list box selected in turn, the list scrolled with it.
  auto eachRow = [](std::vector<std::pair<std::string, State>>& states, int id, int count) {
    for (int i = 0; i < count; ++i)
      states.emplace_back("row " + std::to_string(i), [id, i](Dlg* s) {
        auto* list = dynamic_cast<ListBox*>(s->GetChild(id));
        if (list == nullptr || i >= list->GetCount()) return;
        s->FocusChild(list);
        list->SetCurSel(i);
        s->WndProc(ui::kMsgCommand, ui::MakeCommand(id, ui::kNotifyChanged), 0);
      });
  };
  std::vector<Opener> openers = {
      {"main menu", [&] { return PushMainMenu(m_App); }, {}},
      {"quick play", [&] { return PushQuickPlay(m_App); }, {{"match goal", focus(QuickPlayDlg::kMatchGoal)}}},
      {"career select", [&] { return PushCareerSelect(m_App); }, {}},
      {"career nickname", [&] { return PushCareerNickname(m_App); }, {}},
      {"career new",
       [&]() -> Dlg* {
         auto* screen = kit::Open<CareerNewDlg>(m_App);
         if (screen == nullptr) return nullptr;
         // The pad open, and a nickname as wide as it takes.
         Keyboard* pad = screen->Pad();
         pad->Activate();
         for (int i = 0; i < 16; ++i) pad->WndProc(ui::kMsgCommand, ui::MakeCommand(Keyboard::kFirstKeyId + 35, 0), 0);
         return screen;
       },
       {}},
      {"career map", [&] { return PushCareerMap(m_App); }, {}},
      {"career delete", [&] { return kit::Open<CareerDeleteDlg>(m_App); }, {}},
      {"settings", [&] { return PushSettings(m_App); }, {}},
      {"key assignment", [&] { return kit::Open<KeyAssignDlg>(m_App); }, {}},
      {"help", [&] { return PushHelp(m_App); }, {}},
      {"help rules", [&] { return kit::Open<HelpRulesDlg>(m_App); }, {}},
      {"help quick play", [&] { return kit::Open<HelpQuickPlayDlg>(m_App); }, {}},
      {"help career", [&] { return kit::Open<HelpCareerDlg>(m_App); }, {}},
      {"credits", [&] { return PushCredits(m_App); }, {}},
      {"welcome menu", [&] { return kit::Open<WelcomeMenuDlg>(m_App); }, {}},
      {"welcome play", [&] { return kit::Open<WelcomePlayDlg>(m_App); }, {}},
      {"in-game menu", [&] { return kit::Open<InGameMenuDlg>(m_App); }, {}},
      {"message box",
       [&]() -> Dlg* {
         auto* box = new MessageDlg();
         if (box->Build(m_App->Display(), nullptr) == 0) {
           delete box;
           return nullptr;
         }
         box->Show(m_App->ScreenStack(), L"Room is locked.", L"This room must be unlocked in Career Mode.", 1);
         return box;
       },
       {}},
      {"career result",
       [&]() -> Dlg* {
         auto* box = new PictureMessageDlg();
         if (box->Build(m_App->Display(), nullptr) == 0) {
           delete box;
           return nullptr;
         }
         box->SetMessageText(L"You lost $50,000 and are nearly broke. Fortunately, a kind soul has given you $450");
         m_App->ScreenStack()->Push(box, 0);
         return box;
       },
       {}},
  };
  for (Opener& o : openers) {
    const std::string name = o.name;
    if (name == "quick play") {
      eachChoice(o.states, QuickPlayDlg::kPlayer2, 119);
      eachChoice(o.states, QuickPlayDlg::kLocation, 6);
      eachChoice(o.states, QuickPlayDlg::kGameType, 6);
      o.states.emplace_back("straight", [](Dlg* s) {
        static_cast<ChoiceList*>(s->GetChild(QuickPlayDlg::kGameType))->SetCurSel(5);
        s->WndProc(ui::kMsgCommand, ui::MakeCommand(QuickPlayDlg::kGameType, ui::kNotifyChanged), 0);
      });
      eachChoice(o.states, QuickPlayDlg::kMatchGoal, 15);
    } else if (name == "career select") {
      eachRow(o.states, CareerSelectDlg::kList, 16);
    } else if (name == "career delete") {
      eachRow(o.states, CareerDeleteDlg::kList, 16);
    } else if (name == "career nickname") {
      eachChoice(o.states, CareerNicknameDlg::kGameType, 6);
      eachChoice(o.states, CareerNicknameDlg::kDifficulty, 4);
    } else if (name == "career map") {
      for (int room = 0; room < 6; ++room)
        o.states.emplace_back("room " + std::to_string(room),
                              [room](Dlg* s) { s->FocusChild(s->GetChild(CareerMapDlg::kRoomPictureIds[room])); });
    } else if (name == "settings") {
      for (int id : {SettingsDlg::kVolume, SettingsDlg::kRoomGraphics, SettingsDlg::kUserView,
                     SettingsDlg::kAdversaryView, SettingsDlg::kOrientation, SettingsDlg::kRenderMethod})
        eachChoice(o.states, id, 11);
      o.states.emplace_back("controls", focus(SettingsDlg::kControls));
    } else if (name == "key assignment") {
      for (int list = 0; list < KeyAssignDlg::kActions; ++list)
        eachChoice(o.states, KeyAssignDlg::kFirstList + list, KeyAssignDlg::kKnownKeys);
    } else if (name == "help rules") {
      eachChoice(o.states, HelpRulesDlg::kGameType, 6);
    } else if (name == "help") {
      for (int id :
           {HelpMainDlg::kControls, HelpMainDlg::kGameRules, HelpMainDlg::kQuickPlay, HelpMainDlg::kCareerPlay})
        o.states.emplace_back("focus " + std::to_string(id), focus(id));
    } else if (name == "in-game menu") {
      o.states.emplace_back("career hold", [](Dlg* s) {
        static_cast<InGameMenuDlg*>(s)->m_Mode = 2;
        s->WndProc(ui::kMsgInitDialog, 0, 0);
      });
    }
  }
  for (const Shape& shape : kShapes) {
    auto display = std::make_unique<ssDisplayS16>();
    display->ForceOutput(ssDisplayS16::kModeGdi);
    display->m_Folder = original->m_Folder;
    display->m_Rotate = shape.rotate;
    ASSERT_EQ(display->Init(nullptr, shape.width, shape.height, 16, 0), 0);
    ksMain::SetDesignSize(display.get(), ksMain::kDesignWidth, ksMain::kDesignHeight);
    m_App->ReplaceDisplay(std::move(display));
    EXPECT_EQ(ui::ScreenWidth(m_App->Display()), std::min(shape.width, shape.height)) << "laid out upright";
    const std::string where = " at " + std::to_string(shape.width) + "x" + std::to_string(shape.height) + " turned " +
                              std::to_string(shape.rotate);
    // The widest nickname the new-career keyboard takes on this screen.
    {
      auto* screen = kit::Open<CareerNewDlg>(m_App);
      ASSERT_NE(screen, nullptr);
      Keyboard* pad = screen->Pad();
      pad->Activate();
      for (int i = 0; i < 16; ++i) pad->WndProc(ui::kMsgCommand, ui::MakeCommand(Keyboard::kFirstKeyId + 35, 0), 0);
      std::string wide;
      for (const wchar_t* c = pad->InputText(); *c != 0; ++c) wide.push_back(static_cast<char>(*c));
      for (ks::app::CareerRecord& c : m_App->Careers().records) {
        c.nickname.fill(0);
        std::copy(wide.begin(), wide.end(), c.nickname.begin());
      }
      kit::SetCareerPlayerName(m_App, wide.c_str());
      m_App->ScreenStack()->PopAll();
      m_App->ScreenStack()->DeleteDeferred();
    }
    for (const Opener& o : openers) {
      m_App->EnterMenus();
      Dlg* screen = o.open();
      ASSERT_NE(screen, nullptr) << o.name;
      for (const std::string& p : fit::Problems(screen)) ADD_FAILURE() << o.name << where << ": " << p;
      for (const auto& [state, apply] : o.states) {
        apply(screen);
        for (const std::string& p : fit::Problems(screen))
          ADD_FAILURE() << o.name << ", " << state << where << ": " << p;
      }
      Pump(kTick);  // drawn once
      // Deleted now, while the display they were built on still exists.
      m_App->ScreenStack()->PopAll();
      m_App->ScreenStack()->DeleteDeferred();
    }
    // Each room of the career, and the keypad picture shown over a match.
    for (int room = 0; room < 6; ++room) {
      m_App->EnterMenus();
      auto* screen = kit::Open<CareerRoomDlg>(m_App, [&](CareerRoomDlg& s) {
        s.m_App = m_App;
        s.m_Room = room;
      });
      ASSERT_NE(screen, nullptr);
      for (const std::string& p : fit::Problems(screen)) ADD_FAILURE() << "career room " << room << where << ": " << p;
      for (int row = 0; row < screen->List()->GetCount(); ++row) {
        screen->FocusChild(screen->List());
        screen->List()->SetCurSel(row);
        screen->WndProc(ui::kMsgCommand, ui::MakeCommand(CareerRoomDlg::kList, ui::kNotifyChanged), 0);
        for (const std::string& p : fit::Problems(screen))
          ADD_FAILURE() << "career room " << room << ", row " << row << where << ": " << p;
      }
      m_App->ScreenStack()->PopAll();
      m_App->ScreenStack()->DeleteDeferred();
    }
    KeyMapDlg keys;
    ASSERT_TRUE(keys.Build(m_App->Display(), m_App->Input()));
    keys.m_App = m_App;
    keys.m_Keys = m_App->Prefs().keys.data();
    keys.Initialise();
    for (const std::string& p : fit::Problems(&keys)) ADD_FAILURE() << "key map" << where << ": " << p;
  }
  m_App->ReplaceDisplay(nullptr);
  m_App->ReplaceDisplay(std::move(original));
  m_App->EnterMenus();
  PushMainMenu(m_App);
}

TEST_F(Screens, KeyNamesStartPastTheirCaptionsOnANarrowScreen) {
  auto* screen = dynamic_cast<KeyAssignDlg*>(kit::Open<KeyAssignDlg>(m_App));
  ASSERT_NE(screen, nullptr);
  ASSERT_EQ(ui::ScreenWidth(m_App->Display()), 240);
  int lists = 0;
  for (int i = 0; i < screen->ChildCount(); ++i) {
    auto* list = dynamic_cast<ChoiceList*>(screen->Child(i));
    if (list == nullptr) continue;
    ++lists;
    // The focused list's left arrow takes two border units and half a
    // line in front of the name; it must not reach into the caption.
    const int nameStart = list->ValuePosition().x + list->ValueOffset().x;
    const int arrowLeft = nameStart - 2 * list->BorderUnit() - list->FontHeight() / 2;
    EXPECT_GE(arrowLeft, list->ValuePosition().x) << "list " << list->Id();
    EXPECT_LE(nameStart, list->ScreenRect().right) << "list " << list->Id();
  }
  EXPECT_EQ(lists, KeyAssignDlg::kActions);
}

TEST_F(Screens, LongHelpTextsTurnPageByPageAndLoseNoWord) {
  auto* rules = dynamic_cast<HelpRulesDlg*>(kit::Open<HelpRulesDlg>(m_App));
  ASSERT_NE(rules, nullptr);
  Pump(kTick);
  HelpPager& pager = rules->Pager();
  ASSERT_GE(pager.PageCount(), 2) << "the six-ball rules do not fit one label at 240 x 320";
  auto* text = dynamic_cast<StaticText*>(rules->GetChild(HelpRulesDlg::kText));
  ASSERT_NE(text, nullptr);
  // Down turns on to the last page and no further; Up comes back.
  std::wstring joined;
  for (int page = 0; page < pager.PageCount(); ++page) {
    EXPECT_EQ(pager.Page(), page);
    wchar_t shown[1024];
    text->GetText(shown, 1024);
    // Each page fits its label: measured wrapped in the label's width, it
    // is no taller than the label.
    int width = text->TextBox().right - text->TextBox().left, height = 0;
    m_App->Display()->MeasureText(text->GetFont(), shown, &width, &height, true);
    EXPECT_LE(text->TextOrigin().y + height, text->TextBox().bottom + text->FontHeight()) << page;
    joined += shown;
    joined += L' ';
    // Straight to the screen: the application would first turn the arrows
    // for a display held the other way round.
    rules->WndProc(ui::kMsgKeyUp, ui::kKeyDown, 0);
  }
  EXPECT_EQ(pager.Page(), pager.PageCount() - 1);
  rules->WndProc(ui::kMsgKeyUp, ui::kKeyUp, 0);
  EXPECT_EQ(pager.Page(), pager.PageCount() - 2);
  // Every word of the text is on one of the pages, in order.
  std::wistringstream all(L"Six ball is a low ball first game, so the balls must be struck in numerical order."),
      got(joined);
  std::wstring a, b;
  got >> b;
  while (all >> a) {
    EXPECT_EQ(a, b);
    got >> b;
  }
  EXPECT_NE(joined.find(L"Three consecutive fouls is loss of game."), std::wstring::npos);
  // A text that fits is one page with no counter.
  Key(0x39);
  auto* career = dynamic_cast<HelpCareerDlg*>(kit::Open<HelpCareerDlg>(m_App));
  ASSERT_NE(career, nullptr);
  EXPECT_EQ(career->Pager().PageCount(), 1);
  wchar_t counter[16];
  career->GetChild(HelpTextDlg::kPageCounter)->GetText(counter, 16);
  EXPECT_STREQ(counter, L"");
}

// Each game type shows its own rules picture from the menu archive, as big
// as the rules picture's place.
TEST_F(Screens, QuickPlayShowsTheRulesPictureOfEachGameType) {
  auto* screen = dynamic_cast<QuickPlayDlg*>(PushQuickPlay(m_App));
  ASSERT_NE(screen, nullptr);
  auto* games = static_cast<ChoiceList*>(screen->GetChild(QuickPlayDlg::kGameType));
  Wnd* picture = screen->GetChild(QuickPlayDlg::kInfoPicture);
  const int w = ui::ScreenWidth(m_App->Display()), h = ui::ScreenHeight(m_App->Display());
  std::vector<std::vector<std::uint8_t>> seen;
  for (int game = 0; game < 6; ++game) {
    screen->FocusChild(games);
    games->SetCurSel(game);
    screen->WndProc(ui::kMsgCommand, ui::MakeCommand(QuickPlayDlg::kGameType, ui::kNotifyChanged), 0);
    const ssImage* image = picture->Image();
    ASSERT_NE(image, nullptr) << game;
    const std::vector<std::uint8_t> pixels(
        image->Pixels(),
        image->Pixels() + static_cast<std::size_t>(image->Width()) * image->Height() * BytesPerPixel(image->Format()));
    EXPECT_TRUE(std::find(seen.begin(), seen.end(), pixels) == seen.end()) << game << ": a picture of its own";
    seen.push_back(pixels);
    const POINT size = ui::ImageSize(m_App->Display(), picture->Image());
    EXPECT_NEAR(size.x, static_cast<int>(w * 0.29090908), 1) << game;
    EXPECT_NEAR(size.y, static_cast<int>(h * 0.36363637), 1) << game;
  }
}

TEST_F(Screens, QuickPlayStartsWithoutTheSpotsOfACareerMatch) {
  // A career match against a stronger opponent left its spots in the set-up.
  m_App->MatchSetup().spotReceived = 3;
  m_App->MatchSetup().spotGiven = 2;
  ASSERT_NE(PushQuickPlay(m_App), nullptr);
  Key(0x33);  // Rack Em
  EXPECT_EQ(m_App->MatchSetup().spotReceived, 0);
  EXPECT_EQ(m_App->MatchSetup().spotGiven, 0);
  Pump(5000);
  ASSERT_EQ(m_App->State(), AppState::kPlay);
  EXPECT_EQ(m_App->Pool()->rules.Score[0], 0);
  EXPECT_EQ(m_App->Pool()->rules.Score[1], 0);
}

TEST_F(Screens, RandomKeysAndTapsOverTheMenusKeepTheSavesSound) {
  static constexpr WPARAM kKeys[] = {0x33, 0x39, 0x0D, 0x25, 0x26, 0x27, 0x28, 0x30, 0x31, 0x35};
  for (std::uint32_t seed = 1; seed <= 6; ++seed) {
    ks::DeviceRand random(seed);
    for (int step = 0; step < 400; ++step) {
      if (m_App->State() != AppState::kMenus) {
        // A match started or the program was told to quit: back to the menus.
        m_App->EndPlay();
        m_App->ScreenStack()->PopAll();
        m_App->StartMenus();
        Pump(kTick);
      }
      const int r = random.Rand();
      if (r % 3 == 0) {
        const LPARAM pos = ui::MakePos(random.Rand() % 320, random.Rand() % 240);
        PostMessageW(m_Window, WM_LBUTTONDOWN, 1, pos);
        PostMessageW(m_Window, WM_LBUTTONUP, 0, pos);
        Pump(kTick);
      } else {
        Key(kKeys[static_cast<std::size_t>(random.Rand()) % std::size(kKeys)]);
      }
    }
    // Whatever was chosen, the saves read back whole.
    ks::app::Careers careers;
    std::wstring why;
    EXPECT_NE(careers.Deserialise(m_App->Careers().Serialise(), &why), ks::app::Careers::Parse::kBad) << seed;
    m_App->LoadCareers();
    EXPECT_LE(m_App->Careers().records.size(), ks::app::kMaxCareers);
    m_App->LoadPrefs();
  }
}

}  // namespace
