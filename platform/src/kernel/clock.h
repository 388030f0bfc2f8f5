// The device clock as the rest of the kernel sees it.
#pragma once

#include <cstdint>

namespace ce::kernel {

// The system time now (UTC), in 100-nanosecond units since 1601-01-01, the
// unit of FILETIME. Files stamp their times with it.
std::uint64_t SystemTimeNow100ns();

}  // namespace ce::kernel
