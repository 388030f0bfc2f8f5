// MainMenuDlg: the root screen of the menus, six buttons in a ring that
// wraps both ways: Career Play, Quick Play (or the saved quick-play match),
// Settings, About, Help and Quit.
#pragma once

#include "ui/dlg.h"

class ksMain;
class ssInput;

class MainMenuDlg final : public Dlg {
 public:
  enum Id { kCareerPlay = 4, kQuickPlay = 3, kSettings = 6, kAbout = 7, kHelp = 8, kQuit = 9 };
  static constexpr int kScreenId = 1000;

  // False when a widget could not be made (the later ones are not).
  bool Build(ssDisplay* display, ssInput* input);
  LRESULT WndProc(UINT message, WPARAM p1, LPARAM p2) override;

  ksMain* m_App = nullptr;

 private:
  void OnQuit();
  void OnQuickPlay();
  void OnCareerPlay();
  void OnSettings();
  void OnAbout();
  void OnHelp();
};
