#include "screens/career_select.h"

#include "screens.h"
#include "screens/career_delete.h"
#include "screens/career_map.h"
#include "screens/career_new.h"
#include "screens/screen_kit.h"
#include "ui/button.h"
#include "ui/list_box.h"
#include "ui/message_dlg.h"

bool CareerSelectDlg::Build(ssDisplay* display, ssInput*) {
  using namespace kit;
  MakeScreen(this, display, kScreenId, 0, kWhite, kGrey, L"HardTimes.tga", L"cornerstone10");
  m_List = Make<ListBox>(this, display, RECT{1787, 23086, 63748, 53620}, L"Test ListBox", ui::kKindListBox, 0x10810080,
                         0x80020, kList, L"Small Fonts7", kWhite, 0);
  Pic(this, display, RECT{48258, 57344, 53024, 63301}, kStart, L"Home.tga");
  Label(this, display, RECT{54216, 59578, 63152, 63301}, L"Start", 0x10000000, 32, 4, L"Small Fonts7", kWhite, kGrey);
  Pic(this, display, RECT{3574, 57344, 8340, 63301}, kBack, L"Back.tga");
  Label(this, display, RECT{9532, 59578, 18767, 63301}, L"Back", 0x10000000, 32, 6, L"Small Fonts7", kWhite, kGrey);
  auto* newCareer = Make<Button>(this, display, RECT{3574, 11170, 27703, 16384}, L"New Career", ui::kKindButton,
                                 0x10018D00, 0x300020, kNewCareer, L"Small Fonts7", kWhite);
  auto* deleteCareer = Make<Button>(this, display, RECT{3574, 16384, 32470, 21597}, L"Delete Career", ui::kKindButton,
                                    0x10018D00, 0x200020, kDeleteCareer, L"Small Fonts7", kWhite);
  Label(this, display, RECT{297, 744, 43194, 8192}, L"Career - Select", 0x10800200, 0x280020, 0, L"Cornerstone8",
        kYellow, 0);
  if (m_List == nullptr || newCareer == nullptr || deleteCareer == nullptr) return false;
  m_List->SetNeighbours(deleteCareer, nullptr, nullptr, nullptr);
  newCareer->SetNeighbours(m_List, deleteCareer, nullptr, nullptr);
  deleteCareer->SetNeighbours(newCareer, m_List, nullptr, nullptr);
  return true;
}

LRESULT CareerSelectDlg::WndProc(UINT message, WPARAM p1, LPARAM p2) {
  if (message == ui::kMsgInitDialog) {
    SetKeyButtons(kStart, kBack);
    if (m_App != nullptr) m_App->SetCareerPlay(true);
    FillList();
    return 0;
  }
  if (message == ui::kMsgCommand) {
    const int id = ui::CommandId(p1), code = ui::CommandCode(p1);
    if (code == ui::kNotifyClicked) {
      switch (id) {
        case kStart:
          OnStart();
          return 0;
        case kBack:
          OnBack();
          return 0;
        case kNewCareer:
          OnNewCareer();
          return 0;
        case kDeleteCareer:
          OnDeleteCareer();
          return 0;
        default:
          break;
      }
    }
    if (id == kList && code == ui::kNotifyPressed) {
      OnStart();
      return 0;
    }
    if (id == kList && code == ui::kNotifyLeave) {
      if (p2 == ui::kKeyUp) {
        FocusNearestUp();
      } else if (p2 == ui::kKeyDown) {
        FocusNearestDown();
      } else if (p2 == ui::kKey9) {
        OnBack();
      }
      return 0;
    }
    if (id == kList && code == ui::kNotifyListFocus) {
      m_List->Invalidate(0);
      return 0;
    }
  }
  return Dlg::WndProc(message, p1, p2);
}

void CareerSelectDlg::FillList() {
  kit::FillCareerList(m_List, m_App);
  if (m_App == nullptr) return;
  const int last = m_App->Prefs()[ks::app::pref::kLastCareer];
  if (last != 0 && last < m_List->GetCount()) m_List->SetCurSel(last);
}

void CareerSelectDlg::NoCareer() {
  m_App->ShowMessage(L"No Career Available", L"Select 'New Career' to create a new career");
}

void CareerSelectDlg::OnStart() {
  if (m_App == nullptr) return;
  if (m_App->Careers().records.empty()) {
    NoCareer();
    return;
  }
  const int row = m_List->GetCurSel();
  if (row < 0 || row >= static_cast<int>(m_App->Careers().records.size())) return;
  m_App->SelectCareer(row);
  m_App->Prefs()[ks::app::pref::kLastCareer] = static_cast<std::uint8_t>(row);
  ks::app::CareerRecord& career = m_App->Careers().records[static_cast<std::size_t>(row)];
  if (career.held != 0) {
    // The game on hold resumes where it was left.
    career.held = 1;
    m_App->MatchSetup() = ks::app::MatchSetup::Read(career.heldSetup.data());
    m_App->MatchSetup().playerOne = kit::kCareerPlayerEntry;
    kit::SetCareerPlayerName(m_App, career.nickname.data());
    m_App->LoadCareerMatch(StartMode::kCareerResumed, ReturnScreen::kMainMenu);
    m_App->CloseScreens();
    return;
  }
  if (career.matchesPlayed == 0) {
    m_App->CloseScreens();
    WriteLog(2, L"Calling PlayCareerMovie");
    m_App->PlayMovie(0);
    return;
  }
  PushCareerMap(m_App);
}

void CareerSelectDlg::OnBack() {
  if (m_App != nullptr) m_App->SetCareerPlay(false);
  Cancel();
}

void CareerSelectDlg::OnNewCareer() {
  PushCareerNickname(m_App);
  Cancel();
}

void CareerSelectDlg::OnDeleteCareer() {
  if (m_App == nullptr) return;
  if (m_App->Careers().records.empty()) {
    NoCareer();
    return;
  }
  kit::Open<CareerDeleteDlg>(m_App);
  FillList();
  Invalidate(0);
  Cancel();
}

Dlg* PushCareerSelect(ksMain* app) { return kit::Open<CareerSelectDlg>(app); }
