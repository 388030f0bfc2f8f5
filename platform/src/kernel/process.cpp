#include "ce/kernel/process.h"

#include <unistd.h>

#include "ce/winbase.h"

namespace {
// The value the handheld system uses for its current-process pseudo handle.
HANDLE const kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x42));
}  // namespace

HANDLE GetCurrentProcess() { return kCurrentProcess; }

BOOL TerminateProcess(HANDLE process, UINT exitCode) {
  if (process != kCurrentProcess) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  ::_exit(static_cast<int>(exitCode));
}
