// CreditsDlg: "Game Credits", the About page of the main menu: the game's
// makers and the video segments' cast and crew in a fixed layout, a
// version notice and Back.
#pragma once

#include "ui/dlg.h"

class ksMain;
class ssInput;

class CreditsDlg final : public Dlg {
 public:
  static constexpr int kScreenId = 1016;
  static constexpr int kBack = 4;
  bool Build(ssDisplay* display, ssInput* input);
  LRESULT WndProc(UINT message, WPARAM p1, LPARAM p2) override;
  ksMain* m_App = nullptr;
};
