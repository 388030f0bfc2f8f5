// Where the device screen stands in the desktop window, and the one way a
// window position becomes a device pixel. Nothing here touches the host:
// the window reports its sizes, these functions do the arithmetic.
//
// Two coordinate spaces meet here. Window units are what the desktop gives
// mouse positions and window sizes in; on a high-DPI desktop one unit is
// several drawable pixels. The picture (the scaled device screen) is placed
// in drawable pixels, centred, with black bars where its shape differs from
// the window's.
#pragma once

#include <optional>
#include <string_view>

#include "ce/windef.h"

namespace ce::backend::sdl {

// How the picture is sized: `scale` 0 means "fit" (as large as the window
// allows, keeping the device's shape, any factor); 1.. means whole multiples
// of the device screen, the largest that fits the window, and sets the
// window's first size. `automatic` picks that first size from the desktop.
struct ScaleMode {
  int scale = 0;
  bool automatic = true;
};

inline constexpr int kMaxScale = 4;

// Reads the "window_scale" setting text: "auto" (or empty), "1" .. "4", "fit".
// Nothing for any other text.
std::optional<ScaleMode> ParseScaleMode(std::string_view text);
// The text that setting would have for a mode ("auto", "1" .. "4", "fit").
const char* ScaleModeName(const ScaleMode& mode);

struct Viewport {
  int deviceWidth = 0;  // the device screen, in device pixels
  int deviceHeight = 0;
  int windowWidth = 0;  // the window's inside, in window units
  int windowHeight = 0;
  int drawableWidth = 0;  // the same, in drawable pixels
  int drawableHeight = 0;
  RECT picture{};  // the device screen as drawn, in drawable pixels
};

// Places the picture in a window of the given sizes. Whole multiples fall
// back to fitting when even 1x does not fit.
Viewport Layout(int deviceWidth, int deviceHeight, int windowWidth, int windowHeight, int drawableWidth,
                int drawableHeight, const ScaleMode& mode);

// A window position (window units) as a device pixel. `inside` says whether
// it lies on the picture; `point` is always inside the device screen
// (clamped to its edges), as a pen dragged off the screen is held at them.
struct PenPosition {
  POINT point{};
  bool inside = false;
};
PenPosition WindowToDevice(const Viewport& viewport, int windowX, int windowY);

// The window's first size in window units: the largest whole multiple of the
// device screen that fits the usable desktop (leaving room for the window's
// frame), or the chosen multiple. Never below 1x unless the desktop is
// smaller than that; then the largest size of the device's shape that fits.
SIZE InitialWindowSize(int deviceWidth, int deviceHeight, int desktopWidth, int desktopHeight, const ScaleMode& mode);

// A remembered window size (window units) held to the usable desktop, with
// the same room for the window's frame: a size left on a larger desktop, or
// on another monitor, opens as large as this one allows. Unknown desktop
// (0 x 0): the size as it was.
SIZE RestoredWindowSize(int width, int height, int desktopWidth, int desktopHeight);

// Where a window of `size` opens over the window of the program that started
// it (`opener`, desktop coordinates): centred on it, then moved as little as
// needed to lie inside the usable desktop (an empty `desktop`: unknown, not
// held). A window larger than the desktop starts at its top left corner.
POINT PlaceOverOpener(const RECT& opener, SIZE size, const RECT& desktop);

}  // namespace ce::backend::sdl
