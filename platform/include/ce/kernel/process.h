// Process handles: the current process and its immediate end.
#pragma once

#include "ce/windef.h"

#pragma GCC visibility push(default)

// A pseudo handle that always means the calling process; CloseHandle on it
// is not needed.
HANDLE GetCurrentProcess();
// Ends the process at once with the exit code: no destructors, no atexit
// handlers, no flushing of C streams. Only the current process can be ended;
// any other handle fails with ERROR_INVALID_HANDLE.
BOOL TerminateProcess(HANDLE process, UINT exitCode);

#pragma GCC visibility pop
