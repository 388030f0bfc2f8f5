// The bar's tools and dialogs as the plug-in library opens them, and the
// host the tool dialogs reach the bar through.
#include "tool_hooks.h"

#include "bar_settings.h"
#include "icon_details_popup.h"
#include "icons_dialog.h"
#include "launcher_state.h"
#include "obj_bar.h"
#include "obj_icons.h"
#include "settings_dialog.h"
#include "tool_host.h"

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
    look.bitmap = State().header.GetBitmap();
    look.font = State().largeFont;
    look.titleColour = RGB(255, 255, 255);
    return look;
  }
  void GradientColours(COLORREF* left, COLORREF* right) override {
    if (left != nullptr) *left = State().colors[9];
    if (right != nullptr) *right = State().colors[10];
  }
  int BarWidth() override { return State().screenWidth; }
  CReminderPlayer* ReminderPlayer() override { return nullptr; }
};

BarToolHost g_host;

}  // namespace

void InstallToolHost() { SetToolHost(&g_host); }

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

void ShowSweepkit(HWND, LPCWSTR) {}
void ShowTuneup(HWND) {}
void ShowChimer(HWND) {}
void RunJuggler(HWND) {}
void StartTuneup() {}
void StartSweepkit() {}
void CleanSilently() {}
void StartChimer(HWND) {}
void ChimerMinuteCheck(HWND) {}
void ChimerPlay(HWND, int) {}
void ChimerStop(HWND, int) {}
void ShowIconDetails(HWND parent, int y) { CIconDetailsPopup::Instance().Show(parent, y); }

}  // namespace tessivo
