// The meters' layer of the suite's dialog framework: each dialog runs
// modally from its template in the plug-in's resources, counted while it is
// open; a second Show only brings it forward and returns -1; every WM_HOTKEY
// is the dialog's, the Back key going up cancelling it. The dialogs derive
// from suite::CDialogWindow over CMeterDialog.
#pragma once

#include <span>

#include "ce/windows.h"
#include "common/dialog_window.h"

namespace pelmora {

// Template numbers of the plug-in's dialogs.
inline constexpr int kNetworkInfoTemplate = 150;
inline constexpr int kOptionsTemplate = 500;
inline constexpr int kDrainlogTemplate = 157;
// The Back key arrives as WM_HOTKEY with VK_ESCAPE and this key-up flag.
inline constexpr WORD kHotKeyUp = MOD_KEYUP;

class CMeterDialog : public suite::CDialogBase {
 protected:
  bool WindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;
  // From the plug-in module, counted in DialogsOpen while it runs.
  INT_PTR RunTemplate(UINT templateId, HWND parent, DLGPROC procedure) override;
  INT_PTR BroughtForwardResult() const override;
  // Destroys the page windows a dialog made and forgets them.
  static void DestroyPages(std::span<HWND> pages);
};

// The plug-in module whose resources the dialogs use.
HINSTANCE DialogModule();
// How many of the plug-in's dialogs are running. While one covers the home
// screen the meters ask the host for no repaints (the host would paint its
// rows over the dialog); one repaint follows when the last one ends.
int DialogsOpen();

}  // namespace pelmora
