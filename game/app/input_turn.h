// The screen's pen positions and arrow keys as the display sees them: the
// pen scaled from screen to display pixels and turned with the display's
// rotation, the arrows turned the same number of quarter turns.
#pragma once

#include <cstdint>

#include "ce/windef.h"

// Packs x | y << 16 after scaling by (scaleX, scaleY) and turning `rotate`
// quarter turns on a display of width w and height h.
LPARAM TurnPenPosition(LPARAM position, int rotate, int w, int h, float scaleX, float scaleY);
// Left, Up, Right and Down stepped `rotate` places along that cycle; other
// keys unchanged.
WPARAM TurnArrowKey(WPARAM key, int rotate);
