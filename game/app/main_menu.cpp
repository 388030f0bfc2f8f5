#include "main_menu.h"

#include "display/display_s16.h"
#include "ks_main.h"
#include "screens.h"
#include "ui/button.h"
#include "ui/dlg_man.h"

namespace {

constexpr std::uint32_t kBevel[5] = {0xFFFFFF, 0xE0E0E0, 0xD3D3D3, 0x7F7F7F, 0x3F3F3F};

struct ButtonRow {
  int id;
  const wchar_t* caption;
  LONG top, bottom;
  int up, down;
};
constexpr ButtonRow kButtons[] = {
    {MainMenuDlg::kCareerPlay, L"Career Play", 0x5174, 0x6E8B, MainMenuDlg::kQuit, MainMenuDlg::kQuickPlay},
    {MainMenuDlg::kQuickPlay, L"Quick Play", 0x6BA2, 0x88BA, MainMenuDlg::kCareerPlay, MainMenuDlg::kSettings},
    {MainMenuDlg::kSettings, L"Settings", 0x85D1, 0xA2E8, MainMenuDlg::kQuickPlay, MainMenuDlg::kAbout},
    {MainMenuDlg::kAbout, L"About", 0xA000, 0xBD17, MainMenuDlg::kSettings, MainMenuDlg::kHelp},
    {MainMenuDlg::kHelp, L"Help", 0xBA2E, 0xD745, MainMenuDlg::kAbout, MainMenuDlg::kQuit},
    {MainMenuDlg::kQuit, L"Quit", 0xD45D, 0xF174, MainMenuDlg::kHelp, MainMenuDlg::kCareerPlay},
};

void Colour(Wnd* w) {
  w->SetColourA(0xFFFFFF);
  w->SetColourB(0xD3D3D3);
  w->SetColourC(0);
  w->SetBevelColours(kBevel);
}

}  // namespace

bool MainMenuDlg::Build(ssDisplay* display, ssInput*) {
  Create(display, nullptr, RECT{0, 0, 0x10000, 0x10000}, L"Test Window", ui::kKindWindow, ui::kStyleVisible,
         ui::kFlagShadow, kScreenId, 0);
  Colour(this);
  SetImageByName(L"MainMenu.tga", L"UI", L"res.ark");
  SetFont(display->GetDefaultFont());
  for (const ButtonRow& row : kButtons) {
    auto* button = new Button();
    const std::uint32_t flags = row.id == kCareerPlay ? 0x300020u : 0x200020u;
    if (!button->Create(display, this, RECT{0x345D, row.top, 0xBC82, row.bottom}, row.caption, ui::kKindButton,
                        0x10018F00u, flags, row.id, 0))
      return false;
    Colour(button);
    button->SetFontByName(L"cornerstone10", L"UI", L"res.ark");
  }
  for (const ButtonRow& row : kButtons) {
    if (Wnd* w = GetChild(row.id)) w->SetNeighbours(GetChild(row.up), GetChild(row.down), nullptr, nullptr);
  }
  return true;
}

LRESULT MainMenuDlg::WndProc(UINT message, WPARAM p1, LPARAM p2) {
  if (message == ui::kMsgInitDialog) return 0;
  if (message == ui::kMsgCommand && p1 < 0x10000) {
    switch (ui::CommandId(p1)) {
      case kQuit:
        OnQuit();
        return 0;
      case kQuickPlay:
        OnQuickPlay();
        break;
      case kCareerPlay:
        OnCareerPlay();
        break;
      case kSettings:
        OnSettings();
        break;
      case kAbout:
        OnAbout();
        break;
      case kHelp:
        OnHelp();
        break;
      default:
        return Dlg::WndProc(message, p1, p2);
    }
    Invalidate(0);
    return 0;
  }
  return Dlg::WndProc(message, p1, p2);
}

void MainMenuDlg::OnQuit() {
  EndDialog(kResultOk);
  if (m_App) m_App->Quit();
}

void MainMenuDlg::OnQuickPlay() {
  if (m_App == nullptr) return;
  if (m_App->Prefs()[ks::app::pref::kQuickPlaySaved] == 0) {
    PushQuickPlay(m_App);
    m_App->MenusAfterMovie();
    return;
  }
  // The saved match resumes: the stack empties and the next ticks load it.
  if (m_App->ResumeQuickPlay()) {
    m_App->SavePrefs();
    m_App->CloseScreens();
  } else {
    m_App->SavePrefs();
  }
}

void MainMenuDlg::OnCareerPlay() { PushCareerSelect(m_App); }
void MainMenuDlg::OnSettings() { PushSettings(m_App); }
void MainMenuDlg::OnAbout() { PushCredits(m_App); }
void MainMenuDlg::OnHelp() { PushHelp(m_App); }

Dlg* PushMainMenu(ksMain* app) {
  if (!app || !app->ScreensReady()) return nullptr;
  auto* menu = new MainMenuDlg();
  menu->m_App = app;
  if (!menu->Build(app->Display(), app->Input())) {
    delete menu;
    return nullptr;
  }
  app->SetMainMenu(menu);
  app->PushScreen(menu);
  return menu;
}
