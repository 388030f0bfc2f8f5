// The screen's pen positions and arrow keys as the display sees them: the
// pen scaled from screen to display pixels and turned with the display's
// rotation, the arrows turned the same number of quarter turns; and the
// keys that work the menus' on-screen Back and Done.
#pragma once

#include <cstdint>

#include "ce/minwindef.h"

// Packs x | y << 16 after scaling by (scaleX, scaleY) and turning `rotate`
// quarter turns on a display of width w and height h.
LPARAM TurnPenPosition(LPARAM position, int rotate, int w, int h, float scaleX, float scaleY);
// Left, Up, Right and Down stepped `rotate` places along that cycle; other
// keys unchanged.
WPARAM TurnArrowKey(WPARAM key, int rotate);
// In the menus: Escape (the device's Back) and the first soft key (F1) are
// the "9" key, which presses a screen's Back; the second soft key (F2) is
// the "3" key, its Done. Other keys unchanged.
WPARAM MenuKey(WPARAM key);
