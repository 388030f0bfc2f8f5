#include "liba/thread.h"

#include <algorithm>

#include "ce/winbase.h"
#include "os/com_scope.h"

namespace liba {

namespace {
HANDLE AsHandle(void* h) { return static_cast<HANDLE>(h); }
}  // namespace

struct ThreadProcedure {
  static DWORD WINAPI Run(LPVOID parameter) {
    Thread* self = static_cast<Thread*>(parameter);
    {
      os::ComScope com;
      self->run();
      // The thread is finished: let go of its handle unless wait() is
      // blocked on it, in which case wait() closes it once it wakes.
      Lock lock(*self->guard_);
      if (self->impl_.handle != nullptr && !self->impl_.waiting) {
        CloseHandle(AsHandle(self->impl_.handle));
        self->impl_.handle = nullptr;
      }
    }
    return 0;
  }
};

Thread::Thread() : guard_(new CriticalSection) {}

Thread::~Thread() {
  if (impl_.handle != nullptr) CloseHandle(AsHandle(impl_.handle));
  impl_.handle = nullptr;
  delete guard_;
}

bool Thread::start() {
  Lock lock(*guard_);
  if (impl_.handle != nullptr) return false;
  stop_requested_ = 0;
  DWORD id = 0;
  // The new thread cannot reach its hand-over before the handle is stored:
  // it needs the guard held here.
  HANDLE h = CreateThread(nullptr, 0, &ThreadProcedure::Run, this, 0, &id);
  impl_.id = id;
  impl_.handle = h;
  return h != nullptr;
}

void Thread::wait() {
  HANDLE h;
  {
    Lock lock(*guard_);
    if (impl_.handle == nullptr || impl_.waiting) return;
    h = AsHandle(impl_.handle);
    impl_.waiting = true;
  }
  WaitForSingleObject(h, INFINITE);
  Lock lock(*guard_);
  CloseHandle(h);
  impl_.handle = nullptr;
  impl_.waiting = false;
}

bool Thread::has_thread() const {
  Lock lock(*guard_);
  return impl_.handle != nullptr;
}

bool Thread::set_priority(int level) {
  static const int kPriorities[] = {THREAD_PRIORITY_LOWEST, THREAD_PRIORITY_BELOW_NORMAL, THREAD_PRIORITY_NORMAL,
                                    THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST};
  level = std::clamp(level, -2, 2);
  return SetThreadPriority(AsHandle(impl_.handle), kPriorities[level + 2]) != 0;
}

std::uint32_t Thread::resume() { return ResumeThread(AsHandle(impl_.handle)); }
std::uint32_t Thread::suspend() { return SuspendThread(AsHandle(impl_.handle)); }

CriticalSection::CriticalSection() : section_(new CRITICAL_SECTION) {
  InitializeCriticalSection(static_cast<LPCRITICAL_SECTION>(section_));
}

CriticalSection::~CriticalSection() {
  DeleteCriticalSection(static_cast<LPCRITICAL_SECTION>(section_));
  delete static_cast<LPCRITICAL_SECTION>(section_);
}

void CriticalSection::enter() { EnterCriticalSection(static_cast<LPCRITICAL_SECTION>(section_)); }
bool CriticalSection::try_enter() {
  return TryEnterCriticalSection(static_cast<LPCRITICAL_SECTION>(section_)) != FALSE;
}
void CriticalSection::leave() { LeaveCriticalSection(static_cast<LPCRITICAL_SECTION>(section_)); }

void sleep(std::uint32_t ms) { Sleep(ms); }

std::int32_t atomic_increment(volatile std::int32_t* p) { return InterlockedIncrement(p); }
std::int32_t atomic_decrement(volatile std::int32_t* p) { return InterlockedDecrement(p); }

}  // namespace liba
