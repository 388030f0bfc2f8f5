// The menu screens driven on the running program: keys posted to its
// window, choices set on the screens' widgets, and what they store.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <sstream>

#include "ce/testing.h"
#include "ce/windows.h"
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
  void SetUp() override {
    ::setenv("DEVICE_PROGRAM_FOLDER", KS_KESTRUNE_DATA, 1);
    ce::testing::ReloadDevice();
    ce::testing::UseVirtualClock(1000, 0);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    RegisterWindowClass(instance);  // refused when an earlier test registered it
    ASSERT_TRUE(InitInstance(instance, SW_SHOW));
    app = g_app;
    window = KestruneWindow();
    app->prefs[ks::app::pref::kShowWelcome] = 1;
    app->StartMenus();
    ASSERT_EQ(app->state, AppState::kMenus);
    // The welcome pages over the main menu; each goes on with "3".
    ASSERT_EQ(app->dlgMan->Count(), 3);
    EXPECT_EQ(app->dlgMan->Top()->Id(), 1022) << "the menu controls come first";
    Key(0x33);
    EXPECT_EQ(app->dlgMan->Top()->Id(), 1023);
    Key(0x33);
    ASSERT_EQ(app->dlgMan->Count(), 1);
    app->careers.records.clear();
  }
  void TearDown() override {
    if (app == nullptr) return;
    DestroyWindow(window);
    app->Shutdown();
    delete g_app;
    g_app = nullptr;
  }
  void Key(WPARAM key) {
    PostMessageW(window, WM_KEYDOWN, key, 0);
    PostMessageW(window, WM_KEYUP, key, 0);
    Pump(kTick);
  }
  template <typename T>
  T* Top() {
    return dynamic_cast<T*>(app->dlgMan->Top());
  }
  void Command(int id, int code, LPARAM p2 = 0) {
    app->dlgMan->Top()->WndProc(ui::kMsgCommand, ui::MakeCommand(id, code), p2);
    Pump(kTick);
  }
  // A career made through the new-career screens.
  void NewCareer(const wchar_t* name, int difficulty) {
    ASSERT_NE(PushCareerSelect(app), nullptr);
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
  ksMain* app = nullptr;
  HWND window = nullptr;
};

TEST_F(Screens, NewCareersStartWithTheirMoneyAndASmallLetterNickname) {
  const std::int32_t money[4] = {75, 150, 300, 675};
  for (int d = 0; d < 4; ++d) NewCareer(d == 2 ? L"Cue Ball Kid" : L"Ann", d);
  ASSERT_EQ(app->careers.records.size(), 4u);
  for (int d = 0; d < 4; ++d) {
    EXPECT_EQ(app->careers.records[static_cast<std::size_t>(d)].money, money[d]);
    EXPECT_EQ(app->careers.records[static_cast<std::size_t>(d)].difficulty, d);
  }
  EXPECT_STREQ(app->careers.records[2].nickname.data(), "cue ball kid");
  // Kept in the careers file.
  app->LoadCareers();
  ASSERT_EQ(app->careers.records.size(), 4u);
  EXPECT_EQ(app->careers.records[3].money, 675);
  auto* select = Top<CareerSelectDlg>();
  ASSERT_NE(select, nullptr);
  EXPECT_EQ(static_cast<ListBox*>(select->GetChild(CareerSelectDlg::kList))->GetCount(), 4);
}

