// The clock calls of the device: ticks, Sleep, the system and local time and
// the conversions between SYSTEMTIME and FILETIME. The clock's state lives
// with the waits (wait.cpp).
#include "kernel/clock.h"

#include <sched.h>
#include <time.h>

#include <cstdint>
#include <optional>

#include "ce/winbase.h"
#include "kernel/device.h"
#include "kernel/wait.h"

namespace ce::kernel {
namespace {

constexpr std::int64_t kUnitsPerMs = 10000;
constexpr std::int64_t kUnitsPerDay = 864000000000ll;
// FILETIME values from here on do not convert (the sign bit of the 64 bits).
constexpr std::uint64_t kFileTimeLimit = 0x8000000000000000ull;

std::uint64_t Join(const FILETIME& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME Split(std::uint64_t value) {
  return FILETIME{static_cast<DWORD>(value & 0xFFFFFFFFu), static_cast<DWORD>(value >> 32)};
}

bool IsLeap(std::int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(std::int64_t year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 to the date (proleptic Gregorian), and back.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& year, unsigned& month, unsigned& day) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = doy - (153 * mp + 2) / 5 + 1;
  month = mp < 10 ? mp + 3 : mp - 9;
  year = static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2);
}

// Days from 1601-01-01 (a Monday) to 1970-01-01.
constexpr std::int64_t kDays1601To1970 = 134774;

SYSTEMTIME ToSystemTime(std::uint64_t value) {
  const auto days = static_cast<std::int64_t>(value / kUnitsPerDay);
  std::uint64_t rest = value % kUnitsPerDay;
  std::int64_t year = 0;
  unsigned month = 0;
  unsigned day = 0;
  CivilFromDays(days - kDays1601To1970, year, month, day);
  SYSTEMTIME out{};
  out.wYear = static_cast<WORD>(year);
  out.wMonth = static_cast<WORD>(month);
  out.wDay = static_cast<WORD>(day);
  out.wDayOfWeek = static_cast<WORD>((days + 1) % 7);  // 1601-01-01 was a Monday (1)
  out.wHour = static_cast<WORD>(rest / (3600 * 1000 * kUnitsPerMs));
  rest %= 3600 * 1000 * kUnitsPerMs;
  out.wMinute = static_cast<WORD>(rest / (60 * 1000 * kUnitsPerMs));
  rest %= 60 * 1000 * kUnitsPerMs;
  out.wSecond = static_cast<WORD>(rest / (1000 * kUnitsPerMs));
  rest %= 1000 * kUnitsPerMs;
  out.wMilliseconds = static_cast<WORD>(rest / kUnitsPerMs);
  return out;
}

std::optional<std::uint64_t> FromSystemTime(const SYSTEMTIME& t) {
  if (t.wYear < 1601 || t.wYear > 30827 || t.wMonth < 1 || t.wMonth > 12 || t.wDay < 1 ||
      t.wDay > DaysInMonth(t.wYear, t.wMonth) || t.wHour > 23 || t.wMinute > 59 || t.wSecond > 59 ||
      t.wMilliseconds > 999) {
    return std::nullopt;
  }
  const std::int64_t days = DaysFromCivil(t.wYear, t.wMonth, t.wDay) + kDays1601To1970;
  const std::int64_t ms =
      ((static_cast<std::int64_t>(t.wHour) * 60 + t.wMinute) * 60 + t.wSecond) * 1000 + t.wMilliseconds;
  return static_cast<std::uint64_t>(days * kUnitsPerDay + ms * kUnitsPerMs);
}

// Adds a signed offset, refusing results outside the convertible range.
std::optional<std::uint64_t> Shift(std::uint64_t value, std::int64_t offset) {
  if (value >= kFileTimeLimit) return std::nullopt;
  const auto start = static_cast<std::int64_t>(value);
  if (offset > 0 && start > INT64_MAX - offset) return std::nullopt;
  const std::int64_t result = start + offset;
  if (result < 0) return std::nullopt;
  return static_cast<std::uint64_t>(result);
}

}  // namespace

std::int64_t LocalTimeOffset100ns() {
  // Offsets beyond a day are not time zones; they are ignored.
  constexpr long long kMaxMinutes = 24 * 60;
  const long long minutes = device::SettingNumber("timezone_offset_minutes", kMaxMinutes + 1);
  if (minutes >= -kMaxMinutes && minutes <= kMaxMinutes) return minutes * 60 * 1000 * kUnitsPerMs;
  if (clock::IsVirtual()) return 0;
  const time_t now = ::time(nullptr);
  tm local{};
  if (!::localtime_r(&now, &local)) return 0;
  return static_cast<std::int64_t>(local.tm_gmtoff) * 1000 * kUnitsPerMs;
}

}  // namespace ce::kernel

using ce::kernel::Join;
using ce::kernel::Split;

DWORD GetTickCount() { return static_cast<DWORD>(ce::kernel::clock::NowMs() & 0xFFFFFFFFu); }

void Sleep(DWORD milliseconds) {
  ce::kernel::ThreadRecord& self = ce::kernel::CurrentThread();
  auto lock = ce::kernel::LockScheduler();
  if (milliseconds == 0) {
    ce::kernel::CheckpointLocked(lock, self);
    lock.unlock();
    ::sched_yield();
    return;
  }
  ce::kernel::WaitLocked(lock, self, nullptr, 0, false, milliseconds);
}

void GetSystemTime(LPSYSTEMTIME systemTime) {
  if (!systemTime) return;
  *systemTime = ce::kernel::ToSystemTime(ce::kernel::SystemTimeNow100ns());
}

void GetLocalTime(LPSYSTEMTIME systemTime) {
  if (!systemTime) return;
  const auto local = ce::kernel::Shift(ce::kernel::SystemTimeNow100ns(), ce::kernel::LocalTimeOffset100ns());
  *systemTime = ce::kernel::ToSystemTime(local.value_or(0));
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* systemTime, LPFILETIME fileTime) {
  if (!systemTime || !fileTime) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const auto value = ce::kernel::FromSystemTime(*systemTime);
  if (!value) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *fileTime = Split(*value);
  return TRUE;
}

BOOL FileTimeToSystemTime(const FILETIME* fileTime, LPSYSTEMTIME systemTime) {
  if (!fileTime || !systemTime || Join(*fileTime) >= ce::kernel::kFileTimeLimit) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *systemTime = ce::kernel::ToSystemTime(Join(*fileTime));
  return TRUE;
}

namespace {

BOOL ShiftFileTime(const FILETIME* in, LPFILETIME out, bool toLocal) {
  if (!in || !out) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::int64_t offset = ce::kernel::LocalTimeOffset100ns();
  const auto value = ce::kernel::Shift(Join(*in), toLocal ? offset : -offset);
  if (!value) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *out = Split(*value);
  return TRUE;
}

}  // namespace

BOOL FileTimeToLocalFileTime(const FILETIME* fileTime, LPFILETIME localFileTime) {
  return ShiftFileTime(fileTime, localFileTime, true);
}

BOOL LocalFileTimeToFileTime(const FILETIME* localFileTime, LPFILETIME fileTime) {
  return ShiftFileTime(localFileTime, fileTime, false);
}

LONG CompareFileTime(const FILETIME* first, const FILETIME* second) {
  if (!first || !second) return 0;
  const std::uint64_t a = Join(*first);
  const std::uint64_t b = Join(*second);
  return a < b ? -1 : (a > b ? 1 : 0);
}
