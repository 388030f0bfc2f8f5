// The display part of a back end: the screen's display interface
// (gdi/display.h), made for the back end chosen by DEVICE_BACKEND.
#pragma once

#include <memory>

#include "gdi/display.h"
#include "gdi/surface.h"

namespace ce::backend {

using Display = gdi::Display;

// The display of the back end chosen by DEVICE_BACKEND, showing `frame`,
// which stays valid for the display's life.
std::unique_ptr<Display> CreateDisplay(const gdi::Surface& frame);
// Makes CreateDisplay the maker of every screen's display (called as the
// library starts).
void InstallDisplay();

}  // namespace ce::backend