TEST_F(Screens, AnEmptyNicknameOrASeventeenthCareerMakesNoCareer) {
  ASSERT_NE(PushCareerSelect(app), nullptr);
  Command(CareerSelectDlg::kNewCareer, ui::kNotifyClicked);
  Key(0x39);  // the keyboard screen cancelled: the nickname stays empty
  ASSERT_NE(Top<CareerNicknameDlg>(), nullptr);
  Key(0x33);
  auto* box = Top<MessageDlg>();
  ASSERT_NE(box, nullptr);
  EXPECT_STREQ(box->Title(), L"Empty Nickname");
  EXPECT_TRUE(app->careers.records.empty());
  Key(0x33);
  Key(0x39);
  ASSERT_NE(Top<CareerSelectDlg>(), nullptr);

  app->careers.records.assign(16, ks::app::CareerRecord::Fresh());
  Command(CareerSelectDlg::kNewCareer, ui::kNotifyClicked);
  Top<CareerNewDlg>()->Pad()->SetInputText(L"Extra");
  Key(0x33);
  Key(0x33);
  box = Top<MessageDlg>();
  ASSERT_NE(box, nullptr);
  EXPECT_STREQ(box->Title(), L"Too Many Careers");
  EXPECT_EQ(app->careers.records.size(), 16u);
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
  app->LoadCareers();
  ASSERT_EQ(app->careers.records.size(), 1u);
  EXPECT_STREQ(app->careers.records[0].nickname.data(), "two");
}

TEST_F(Screens, RoomOffersFollowTheDifficulty) {
  ks::app::CareerRecord career = ks::app::CareerRecord::Fresh();
  auto noSpot = [](const void*, int, int, int* r, int* g) { *r = *g = 0; };
  for (int d = 0; d < 4; ++d) {
    career.difficulty = static_cast<std::uint8_t>(d);
    career.money = 20;
    ks::DeviceRand random(static_cast<std::uint32_t>(d + 3));
    const auto offers = career::DrawOffers(0, career, app->opponents, random, noSpot, nullptr);
    ASSERT_EQ(offers.size(), 6u);
    const std::int32_t champion = app->opponents[4].highStake * career::kBetMultiplier[d];
    EXPECT_EQ(offers[0].entry, 4);
    EXPECT_EQ(offers[0].bet, champion);
    EXPECT_EQ(offers[4].bet, 20) << "the fourth challenger plays for what the player has";
    for (std::size_t i = 1; i < offers.size(); ++i) {
      EXPECT_EQ(app->opponents[static_cast<std::size_t>(offers[i].entry)].room, 0);
      if (i == 4) continue;
      EXPECT_EQ(offers[i].bet % 5, 0);
      EXPECT_GE(offers[i].bet, 5);
      EXPECT_LE(offers[i].bet, champion * 85 / 100 + 5);
    }
  }
  ks::DeviceRand random(1);
  EXPECT_EQ(career::DrawOffers(5, career, app->opponents, random, noSpot, nullptr).size(), 1u)
      << "the last room holds its champion alone";
}

TEST_F(Screens, RackEmNeedsTheMoneyAndThenStartsTheMatch) {
  NewCareer(L"Rex", 1);
  ks::app::CareerRecord& c = app->careers.records[0];
  app->currentCareer = 0;
  ASSERT_NE(PushCareerMap(app), nullptr);
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
  EXPECT_EQ(app->matchSetup.opponent, opponent);
  EXPECT_EQ(app->matchSetup.playerOne, 160);
  EXPECT_EQ(app->matchSetup.gameGoal, 3);
  EXPECT_EQ(app->returnScreen, 2);
  EXPECT_NE(app->state, AppState::kMenus);
  EXPECT_STREQ(app->opponents[160].nickname, "rex");
}

TEST_F(Screens, KeyAssignmentSwapsAClashAndSavesOnDone) {
  // "Zoom In" (list 6) takes the key "Replay" (list 12) holds.
  ASSERT_NE(PushSettings(app), nullptr);
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
  // A change not yet accepted by leaving its list is not written.
  keys->ActionList(0)->SetCurSel((keys->Stored(0) + 1) % KeyAssignDlg::kKnownKeys);
  const std::uint8_t aim = app->prefs.keys[0];
  Key(0x33);
  EXPECT_EQ(app->prefs.keys[12], KeyAssignDlg::KeyCode(replay));
  EXPECT_EQ(app->prefs.keys[26], KeyAssignDlg::KeyCode(zoom));
  EXPECT_EQ(app->prefs.keys[0], aim);
  app->LoadPrefs();
  EXPECT_EQ(app->prefs.keys[12], KeyAssignDlg::KeyCode(replay)) << "kept in the preferences file";
}

