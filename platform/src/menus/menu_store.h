// The menu objects behind HMENU values, for the files of the menus area.
#pragma once

#include <string>
#include <vector>

#include "ce/windef.h"

namespace ce::menus {

struct Item {
  UINT type = 0;   // MFT_SEPARATOR or text
  UINT state = 0;  // MFS_GRAYED, MFS_CHECKED
  UINT id = 0;
  std::wstring text;
  HMENU submenu = nullptr;  // a popup item's menu, owned by this menu
  ULONG_PTR data = 0;
};

struct Menu {
  bool popup = false;
  std::vector<Item> items;
};

// The live menu of a handle, under the menus' lock (menu.cpp holds it
// around each use of a menu, never while a window procedure runs); null
// for anything else.
Menu* FindLocked(HMENU handle);

}  // namespace ce::menus
