// Critical sections: a recursive lock the caller stores. Contended entry
// waits through the scheduler like any other wait, so the virtual clock sees
// a thread blocked on a lock as waiting.
#include <cstdlib>

#include "ce/winbase.h"
#include "kernel/debug_output.h"
#include "kernel/sync_objects.h"

namespace {

ce::kernel::MutexObject* LockOf(LPCRITICAL_SECTION section, const char* call) {
  if (!section || !section->LockObject) {
    // Using a section that was never initialised, or was deleted, is a
    // program fault with no error result to report it through.
    ce::kernel::Diagnostic("platform: %s on a critical section that is not initialised", call);
    std::abort();
  }
  return static_cast<ce::kernel::MutexObject*>(section->LockObject);
}

}  // namespace

void InitializeCriticalSection(LPCRITICAL_SECTION section) {
  if (!section) return;
  section->LockObject = new ce::kernel::MutexObject(false);
}

void DeleteCriticalSection(LPCRITICAL_SECTION section) {
  if (!section || !section->LockObject) return;
  auto* lock = static_cast<ce::kernel::MutexObject*>(section->LockObject);
  section->LockObject = nullptr;
  auto guard = ce::kernel::LockScheduler();
  // A thread still waiting would be left with a freed lock: keep it instead.
  if (lock->waiters.empty()) delete lock;
}

void EnterCriticalSection(LPCRITICAL_SECTION section) {
  ce::kernel::Waitable* lock = LockOf(section, "EnterCriticalSection");
  ce::kernel::ThreadRecord& self = ce::kernel::CurrentThread();
  auto guard = ce::kernel::LockScheduler();
  ce::kernel::WaitLocked(guard, self, &lock, 1, false, INFINITE);
}

BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section) {
  ce::kernel::MutexObject* lock = LockOf(section, "TryEnterCriticalSection");
  ce::kernel::ThreadRecord& self = ce::kernel::CurrentThread();
  auto guard = ce::kernel::LockScheduler();
  if (!lock->IsSignaledFor(self)) return FALSE;
  lock->Acquire(self);
  return TRUE;
}

void LeaveCriticalSection(LPCRITICAL_SECTION section) {
  ce::kernel::MutexObject* lock = LockOf(section, "LeaveCriticalSection");
  ce::kernel::ThreadRecord& self = ce::kernel::CurrentThread();
  auto guard = ce::kernel::LockScheduler();
  lock->ReleaseLocked(self);  // leaving a section not entered changes nothing
}
