// The display part of a back end: it is handed the screen memory once, as a
// surface seen the way the user holds the device, and is then asked to show
// a rectangle of it, or to turn the panel on or off. Drawing never happens
// here; pixels belong to the screen (gdi/screen.h).
#pragma once

#include <memory>

#include "ce/windef.h"
#include "gdi/surface.h"

namespace ce::backend {

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

// The display of the back end chosen by DEVICE_BACKEND, showing `frame`,
// which stays valid for the display's life.
std::unique_ptr<Display> CreateDisplay(const gdi::Surface& frame);

}  // namespace ce::backend
