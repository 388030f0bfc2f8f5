#include "screens/in_game_menu.h"

#include "screens.h"
#include "screens/screen_kit.h"
#include "simulation/pool.h"
#include "ui/button.h"

namespace {

struct Row {
  int id;
  const wchar_t* caption;
  RECT r;
};
constexpr Row kRows[] = {
    {InGameMenuDlg::kSettings, L"Settings", {16979, 34257, 47066, 39470}},
    {InGameMenuDlg::kHold, L"Put Career On Hold", {15490, 14149, 50939, 19362}},
    {InGameMenuDlg::kResign, L"Resign", {16979, 20852, 47066, 26065}},
    {InGameMenuDlg::kResume, L"Resume", {16979, 7447, 47066, 12660}},
    {InGameMenuDlg::kHelp, L"Help", {16979, 40960, 47066, 46173}},
    {InGameMenuDlg::kMiscall, L"Miscall", {16979, 27554, 47066, 32768}},
    {InGameMenuDlg::kQuitMatch, L"Quit Match", {17575, 50641, 47662, 58088}},
};
// Screen order, top to bottom: one closed ring.
constexpr int kRing[7] = {InGameMenuDlg::kResume,   InGameMenuDlg::kHold,     InGameMenuDlg::kResign,
                          InGameMenuDlg::kMiscall,  InGameMenuDlg::kSettings, InGameMenuDlg::kHelp,
                          InGameMenuDlg::kQuitMatch};

}  // namespace

bool InGameMenuDlg::Build(ssDisplay* display, ssInput*) {
  using namespace kit;
  Create(display, nullptr, RECT{0, 0, 38725, 54365}, L"Dialog", ui::kKindWindow, 0x10800800, ui::kFlagShadow, kScreenId,
         0);
  SetColourA(0);
  SetColourB(0xC0C0C0);
  SetColourC(0);
  static constexpr std::uint32_t kScreenBevel[5] = {0xE0E0E0, 0x888888, 0x202020, 0x9E9E9E, 0x000000};
  SetBevelColours(kScreenBevel);
  SetFontByName(L"Small Fonts7", L"UI", L"res.ark");
  static constexpr std::uint32_t kButtonBevel[5] = {0xFFFFFF, 0xD8D8D8, 0xC0C0C0, 0x888888, 0x404040};
  for (const Row& row : kRows) {
    auto* b = Make<Button>(this, display, row.r, row.caption, ui::kKindButton, 0x10018F00,
                           row.id == kResume ? 0x300020u : 0x200020u, row.id, L"Small Fonts7", kYellow, 0xC0C0C0);
    if (b == nullptr) return false;
    b->SetBevelColours(kButtonBevel);
    if (row.id == kHold) m_Hold = b;
    if (row.id == kResign) m_Resign = b;
  }
  for (int i = 0; i < 7; ++i)
    GetChild(kRing[i])->SetNeighbours(GetChild(kRing[(i + 6) % 7]), GetChild(kRing[(i + 1) % 7]), nullptr, nullptr);
  return true;
}

LRESULT InGameMenuDlg::WndProc(UINT message, WPARAM p1, LPARAM p2) {
  if (message == ui::kMsgInitDialog) {
    OnInit();
    return 0;
  }
  if (message == ui::kMsgCommand && ui::CommandCode(p1) == ui::kNotifyClicked && m_App != nullptr) {
    ks::Pool* pool = m_App->Pool();
    switch (ui::CommandId(p1)) {
      case kSettings:
        PushSettings(m_App);
        Invalidate(0);
        Cancel();
        return 0;
      case kHold:
        if (m_Mode == 0) m_App->SaveQuickPlay();
        if (m_Mode == 2) m_App->HoldCareerGame();
        Cancel();
        Play();
        return 0;
      case kResign:
        if (pool != nullptr) {
          pool->Resign();
          pool->PlaceBalls(pool->GameType);
          const std::int16_t goal = static_cast<std::int16_t>(pool->rules.MatchGoal);
          if (static_cast<std::int16_t>(pool->rules.GamesWon[0]) == goal ||
              static_cast<std::int16_t>(pool->rules.GamesWon[1]) == goal) {
            pool->rules.TurnFlags = static_cast<std::uint8_t>(pool->rules.TurnFlags | 8u);
            pool->OnGameEvent(13);
          }
        }
        Cancel();
        Play();
        return 0;
      case kResume:
        Cancel();
        Play();
        return 0;
      case kHelp:
        PushHelp(m_App);
        Invalidate(0);
        Cancel();
        return 0;
      case kMiscall:
        if (pool != nullptr) pool->Miscall();
        Cancel();
        Play();
        return 0;
      case kQuitMatch:
        if (pool != nullptr) pool->QuitMatch();
        Invalidate(0);
        Cancel();
        Play();
        return 0;
      default:
        break;
    }
  }
  return Dlg::WndProc(message, p1, p2);
}

void InGameMenuDlg::OnInit() {
  SetDefaultButtons(kResume, kResume);
  ks::Pool* pool = m_App ? m_App->Pool() : nullptr;
  // The player cannot resign while the computer is at the table.
  if (pool != nullptr && pool->rules.CurrentPlayer == 1 && pool->OpponentKind == 2) m_Resign->ShowWindow(0);
  m_Hold->SetText(m_Mode == 0 ? L"Put Game On Hold" : L"Put Career On Hold");
}

void InGameMenuDlg::Play() {
  if (m_App != nullptr) m_App->ReturnToPlay();
}

Dlg* PushInGameMenu(ksMain* app) {
  auto* menu = kit::Open<InGameMenuDlg>(app, [app](InGameMenuDlg& s) {
    s.m_App = app;
    s.m_Mode = app->CareerPlay() ? 2 : 0;
  });
  if (menu != nullptr) app->EnterMenus();
  return menu;
}
