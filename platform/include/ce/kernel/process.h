// Processes: the current one, the device's programs started from their
// device paths, and other running programs of the device.
//
// The device's programs are the executables installed in its program
// folders ("\Program Files\<Name>\<Name>.exe": the running program's own
// folder and those the device setting "program_folders" adds; see
// device_path.h). A built executable without the ".exe" suffix answers to
// its name with it. A started program is a host process sharing the device
// root and configuration; its command line is split at spaces (double quotes
// group) into the arguments the program's main joins again. Nothing else on
// the host is ever run.
//
// Process ids are the host's. A process handle can be waited for (signalled
// when the process ends), closed with CloseHandle, passed to
// GetModuleFileNameW in place of a module (its program's device path) and to
// TerminateProcess and GetExitCodeProcess.
#pragma once

#include "ce/kernel/file.h"
#include "ce/minwindef.h"

#pragma GCC visibility push(default)

struct PROCESS_INFORMATION {
  HANDLE hProcess;
  HANDLE hThread;  // null: another program's threads have no handles here
  DWORD dwProcessId;
  DWORD dwThreadId;  // 0
};
using LPPROCESS_INFORMATION = PROCESS_INFORMATION*;

// Start-up details; the device ignores them (pass null).
struct STARTUPINFOW {
  DWORD cb;
  LPWSTR lpReserved;
  LPWSTR lpDesktop;
  LPWSTR lpTitle;
  DWORD dwX;
  DWORD dwY;
  DWORD dwXSize;
  DWORD dwYSize;
  DWORD dwXCountChars;
  DWORD dwYCountChars;
  DWORD dwFillAttribute;
  DWORD dwFlags;
  WORD wShowWindow;
  WORD cbReserved2;
  LPBYTE lpReserved2;
  HANDLE hStdInput;
  HANDLE hStdOutput;
  HANDLE hStdError;
};
using LPSTARTUPINFOW = STARTUPINFOW*;

inline constexpr DWORD PROCESS_TERMINATE = 0x0001;
inline constexpr DWORD PROCESS_VM_READ = 0x0010;
inline constexpr DWORD PROCESS_QUERY_INFORMATION = 0x0400;
inline constexpr DWORD SYNCHRONIZE = 0x00100000;
inline constexpr DWORD PROCESS_ALL_ACCESS = 0x001F0FFF;

// A pseudo handle that always means the calling process; CloseHandle on it
// is not needed.
HANDLE GetCurrentProcess();

// Starts the program at imageName (a device path) with commandLine as its
// arguments; with a null imageName the first word of commandLine (quoted
// when it holds spaces) is the program. Creation flags other than 0, handle
// inheritance, an environment or a current folder are refused with
// ERROR_INVALID_PARAMETER or reported as not implemented, as the device has
// none of them. Errors: ERROR_FILE_NOT_FOUND (no such program on the
// device), ERROR_ACCESS_DENIED (a file that is not an installed program).
BOOL CreateProcessW(LPCWSTR imageName, LPWSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                    LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                    LPVOID environment, LPWSTR currentDirectory, LPSTARTUPINFOW startupInfo,
                    LPPROCESS_INFORMATION processInformation);

// A handle to a running program of the device by its id (any access asked
// for is granted); null with ERROR_INVALID_PARAMETER when no program of the
// device runs with that id.
HANDLE OpenProcess(DWORD access, BOOL inheritHandle, DWORD processId);

// Ends a process. The current process ends at once with the exit code: no
// destructors, no atexit handlers, no flushing of C streams. Another process
// is killed and its exit code becomes exitCode for this program's handles;
// FALSE with ERROR_ACCESS_DENIED when it has already ended.
BOOL TerminateProcess(HANDLE process, UINT exitCode);

// STILL_ACTIVE while the process runs; then the code it exited with (its low
// 8 bits, as the host keeps them), the code given to TerminateProcess, or
// 128 plus the signal that killed it. The exit code of a process that this
// program did not start is not known once it has ended (not implemented).
BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode);

#pragma GCC visibility pop
