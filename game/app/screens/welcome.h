// The two welcome pages shown at the start of the menus while the
// preferences ask for them: "Menu Controls" (how to move through the
// menus), then "Game Controls" (how to aim, shoot and reach the menu).
#pragma once

#include "ui/dlg.h"

class ksMain;
class ssInput;

class WelcomeMenuDlg final : public Dlg {
 public:
  static constexpr int kScreenId = 1022;
  static constexpr int kNext = 2;
  bool Build(ssDisplay* display, ssInput* input);
  LRESULT WndProc(UINT message, WPARAM p1, LPARAM p2) override;
  ksMain* m_App = nullptr;
};

class WelcomePlayDlg final : public Dlg {
 public:
  static constexpr int kScreenId = 1023;
  static constexpr int kNext = 6;
  bool Build(ssDisplay* display, ssInput* input);
  LRESULT WndProc(UINT message, WPARAM p1, LPARAM p2) override;
  ksMain* m_App = nullptr;
};
