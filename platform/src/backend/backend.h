// Which back end this process runs on, read from the device setting
// "backend" (DEVICE_BACKEND): "headless" or "sdl". Without it the desktop
// back end is used when a display server is named (DISPLAY or
// WAYLAND_DISPLAY), else headless. The display and the input source both ask
// here, so they always agree.
#pragma once

namespace ce::backend {

enum class BackendKind { Headless, Sdl };

BackendKind ChosenBackend();

}  // namespace ce::backend
