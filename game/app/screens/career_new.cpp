#include "screens/career_new.h"

#include <cwctype>

#include "screens.h"
#include "screens/screen_kit.h"
#include "ui/button.h"
#include "ui/choice_list.h"
#include "ui/keyboard.h"
#include "ui/message_dlg.h"

bool CareerNicknameDlg::Build(ssDisplay* display, ssInput*) {
  using namespace kit;
  MakeScreen(this, display, kScreenId, 0, kWhite, 0, L"HardTimes.tga", L"Small Fonts7");
  const wchar_t* small7 = L"Small Fonts7";
  Label(this, display, RECT{9532, 59578, 25618, 63301}, L"Cancel", 0x10000000, 32, 0, small7, kWhite);
  Label(this, display, RECT{54514, 59578, 64344, 63301}, L"Done", 0x10000000, 32, 0, small7, kWhite);
  m_GameType = Make<ChoiceList>(this, display, RECT{6255, 21597, 51535, 29044}, L"Game Type", ui::kKindChoiceList,
                                0x10010080, 0x10020, kGameType, small7, kYellow, 0);
  m_Difficulty = Make<ChoiceList>(this, display, RECT{6255, 29044, 45875, 36491}, L"Difficulty", ui::kKindChoiceList,
                                  0x10010080, 0x10020, kDifficulty, small7, kYellow, 0);
  Label(this, display, RECT{0, 744, 57492, 8192}, L"Career - Nickname", 0x10800200, 0x280020, 0, L"Cornerstone8",
        kYellow);
  Pic(this, display, RECT{48258, 57344, 53024, 63301}, kDone, L"Home.tga");
  Pic(this, display, RECT{3574, 57344, 8340, 63301}, kCancel, L"Back.tga");
  m_Nickname = Label(this, display, RECT{25916, 14894, 57492, 22341}, L"", 0x10000200, 32, kNickname, small7, kWhite);
  auto* button = Make<Button>(this, display, RECT{6255, 14894, 31278, 22341}, L"Nickname", ui::kKindButton, 0x10118D00,
                              0x100020, kNicknameButton, small7, kYellow, 0);
  if (!m_GameType || !m_Difficulty || !m_Nickname || !button) return false;
  m_GameType->SetNeighbours(button, m_Difficulty, nullptr, nullptr);
  m_Difficulty->SetNeighbours(m_GameType, button, nullptr, nullptr);
  button->SetNeighbours(m_Difficulty, m_GameType, nullptr, nullptr);
  return true;
}

LRESULT CareerNicknameDlg::WndProc(UINT message, WPARAM p1, LPARAM p2) {
  if (message == ui::kMsgInitDialog) {
    SetKeyButtons(kDone, kCancel);
    for (const wchar_t* name : {L"Easy", L"Medium", L"Hard", L"Good Luck"}) m_Difficulty->AddString(name);
    m_Difficulty->SetCurSel(0);
    // This screen spells the game types without the hyphen the lists use.
    for (const wchar_t* name : {L"6 Ball", L"8 Ball", L"9 Ball", L"10 Ball", L"Rotation", L"Straight"})
      m_GameType->AddString(name);
    m_GameType->SetCurSel(0);
    SetNickname(L"");
    OpenKeyboard();
    return 0;
  }
  if (message == ui::kMsgCommand && ui::CommandCode(p1) == ui::kNotifyClicked) {
    switch (ui::CommandId(p1)) {
      case kDone:
        OnDone();
        return 0;
      case kCancel:
        OnCancel();
        return 0;
      case kNicknameButton:
        OpenKeyboard();
        return 0;
      default:
        break;
    }
  }
  return Dlg::WndProc(message, p1, p2);
}

void CareerNicknameDlg::SetNickname(const wchar_t* text) {
  m_Nickname->SetText(text);
  m_Nickname->Invalidate(0);
}

const wchar_t* CareerNicknameDlg::Nickname() const { return m_Nickname->Caption(); }

void CareerNicknameDlg::OpenKeyboard() {
  kit::Open<CareerNewDlg>(m_App, [this](CareerNewDlg& s) {
    s.m_App = m_App;
    s.m_Owner = this;
  });
}

