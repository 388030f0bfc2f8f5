// The device's C runtime where it differs from the host's: wide printf
// formatting with the device's rules ("%s" in a wide format is a wide
// string, "%S" a narrow one), bounded output, case-insensitive compares,
// number conversions, character classes and case mapping that ignore the
// host locale, conversions through the ANSI code page (Windows-1252), and
// the 15-bit rand.
//
// Calls the host C library also has (swprintf, rand, iswalpha, wcstol, ...)
// live in namespace ce under the same name, so ce::swprintf is never confused
// with the host's. Calls the host lacks (_snwprintf, _wcsicmp, _wtoi, ...)
// are global, as on the device. The standard wide functions whose behaviour
// matches (wcslen, wcscpy, wcscmp, wcschr, wcsstr, wcstok) are the host's.
//
// Formatting: flags "- + 0 space #", widths and precisions (also "*"), size
// prefixes h, hh, l, ll, L, w, I, I32 and I64, conversions d i u o x X c C s S
// p e E f F g G and %%. "l" is 32 bits as on the device (LONG, DWORD);
// 64-bit values take "I64" or "ll". Floating-point values print from their
// 17 significant digits, rounded half away from zero at the last place shown
// ("%.1f" of 0.25 is "0.3"); exponents have at least three digits
// ("1.5e+003"). Infinity and NaN print as "inf" and "nan". "%n" takes its
// argument and stores nothing. A null string prints "(null)". The decimal
// point is always '.'.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cwchar>

#include "ce/minwindef.h"

#pragma GCC visibility push(default)

// Formatting into a buffer of `count` characters. A result shorter than
// `count` is terminated and its length returned; one of exactly `count`
// characters fills the buffer without a terminator and returns `count`; a
// longer one stores the first `count` characters, no terminator, and returns
// -1. A null buffer or format returns -1.
int _snwprintf(wchar_t* buffer, std::size_t count, const wchar_t* format, ...);
int _vsnwprintf(wchar_t* buffer, std::size_t count, const wchar_t* format, va_list args);
int _snprintf(char* buffer, std::size_t count, const char* format, ...);
int _vsnprintf(char* buffer, std::size_t count, const char* format, va_list args);

// Case-insensitive compares that fold to lower case (so '_' sorts before
// letters). A null argument returns _NLSCMPERROR.
inline constexpr int _NLSCMPERROR = 0x7FFFFFFF;
int _wcsicmp(const wchar_t* a, const wchar_t* b);
int _wcsnicmp(const wchar_t* a, const wchar_t* b, std::size_t count);
inline int wcsicmp(const wchar_t* a, const wchar_t* b) { return _wcsicmp(a, b); }
inline int wcsnicmp(const wchar_t* a, const wchar_t* b, std::size_t count) { return _wcsnicmp(a, b, count); }
// Narrow text folds ASCII letters only, as the device's "C" locale does.
int _stricmp(const char* a, const char* b);
int _strnicmp(const char* a, const char* b, std::size_t count);

// Leading blanks, an optional sign, decimal digits. Values beyond 32 bits
// saturate; null or no digits give 0.
int _wtoi(const wchar_t* text);
LONG _wtol(const wchar_t* text);
double _wtof(const wchar_t* text);

// Integer to text in radix 2..36 (lower-case letters); only radix 10 writes a
// sign. The buffer must hold 34 characters. An invalid radix leaves an empty
// string.
wchar_t* _itow(int value, wchar_t* buffer, int radix);
wchar_t* _ltow(LONG value, wchar_t* buffer, int radix);
wchar_t* _ultow(ULONG value, wchar_t* buffer, int radix);
char* _itoa(int value, char* buffer, int radix);

// `digits` significant digits: fixed notation when the exponent lies in
// -4..digits-1, else exponent notation; trailing zeros go, the decimal point
// stays ("5.", "0.05", "1.e+007"). The buffer must hold digits + 9 bytes.
char* _gcvt(double value, int digits, char* buffer);

// Character classes of iswctype.
inline constexpr unsigned _UPPER = 0x1;
inline constexpr unsigned _LOWER = 0x2;
inline constexpr unsigned _DIGIT = 0x4;
inline constexpr unsigned _SPACE = 0x8;
inline constexpr unsigned _PUNCT = 0x10;
inline constexpr unsigned _CONTROL = 0x20;
inline constexpr unsigned _BLANK = 0x40;
inline constexpr unsigned _HEX = 0x80;
inline constexpr unsigned _ALPHA = 0x100 | _UPPER | _LOWER;

// rand() returns 0..CE_RAND_MAX.
inline constexpr int CE_RAND_MAX = 0x7FFF;

namespace ce {

// Formatting with a fixed bound of 1024 characters including the terminator,
// since the device's forms take no buffer size. The output is always
// terminated; a result that did not fit is cut and -1 returned.
inline constexpr std::size_t kFormatBound = 1024;
int swprintf(wchar_t* buffer, const wchar_t* format, ...);
int vswprintf(wchar_t* buffer, const wchar_t* format, va_list args);
int sprintf(char* buffer, const char* format, ...);
int vsprintf(char* buffer, const char* format, va_list args);

// The device's generator: one state per process, seeded 1 at start.
int rand();
void srand(unsigned seed);

// Character classes and case mapping independent of the host locale
// (ASCII, Latin-1, Latin Extended, Greek, Cyrillic, common punctuation and
// spaces). Digits are the ASCII digits only.
int iswctype(wint_t c, unsigned mask);
int iswalpha(wint_t c);
int iswupper(wint_t c);
int iswlower(wint_t c);
int iswdigit(wint_t c);
int iswxdigit(wint_t c);
int iswspace(wint_t c);
int iswpunct(wint_t c);
int iswcntrl(wint_t c);
int iswalnum(wint_t c);
int iswprint(wint_t c);
int iswgraph(wint_t c);
wint_t towupper(wint_t c);
wint_t towlower(wint_t c);

// Number parsing with the C rules, independent of the host locale: blanks,
// sign, "0x" with base 16 or 0; values beyond the device's 32-bit long
// saturate. `end` receives the first character not used (text itself when
// nothing was).
LONG wcstol(const wchar_t* text, wchar_t** end, int base);
ULONG wcstoul(const wchar_t* text, wchar_t** end, int base);
// Decimal numbers with an optional fraction and exponent, '.' as the point.
double wcstod(const wchar_t* text, wchar_t** end);

// Conversions through the ANSI code page. mbstowcs stores at most `count`
// wide characters, terminated when there is room, and returns the number
// converted; with a null destination it returns the number needed.
// wcstombs does the same the other way and returns (size_t)-1 for a
// character the code page cannot hold.
std::size_t mbstowcs(wchar_t* dest, const char* source, std::size_t count);
std::size_t wcstombs(char* dest, const wchar_t* source, std::size_t count);

}  // namespace ce

#pragma GCC visibility pop
