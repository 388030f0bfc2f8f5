// Starting programs and opening files for a person. When the device cannot
// do what was asked (a program that is not on it, a help file that is
// missing), the person is told in a message box naming what could not be
// opened, as the device's shell tells them, instead of nothing happening.
#pragma once

#include "ce/shellapi.h"
#include "ce/windows.h"

namespace suite {

// CreateProcessW of `path` with `parameters` as its command line (null:
// none); FALSE, after the message, when it cannot start.
BOOL StartProgram(HWND owner, LPCWSTR path, LPCWSTR parameters);
// ShellExecuteExW of `info` (its process handle closed unless the caller
// asked to keep it); FALSE, after the message, when it fails.
BOOL OpenWithShell(HWND owner, SHELLEXECUTEINFOW* info);
// Opens `document` in the device's browser when the document is there;
// FALSE, after the message, when it is not or the browser cannot open it.
BOOL OpenInBrowser(HWND owner, LPCWSTR document, HINSTANCE module);
// The message itself, for `what` and the error the device gave.
void SayCannotOpen(HWND owner, LPCWSTR what, DWORD error);

}  // namespace suite
