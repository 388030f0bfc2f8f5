// The device's debug output, where the programs' diagnostics go. The text
// goes to the host's standard error as one line (its carriage returns
// dropped, one line end added), the same way as the platform's own
// diagnostics. A null or empty text writes nothing.
#pragma once

#include "ce/minwindef.h"

#pragma GCC visibility push(default)

void OutputDebugStringW(LPCWSTR text);

#pragma GCC visibility pop
