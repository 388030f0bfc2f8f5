// Tuneup: platform settings the control panel does not offer (ClearType,
// window animation, the system font, the low-battery notification, the
// title bar's clock and the order of the Today items). Each change is
// written at once; most need a soft reset, which "Done" asks for.
#pragma once

#include "common/dialog_window.h"
#include "tool_logic.h"

namespace tessivo {

inline constexpr int kIdClearType = 1017;
inline constexpr int kIdSystemFont = 1018;
inline constexpr int kIdAnimate = 1019;
inline constexpr int kIdRemoveBatteryWarning = 1026;
inline constexpr int kIdJugglerButton = 1028;
inline constexpr int kIdCleanTodayOrder = 1031;
inline constexpr int kIdTitleBarDisplay = 1032;
inline constexpr int kTuneupMaxFonts = 50;

class CTuneupLogic : public CToolLogic {
 public:
  CTuneupLogic();
  ~CTuneupLogic() override;

  // Writes "Default" = "Low Battery Warning" and the kept shown state to
  // the low-battery notification's key (when it exists).
  void LoadTexts() override;
  void OnPaint(HDC dc, HWND hwnd) override;

  void SetClearType(DWORD value);
  void SetAnimate(DWORD value);
  // "Nm" of the system, menu bar, popup and out-of-memory fonts; the name
  // is kept as the last written only when all four writes succeed.
  void SetSystemFont(LPCWSTR name);
  // "Options" 9 (shown) or 1 (not shown), while the key exists.
  void SetLowBatteryNotification(BOOL shown);
  void SetTitleBarOption(DWORD value);
  void RestoreSystemDefaults();
  // Renumbers the Today items' "Order" 10, 20, 30, ... from the smallest
  // (the first in enumeration order among equals).
  void ReorderTodayItems();
  // The font families offered: each once, in enumeration order, without
  // "Bookdings", at most kTuneupMaxFonts.
  void CollectFonts(HDC dc);

  int FontCount() const { return m_fontCount; }
  LPCWSTR Font(int i) const { return m_fonts[i]; }
  LPCWSTR LastFont() const { return m_lastFont; }
  bool RestartNeeded() const { return m_restartNeeded; }

 protected:
  static int CALLBACK OnFontFamily(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM self);
  void AddFont(LPCWSTR name);

  HKEY m_shellUser = nullptr;     // HKCU SOFTWARE\Microsoft\Shell
  HKEY m_gwe = nullptr;           // HKLM SYSTEM\GWE
  HKEY m_barFont = nullptr;       // HKLM SYSTEM\GWE\Menu\BarFnt
  HKEY m_popupFont = nullptr;     // HKLM SYSTEM\GWE\Menu\PopFnt
  HKEY m_memoryFont = nullptr;    // HKLM SYSTEM\GWE\OOMFnt
  HKEY m_systemFont = nullptr;    // HKLM SYSTEM\GDI\SYSFNT
  HKEY m_notification = nullptr;  // HKCU the low-battery notification
  HKEY m_shellMachine = nullptr;  // HKLM SOFTWARE\Microsoft\Shell
  DWORD m_clearType = 0;
  DWORD m_animate = 0;
  BOOL m_notificationShown = TRUE;
  DWORD m_titleBarOption = 1;
  WCHAR m_lastFont[32] = {};
  bool m_restartNeeded = false;
  HWND m_menuBar = nullptr;
  WCHAR m_fonts[kTuneupMaxFonts][32] = {};
  int m_fontCount = 0;
};

class CTuneupDialog : public suite::CDialogWindow<CTuneupLogic, CTuneupDialog> {
 public:
  CTuneupDialog();
  UINT TemplateId() const { return 502; }
  BOOL OnInitDialog(HWND hwnd) override;
  // Done (and IDOK): the Today order when asked, the soft-reset notice
  // when a change needs it, the launcher settings written. IDCANCEL ends
  // without these; what was changed stays.
  void OnOK(HWND hwnd, int id) override;

 protected:
  bool WindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;
  void Cancel(HWND hwnd) override;
};

}  // namespace tessivo
