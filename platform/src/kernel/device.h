// The device: a folder on the host (DEVICE_ROOT, else
// $XDG_DATA_HOME/handheld-device, else ~/.local/share/handheld-device) and
// its configuration. Settings come from "device.conf" in the root, one
// "key = value" per line ('#' starts a comment), and an environment variable
// DEVICE_<KEY> (key upper-cased, '.' and '-' as '_') overrides each entry, so a
// test can set up any device.
#pragma once

#include <string>

#include "ce/device.h"

namespace ce::device {

// Host path of the device root, created on first use; no trailing slash.
std::string Root();

// Host path of the folder for what crosses processes (named mutexes, the
// windows of running programs); created on first use.
std::string RuntimeFolder();

// Forgets the cached root and configuration so the next call reads the
// environment and "device.conf" again. For tests that switch devices.
void Reset();

}  // namespace ce::device
