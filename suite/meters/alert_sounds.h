// The four alert sounds and the help document ship inside the plug-in; the
// battery, memory and card alerts play the sounds from "Application
// Data\Home" under the storage root, where the plug-in puts any of these
// files that are missing.
#pragma once

#include "ce/windows.h"

namespace pelmora {

inline constexpr const wchar_t* kAlertSounds[4] = {L"BIL.wav", L"BFC.wav", L"MIL.wav", L"SCL.wav"};

// Writes each alert sound that is not there yet from the module's "WAVE"
// resources (through a new file renamed into place); the count written.
int InstallAlertSounds(HINSTANCE module);

// The help document ships inside the plug-in too; its help icon (and the
// setup program's "Help" item) open it from the same folder.
inline constexpr const wchar_t* kHelpDocument = L"qveng.htp";
// Writes the help document from the module's "HELP" resource when it is not
// there yet; true when written.
bool InstallHelpDocument(HINSTANCE module);

}  // namespace pelmora
