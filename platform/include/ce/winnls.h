// Code pages of the device: the "ANSI" code page is Windows-1252 (single
// byte, with its 0x80-0x9F punctuation), and UTF-8. Wide text is one WCHAR
// per code point here, so UTF-8 counts are in code points. Locale formatting
// and sorting calls are not offered.
#pragma once

#include "ce/windef.h"

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
