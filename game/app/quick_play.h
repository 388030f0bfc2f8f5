// QuickPlayDlg: the "Quick Play" screen. The player chooses player 2
// (practice alone, a friend, or one of the computer opponents), the room,
// the game type and the match goal, reads a picture and a description of
// the list in focus, and starts the match with "Rack Em".
#pragma once

#include "ui/dlg.h"

class ksMain;
class ssInput;
class ChoiceList;
class Picture;
class StaticText;

class QuickPlayDlg final : public Dlg {
 public:
  enum Id {
    kPlayer2 = 3,
    kLocation = 4,
    kGameType = 5,
    kMatchGoal = 6,
    kInfoPicture = 7,
    kInfoText = 8,
    kBack = 9,
    kRackEm = 10
  };
  static constexpr int kScreenId = 1009;
  static constexpr std::uint32_t kPractice = 255;
  static constexpr std::uint32_t kHuman = 256;

  bool Build(ssDisplay* display, ssInput* input);
  LRESULT WndProc(UINT message, WPARAM p1, LPARAM p2) override;

  ksMain* m_App = nullptr;

 private:
  void OnInit();
  void ShowPlayer2();
  void ShowRoom();
  void ShowRules();
  void HideInfo();
  void FillGameCounts();
  void FillPointGoals();
  void RackEm();
  void ShowInfo(const wchar_t* picture, const wchar_t* text, int width, const RECT& label, const wchar_t* font);

  ChoiceList* m_Player2 = nullptr;
  ChoiceList* m_Location = nullptr;
  ChoiceList* m_GameType = nullptr;
  ChoiceList* m_Goal = nullptr;
  Picture* m_Picture = nullptr;
  StaticText* m_Text = nullptr;
  int m_OpponentWidth = 0, m_RulesWidth = 0, m_RoomWidth = 0, m_PictureHeight = 0;
  RECT m_Label{}, m_LabelMoved{};
  bool m_GameCounts = false;
};
