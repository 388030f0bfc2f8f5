// The kernel calls of the device: errors, handles, files, modules, threads
// and synchronisation, the clock and system status. Each area lives in its
// own header under ce/kernel/; this header gathers them like the SDK's own.
#pragma once

#include "ce/minwindef.h"
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
#include "ce/kernel/debug.h"

// --- Module resources ------------------------------------------------------------
// Each program and library carries its own resources, compiled into it at
// build time (tools/rescomp); a module handle finds that module's, and a
// null module is the running program. Names and types are numbers made
// with MAKEINTRESOURCEW, or texts compared without regard to case ("#123"
// is the number 123).
// FindResourceW's handle stays valid while the module is loaded;
// LoadResource gives the resource's bytes, read-only, which LockResource
// returns as they are. Nothing needs freeing.

#pragma GCC visibility push(default)

#define RT_CURSOR MAKEINTRESOURCEW(1)
#define RT_BITMAP MAKEINTRESOURCEW(2)
#define RT_ICON MAKEINTRESOURCEW(3)
#define RT_MENU MAKEINTRESOURCEW(4)
#define RT_DIALOG MAKEINTRESOURCEW(5)
#define RT_STRING MAKEINTRESOURCEW(6)
#define RT_ACCELERATOR MAKEINTRESOURCEW(9)
#define RT_RCDATA MAKEINTRESOURCEW(10)
#define RT_GROUP_CURSOR MAKEINTRESOURCEW(12)
#define RT_GROUP_ICON MAKEINTRESOURCEW(14)

HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
LPVOID LockResource(HGLOBAL resourceData);
DWORD SizeofResource(HMODULE module, HRSRC resource);

#pragma GCC visibility pop
