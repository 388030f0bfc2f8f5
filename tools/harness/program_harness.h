// What the window programs among the tools (displaydemo, tableview,
// tableplay) share: where their data lies, whether a window can be shown,
// and starting again on their own script when it cannot.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace harness {

// The data folder beside the folder of the running executable ("bin/../data"),
// the same in the build tree and in an installed tree.
std::string DataFolder();

// A host file's bytes; empty when it cannot be read.
std::vector<std::uint8_t> ReadHostFile(const std::string& path);

// Whether no window will be shown: the headless back end chosen, or no back
// end chosen and no desktop named.
bool WithoutDisplay();

// With no display and no script nothing would ever happen: the program
// starts again (same arguments, the words of `line`) on its own script.
// Returns only when it cannot, having said why on standard error.
void RunOwnScript(const char* program, const std::string& script, const std::string& line);

}  // namespace harness