TEST_F(Screens, SettingsAreSavedOnSaveAndDroppedOnCancel) {
  using namespace ks::app;
  auto* settings = dynamic_cast<SettingsDlg*>(PushSettings(app));
  ASSERT_NE(settings, nullptr);
  static_cast<ChoiceList*>(settings->GetChild(SettingsDlg::kUserView))->SetCurSel(1);
  Key(0x39);
  EXPECT_EQ(app->prefs[pref::kUserView], 0);
  settings = dynamic_cast<SettingsDlg*>(PushSettings(app));
  static_cast<ChoiceList*>(settings->GetChild(SettingsDlg::kUserView))->SetCurSel(1);
  static_cast<ChoiceList*>(settings->GetChild(SettingsDlg::kVolume))->SetCurSel(3);
  static_cast<ChoiceList*>(settings->GetChild(SettingsDlg::kOrientation))->SetCurSel(1);
  Key(0x33);
  auto* box = Top<MessageDlg>();
  ASSERT_NE(box, nullptr);
  EXPECT_STREQ(box->Title(), L"Orientation Change");
  app->LoadPrefs();
  EXPECT_EQ(app->prefs[pref::kUserView], 1);
  EXPECT_EQ(app->prefs[pref::kVolume], 3);
  EXPECT_EQ(app->prefs[pref::kOrientation], 1);
}

TEST_F(Screens, TheMenuKeyOpensTheInGameMenuAndEveryChoiceReturnsToPlay) {
  app->dlgMan->PopAll();
  app->matchSetup = ks::app::MatchSetup{};
  app->matchSetup.menuGame = 1;
  app->matchSetup.secondPlayer = 2;  // two players at the table
  app->state = AppState::kLoading;
  Pump(5000);
  ASSERT_EQ(app->state, AppState::kPlay);
  // The Show KeyMap key shows the keypad over the table and hides it again.
  PostMessageW(window, WM_KEYUP, app->prefs.keys[29], 0);
  Pump(kTick);
  ASSERT_TRUE(app->keyMapScreen);
  wchar_t label[64];
  app->keyMapScreen->GetChild(7)->GetText(label, 64);
  EXPECT_STREQ(label, L"In Game Menu") << "the 0 key: the lower of two actions sharing it";
  app->keyMapScreen->GetChild(11)->GetText(label, 64);
  EXPECT_STREQ(label, L"Adjust Aim, View or Move Ball");
  EXPECT_EQ(KeyMapDlg::ActionOfKey(app->prefs.keys.data(), 0x5A), KeyMapDlg::kUnbound);
  PostMessageW(window, WM_KEYUP, app->prefs.keys[29], 0);
  Pump(kTick);
  EXPECT_FALSE(app->keyMapScreen);
  PostMessageW(window, WM_KEYUP, app->prefs.keys[6], 0);
  Pump(kTick);
  auto* menu = Top<InGameMenuDlg>();
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(app->state, AppState::kMenus);
  wchar_t caption[64];
  menu->GetChild(InGameMenuDlg::kHold)->GetText(caption, 64);
  EXPECT_STREQ(caption, L"Put Game On Hold") << "a quick-play match";
  EXPECT_TRUE(menu->GetChild(InGameMenuDlg::kResign)->IsVisible());
  Key(0x39);
  EXPECT_EQ(app->state, AppState::kPlay);
  // Resume, and "3" and "9": back to play within the same event.
  for (int way = 0; way < 3; ++way) {
    menu = dynamic_cast<InGameMenuDlg*>(PushInGameMenu(app));
    ASSERT_NE(menu, nullptr);
    if (way == 0) {
      menu->WndProc(ui::kMsgCommand, ui::MakeCommand(InGameMenuDlg::kResume, 0), 0);
      EXPECT_EQ(app->state, AppState::kPlay);
      app->dlgMan->CloseFinished();  // as the dispatch does after the handler
    } else {
      Key(way == 1 ? 0x33 : 0x39);
    }
    Pump(200);
    EXPECT_EQ(app->state, AppState::kPlay) << way;
    EXPECT_FALSE(app->dlgMan->NonEmpty()) << way;
  }
  // A resign that reaches the match goal ends the match.
  ks::Pool& pool = *app->pool();
  pool.rules.MatchGoal = 1;
  const std::int16_t before = pool.rules.GamesWon[1];
  menu = dynamic_cast<InGameMenuDlg*>(PushInGameMenu(app));
  ASSERT_NE(menu, nullptr);
  menu->WndProc(ui::kMsgCommand, ui::MakeCommand(InGameMenuDlg::kResign, 0), 0);
  EXPECT_EQ(app->state, AppState::kPlay);
  app->dlgMan->CloseFinished();
  EXPECT_EQ(pool.rules.GamesWon[1], before + 1);
  EXPECT_NE(pool.rules.TurnFlags & 8, 0) << "the match is over";
}

