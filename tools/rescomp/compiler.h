// The resource compiler: reads a resource script and the files it names and
// builds the module's resource table (the layout is in README.md).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rescomp {

// Compiles the script at `script`. Files the script names are looked up
// beside the script, then in each of `searchDirs`. On failure returns false
// with `error` set to "file:line: error: message".
bool Compile(const std::string& script, const std::vector<std::string>& searchDirs, std::vector<std::uint8_t>* table,
             std::string* error);

// The C++ source that carries `table` into a module and exports it as the
// symbol the platform looks up.
std::string CppSource(const std::vector<std::uint8_t>& table, const std::string& origin);

}  // namespace rescomp
