// The game display and input calls: direct access to the screen memory for
// full-screen programs, and the default key codes of the device's buttons.
// The screen is the same one GDI draws on. Viewports and the DRAM-buffer
// queries are left out.
#pragma once

#include "ce/windef.h"

#pragma GCC visibility push(default)

inline constexpr DWORD GX_FULLSCREEN = 0x01;
inline constexpr int GX_NORMALKEYS = 0x02;
inline constexpr int GX_LANDSCAPEKEYS = 0x03;

// GXDisplayProperties::ffFormat bits.
inline constexpr DWORD kfLandscape = 0x0008;
inline constexpr DWORD kfPalette = 0x0010;
inline constexpr DWORD kfDirect = 0x0020;
inline constexpr DWORD kfDirect555 = 0x0040;
inline constexpr DWORD kfDirect565 = 0x0080;
inline constexpr DWORD kfDirect888 = 0x0100;
inline constexpr DWORD kfDirect444 = 0x0200;
inline constexpr DWORD kfDirectInverted = 0x0400;

// The screen as the program sees it, and the signed byte steps through its
// memory to the next pixel to the right (cbxPitch) and down (cbyPitch).
struct GXDisplayProperties {
  DWORD cxWidth;
  DWORD cyHeight;
  long cbxPitch;
  long cbyPitch;
  long cBPP;
  DWORD ffFormat;
};

// Virtual-key codes of the device's buttons and where they sit.
struct GXKeyList {
  short vkUp;
  POINT ptUp;
  short vkDown;
  POINT ptDown;
  short vkLeft;
  POINT ptLeft;
  short vkRight;
  POINT ptRight;
  short vkA;
  POINT ptA;
  short vkB;
  POINT ptB;
  short vkC;
  POINT ptC;
  short vkStart;
  POINT ptStart;
};

// Non-zero on success, 0 on failure (already open, or not open for Close).
int GXOpenDisplay(HWND hwnd, DWORD flags);
int GXCloseDisplay();
// The address of the screen's top-left pixel; null when the display is not
// open or is suspended. GXEndDraw shows what was drawn.
void* GXBeginDraw();
int GXEndDraw();
GXDisplayProperties GXGetDisplayProperties();
int GXSuspend();
int GXResume();
int GXOpenInput();
int GXCloseInput();
GXKeyList GXGetDefaultKeys(int options);

#pragma GCC visibility pop
