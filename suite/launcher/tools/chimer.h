// Chimer's dialog: turns the reminder sounds on or off and chooses the
// sounds, the volume, how long they play, how often they repeat and when
// they stop. The settings are live while it is open; "Cancel" and the Back
// key put the values from its opening back.
#pragma once

#include "tool_host.h"
#include "common/dialog_window.h"
#include "tool_logic.h"

namespace tessivo {

inline constexpr int kIdChimerEnable = 1043;
inline constexpr int kIdCalendarSound = 1034;
inline constexpr int kIdTaskSound = 1040;
inline constexpr int kIdAlarmSound = 1041;
inline constexpr int kIdVolume = 1039;
inline constexpr int kIdPlayWhenMuted = 1017;
inline constexpr int kIdPlaySeconds = 1036;
inline constexpr int kIdRepeatMinutes = 1037;
inline constexpr int kIdStopMinutes = 1038;

class CChimerLogic : public CToolLogic {
 public:
  CChimerLogic();
  void OnPaint(HDC dc, HWND hwnd) override;

 protected:
  // Fills the controls from the settings.
  void ShowSettings(HWND hwnd);
  // Stores every control into the settings (a number outside its list's
  // range leaves the setting as it was).
  void StoreSettings(HWND hwnd);
};

class CChimerDialog : public suite::CDialogWindow<CChimerLogic, CChimerDialog> {
 public:
  CChimerDialog();
  UINT TemplateId() const { return 504; }
  BOOL OnInitDialog(HWND hwnd) override;
  // Done and IDOK store the controls and write them; IDCANCEL is Cancel.
  void OnOK(HWND hwnd, int id) override;

 protected:
  void Cancel(HWND hwnd) override;

 private:
  ToolOptions m_copy;
};

}  // namespace tessivo
