// What the screen shows its memory on: a display, handed that memory once,
// as a surface seen the way the user holds the device, and then asked to
// show a rectangle of it, or to turn the panel on or off. Drawing never
// happens there; pixels belong to the screen (gdi/screen.h).
//
// The back end (above GDI) implements displays and installs its maker when
// the library starts (program/library_start.cpp), so GDI never calls up
// into it.
#pragma once

#include <memory>

#include "ce/windef.h"
#include "gdi/surface.h"

namespace ce::gdi {

class Display {
 public:
  virtual ~Display() = default;
  // Shows `area` (screen coordinates, already inside the screen) of the frame.
  virtual void Present(const RECT& area) = 0;
  // VideoPowerOn .. VideoPowerOff; anything but on leaves the panel dark.
  virtual void SetPowerState(ULONG state) = 0;
  // The program comes to the front (SetForegroundWindow): a desktop window
  // is raised over the other programs' windows. From any thread.
  virtual void Raise() {}
};

// Makes the display a new screen shows `frame` on; `frame` stays valid for
// the display's life.
using DisplayMaker = std::unique_ptr<Display> (*)(const Surface& frame);
void SetDisplayMaker(DisplayMaker maker);
// The installed maker's display for `frame`; one that shows nothing when no
// maker is installed.
std::unique_ptr<Display> MakeDisplay(const Surface& frame);

}  // namespace ce::gdi
