// The base of the device's SDK: integer widths as on the 32-bit device
// (DWORD and LONG are 32 bits), wide text as wchar_t, the kernel's opaque
// handles, and the small structures the kernel calls use (FILETIME,
// SYSTEMTIME, LARGE_INTEGER). Pointer-sized types follow the host so handles
// and message parameters can carry pointers. Only the wide ("W") forms of
// text exist. Kernel, registry, text and sound headers need nothing more, so
// a change to the window and drawing types (windef.h) leaves their users be.
#pragma once

#include <cstddef>
#include <cstdint>

#pragma GCC visibility push(default)

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = std::uint32_t;
using ULONG = std::uint32_t;
using USHORT = std::uint16_t;
using UCHAR = std::uint8_t;
using INT = std::int32_t;
using LONG = std::int32_t;
using SHORT = std::int16_t;
using CHAR = char;
using WCHAR = wchar_t;
using TCHAR = WCHAR;
using BOOL = int;
using BOOLEAN = std::uint8_t;
using FLOAT = float;
using LONGLONG = std::int64_t;
using ULONGLONG = std::uint64_t;
using DWORDLONG = std::uint64_t;
using INT_PTR = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using ULONG_PTR = std::uintptr_t;
using DWORD_PTR = std::uintptr_t;
using SIZE_T = std::size_t;
using WPARAM = UINT_PTR;
using LPARAM = LONG_PTR;
using LRESULT = LONG_PTR;
using HRESULT = std::int32_t;
using ATOM = WORD;
using PVOID = void*;
using LPVOID = void*;
using LPCVOID = const void*;
using LPBYTE = BYTE*;
using PBYTE = BYTE*;
using LPWORD = WORD*;
using LPDWORD = DWORD*;
using PDWORD = DWORD*;
using LPLONG = LONG*;
using PLONG = LONG*;
using LPBOOL = BOOL*;
using LPINT = INT*;
using LPSTR = CHAR*;
using LPCSTR = const CHAR*;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using PWSTR = WCHAR*;
using PCWSTR = const WCHAR*;
using LPTSTR = LPWSTR;
using LPCTSTR = LPCWSTR;

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;
inline constexpr DWORD MAX_PATH = 260;

#define WINAPI
#define CALLBACK
#define APIENTRY
#define TEXT(s) L##s
#define _T(s) L##s

// Opaque handle types: distinct pointer types so a wrong kind does not compile.
#define CE_DECLARE_HANDLE(name) \
  struct name##__;              \
  using name = name##__*
using HANDLE = void*;
using PHANDLE = HANDLE*;
using LPHANDLE = HANDLE*;
CE_DECLARE_HANDLE(HINSTANCE);
CE_DECLARE_HANDLE(HKEY);
CE_DECLARE_HANDLE(HRSRC);
CE_DECLARE_HANDLE(HGLOBAL_);
using HMODULE = HINSTANCE;
using HLOCAL = HANDLE;
using HGLOBAL = HANDLE;
using PHKEY = HKEY*;

#define LOWORD(l) (static_cast<WORD>(static_cast<DWORD_PTR>(l) & 0xffff))
#define HIWORD(l) (static_cast<WORD>((static_cast<DWORD_PTR>(l) >> 16) & 0xffff))
#define LOBYTE(w) (static_cast<BYTE>(static_cast<DWORD_PTR>(w) & 0xff))
#define HIBYTE(w) (static_cast<BYTE>((static_cast<DWORD_PTR>(w) >> 8) & 0xff))
#define MAKEWORD(a, b) (static_cast<WORD>((static_cast<BYTE>(a)) | ((static_cast<WORD>(static_cast<BYTE>(b))) << 8)))
#define MAKELONG(a, b) \
  (static_cast<LONG>((static_cast<DWORD>(static_cast<WORD>(a))) | ((static_cast<DWORD>(static_cast<WORD>(b))) << 16)))

// 100-nanosecond intervals since 1601-01-01, split in two 32-bit halves.
struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};
using LPFILETIME = FILETIME*;
using PFILETIME = FILETIME*;

struct SYSTEMTIME {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek;
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
};
using LPSYSTEMTIME = SYSTEMTIME*;

union LARGE_INTEGER {
  struct {
    DWORD LowPart;
    LONG HighPart;
  } u;
  LONGLONG QuadPart;
};
union ULARGE_INTEGER {
  struct {
    DWORD LowPart;
    DWORD HighPart;
  } u;
  ULONGLONG QuadPart;
};
using PULARGE_INTEGER = ULARGE_INTEGER*;
using PLARGE_INTEGER = LARGE_INTEGER*;

// INVALID_HANDLE_VALUE is (HANDLE)-1, as on the device.
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));

#pragma GCC visibility pop
