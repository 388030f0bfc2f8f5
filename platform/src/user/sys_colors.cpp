// The device's system colours and their brushes.
#include <array>
#include <mutex>

#include "ce/winbase.h"
#include "ce/wingdi.h"
#include "ce/winuser.h"

namespace {

// The device's scheme: white windows with black text, navy highlight and
// captions, grey buttons.
constexpr std::array<COLORREF, 29> kColours = {
    RGB(200, 200, 200),  // scroll bar
    RGB(0, 128, 128),    // desktop
    RGB(0, 0, 128),      // active caption
    RGB(128, 128, 128),  // inactive caption
    RGB(255, 255, 255),  // menu
    RGB(255, 255, 255),  // window
    RGB(0, 0, 0),        // window frame
    RGB(0, 0, 0),        // menu text
    RGB(0, 0, 0),        // window text
    RGB(255, 255, 255),  // caption text
    RGB(192, 192, 192),  // active border
    RGB(192, 192, 192),  // inactive border
    RGB(128, 128, 128),  // application workspace
    RGB(0, 0, 128),      // highlight
    RGB(255, 255, 255),  // highlight text
    RGB(192, 192, 192),  // button face
    RGB(128, 128, 128),  // button shadow
    RGB(128, 128, 128),  // grey text
    RGB(0, 0, 0),        // button text
    RGB(192, 192, 192),  // inactive caption text
    RGB(255, 255, 255),  // button highlight
    RGB(0, 0, 0),        // 3D dark shadow
    RGB(224, 224, 224),  // 3D light
    RGB(0, 0, 0),        // tooltip text
    RGB(255, 255, 225),  // tooltip background
    RGB(192, 192, 192),  // static control
    RGB(0, 0, 0),        // static control text
    RGB(16, 132, 208),   // active caption gradient
    RGB(181, 181, 181),  // inactive caption gradient
};

// The plain index, or -1.
int IndexOf(int index) {
  index &= ~SYS_COLOR_INDEX_FLAG;
  return index >= 0 && index < static_cast<int>(kColours.size()) ? index : -1;
}

std::mutex g_brushLock;
std::array<HBRUSH, kColours.size()> g_brushes{};

}  // namespace

DWORD GetSysColor(int index) {
  const int i = IndexOf(index);
  if (i < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return kColours[i];
}

HBRUSH GetSysColorBrush(int index) {
  const int i = IndexOf(index);
  if (i < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::lock_guard guard(g_brushLock);
  // Made once; made again should a program have deleted it after all.
  LOGBRUSH seen{};
  if (!g_brushes[i] || GetObjectW(g_brushes[i], sizeof seen, &seen) == 0) g_brushes[i] = CreateSolidBrush(kColours[i]);
  return g_brushes[i];
}
