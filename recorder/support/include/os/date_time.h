// A date-time value as the file facts carry it.
#pragma once

#include <cstdint>

#include "ce/minwindef.h"

namespace os {

class DateTime {
 public:
  // 1601-01-01 00:00:00.000.
  DateTime();
  explicit DateTime(const FILETIME& time) : DateTime() { init(time); }
  DateTime(const DateTime&) = default;
  DateTime& operator=(const DateTime&) = default;

  // Takes a file time as it stands (no time-zone conversion).
  void init(const FILETIME& time);

  int year() const { return system_time.wYear; }
  int month() const { return system_time.wMonth; }
  int day() const { return system_time.wDay; }
  int hour() const { return system_time.wHour; }
  int minute() const { return system_time.wMinute; }

  SYSTEMTIME system_time{};
  FILETIME file_time{};
  std::uint64_t ticks = 0;
};

}  // namespace os
