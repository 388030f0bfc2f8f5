// The kernel calls of the device: errors, handles, files, modules, threads
// and synchronisation, the clock and system status. Each area lives in its
// own header under ce/kernel/; this header gathers them like the SDK's own.
#pragma once

#include "ce/windef.h"
#include "ce/winerror.h"

#pragma GCC visibility push(default)

// The calling thread's last error code.
DWORD GetLastError();
void SetLastError(DWORD code);

// Closes any kernel handle (file, find, thread, event, mutex, ...). A stale,
// closed or foreign value fails with ERROR_INVALID_HANDLE.
BOOL CloseHandle(HANDLE handle);

#pragma GCC visibility pop

#include "ce/kernel/file.h"
#include "ce/kernel/module.h"
#include "ce/kernel/sync.h"
#include "ce/kernel/process.h"
#include "ce/kernel/time.h"
#include "ce/kernel/system.h"
#include "ce/kernel/string.h"
#include "ce/kernel/memory.h"
