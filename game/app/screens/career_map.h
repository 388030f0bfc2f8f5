// CareerMapDlg: "Career - Map". The six rooms of the career as small
// pictures on a map; rooms the career has not reached are covered by a
// lock. Focusing a room previews its large picture and name; choosing it
// opens the career room screen above the map.
#pragma once

#include "ui/dlg.h"

class ksMain;
class ssInput;
class Picture;
class StaticText;

class CareerMapDlg final : public Dlg {
 public:
  enum Id { kLarge = 2, kBack = 3, kEnter = 4, kName = 11 };
  static constexpr int kScreenId = 1004;
  static constexpr int kRoomPictureIds[6] = {5, 10, 6, 7, 8, 9};
  static constexpr int kLockIds[6] = {0, 12, 13, 14, 15, 16};

  bool Build(ssDisplay* display, ssInput* input);
  LRESULT WndProc(UINT message, WPARAM p1, LPARAM p2) override;
  int SelectedRoom() const { return m_Selected; }

  ksMain* m_App = nullptr;

 private:
  void UpdateLocks();
  void Preview(int room);
  void EnterRoom();

  int m_Selected = 0;
  int m_Level = 0;
  Picture* m_Large = nullptr;
  StaticText* m_Name = nullptr;
  Picture* m_Rooms[6] = {};
  Picture* m_Locks[6] = {};
};
