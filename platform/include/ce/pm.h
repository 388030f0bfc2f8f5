// Power requirements of devices: a program asks that a device (the
// backlight "BKL1:", say) stay at least at a power state while it runs.
// The requests succeed and are recorded in the device's runtime folder
// ("power-requests.log": "require <device> D<state> <flags> <handle>" and
// "release <handle>"); nothing on the host changes power.
#pragma once

#include "ce/minwindef.h"

#pragma GCC visibility push(default)

enum CEDEVICE_POWER_STATE : int {
  PwrDeviceUnspecified = -1,
  D0 = 0,  // full on
  D1 = 1,
  D2 = 2,
  D3 = 3,
  D4 = 4,  // off
  PwrDeviceMaximum = 5,
};

inline constexpr ULONG POWER_NAME = 0x00000001;
inline constexpr ULONG POWER_FORCE = 0x00001000;

// device is the device name (LPCWSTR) with POWER_NAME. Answers a handle for
// ReleasePowerRequirement, or null with ERROR_INVALID_PARAMETER for a null
// name, a state outside D0..D4, flags without POWER_NAME or unknown flags, or
// a system state (systemState, stateFlags), which the device does not track.
HANDLE SetPowerRequirement(PVOID device, CEDEVICE_POWER_STATE state, ULONG deviceFlags, PVOID systemState,
                           ULONG stateFlags);
// ERROR_SUCCESS, or ERROR_INVALID_HANDLE for a handle that is not a
// requirement still held (null included).
DWORD ReleasePowerRequirement(HANDLE requirement);

#pragma GCC visibility pop
