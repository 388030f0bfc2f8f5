// The home screen's window: the device's desktop (its class is
// DESKTOP_WINDOW_CLASS, so GetDesktopWindow finds it from every program).
// It reads the layout the settings name, shows it, passes input and ticks
// on, and reloads when told that the settings changed.
#pragma once

#include "ce/windef.h"

namespace home {

class HomeScreen;

// WM_SETTINGCHANGE's wParam that asks for the layout to be read again.
inline constexpr WPARAM kReloadLayout = 0xF2;
// The period of the plug-ins' PE_TIMER and of the title bar's clock.
inline constexpr UINT kTickMs = 1000;

// Registers the class and makes the window over the whole screen, shown,
// with the current layout loaded. Null when it cannot be made.
HWND CreateHomeWindow(HINSTANCE instance);
// The screen object behind a home window (for tests), or null.
HomeScreen* HomeScreenOf(HWND window);

}  // namespace home
