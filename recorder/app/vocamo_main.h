// The recorder's start: one instance, the skin chosen and checked, the main
// form run until the user leaves, the settings read before and written after.
#pragma once

#include <string>

#include "ce/minwindef.h"

namespace vocamo {

inline constexpr const wchar_t* kAppName = L"Vocamo";
inline constexpr const wchar_t* kSkinVersion = L"Vocamo_1.00";

// Returns 0 in every case.
int run_recorder(HINSTANCE instance, const std::wstring& command_line);

}  // namespace vocamo
