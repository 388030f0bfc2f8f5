// Threads: creation on host threads, exit and termination, suspend counts,
// recorded priorities, and the waits on handles.
#include <pthread.h>
#include <unistd.h>

#include <memory>

#include "ce/winbase.h"
#include "kernel/not_implemented.h"
#include "kernel/wait.h"

namespace ce::kernel {
namespace {

// The device flag that makes the stack size a reservation; sizes are only
// minimums here, so it changes nothing.
constexpr DWORD kStackSizeIsReservation = 0x00010000;
constexpr LONG kMaximumSuspendCount = 127;

struct StartInfo {
  std::shared_ptr<ThreadRecord> record;
  LPTHREAD_START_ROUTINE start;
  LPVOID parameter;
};

void* ThreadMain(void* raw) {
  std::unique_ptr<StartInfo> info(static_cast<StartInfo*>(raw));
  BindCurrentThread(info->record);
  ThreadRecord& self = *info->record;
  // Runs on a normal return and when ExitThread or TerminateThread unwinds.
  struct Finish {
    ThreadRecord& record;
    DWORD code = 0;
    ~Finish() { EndThread(record, code); }
  } finish{self};
  {
    auto lock = LockScheduler();
    CheckpointLocked(lock, self);  // a thread created suspended waits here
  }
  finish.code = info->start(info->parameter);
  return nullptr;
}

}  // namespace

// A thread handle, or the pseudo handle of the calling thread.
std::shared_ptr<ThreadRecord> ResolveThread(HANDLE handle) {
  if (handle == kCurrentThreadPseudoHandle) return CurrentThreadShared();
  return LookupHandleAs<ThreadRecord>(handle, HandleKind::Thread);
}

// Any handle that can be waited for.
std::shared_ptr<Waitable> ResolveWaitable(HANDLE handle) {
  if (handle == kCurrentThreadPseudoHandle) return CurrentThreadShared();
  auto object = LookupHandle(handle, HandleKind::Any);
  if (!object) return nullptr;
  switch (object->kind()) {
    case HandleKind::Thread:
    case HandleKind::Event:
    case HandleKind::Mutex:
    case HandleKind::Process:
      return std::static_pointer_cast<Waitable>(object);
    default:
      SetLastError(ERROR_INVALID_HANDLE);
      return nullptr;
  }
}

}  // namespace ce::kernel

using ce::kernel::ThreadRecord;

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, DWORD stackSize, LPTHREAD_START_ROUTINE startAddress, LPVOID parameter,
                    DWORD creationFlags, LPDWORD threadId) {
  if (!startAddress) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (creationFlags & ~(CREATE_SUSPENDED | ce::kernel::kStackSizeIsReservation)) {
    ce::kernel::NotImplemented("CreateThread(flags)");
    return nullptr;
  }
  auto record = ce::kernel::RegisterNewThread();
  if (creationFlags & CREATE_SUSPENDED) {
    auto lock = ce::kernel::LockScheduler();
    record->suspendCount = 1;
  }
  HANDLE handle = ce::kernel::InsertHandle(record);
  if (!handle) {
    ce::kernel::EndThread(*record, 0);
    return nullptr;
  }
  pthread_attr_t attributes;
  ::pthread_attr_init(&attributes);
  ::pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  size_t defaultSize = 0;
  ::pthread_attr_getstacksize(&attributes, &defaultSize);
  if (stackSize > defaultSize) ::pthread_attr_setstacksize(&attributes, stackSize);
  auto* info = new ce::kernel::StartInfo{record, startAddress, parameter};
  pthread_t host;
  const int error = ::pthread_create(&host, &attributes, ce::kernel::ThreadMain, info);
  ::pthread_attr_destroy(&attributes);
  if (error != 0) {
    delete info;
    ce::kernel::RemoveHandle(handle);
    ce::kernel::EndThread(*record, 0);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (threadId) *threadId = record->id;
  return handle;
}

void ExitThread(DWORD exitCode) {
  ThreadRecord& self = ce::kernel::CurrentThread();
  {
    auto lock = ce::kernel::LockScheduler();
    self.exiting = true;
    self.terminateCode = exitCode;
  }
  ::pthread_exit(nullptr);
}

BOOL TerminateThread(HANDLE thread, DWORD exitCode) {
  const auto record = ce::kernel::ResolveThread(thread);
  if (!record) return FALSE;
  if (record.get() == &ce::kernel::CurrentThread()) ExitThread(exitCode);
  auto lock = ce::kernel::LockScheduler();
  ce::kernel::RequestTerminateLocked(*record, exitCode);
  return TRUE;
}

BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode) {
  if (!exitCode) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const auto record = ce::kernel::ResolveThread(thread);
  if (!record) return FALSE;
  auto lock = ce::kernel::LockScheduler();
  *exitCode = record->ended ? record->exitCode : STILL_ACTIVE;
  return TRUE;
}

