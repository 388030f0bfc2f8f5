// A program's entry. A program defines its WinMain and names it once:
//
//   int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int show);
//   CE_PROGRAM_ENTRY(WinMain)
//
// The platform's main then sets up the device, makes the command line wide
// (the arguments joined by spaces, quoted where they hold spaces), passes
// GetModuleHandleW(NULL), a null previous instance and SW_SHOW, and returns
// WinMain's result. Headless runs use the virtual clock unless the device
// setting "clock" says otherwise, and feed the script named by the setting
// "script" (DEVICE_SCRIPT) to the program.
#pragma once

#include "ce/minwindef.h"

#pragma GCC visibility push(default)

using WINMAIN_PROC = int(WINAPI*)(HINSTANCE, HINSTANCE, LPWSTR, int);

namespace ce {
int RunProgram(int argc, char** argv, WINMAIN_PROC winMain);
}  // namespace ce

#define CE_PROGRAM_ENTRY(winMain) \
  int main(int argc, char** argv) { return ::ce::RunProgram(argc, argv, (winMain)); }

#pragma GCC visibility pop
