// The settings dialog (how many icon lines the bar shows, the date line,
// the animate option) and the custom link dialog (a program's path and
// parameters). The line rules live apart from the window so that they can
// be checked alone.
#pragma once

#include "ce/windows.h"
#include "settings_logic.h"
#include "common/dialog_window.h"
#include "tool_logic.h"

namespace tessivo {

class CBarSettings;

// The settings dialog's rules over the live settings. Static and
// scrolling lines together stay within ten; the shown scrolling lines
// follow the width rule.
struct LineRules {
  // Static lines (accepted within 0..10).
  static void ChooseStatic(CBarSettings& settings, DWORD lines);
  // Scrolling lines in all (within 0..10), then the width rule.
  static void ChooseScrolling(CBarSettings& settings, DWORD lines);
  // Shown scrolling lines (within 1..5); a choice the width rule would
  // change is refused.
  static void ChooseWidth(CBarSettings& settings, DWORD lines);
  // As many shown as in all becomes 1; more than in all (from 2 in all)
  // becomes one fewer than in all.
  static void WidthRule(CBarSettings& settings);
  // Done: no lines at all becomes one static line; no scrolling lines, none
  // shown.
  static void Finish(CBarSettings& settings);
};

class CSettingsDialog : public suite::CDialogWindow<CSettingsLogic, CSettingsDialog> {
 public:
  static constexpr UINT kTemplate = 500;
  UINT TemplateId() const { return kTemplate; }
  // The bar's header with the dialog's caption across the top.
  void OnPaint(HDC dc, HWND hwnd) override { PaintCaptionHeader(dc, hwnd); }

 protected:
  BOOL OnInitDialog(HWND hwnd) override;
  void OnOK(HWND hwnd, int id) override;
  bool WindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;
  void Cancel(HWND hwnd) override;

 private:
  friend class suite::CDialogWindow<CSettingsLogic, CSettingsDialog>;
  CSettingsDialog() = default;
  void ShowLines(HWND hwnd);

  DWORD m_numLines = 0;
  DWORD m_ns = 0;
  DWORD m_sw = 0;
  DWORD m_date = 0;
  bool m_restored = false;
};

class CCustomLinkDialog : public suite::CDialogWindow<CToolLogic, CCustomLinkDialog> {
 public:
  static constexpr UINT kTemplate = 503;
  UINT TemplateId() const { return kTemplate; }
  // The path and parameters last entered (read back on Done).
  WCHAR path[MAX_PATH] = {};
  WCHAR parameters[MAX_PATH] = {};

 protected:
  BOOL OnInitDialog(HWND hwnd) override;
  void OnOK(HWND hwnd, int id) override;
  bool WindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;

 private:
  friend class suite::CDialogWindow<CToolLogic, CCustomLinkDialog>;
  CCustomLinkDialog() : CDialogWindow(0) {}
};

}  // namespace tessivo
