#include "kernel/clock.h"

#include <time.h>

namespace ce::kernel {

std::uint64_t SystemTimeNow100ns() {
  constexpr std::uint64_t kEpochDifference = 116444736000000000ull;  // 1601 to 1970 in 100 ns
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return kEpochDifference + static_cast<std::uint64_t>(now.tv_sec) * 10000000ull +
         static_cast<std::uint64_t>(now.tv_nsec) / 100;
}

}  // namespace ce::kernel