TEST_F(Screens, AChampionBeatenOpensTheNextRoom) {
  NewCareer(L"Max", 3);
  ks::app::CareerRecord& c = app->careers.records[0];
  app->currentCareer = 0;
  for (int room = 0; room < 3; ++room) {
    c.money = 1000000;
    app->dlgMan->PopAll();
    auto* map = dynamic_cast<CareerMapDlg*>(PushCareerMap(app));
    ASSERT_NE(map, nullptr);
    // Only the rooms reached are shown.
    for (int r = 1; r < 6; ++r)
      EXPECT_EQ(map->GetChild(CareerMapDlg::kRoomPictureIds[r])->IsVisible(), r <= room) << room << " " << r;
    map->GetChild(CareerMapDlg::kRoomPictureIds[room])->Activate();
    Pump(kTick);
    auto* screen = Top<CareerRoomDlg>();
    ASSERT_NE(screen, nullptr) << room;
    EXPECT_EQ(screen->room, room);
    screen->List()->SetCurSel(0);  // the champion's row
    const std::int32_t bet = screen->Offers()[0].bet;
    EXPECT_EQ(bet, app->opponents[static_cast<std::size_t>(career::kChampions[room])].highStake * 10);
    Key(0x33);
    ASSERT_NE(app->state, AppState::kMenus) << "the match loads";
    EXPECT_FALSE(app->dlgMan->NonEmpty());
    EXPECT_EQ(c.currentRoom, room);
    EXPECT_EQ(c.chosenRow, 0);
    // The match won, as the end of play settles it.
    app->PlaceRoomBalls();
    app->pool()->rules.MatchGoal = 3;
    app->pool()->rules.GamesWon = {3, 0};
    app->careerHeld = false;
    app->ShowCareerResult();
    EXPECT_EQ(c.money, 1000000 + bet);
    EXPECT_EQ(c.level, room + 1);
    app->EndPlay();
    app->state = AppState::kMenus;
  }
  app->LoadCareers();
  EXPECT_EQ(app->careers.records[0].level, 3) << "kept in the careers file";
}

// Every widget of a screen (and of its widgets) that is shown lies inside
// the screen as drawn; the first one that does not is described.
std::string OutsideWidget(Wnd* w, int width, int height) {
  for (int i = 0; i < w->ChildCount(); ++i) {
    Wnd* c = w->Child(i);
    if (c == nullptr || !c->IsVisible()) continue;
    const RECT& r = c->ScreenRect();
    if (r.left < 0 || r.top < 0 || r.right > width || r.bottom > height) {
      wchar_t caption[64] = L"";
      c->GetText(caption, 64);
      std::ostringstream out;
      out << "widget " << c->Id() << " \"";
      for (const wchar_t* p = caption; *p != 0; ++p) out << static_cast<char>(*p < 128 ? *p : '?');
      out << "\" at (" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
      return out.str();
    }
    std::string inner = OutsideWidget(c, width, height);
    if (!inner.empty()) return inner;
  }
  return {};
}

