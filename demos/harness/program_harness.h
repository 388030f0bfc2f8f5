// What the demo programs share beyond the programs' harness
// (runtime/program_harness.h, whose names it brings along): the game's data
// made at build time, read from the host into the demo's archive.
#pragma once

#include <memory>
#include <string>

#include "runtime/program_harness.h"

class ssDisplayS16;
class ssMemoryArchive;

namespace harness {

// Reads a host file into the archive under a device path; a missing file is
// named on standard error ("<program>: missing data: ...") and added empty,
// so the program's own loader reports what it lacks. False when missing.
bool AddHostFile(ssMemoryArchive& archive, const std::string& hostPath, const std::wstring& devicePath,
                 const char* program);

// The table's data made by tablemake: every room archive ("\Rooms\<room>.ark")
// and the table's pictures ("\UI\res.ark"), from data/table.
void AddTableData(ssMemoryArchive& archive, const std::string& data, const char* program);

// A 16-bit display of the screen's size on `window`, turned `turn` quarter
// turns; null, after a message box titled `title` says so, when it cannot
// be opened.
std::unique_ptr<ssDisplayS16> OpenDisplay(HWND window, int turn, const wchar_t* title);

}  // namespace harness
