// What other areas ask of the loaded modules.
#pragma once

#include "ce/minwindef.h"

namespace ce::kernel {

// The address of the data or function `symbol` that the module itself
// defines (not one of the libraries it links), or null when it has none or
// the handle names no module. Null names the running program.
const void* ModuleOwnSymbol(HMODULE module, const char* symbol);

}  // namespace ce::kernel
