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
  int SelectedRoom() const { return selected_; }

  ksMain* app = nullptr;

 private:
  void UpdateLocks();
  void Preview(int room);
  void EnterRoom();

  int selected_ = 0;
  int level_ = 0;
  Picture* large_ = nullptr;
  StaticText* name_ = nullptr;
  Picture* rooms_[6] = {};
  Picture* locks_[6] = {};
};
