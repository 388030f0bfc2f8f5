// CareerSelectDlg: "Career - Select", the entry to career play. Lists the
// saved careers (nickname, game type, difficulty); Start resumes a career's
// held game, plays the introduction before a new career's first match, or
// opens the career map. New Career and Delete Career take this screen's
// place; the screens they open bring a fresh select screen back.
#pragma once

#include "ui/dlg.h"

class ksMain;
class ssInput;
class ListBox;

class CareerSelectDlg final : public Dlg {
 public:
  enum Id { kList = 2, kStart = 3, kBack = 5, kNewCareer = 7, kDeleteCareer = 8 };
  static constexpr int kScreenId = 1001;

  bool Build(ssDisplay* display, ssInput* input);
  LRESULT WndProc(UINT message, WPARAM p1, LPARAM p2) override;

  ksMain* m_App = nullptr;

 private:
  void FillList();
  void OnStart();
  void OnBack();
  void OnNewCareer();
  void OnDeleteCareer();
  void NoCareer();

  ListBox* m_List = nullptr;
};
