// Threads and synchronisation: threads with suspend counts and recorded
// priorities, waits on one or several objects, events, mutexes (a named
// mutex is shared with other programs on the device), critical sections and
// the interlocked calls.
//
// Every wait goes through the kernel's scheduler, so the virtual clock knows
// when all threads wait. Left out: semaphores, thread-local storage calls,
// waits on the process pseudo handle, and asynchronous suspension: a thread
// suspended by another thread stops at its next wait (Sleep, WaitFor...,
// GetMessageW), and a thread ended by TerminateThread ends there too.
#pragma once

#include "ce/minwindef.h"
#include "ce/winerror.h"

#pragma GCC visibility push(default)

struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

inline constexpr DWORD INFINITE = 0xFFFFFFFFu;
inline constexpr DWORD WAIT_OBJECT_0 = 0x00000000;
inline constexpr DWORD WAIT_ABANDONED = 0x00000080;
inline constexpr DWORD WAIT_ABANDONED_0 = 0x00000080;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;
inline constexpr DWORD MAXIMUM_WAIT_OBJECTS = 64;
inline constexpr DWORD STILL_ACTIVE = 0x00000103;

inline constexpr DWORD CREATE_SUSPENDED = 0x00000004;

// Thread priorities as the device numbers them: 0 is the most urgent.
inline constexpr int THREAD_PRIORITY_TIME_CRITICAL = 0;
inline constexpr int THREAD_PRIORITY_HIGHEST = 1;
inline constexpr int THREAD_PRIORITY_ABOVE_NORMAL = 2;
inline constexpr int THREAD_PRIORITY_NORMAL = 3;
inline constexpr int THREAD_PRIORITY_BELOW_NORMAL = 4;
inline constexpr int THREAD_PRIORITY_LOWEST = 5;
inline constexpr int THREAD_PRIORITY_ABOVE_IDLE = 6;
inline constexpr int THREAD_PRIORITY_IDLE = 7;
inline constexpr int THREAD_PRIORITY_ERROR_RETURN = 0x7FFFFFFF;
// The fine-grained scale of CeSetThreadPriority (0..255); the eight levels
// above are its last eight values (248 + level).
inline constexpr int CE_THREAD_PRIO_256_TIME_CRITICAL = 248;
inline constexpr int CE_THREAD_PRIO_256_NORMAL = 251;
inline constexpr int CE_THREAD_PRIO_256_IDLE = 255;

inline constexpr DWORD EVENT_PULSE = 1;
inline constexpr DWORD EVENT_RESET = 2;
inline constexpr DWORD EVENT_SET = 3;

using PTHREAD_START_ROUTINE = DWORD(WINAPI*)(LPVOID parameter);
using LPTHREAD_START_ROUTINE = PTHREAD_START_ROUTINE;

// Threads. A new thread runs at once unless CREATE_SUSPENDED is given; its
// message queue exists from creation. The stack size is a minimum.
HANDLE CreateThread(LPSECURITY_ATTRIBUTES security, DWORD stackSize, LPTHREAD_START_ROUTINE startAddress,
                    LPVOID parameter, DWORD creationFlags, LPDWORD threadId);
[[noreturn]] void ExitThread(DWORD exitCode);
BOOL TerminateThread(HANDLE thread, DWORD exitCode);
BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode);
HANDLE GetCurrentThread();
DWORD GetCurrentThreadId();
DWORD GetCurrentProcessId();
// Priorities are recorded and read back; the host scheduler is not asked.
BOOL SetThreadPriority(HANDLE thread, int priority);
int GetThreadPriority(HANDLE thread);
BOOL CeSetThreadPriority(HANDLE thread, int priority);
int CeGetThreadPriority(HANDLE thread);
// Both return the previous suspend count, or 0xFFFFFFFF on failure.
DWORD SuspendThread(HANDLE thread);
DWORD ResumeThread(HANDLE thread);

// Waits. Thread handles signal when the thread ends.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds);

// Events. A named event is shared by every CreateEventW of that name in this
// program (ERROR_ALREADY_EXISTS tells a later creator); names are not shared
// with other programs.
HANDLE CreateEventW(LPSECURITY_ATTRIBUTES security, BOOL manualReset, BOOL initialState, LPCWSTR name);
BOOL EventModify(HANDLE event, DWORD function);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
BOOL PulseEvent(HANDLE event);

// Mutexes, recursive. A named mutex is shared with the other programs on the
// device and is given up when its program ends, however it ends. A mutex
// whose owner ended without releasing it passes to the next waiter as an
// ordinary WAIT_OBJECT_0 (never WAIT_ABANDONED).
HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES security, BOOL initialOwner, LPCWSTR name);
BOOL ReleaseMutex(HANDLE mutex);

// A recursive lock the caller stores; between Initialize and Delete it refers
// to the layer's own lock object.
struct CRITICAL_SECTION {
  void* LockObject;
};
using LPCRITICAL_SECTION = CRITICAL_SECTION*;
using PCRITICAL_SECTION = CRITICAL_SECTION*;

void InitializeCriticalSection(LPCRITICAL_SECTION section);
void DeleteCriticalSection(LPCRITICAL_SECTION section);
void EnterCriticalSection(LPCRITICAL_SECTION section);
BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section);
void LeaveCriticalSection(LPCRITICAL_SECTION section);

// Interlocked calls: sequentially consistent, wrapping like the device's.
inline LONG InterlockedIncrement(LONG volatile* addend) { return __atomic_add_fetch(addend, 1, __ATOMIC_SEQ_CST); }
inline LONG InterlockedDecrement(LONG volatile* addend) { return __atomic_sub_fetch(addend, 1, __ATOMIC_SEQ_CST); }
inline LONG InterlockedExchange(LONG volatile* target, LONG value) {
  return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedExchangeAdd(LONG volatile* addend, LONG value) {
  return __atomic_fetch_add(addend, value, __ATOMIC_SEQ_CST);
}
// Stores exchange when *destination equals comparand; returns the old value.
inline LONG InterlockedCompareExchange(LONG volatile* destination, LONG exchange, LONG comparand) {
  __atomic_compare_exchange_n(destination, &comparand, exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
  return comparand;
}

#pragma GCC visibility pop
