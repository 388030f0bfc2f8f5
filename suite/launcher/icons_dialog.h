// The icons dialog: a live copy of the bar's icon area in which the user
// picks a slot (keys or a tap), and the program list from which the slot's
// program is chosen; the custom link entry asks for a path and parameters.
#pragma once

#include "ce/windows.h"
#include "settings_dialog.h"
#include "common/dialog_window.h"
#include "tool_logic.h"

namespace tessivo {

class CIconsDialog : public suite::CDialogWindow<CSettingsLogic, CIconsDialog> {
 public:
  static constexpr UINT kTemplate = 165;
  // The dialog finishes opening on this message, posted to itself.
  static constexpr UINT kFinishOpening = WM_USER + 1;
  UINT TemplateId() const { return kTemplate; }
  // The bar's header with the dialog's caption across the top.
  void OnPaint(HDC dc, HWND hwnd) override { PaintCaptionHeader(dc, hwnd); }

  // Gives the selected slot the program-list entry named `name` (nothing
  // when the slot already has that name or the list has no such entry).
  // The custom link entry runs the custom link dialog first. TRUE when the
  // slot changed.
  BOOL ChooseProgram(HWND hwnd, LPCWSTR name);

 protected:
  BOOL OnInitDialog(HWND hwnd) override;
  void OnOK(HWND hwnd, int id) override;
  bool WindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;
  void Cancel(HWND hwnd) override { EndDialog(hwnd, 0); }

 private:
  friend class suite::CDialogWindow<CSettingsLogic, CIconsDialog>;
  CIconsDialog() = default;
  void FinishOpening(HWND hwnd);
  void ShowSlotProgram(HWND hwnd);
  void PaintArea(HWND area);
  static LRESULT CALLBACK AreaProc(HWND area, UINT message, WPARAM wParam, LPARAM lParam);

  HWND m_area = nullptr;
  WNDPROC m_previousProc = nullptr;
  bool m_areaHasFocus = false;
  int m_entries = 0;
};

}  // namespace tessivo
