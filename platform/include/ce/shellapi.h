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
//   line: verb, file and parameters separated by tabs), shows what it was
//   asked for (below) and answers success;
// - a document (a regular file of the device that is no program, also
//   through a shortcut) is recorded the same way and shown; a folder or
//   another kind of entry fails with ERROR_ACCESS_DENIED.
// Showing: the device setting "viewer" names a host program that is started
// with one argument, a document's host path or a web page's address (http
// or https only), and not waited for; "none" names none. Without the
// setting a program in a desktop window uses the desktop's "xdg-open" when
// the host has it, a headless run never starts anything. Where no viewer
// runs, a message box says where the document's file is on the host, or
// that the device has no web browser and which address was asked for.
// What is not there fails with ERROR_FILE_NOT_FOUND; other verbs and other
// mask bits are not implemented. hInstApp is above 32 on success.
BOOL ShellExecuteEx(SHELLEXECUTEINFOW* info);
inline BOOL ShellExecuteExW(SHELLEXECUTEINFOW* info) { return ShellExecuteEx(info); }

// The icon of a file, for lists of programs and documents.
struct SHFILEINFOW {
  HICON hIcon;
  int iIcon;
  DWORD dwAttributes;
  WCHAR szDisplayName[MAX_PATH];
  WCHAR szTypeName[80];
};
using SHFILEINFO = SHFILEINFOW;

inline constexpr UINT SHGFI_LARGEICON = 0x000;
inline constexpr UINT SHGFI_SMALLICON = 0x001;
inline constexpr UINT SHGFI_ICON = 0x100;

// With SHGFI_ICON, puts into info->hIcon (which the caller destroys with
// DestroyIcon) the icon of `path` at the small (SM_CXSMICON) or large
// (SM_CXICON) size, and returns nonzero. `path` may carry parameters after
// the file ("\Program Files\A\a.exe -x"); a shortcut (".lnk") gives its
// target's icon. A program or library of the device gives its first icon
// group; any other file (a document, a module without icons) gets the
// platform's plain page. A missing file, or a shortcut that is damaged or
// leads nowhere, returns 0 and leaves info untouched. Only hIcon and iIcon
// (0) are written; other flags are not implemented.
DWORD_PTR SHGetFileInfoW(LPCWSTR path, DWORD fileAttributes, SHFILEINFOW* info, UINT infoSize, UINT flags);
inline DWORD_PTR SHGetFileInfo(LPCWSTR path, DWORD fileAttributes, SHFILEINFOW* info, UINT infoSize, UINT flags) {
  return SHGetFileInfoW(path, fileAttributes, info, infoSize, flags);
}

#pragma GCC visibility pop
