// The suite's diagnostics: each line, formatted with the device's printf
// rules (%s is a wide string) and cut to kLogLineChars - 1 characters, goes
// to the device's debug output (OutputDebugStringW), the one way out of the
// programs' diagnostics. The caller's format starts with its program's
// prefix ("Home: ").
#pragma once

#include <cstddef>

#include "ce/minwindef.h"

namespace suite {

inline constexpr std::size_t kLogLineChars = 512;

void LogLine(LPCWSTR format, ...);

}  // namespace suite
