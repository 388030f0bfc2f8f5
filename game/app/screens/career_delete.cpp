#include "screens/career_delete.h"

#include "screens.h"
#include "screens/screen_kit.h"
#include "ui/list_box.h"

bool CareerDeleteDlg::Build(ssDisplay* display, ssInput*) {
  using namespace kit;
  MakeScreen(this, display, kScreenId, ui::kFlagShadow, kWhite, 0, L"HardTimes.tga", L"Small Fonts7");
  const wchar_t* s7 = L"Small Fonts7";
  Label(this, display, RECT{0, 744, 40215, 8192}, L"Career - Delete", 0x10800200, 0x280020, 0, L"Cornerstone8",
        kYellow);
  Label(this, display, RECT{9532, 59578, 20852, 63301}, L"Cancel", 0x10000000, 0x200020, 0, s7, kWhite);
  Label(this, display, RECT{51535, 59578, 64940, 63301}, L"Delete", 0x10000000, 0x200020, 0, s7, kWhite);
  // As wide as the select screen's list, so that its columns fit the same.
  m_List = Make<ListBox>(this, display, RECT{1787, 23086, 63748, 53620}, L"Test ListBox", ui::kKindListBox, 0x10800080,
                         0x180020, kList, s7, kWhite, 0);
  Label(this, display, RECT{2978, 14149, 50343, 21597}, L"Select Career to Delete.", 0x10000200, 0x200020, 0, s7,
        kWhite);
  Pic(this, display, RECT{3574, 57344, 8340, 63301}, kCancel, L"Back.tga");
  Pic(this, display, RECT{45577, 57344, 50343, 63301}, kDelete, L"Home.tga");
  return m_List != nullptr;
}

LRESULT CareerDeleteDlg::WndProc(UINT message, WPARAM p1, LPARAM p2) {
  if (message == ui::kMsgInitDialog) {
    SetKeyButtons(kDelete, kCancel);
    kit::FillCareerList(m_List, m_App);
    m_List->Activate();
    return 0;
  }
  if (message == ui::kMsgCommand) {
    const int id = ui::CommandId(p1), code = ui::CommandCode(p1);
    if (id == kCancel && code == ui::kNotifyClicked) {
      // Back past the select screen: career play ends, as the select
      // screen's own Back ends it.
      if (m_App != nullptr) m_App->SetCareerPlay(false);
      Cancel();
      return 0;
    }
    if ((id == kDelete && code == ui::kNotifyClicked) || (id == kList && code == ui::kNotifyPressed)) {
      OnDelete();
      return 0;
    }
    if (id == kList && code == ui::kNotifyLeave) {
      Cancel();
      PushCareerSelect(m_App);
      return 0;
    }
  }
  return Dlg::WndProc(message, p1, p2);
}

void CareerDeleteDlg::OnDelete() {
  if (m_List->GetCount() == 0 || m_App == nullptr) return;
  const int row = m_List->GetCurSel();
  if (row >= 0) m_App->DeleteCareer(row);
  m_App->SaveCareers();
  EndDialog(kResultOk);
  PushCareerSelect(m_App);
}
