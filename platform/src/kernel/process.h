// Processes of the device, for the shell: starting a program by its device
// path, and the device path of a process handle.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ce/minwindef.h"

namespace ce::kernel::process {

struct Started {
  DWORD error = 0;  // 0 when started
  HANDLE handle = nullptr;
  DWORD id = 0;
};

// Starts the program installed at devicePath with the given arguments (one
// string, split at spaces with double quotes grouping).
Started StartProgram(const std::wstring& devicePath, const std::wstring& arguments);

// Whether devicePath names a program of the device (an installed executable
// in a program folder), without starting it.
bool IsProgram(const std::wstring& devicePath);

// The device path of the program behind a process handle; nothing when the
// handle is not a process handle.
std::optional<std::wstring> DevicePathOf(HANDLE process);

// Splits a command line into arguments: spaces separate, double quotes group
// (and are dropped).
std::vector<std::wstring> SplitArguments(const std::wstring& commandLine);

// Variables ("NAME=value") a started program gets in place of this one's of
// the same names, asked for at each start: the desktop back end passes its
// window's place on the desktop, so the new program opens over it. Null for
// none.
using ChildVariables = std::vector<std::string> (*)();
void SetChildVariables(ChildVariables source);

}  // namespace ce::kernel::process
