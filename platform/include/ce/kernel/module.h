// Modules: the running program's own file name as a device path, and shared
// libraries loaded from device paths. A missing library or export fails
// cleanly, as callers of optional device libraries expect.
#pragma once

#include "ce/minwindef.h"

#pragma GCC visibility push(default)

using FARPROC = INT_PTR (*)();

// A library may export its entry point "DllMain" (extern "C", DLLMAIN's
// signature): LoadLibraryW calls it with DLL_PROCESS_ATTACH when the library
// is first loaded (a FALSE answer unloads it again and the load fails with
// ERROR_DLL_INIT_FAILED), and FreeLibrary with DLL_PROCESS_DETACH before the
// last reference goes. Thread notifications are not sent.
inline constexpr DWORD DLL_PROCESS_DETACH = 0;
inline constexpr DWORD DLL_PROCESS_ATTACH = 1;
inline constexpr DWORD DLL_THREAD_ATTACH = 2;
inline constexpr DWORD DLL_THREAD_DETACH = 3;
using DLLMAIN = BOOL (*)(HANDLE module, DWORD reason, LPVOID reserved);

// A process handle (process.h) in place of the module names the program that
// process runs.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size);
HMODULE GetModuleHandleW(LPCWSTR moduleName);
HMODULE LoadLibraryW(LPCWSTR libFileName);
// With LOAD_LIBRARY_AS_DATAFILE the library is wanted for its resources
// only; our libraries load the same way either way. Other flags are not
// provided. `file` must be null.
inline constexpr DWORD LOAD_LIBRARY_AS_DATAFILE = 0x00000002;
HMODULE LoadLibraryExW(LPCWSTR libFileName, HANDLE file, DWORD flags);
BOOL FreeLibrary(HMODULE module);
// procName is a wide export name, or an ordinal made with MAKEINTRESOURCE.
FARPROC GetProcAddressW(HMODULE module, LPCWSTR procName);

#define MAKEINTRESOURCEW(i) (reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(i))))
#define MAKEINTRESOURCE(i) MAKEINTRESOURCEW(i)
#define IS_INTRESOURCE(p) ((reinterpret_cast<ULONG_PTR>(p) >> 16) == 0)

#pragma GCC visibility pop
