// The backlight's registry values (see backlight.cpp), filled once per
// device and process before the first registry call goes on.
#pragma once

#include <string>

#include "ce/minwindef.h"

namespace ce::kernel::backlight {

struct Settings {
  DWORD batteryTimeout = 0;  // seconds
  DWORD acTimeout = 0;
  DWORD batteryLevel = 0;  // percent
  DWORD acLevel = 0;
};

// What the device configuration says, else the host's backlight below
// hostFolder for the levels, else the defaults (60 and 300 seconds, 100%).
Settings Current(const std::string& hostFolder);
// Writes the values that are missing.
void FillRegistry(const Settings& settings);
// Fills them for the current device unless done in this process already.
void EnsureFilled();

}  // namespace ce::kernel::backlight
