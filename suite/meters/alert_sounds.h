// The four alert sounds ship inside the plug-in; the battery, memory and
// card alerts play them from "Application Data\Home" under the storage
// root, where the plug-in puts any that are missing.
#pragma once

#include "ce/windows.h"

namespace pelmora {

inline constexpr const wchar_t* kAlertSounds[4] = {L"BIL.wav", L"BFC.wav", L"MIL.wav", L"SCL.wav"};

// Writes each alert sound that is not there yet from the module's "WAVE"
// resources (through a new file renamed into place); the count written.
int InstallAlertSounds(HINSTANCE module);

}  // namespace pelmora
