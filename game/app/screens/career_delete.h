// CareerDeleteDlg: "Career - Delete". Lists the saved careers and deletes
// the chosen one at once (no confirmation), saves the careers and brings a
// fresh career select screen back.
#pragma once

#include "ui/dlg.h"

class ksMain;
class ssInput;
class ListBox;

class CareerDeleteDlg final : public Dlg {
 public:
  enum Id { kCancel = 2, kDelete = 3, kList = 4 };
  static constexpr int kScreenId = 1017;

  bool Build(ssDisplay* display, ssInput* input);
  LRESULT WndProc(UINT message, WPARAM p1, LPARAM p2) override;
  ListBox* List() const { return m_List; }

  ksMain* m_App = nullptr;

 private:
  void OnDelete();

  ListBox* m_List = nullptr;
};
