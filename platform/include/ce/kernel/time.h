// The clock: milliseconds since start (GetTickCount, 32 bits, wrapping after
// 49.7 days), Sleep, the system time in UTC and local time, and conversions
// between SYSTEMTIME and FILETIME.
//
// Local time is UTC plus the device setting "timezone_offset_minutes" when it
// is set; otherwise the host's time zone, except under the virtual clock,
// where it is UTC so that every run is the same. Like the device, the local
// file-time conversions apply the offset in force now, not the one of the
// converted date. Time-zone records and setting the clock are left out.
#pragma once

#include "ce/minwindef.h"

#pragma GCC visibility push(default)

DWORD GetTickCount();
// Sleep(0) gives up the rest of the time slice; Sleep(INFINITE) never returns.
void Sleep(DWORD milliseconds);

void GetSystemTime(LPSYSTEMTIME systemTime);
void GetLocalTime(LPSYSTEMTIME systemTime);

// Fails with ERROR_INVALID_PARAMETER for a field out of range (wDayOfWeek is
// ignored) or a year outside 1601..30827.
BOOL SystemTimeToFileTime(const SYSTEMTIME* systemTime, LPFILETIME fileTime);
// Fails with ERROR_INVALID_PARAMETER for a value of 0x8000000000000000 or more.
BOOL FileTimeToSystemTime(const FILETIME* fileTime, LPSYSTEMTIME systemTime);
BOOL FileTimeToLocalFileTime(const FILETIME* fileTime, LPFILETIME localFileTime);
BOOL LocalFileTimeToFileTime(const FILETIME* localFileTime, LPFILETIME fileTime);
// -1, 0 or 1 as the first time is earlier, the same or later.
LONG CompareFileTime(const FILETIME* first, const FILETIME* second);

#pragma GCC visibility pop