HANDLE GetCurrentThread() { return ce::kernel::kCurrentThreadPseudoHandle; }

DWORD GetCurrentThreadId() { return ce::kernel::CurrentThread().id; }

DWORD GetCurrentProcessId() { return static_cast<DWORD>(::getpid()); }

BOOL CeSetThreadPriority(HANDLE thread, int priority) {
  if (priority < 0 || priority > CE_THREAD_PRIO_256_IDLE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const auto record = ce::kernel::ResolveThread(thread);
  if (!record) return FALSE;
  auto lock = ce::kernel::LockScheduler();
  record->cePriority = priority;
  return TRUE;
}

int CeGetThreadPriority(HANDLE thread) {
  const auto record = ce::kernel::ResolveThread(thread);
  if (!record) return THREAD_PRIORITY_ERROR_RETURN;
  auto lock = ce::kernel::LockScheduler();
  return record->cePriority;
}

BOOL SetThreadPriority(HANDLE thread, int priority) {
  if (priority < THREAD_PRIORITY_TIME_CRITICAL || priority > THREAD_PRIORITY_IDLE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return CeSetThreadPriority(thread, CE_THREAD_PRIO_256_TIME_CRITICAL + priority);
}

int GetThreadPriority(HANDLE thread) {
  const int priority = CeGetThreadPriority(thread);
  if (priority == THREAD_PRIORITY_ERROR_RETURN) return priority;
  // The real-time priorities above the eight levels read as the most urgent level.
  return priority < CE_THREAD_PRIO_256_TIME_CRITICAL ? THREAD_PRIORITY_TIME_CRITICAL
                                                     : priority - CE_THREAD_PRIO_256_TIME_CRITICAL;
}

DWORD SuspendThread(HANDLE thread) {
  const auto record = ce::kernel::ResolveThread(thread);
  if (!record) return 0xFFFFFFFFu;
  ThreadRecord& self = ce::kernel::CurrentThread();
  auto lock = ce::kernel::LockScheduler();
  const LONG previous = record->suspendCount;
  if (previous >= ce::kernel::kMaximumSuspendCount) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0xFFFFFFFFu;
  }
  ++record->suspendCount;
  // Another thread stops at its next wait; the caller stops here.
  if (record.get() == &self) ce::kernel::CheckpointLocked(lock, self);
  return static_cast<DWORD>(previous);
}

DWORD ResumeThread(HANDLE thread) {
  const auto record = ce::kernel::ResolveThread(thread);
  if (!record) return 0xFFFFFFFFu;
  auto lock = ce::kernel::LockScheduler();
  const LONG previous = record->suspendCount;
  if (previous > 0) {
    --record->suspendCount;
    ce::kernel::ResumeLocked(*record);
  }
  return static_cast<DWORD>(previous);
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds) {
  if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || !handles) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  std::shared_ptr<ce::kernel::Waitable> held[MAXIMUM_WAIT_OBJECTS];
  ce::kernel::Waitable* objects[MAXIMUM_WAIT_OBJECTS];
  for (DWORD i = 0; i < count; ++i) {
    held[i] = ce::kernel::ResolveWaitable(handles[i]);
    if (!held[i]) return WAIT_FAILED;
    objects[i] = held[i].get();
    // Waiting for all of one object twice has no meaning.
    for (DWORD j = 0; waitAll && j < i; ++j) {
      if (objects[j] == objects[i]) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
      }
    }
  }
  ThreadRecord& self = ce::kernel::CurrentThread();
  auto lock = ce::kernel::LockScheduler();
  return ce::kernel::WaitLocked(lock, self, objects, count, waitAll != FALSE, milliseconds);
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  return WaitForMultipleObjects(1, &handle, FALSE, milliseconds);
}
