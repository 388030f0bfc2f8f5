// CAddRemoveDialog: the user picks the launcher bar, the meters plug-in or
// both and chooses "Add" or "Remove"; the home layout editor then does it.
#pragma once

#include "ce/windows.h"

namespace setup {

class CAddRemoveDialog {
 public:
  static CAddRemoveDialog* GetInstance();
  static void DeleteInstance();

  // Modal over `parent`; TRUE when a change reached the home screen.
  BOOL Run(HWND parent, HINSTANCE module);

 private:
  CAddRemoveDialog() = default;

  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR OnMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  void OnInit(HWND dialog);
  void OnChosen(HWND dialog, BOOL remove);

  HWND m_parent = nullptr;
  HINSTANCE m_module = nullptr;
  HWND m_menuBar = nullptr;
  BOOL m_remove = FALSE;  // 0 add, 1 remove
  int m_choice = 2;       // 0 launcher bar, 1 meters, 2 both
};

}  // namespace setup
