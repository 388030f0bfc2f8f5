// The desktop back end: one window per program showing the device screen,
// the mouse as the pen, the keyboard as the device's keys. This header is
// all the rest of the platform sees of it; the desktop library stays inside
// this folder.
//
// Device settings read here (device.conf or DEVICE_<KEY>):
//   window_scale   "auto" (default: the largest whole multiple of the device
//                  screen that fits the desktop), "1" .. "4", or "fit" (the
//                  picture fills the window at any factor)
//   window_filter  "nearest" or "smooth" (default: nearest, smooth for fit)
//   keymap         key bindings on top of the default map (key_map.h)
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "backend/display.h"
#include "backend/input.h"
#include "backend/sdl/viewport.h"

namespace ce::backend::sdl {

// The display and input of the desktop back end, sharing one window. When
// no display can be reached either ends the program (status 1, with a note
// on standard error); the display gives nothing when its window cannot be
// opened.
std::unique_ptr<Display> CreateDisplay(const gdi::Surface& frame);
std::shared_ptr<InputSource> CreateInput();

// For tests: the window as it stands, and the host events a person would
// cause, fed through the same translation as real ones.
struct WindowState {
  Viewport viewport;
  bool fullScreen = false;
  bool smooth = false;
};
std::optional<WindowState> CurrentWindowState();
// How many pictures the window has drawn since the session started.
std::uint64_t RenderedFrames();
// The colour shown at a drawable pixel of the window; CLR_INVALID without one.
COLORREF ShownPixel(int x, int y);
void SimulateMouseButton(bool down, int windowX, int windowY);
void SimulateMouseMotion(int windowX, int windowY);
void SimulateKey(bool down, int scancode, BYTE modifiers, bool repeat = false);
void SimulateFocusLost();
void SimulateFocusGained();
void SimulateClose();
// Resizes the window's inside (window units), as a person dragging its edge.
void SimulateResize(int width, int height);

}  // namespace ce::backend::sdl
