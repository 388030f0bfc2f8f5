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
  volume_ = list(RECT{3574, 17128, 34853, 23086}, L"Volume", kVolume);
  roomGraphics_ = list(RECT{3574, 26810, 61067, 32768}, L"Room Graphics", kRoomGraphics);
  userView_ = list(RECT{3574, 31650, 55705, 37608}, L"User View", kUserView);
  adversaryView_ = list(RECT{3574, 36491, 61961, 42449}, L"Adversary View", kAdversaryView);
  Label(this, display, RECT{8936, 58833, 24724, 63301}, L"Cancel", 0x10000000, 0x200020, 0, s7, kWhite);
  Label(this, display, RECT{53024, 59205, 64344, 63674}, L"Save", 0x10000000, 0x200020, 0, s7, kWhite);
  auto* controls = Make<Button>(this, display, RECT{3574, 12288, 20256, 18245}, L"Controls", ui::kKindButton,
                                0x10018D00, 0x20, kControls, s7, kYellow, 0);
  Pic(this, display, RECT{3574, 57344, 8340, 63301}, kCancel, L"Back.tga");
  Pic(this, display, RECT{47066, 57344, 51833, 63301}, kSave, L"Home.tga");
  orientation_ = list(RECT{3574, 41332, 58684, 47290}, L"Orientation", kOrientation);
  music_ = list(RECT{3574, 21969, 61067, 27927}, L"Background Music", kMusic);
  render_ = list(RECT{3574, 46173, 62854, 52130}, L"Render Method", kRenderMethod);
  if (!volume_ || !roomGraphics_ || !userView_ || !adversaryView_ || !controls || !orientation_ || !music_ || !render_)
    return false;
  Wnd* ring[] = {volume_, music_, roomGraphics_, userView_, adversaryView_, orientation_, render_, controls};
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
      if (app && volume_->GetCurSel() >= 0) app->SetVolume(volume_->GetCurSel());
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
    volume_->AddString(text);
  }
  if (app == nullptr) return;
  Prefs& p = app->prefs();
  volume_->SetCurSel(p[pref::kVolume]);
  userView_->AddString(L"Last Distance");
  userView_->AddString(L"Standard Distance");
  userView_->SetCurSel(p[pref::kUserView]);
  adversaryView_->AddString(L"Overhead");
  adversaryView_->AddString(L"Downtable");
  adversaryView_->SetCurSel(p[pref::kAdversaryView]);
  savedVolume_ = app->Volume();
  roomGraphics_->AddString(L"Disable");
  roomGraphics_->AddString(L"Enable");
  roomGraphics_->SetCurSel(p[pref::kRoomGraphics]);
  orientation_->AddString(L"Right Hand");
  orientation_->AddString(L"Left Hand");
  orientation_->SetCurSel(p[pref::kOrientation]);
  render_->AddString(L"GDI");
  render_->AddString(L"RAW");
  render_->AddString(L"GAPI");
  render_->SetCurSel(static_cast<int>(p.RenderMethod() & 7) - 1);
  music_->ShowWindow(0);
}

void SettingsDlg::OnCancel() {
  if (app) app->SetVolume(savedVolume_);
  Cancel();
}

void SettingsDlg::OnSave() {
  using namespace ks::app;
  if (app == nullptr) {
    Cancel();
    return;
  }
  Prefs& p = app->prefs();
  auto sel = [](ChoiceList* l) { return static_cast<std::uint8_t>(l->GetCurSel() < 0 ? 0 : l->GetCurSel()); };
  p[pref::kRoomGraphics] = sel(roomGraphics_);
  p[pref::kVolume] = sel(volume_);
  p[pref::kAdversaryView] = sel(adversaryView_);
  p[pref::kUserView] = sel(userView_);
  app->PauseSound(p[pref::kMusic] == 0);
  const std::uint8_t orientation = sel(orientation_);
  EndDialog(kResultOk);
  auto message = [this](const wchar_t* title, const wchar_t* text) { app->ShowMessage(title, text); };
  if (orientation != p[pref::kOrientation]) {
    p[pref::kOrientation] = orientation;
    message(L"Orientation Change", L"Game must be restarted for change to take effect.");
  }
  const std::uint32_t method = static_cast<std::uint32_t>(render_->GetCurSel() + 1);
  if (render_->GetCurSel() >= 0 && method != (p.RenderMethod() & 7)) {
    message(L"Render Mode Has Changed", L"You must exit the game and restart to apply Render Mode change");
    p.SetRenderMethod((p.RenderMethod() & ~7u) | method);
    Invalidate(1);
  }
  app->SavePrefs();
}

void SettingsDlg::OnControls() {
  kit::Open<KeyAssignDlg>(app);
  Invalidate(0);
}

Dlg* PushSettings(ksMain* app) { return kit::Open<SettingsDlg>(app); }
