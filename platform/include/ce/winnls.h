// Code pages of the device: the "ANSI" code page is Windows-1252 (single
// byte, with its 0x80-0x9F punctuation), and UTF-8. Wide text is one WCHAR
// per code point here, so UTF-8 counts are in code points. Dates and times
// are formatted for the device's one locale (below); sorting calls are not
// offered.
#pragma once

#include "ce/minwindef.h"

#pragma GCC visibility push(default)

inline constexpr UINT CP_ACP = 0;
inline constexpr UINT CP_OEMCP = 1;
inline constexpr UINT CP_MACCP = 2;
inline constexpr UINT CP_THREAD_ACP = 3;
inline constexpr UINT CP_SYMBOL = 42;
inline constexpr UINT CP_UTF7 = 65000;
inline constexpr UINT CP_UTF8 = 65001;

inline constexpr DWORD MB_PRECOMPOSED = 0x00000001;
inline constexpr DWORD MB_COMPOSITE = 0x00000002;
inline constexpr DWORD MB_USEGLYPHCHARS = 0x00000004;
inline constexpr DWORD MB_ERR_INVALID_CHARS = 0x00000008;

inline constexpr DWORD WC_DISCARDNS = 0x00000010;
inline constexpr DWORD WC_SEPCHARS = 0x00000020;
inline constexpr DWORD WC_DEFAULTCHAR = 0x00000040;
inline constexpr DWORD WC_ERR_INVALID_CHARS = 0x00000080;
inline constexpr DWORD WC_COMPOSITECHECK = 0x00000200;
inline constexpr DWORD WC_NO_BEST_FIT_CHARS = 0x00000400;

// The code page behind CP_ACP: 1252.
UINT GetACP();

// Both calls return the number of units written, or with an output size of 0
// the number needed (including the terminator when the input length is -1).
// A too-small buffer fails with ERROR_INSUFFICIENT_BUFFER, bad arguments with
// ERROR_INVALID_PARAMETER, bad flags with ERROR_INVALID_FLAGS.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte, int multiByteCount, LPWSTR wide, int wideCount);
// Characters the code page cannot hold become the default character ('?'
// unless defaultChar is given) and set *usedDefaultChar; UTF-8 takes neither.
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideCount, LPSTR multiByte, int multiByteCount,
                        LPCSTR defaultChar, LPBOOL usedDefaultChar);

#pragma GCC visibility pop

// ---- date and time formatting ----
//
// The device's one locale, English (United States), answers for the user and
// system defaults and for locale 0. A picture is made of fields and literal
// text; text in single quotes is literal ('' is a quote):
//   dates  d dd (day) ddd dddd (weekday name) M MM (month) MMM MMMM (month
//          name) y yy (year in the century) yyyy (year) g gg (era, "A.D.")
//   times  h hh (12-hour) H HH (24-hour) m mm s ss t (A/P) tt (AM/PM)
// Without a picture the locale's own is used: "M/d/yyyy" (DATE_SHORTDATE, the
// default), "dddd, MMMM dd, yyyy" (DATE_LONGDATE) and "h:mm:ss tt".
// A null date or time means now, in local time. The result and the count
// follow MultiByteToWideChar: the units written with the terminator, or with
// a count of 0 the units needed. Errors: ERROR_INSUFFICIENT_BUFFER,
// ERROR_INVALID_PARAMETER (a field out of range, an unknown locale, a null
// buffer with a count), ERROR_INVALID_FLAGS.

#pragma GCC visibility push(default)

using LCID = DWORD;

inline constexpr LCID LOCALE_NEUTRAL = 0x0000;
inline constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
inline constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;
inline constexpr LCID LOCALE_EN_US = 0x0409;

inline constexpr DWORD LOCALE_NOUSEROVERRIDE = 0x80000000;
inline constexpr DWORD LOCALE_USE_CP_ACP = 0x40000000;

inline constexpr DWORD DATE_SHORTDATE = 0x00000001;
inline constexpr DWORD DATE_LONGDATE = 0x00000002;
inline constexpr DWORD DATE_USE_ALT_CALENDAR = 0x00000004;

// Drops the named fields of the picture, with the literal text that joins
// them to the fields before them.
inline constexpr DWORD TIME_NOMINUTESORSECONDS = 0x00000001;
inline constexpr DWORD TIME_NOSECONDS = 0x00000002;
inline constexpr DWORD TIME_NOTIMEMARKER = 0x00000004;
inline constexpr DWORD TIME_FORCE24HOURFORMAT = 0x00000008;

int GetDateFormatW(LCID locale, DWORD flags, const SYSTEMTIME* date, LPCWSTR format, LPWSTR dateText, int count);
int GetTimeFormatW(LCID locale, DWORD flags, const SYSTEMTIME* time, LPCWSTR format, LPWSTR timeText, int count);

#pragma GCC visibility pop
