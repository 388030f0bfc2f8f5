// Opening documents and programs through the shell.
#pragma once

#include "ce/windef.h"

#pragma GCC visibility push(default)

inline constexpr ULONG SEE_MASK_NOCLOSEPROCESS = 0x00000040;

struct SHELLEXECUTEINFOW {
  DWORD cbSize;
  ULONG fMask;
  HWND hwnd;
  LPCWSTR lpVerb;
  LPCWSTR lpFile;
  LPCWSTR lpParameters;
  LPCWSTR lpDirectory;
  int nShow;
  HINSTANCE hInstApp;
  // Optional fields the device reads only with the matching mask bits.
  LPVOID lpIDList;
  LPCWSTR lpClass;
  HKEY hkeyClass;
  DWORD dwHotKey;
  HANDLE hIcon;
  HANDLE hProcess;
};
using LPSHELLEXECUTEINFOW = SHELLEXECUTEINFOW*;
using SHELLEXECUTEINFO = SHELLEXECUTEINFOW;

// The device's browser ("iexplore.exe") is a stand-in that records each
// request in the device's runtime folder ("shell-requests.log", one UTF-8
// line: verb, file and parameters separated by tabs) and answers success.
// A document or program that does not exist fails with ERROR_FILE_NOT_FOUND.
BOOL ShellExecuteEx(SHELLEXECUTEINFOW* info);
inline BOOL ShellExecuteExW(SHELLEXECUTEINFOW* info) { return ShellExecuteEx(info); }

#pragma GCC visibility pop