TEST_F(Screens, EveryScreenLiesWholeOnUprightScreensHeldEitherWay) {
  NewCareer(L"Ann", 1);
  app->currentCareer = 0;
  std::unique_ptr<ssDisplayS16> original = std::move(app->display);
  struct Shape {
    int width, height, rotate;
  };
  // Upright screens, with the "Right Hand" and "Left Hand" orientations.
  static constexpr Shape kShapes[] = {{240, 320, 0}, {240, 320, 2}, {480, 640, 0}, {480, 640, 2}};
  struct Opener {
    const char* name;
    std::function<Dlg*()> open;
  };
  const std::vector<Opener> openers = {
      {"main menu", [&] { return PushMainMenu(app); }},
      {"quick play", [&] { return PushQuickPlay(app); }},
      {"career select", [&] { return PushCareerSelect(app); }},
      {"career nickname", [&] { return PushCareerNickname(app); }},
      {"career new", [&] { return kit::Open<CareerNewDlg>(app); }},
      {"career map", [&] { return PushCareerMap(app); }},
      {"career room", [&] { return kit::Open<CareerRoomDlg>(app, [&](CareerRoomDlg& s) { s.app = app; }); }},
      {"career delete", [&] { return kit::Open<CareerDeleteDlg>(app); }},
      {"settings", [&] { return PushSettings(app); }},
      {"key assignment", [&] { return kit::Open<KeyAssignDlg>(app); }},
      {"help", [&] { return PushHelp(app); }},
      {"help rules", [&] { return kit::Open<HelpRulesDlg>(app); }},
      {"help quick play", [&] { return kit::Open<HelpQuickPlayDlg>(app); }},
      {"help career", [&] { return kit::Open<HelpCareerDlg>(app); }},
      {"credits", [&] { return PushCredits(app); }},
      {"welcome menu", [&] { return kit::Open<WelcomeMenuDlg>(app); }},
      {"welcome play", [&] { return kit::Open<WelcomePlayDlg>(app); }},
      {"in-game menu", [&] { return kit::Open<InGameMenuDlg>(app); }},
      {"message box",
       [&]() -> Dlg* {
         auto* box = new MessageDlg();
         if (box->Build(app->display.get(), nullptr) == 0) {
           delete box;
           return nullptr;
         }
         box->Show(app->dlgMan.get(), L"Room is locked.", L"This room must be unlocked in Career Mode.", 1);
         return box;
       }},
  };
  for (const Shape& shape : kShapes) {
    auto display = std::make_unique<ssDisplayS16>();
    display->ForceOutput(ssDisplayS16::kModeGdi);
    display->m_Folder = original->m_Folder;
    display->m_Rotate = shape.rotate;
    ASSERT_EQ(display->Init(nullptr, shape.width, shape.height, 16, 0), 0);
    display->m_DesignWidth = 220;
    display->m_DesignHeight = 176;
    display->m_XScale = static_cast<float>(shape.width) / 220.0f;
    display->m_YScale = static_cast<float>(shape.height) / 176.0f;
    app->display = std::move(display);
    const int w = ui::ScreenWidth(app->display.get()), h = ui::ScreenHeight(app->display.get());
    EXPECT_EQ(w, shape.width) << "an upright screen is laid out upright";
    for (const Opener& o : openers) {
      app->state = AppState::kMenus;
      Dlg* screen = o.open();
      ASSERT_NE(screen, nullptr) << o.name;
      const RECT& whole = screen->ScreenRect();
      EXPECT_TRUE(whole.right <= w && whole.bottom <= h) << o.name;
      EXPECT_EQ(OutsideWidget(screen, w, h), "")
          << o.name << " at " << shape.width << "x" << shape.height << " turned " << shape.rotate;
      Pump(kTick);  // drawn once
      // Deleted now, while the display they were built on still exists.
      app->dlgMan->PopAll();
      app->dlgMan->DeleteDeferred();
    }
    // The keypad picture shown over a match.
    KeyMapDlg keys;
    ASSERT_TRUE(keys.Build(app->display.get(), app->input.get()));
    EXPECT_EQ(OutsideWidget(&keys, w, h), "") << "key map at " << shape.width << "x" << shape.height;
    app->dlgMan->PopAll();
    app->dlgMan->DeleteDeferred();
  }
  app->display.reset();
  app->display = std::move(original);
  app->state = AppState::kMenus;
  PushMainMenu(app);
}

