#include "liba/timer.h"
#include "os/date_time.h"

#include "ce/winbase.h"

namespace os {

DateTime::DateTime() { init(FILETIME{}); }

void DateTime::init(const FILETIME& time) {
  file_time = time;
  if (FileTimeToSystemTime(&file_time, &system_time)) {
    ticks = (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  }
}

}  // namespace os

namespace liba {

Timer::Timer() : start_(GetTickCount()) {}

std::uint32_t Timer::restart() {
  start_ = GetTickCount();
  return start_;
}

double Timer::elapsed() const { return static_cast<std::uint32_t>(GetTickCount() - start_) * 0.001; }

}  // namespace liba
