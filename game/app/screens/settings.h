// SettingsDlg: the "Settings" screen. The user settings as a column of
// choice lists, saved into the preferences on Save and written at once;
// the volume follows the list while the screen is open and is put back on
// Cancel. "Controls" opens the key assignment screen.
#pragma once

#include "ui/dlg.h"

class ksMain;
class ssInput;
class ChoiceList;

class SettingsDlg final : public Dlg {
 public:
  enum Id {
    kVolume = 2,
    kRoomGraphics = 3,
    kUserView = 4,
    kAdversaryView = 5,
    kCancel = 6,
    kSave = 7,
    kControls = 8,
    kOrientation = 13,
    kMusic = 15,
    kRenderMethod = 17
  };
  static constexpr int kScreenId = 1011;

  bool Build(ssDisplay* display, ssInput* input);
  LRESULT WndProc(UINT message, WPARAM p1, LPARAM p2) override;

  ksMain* m_App = nullptr;

 private:
  void OnInit();
  void OnCancel();
  void OnSave();
  void OnControls();

  int m_SavedVolume = 10;
  ChoiceList* m_Volume = nullptr;
  ChoiceList* m_RoomGraphics = nullptr;
  ChoiceList* m_UserView = nullptr;
  ChoiceList* m_AdversaryView = nullptr;
  ChoiceList* m_Orientation = nullptr;
  ChoiceList* m_Music = nullptr;
  ChoiceList* m_Render = nullptr;
};
