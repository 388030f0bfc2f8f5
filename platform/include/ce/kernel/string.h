// Wide string calls of the device: lengths, copies, compares, case mapping
// and wsprintfW. Only the wide forms exist; the unsuffixed names are macros
// as in the SDK. Compares and case mapping ignore the host locale. The
// C-runtime string calls are in ce/crt.h, code pages in ce/winnls.h.
#pragma once

#include <cstdarg>

#include "ce/minwindef.h"

#pragma GCC visibility push(default)

// Null pointers are tolerated: lstrlenW(nullptr) is 0, the copies return
// null without writing.
int lstrlenW(LPCWSTR text);
LPWSTR lstrcpyW(LPWSTR dest, LPCWSTR source);
// Copies at most maxLength - 1 characters and always terminates.
LPWSTR lstrcpynW(LPWSTR dest, LPCWSTR source, int maxLength);
LPWSTR lstrcatW(LPWSTR dest, LPCWSTR source);
// Word order for people: letters compare without case first, and only equal
// texts are ordered by case (lower case first). <0, 0, >0.
int lstrcmpW(LPCWSTR a, LPCWSTR b);
int lstrcmpiW(LPCWSTR a, LPCWSTR b);

// A pointer whose value fits in 16 bits is a single character: the mapped
// character is returned in the low word. Otherwise the string is mapped in
// place and returned.
LPWSTR CharUpperW(LPWSTR text);
LPWSTR CharLowerW(LPWSTR text);
// Maps `length` characters in place; returns the number processed.
DWORD CharUpperBuffW(LPWSTR text, DWORD length);
DWORD CharLowerBuffW(LPWSTR text, DWORD length);

// Formats with the device's printf rules into at most 1024 characters
// including the terminator; longer output is cut. Returns the number of
// characters stored, without the terminator.
int wsprintfW(LPWSTR buffer, LPCWSTR format, ...);
int wvsprintfW(LPWSTR buffer, LPCWSTR format, va_list args);

#define lstrlen lstrlenW
#define lstrcpy lstrcpyW
#define lstrcpyn lstrcpynW
#define lstrcat lstrcatW
#define lstrcmp lstrcmpW
#define lstrcmpi lstrcmpiW
#define CharUpper CharUpperW
#define CharLower CharLowerW
#define CharUpperBuff CharUpperBuffW
#define CharLowerBuff CharLowerBuffW
#define wsprintf wsprintfW
#define wvsprintf wvsprintfW

#pragma GCC visibility pop
