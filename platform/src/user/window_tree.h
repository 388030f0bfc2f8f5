// The window tree's queries: ancestors and descendants, siblings in z-order,
// where a window lies on the screen and which window lies under a point.
// The tree's calls (IsChild, GetParent, GetWindow, EnumWindows) are built
// on them in window_tree.cpp. Every query takes the window state's lock as
// held (S().lock).
#pragma once

#include <vector>

#include "user/state.h"

namespace ce::user {

// `hwnd` is `ancestor` or one of its descendants.
bool IsSelfOrDescendantLocked(HWND ancestor, HWND hwnd);
// The window's top-level ancestor, or the window itself; null for a
// handle that names no window.
HWND TopLevelOfLocked(HWND hwnd);
// The list the window is in, front to back: its parent's children or the
// top-level windows. Null when its parent is gone.
std::vector<HWND>* SiblingsLocked(const Window& window);
// The window and its ancestors are visible.
bool ReallyVisibleLocked(const Window& window);
// The window's client rectangle in screen coordinates.
RECT ScreenRectLocked(const Window& window);
// The deepest visible window under a screen point: top-level windows in
// z-order, then children front to back. Null over no window.
HWND WindowAtLocked(int x, int y);

}  // namespace ce::user
