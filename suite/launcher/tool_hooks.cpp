// The bar's tools and dialogs as the plug-in library opens them, and the
// host the tool dialogs reach the bar through.
#include "tool_hooks.h"

#include <memory>

#include "bar_settings.h"
#include "icon_details_popup.h"
#include "icons_dialog.h"
#include "launcher_state.h"
#include "obj_bar.h"
#include "obj_icons.h"
#include "settings_dialog.h"
#include "chimer.h"
#include "juggler.h"
#include "reminder_player.h"
#include "sweepkit.h"
#include "tool_host.h"
#include "tuneup.h"

namespace tessivo {
namespace {

class BarToolHost : public ToolHost {
 public:
  HINSTANCE Module() override { return tessivo::Module(); }
  HWND BarWindow() override { return Bar().Window(); }
  ToolOptions& Options() override { return BarSettings().options; }
  void SaveOptions() override { BarSettings().SaveOptions(); }
  void SaveAll() override { BarSettings().SaveIcons(); }
  HeaderLook Header() override {
    HeaderLook look;
    look.bitmap = State().header;
    look.font = State().largeFont;
    look.titleColour = RGB(255, 255, 255);
    return look;
  }
  void GradientColours(COLORREF* left, COLORREF* right) override {
    if (left != nullptr) *left = State().colors[9];
    if (right != nullptr) *right = State().colors[10];
  }
  int BarWidth() override { return State().screenWidth; }
  CReminderPlayer* ReminderPlayer() override { return player.get(); }

  std::unique_ptr<CReminderPlayer> player;
};

// Never destroyed: the reminder player's thread may still ask it for the
// options while the process ends.
BarToolHost& Host() {
  static BarToolHost* host = new BarToolHost;
  return *host;
}

}  // namespace

void InstallToolHost() { SetToolHost(&Host()); }

void ShowOptionsDialog(HWND parent) {
  CSettingsDialog::Instance()->Show(parent);
  Icons().Reset();
  RequestRedraw();
}

void ShowIconsDialog(HWND parent) {
  CIconsDialog::Instance()->Show(parent);
  Icons().ResetSelection();
  RequestRedraw();
}

void ShowSweepkit(HWND parent, LPCWSTR /*itemText*/) { CSweepkitDialog::Instance()->Show(parent); }
void ShowTuneup(HWND parent) { CTuneupDialog::Instance()->Show(parent); }
void ShowChimer(HWND parent) { CChimerDialog::Instance()->Show(parent); }
void RunJuggler(HWND parent) { CJugglerDialog::Instance()->Show(parent); }
void StartTuneup() { CTuneupDialog::Instance()->LoadTexts(); }
void StartSweepkit() { CSweepkitDialog::Instance()->LoadTexts(); }
void HourlyClean() { CleanSilently(); }

void StartChimer(HWND window) {
  if (window == nullptr) return;
  InstallAlarmSounds(Module());
  if (!Host().player) Host().player = std::make_unique<CReminderPlayer>(window);
  Host().player->OnBarStart();
}

void ChimerMinuteCheck(HWND window) {
  (void)window;
  if (Host().player != nullptr) Host().player->OnBarTimer(kMinuteTimer);
}

void ChimerPlay(HWND window, int alarm) {
  (void)window;
  if (Host().player != nullptr) Host().player->OnBarTimer(kRepeatTimerBase + static_cast<UINT_PTR>(alarm));
}

void ChimerStop(HWND window, int alarm) {
  (void)window;
  if (Host().player != nullptr) Host().player->OnBarTimer(kStopTimerBase + static_cast<UINT_PTR>(alarm));
}

void EndChimer() { Host().player.reset(); }

void ShowIconDetails(HWND parent, int y) { CIconDetailsPopup::Instance().Show(parent, y); }

}  // namespace tessivo
