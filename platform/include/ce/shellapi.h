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

// Opens a file with the verb "open" (or none):
// - a program of the device (see CreateProcessW in ce/kernel/process.h) is
//   started with lpParameters as its command line; with
//   SEE_MASK_NOCLOSEPROCESS its process handle is left in hProcess;
// - a shortcut (".lnk": "<length>#<target> [parameters]" in the device's
//   code page, length counting the characters after '#', the target quoted
//   when it holds spaces) opens its target with its parameters followed by
//   lpParameters; a malformed shortcut, or one leading to another, fails with
//   ERROR_BAD_FORMAT;
// - the device's browser ("iexplore.exe") is a stand-in that records each
//   request in the device's runtime folder ("shell-requests.log", one UTF-8
//   line: verb, file and parameters separated by tabs) and answers success.
// What is not there fails with ERROR_FILE_NOT_FOUND; opening documents,
// other verbs and other mask bits are not implemented. hInstApp is above 32
// on success.
BOOL ShellExecuteEx(SHELLEXECUTEINFOW* info);
inline BOOL ShellExecuteExW(SHELLEXECUTEINFOW* info) { return ShellExecuteEx(info); }

#pragma GCC visibility pop
