// Shortcut files (".lnk"), read by ShellExecuteEx and SHGetFileInfoW.
#pragma once

#include <string>

#include "ce/minwindef.h"

namespace ce::shell {

struct Shortcut {
  std::wstring target;
  std::wstring parameters;
};

// Reads a shortcut file: "<length>#<target> [parameters]" in the device's
// code page, where length counts the characters after '#' (a line end may
// follow) and the target may be quoted. 0 or the error to report.
DWORD ReadShortcut(LPCWSTR path, Shortcut& out);

}  // namespace ce::shell