TEST_F(Screens, KeyNamesStartPastTheirCaptionsOnANarrowScreen) {
  auto* screen = dynamic_cast<KeyAssignDlg*>(kit::Open<KeyAssignDlg>(app));
  ASSERT_NE(screen, nullptr);
  ASSERT_EQ(ui::ScreenWidth(app->display.get()), 240);
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
  auto* rules = dynamic_cast<HelpRulesDlg*>(kit::Open<HelpRulesDlg>(app));
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
    app->display->MeasureText(text->GetFont(), shown, &width, &height, true);
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
  auto* career = dynamic_cast<HelpCareerDlg*>(kit::Open<HelpCareerDlg>(app));
  ASSERT_NE(career, nullptr);
  EXPECT_EQ(career->Pager().PageCount(), 1);
  wchar_t counter[16];
  career->GetChild(HelpTextDlg::kPageCounter)->GetText(counter, 16);
  EXPECT_STREQ(counter, L"");
}

TEST_F(Screens, QuickPlayStartsWithoutTheSpotsOfACareerMatch) {
  // A career match against a stronger opponent left its spots in the set-up.
  app->matchSetup.spotReceived = 3;
  app->matchSetup.spotGiven = 2;
  ASSERT_NE(PushQuickPlay(app), nullptr);
  Key(0x33);  // Rack Em
  EXPECT_EQ(app->matchSetup.spotReceived, 0);
  EXPECT_EQ(app->matchSetup.spotGiven, 0);
  Pump(5000);
  ASSERT_EQ(app->state, AppState::kPlay);
  EXPECT_EQ(app->pool()->rules.Score[0], 0);
  EXPECT_EQ(app->pool()->rules.Score[1], 0);
}

TEST_F(Screens, RandomKeysAndTapsOverTheMenusKeepTheSavesSound) {
  static constexpr WPARAM kKeys[] = {0x33, 0x39, 0x0D, 0x25, 0x26, 0x27, 0x28, 0x30, 0x31, 0x35};
  for (std::uint32_t seed = 1; seed <= 6; ++seed) {
    ks::DeviceRand random(seed);
    for (int step = 0; step < 400; ++step) {
      if (app->state != AppState::kMenus) {
        // A match started or the program was told to quit: back to the menus.
        app->EndPlay();
        app->dlgMan->PopAll();
        app->StartMenus();
        Pump(kTick);
      }
      const int r = random.Rand();
      if (r % 3 == 0) {
        const LPARAM pos = ui::MakePos(random.Rand() % 320, random.Rand() % 240);
        PostMessageW(window, WM_LBUTTONDOWN, 1, pos);
        PostMessageW(window, WM_LBUTTONUP, 0, pos);
        Pump(kTick);
      } else {
        Key(kKeys[static_cast<std::size_t>(random.Rand()) % std::size(kKeys)]);
      }
    }
    // Whatever was chosen, the saves read back whole.
    ks::app::Careers careers;
    std::wstring why;
    EXPECT_NE(careers.Deserialise(app->careers.Serialise(), &why), ks::app::Careers::Parse::kBad) << seed;
    app->LoadCareers();
    EXPECT_LE(app->careers.records.size(), ks::app::kMaxCareers);
    app->LoadPrefs();
  }
}

}  // namespace
