#include "screens/settings.h"

#include "ce/crt.h"
#include "engine/audio/audio_wave_out.h"
#include "screens.h"
#include "screens/key_assign.h"
#include "screens/screen_kit.h"
#include "ui/button.h"
#include "ui/choice_list.h"
#include "ui/message_dlg.h"

bool SettingsDlg::Build(ssDisplay* display, ssInput*) {
  using namespace kit;
  MakeScreen(this, display, kScreenId, 0, kYellow, 0, L"HardTimes.tga", L"Small Fonts7");
  const wchar_t* s7 = L"Small Fonts7";
  Pic(this, display, RECT{1191, 10426, 64046, 54737}, 0, nullptr, s7, 0x10800000, 0x80020, kYellow, 0);
  Label(this, display, RECT{297, 744, 30384, 8192}, L"Settings", 0x10800200, 0x80020, 0, L"Cornerstone8", kYellow);
  auto list = [&](RECT r, const wchar_t* caption, int id) {
    return Make<ChoiceList>(this, display, r, caption, ui::kKindChoiceList, 0x10010080, 0x10020, id, s7, kYellow, 0);
  };
  m_Volume = list(RECT{3574, 17128, 34853, 23086}, L"Volume", kVolume);
  m_RoomGraphics = list(RECT{3574, 26810, 61067, 32768}, L"Room Graphics", kRoomGraphics);
  m_UserView = list(RECT{3574, 31650, 55705, 37608}, L"User View", kUserView);
  m_AdversaryView = list(RECT{3574, 36491, 61961, 42449}, L"Adversary View", kAdversaryView);
  Label(this, display, RECT{8936, 58833, 24724, 63301}, L"Cancel", 0x10000000, 0x200020, 0, s7, kWhite);
  Label(this, display, RECT{53024, 59205, 64344, 63674}, L"Save", 0x10000000, 0x200020, 0, s7, kWhite);
  auto* controls = Make<Button>(this, display, RECT{3574, 12288, 20256, 18245}, L"Controls", ui::kKindButton,
                                0x10018D00, 0x20, kControls, s7, kYellow, 0);
  Pic(this, display, RECT{3574, 57344, 8340, 63301}, kCancel, L"Back.tga");
  Pic(this, display, RECT{47066, 57344, 51833, 63301}, kSave, L"Home.tga");
  m_Orientation = list(RECT{3574, 41332, 58684, 47290}, L"Orientation", kOrientation);
  m_Music = list(RECT{3574, 21969, 61067, 27927}, L"Background Music", kMusic);
  m_Render = list(RECT{3574, 46173, 62854, 52130}, L"Render Method", kRenderMethod);
  if (!m_Volume || !m_RoomGraphics || !m_UserView || !m_AdversaryView || !controls || !m_Orientation || !m_Music ||
      !m_Render)
    return false;
  Wnd* ring[] = {m_Volume, m_Music, m_RoomGraphics, m_UserView, m_AdversaryView, m_Orientation, m_Render, controls};
  constexpr int n = 8;
  for (int i = 0; i < n; ++i) ring[i]->SetNeighbours(ring[(i + n - 1) % n], ring[(i + 1) % n], nullptr, nullptr);
  return true;
}

LRESULT SettingsDlg::WndProc(UINT message, WPARAM p1, LPARAM p2) {
  if (message == ui::kMsgInitDialog) {
    OnInit();
    return 0;
  }
  if (message == ui::kMsgCommand) {
    const int id = ui::CommandId(p1), code = ui::CommandCode(p1);
    if (code == ui::kNotifyClicked && id == kCancel) {
      OnCancel();
      return 0;
    }
    if (code == ui::kNotifyClicked && id == kSave) {
      OnSave();
      return 0;
    }
    if (code == ui::kNotifyClicked && id == kControls) {
      OnControls();
      return 0;
    }
    if (code == ui::kNotifyChanged && id == kVolume) {
      // The new level is heard at once, before it is saved.
      if (m_App && m_Volume->GetCurSel() >= 0) m_App->SetVolume(m_Volume->GetCurSel());
      return 0;
    }
    if (code == ui::kNotifyChanged && id == kMusic) return 0;
  }
  return Dlg::WndProc(message, p1, p2);
}

void SettingsDlg::OnInit() {
  using namespace ks::app;
  SetKeyButtons(kSave, kCancel);
  for (int v = 0; v <= 10; ++v) {
    wchar_t text[8];
    _snwprintf(text, 8, L"%d", v);
    m_Volume->AddString(text);
  }
  if (m_App == nullptr) return;
  Prefs& p = m_App->Prefs();
  m_Volume->SetCurSel(p[pref::kVolume]);
  m_UserView->AddString(L"Last Distance");
  m_UserView->AddString(L"Standard Distance");
  m_UserView->SetCurSel(p[pref::kUserView]);
  m_AdversaryView->AddString(L"Overhead");
  m_AdversaryView->AddString(L"Downtable");
  m_AdversaryView->SetCurSel(p[pref::kAdversaryView]);
  m_SavedVolume = m_App->Volume();
  m_RoomGraphics->AddString(L"Disable");
  m_RoomGraphics->AddString(L"Enable");
  m_RoomGraphics->SetCurSel(p[pref::kRoomGraphics]);
  m_Orientation->AddString(L"Right Hand");
  m_Orientation->AddString(L"Left Hand");
  m_Orientation->SetCurSel(p[pref::kOrientation]);
  m_Render->AddString(L"GDI");
  m_Render->AddString(L"RAW");
  m_Render->AddString(L"GAPI");
  m_Render->SetCurSel(static_cast<int>(p.RenderMethod() & 7) - 1);
  m_Music->ShowWindow(0);
}

void SettingsDlg::OnCancel() {
  if (m_App) m_App->SetVolume(m_SavedVolume);
  Cancel();
}

void SettingsDlg::OnSave() {
  using namespace ks::app;
  if (m_App == nullptr) {
    Cancel();
    return;
  }
  Prefs& p = m_App->Prefs();
  auto sel = [](ChoiceList* l) { return static_cast<std::uint8_t>(l->GetCurSel() < 0 ? 0 : l->GetCurSel()); };
  p[pref::kRoomGraphics] = sel(m_RoomGraphics);
  p[pref::kVolume] = sel(m_Volume);
  p[pref::kAdversaryView] = sel(m_AdversaryView);
  p[pref::kUserView] = sel(m_UserView);
  m_App->PauseSound(p[pref::kMusic] == 0);
  const std::uint8_t orientation = sel(m_Orientation);
  EndDialog(kResultOk);
  auto message = [this](const wchar_t* title, const wchar_t* text) { m_App->ShowMessage(title, text); };
  if (orientation != p[pref::kOrientation]) {
    p[pref::kOrientation] = orientation;
    message(L"Orientation Change", L"Game must be restarted for change to take effect.");
  }
  const std::uint32_t method = static_cast<std::uint32_t>(m_Render->GetCurSel() + 1);
  if (m_Render->GetCurSel() >= 0 && method != (p.RenderMethod() & 7)) {
    message(L"Render Mode Has Changed", L"You must exit the game and restart to apply Render Mode change");
    p.SetRenderMethod((p.RenderMethod() & ~7u) | method);
    Invalidate(1);
  }
  m_App->SavePrefs();
}

void SettingsDlg::OnControls() {
  kit::Open<KeyAssignDlg>(m_App);
  Invalidate(0);
}

Dlg* PushSettings(ksMain* app) { return kit::Open<SettingsDlg>(app); }