void CareerNicknameDlg::Message(const wchar_t* title, const wchar_t* text) { m_App->ShowMessage(title, text); }

void CareerNicknameDlg::OnDone() {
  if (m_App == nullptr) return;
  const wchar_t* name = Nickname();
  if (name[0] == 0) {
    Message(L"Empty Nickname", L"Please Create a Nickname for this Career");
    return;
  }
  // The careers file has sixteen slots: a seventeenth career is refused
  // rather than written past the table.
  ks::app::CareerRecord* career = m_App->AddCareer();
  if (career == nullptr) {
    Message(L"Too Many Careers", L"Delete a career before creating a new one.");
    return;
  }
  const int difficulty = m_Difficulty->GetCurSel() < 0 ? 0 : m_Difficulty->GetCurSel() & 3;
  const int game = m_GameType->GetCurSel() < 0 ? 0 : m_GameType->GetCurSel();
  career->money = kStartMoney[difficulty];
  career->gameType = static_cast<std::uint8_t>(game);
  career->difficulty = static_cast<std::uint8_t>(difficulty);
  // Stored as 8-bit text in small letters (A to Z lowered), always
  // terminated.
  career->nickname.fill(0);
  for (std::size_t i = 0; i + 1 < career->nickname.size() && name[i] != 0; ++i) {
    char c = static_cast<char>(static_cast<std::uint8_t>(name[i] & 0xFF));
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    career->nickname[i] = c;
  }
  m_App->SaveCareers();
  EndDialog(kResultOk);
  PushCareerSelect(m_App);
}

void CareerNicknameDlg::OnCancel() {
  EndDialog(kResultCancel);
  PushCareerSelect(m_App);
}

Dlg* PushCareerNickname(ksMain* app) { return kit::Open<CareerNicknameDlg>(app); }

bool CareerNewDlg::Build(ssDisplay* display, ssInput*) {
  using namespace kit;
  MakeScreen(this, display, kScreenId, 0, kWhite, 0, L"HardTimes.tga", L"Small Fonts7");
  const wchar_t* small7 = L"Small Fonts7";
  m_Keyboard = Make<Keyboard>(this, display, RECT{1489, 10426, 64344, 50641}, L"Nickname", ui::kKindKeyboard,
                              0x10010000, 0x300020, kKeyboard, small7, kWhite, 0);
  if (m_Keyboard != nullptr) {
    m_Keyboard->SetColourC(kYellow);
    // A nickname no wider than the career lists' first column.
    m_Keyboard->SetMaxWidth(NicknameWidth(display));
  }
  Label(this, display, RECT{9532, 59578, 25618, 63301}, L"Cancel", 0x10000000, 32, 0, small7, kWhite);
  Label(this, display, RECT{54514, 59578, 64344, 63301}, L"Done", 0x10000000, 32, 0, small7, kWhite);
  Label(this, display, RECT{297, 744, 39023, 8192}, L"Career - New", 0x10800200, 0x280020, 0, L"Cornerstone8", kYellow);
  Pic(this, display, RECT{48258, 57344, 53024, 63301}, kDone, L"Home.tga");
  Pic(this, display, RECT{3574, 57344, 8340, 63301}, kCancel, L"Back.tga");
  return m_Keyboard != nullptr;
}

LRESULT CareerNewDlg::WndProc(UINT message, WPARAM p1, LPARAM p2) {
  if (message == ui::kMsgInitDialog) {
    SetKeyButtons(kDone, kCancel);
    m_Keyboard->Invalidate(0);
    return 0;
  }
  if (message == ui::kMsgCommand) {
    const int id = ui::CommandId(p1), code = ui::CommandCode(p1);
    if ((id == kDone && code == ui::kNotifyClicked) || (id == kKeyboard && code == Keyboard::kNotifyDone)) {
      Accept();
      return 0;
    }
    if (id == kCancel && code == ui::kNotifyClicked) {
      EndDialog(kResultCancel);
      return 0;
    }
  }
  return Dlg::WndProc(message, p1, p2);
}

void CareerNewDlg::Accept() {
  if (m_Owner != nullptr) m_Owner->SetNickname(m_Keyboard->InputText());
  EndDialog(kResultOk);
}
