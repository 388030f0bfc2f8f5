// InGameMenuDlg: the small centred menu over a match: resume, put the game
// on hold (save it), resign the game, call a miscall, the settings, the
// help, or quit the match. Every choice closes the menu and returns to
// play; settings and help show their screen first.
#pragma once

#include <cstdint>

#include "ui/dlg.h"

class ksMain;
class ssInput;
class Button;

class InGameMenuDlg final : public Dlg {
 public:
  enum Id { kSettings = 2, kHold = 3, kResign = 4, kResume = 5, kHelp = 6, kMiscall = 7, kQuitMatch = 8 };
  static constexpr int kScreenId = 1008;

  bool Build(ssDisplay* display, ssInput* input);
  LRESULT WndProc(UINT message, WPARAM p1, LPARAM p2) override;

  std::int32_t m_Mode = 2;  // 0 quick play, 2 career
  ksMain* m_App = nullptr;

 private:
  void OnInit();
  void Play();

  Button* m_Hold = nullptr;
  Button* m_Resign = nullptr;
};
