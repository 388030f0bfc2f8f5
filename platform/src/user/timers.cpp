// Window and thread timers on the platform clock. Each timer has one wake on
// the clock; when it runs, the timer is marked ready (WM_TIMER is made when
// the owner's queue is asked, never queued twice) and the next wake is set
// one period later. On the virtual clock timers therefore fire in due order
// with no real waiting.
#include <algorithm>

#include "ce/winbase.h"
#include "user/state.h"

using namespace ce::user;
namespace vclock = ce::kernel::clock;

namespace {

// Owner thread of a timer's window (null: the calling thread).
bool OwnerOf(HWND hwnd, DWORD* threadId) {
  if (!hwnd) {
    *threadId = GetCurrentThreadId();
    return true;
  }
  std::lock_guard guard(S().lock);
  auto w = FindLocked(hwnd);
  if (!w || w->destroying) return false;
  *threadId = w->threadId;
  return true;
}

Timer* FindTimerLocked(ThreadState& thread, std::uint64_t serial) {
  for (Timer& t : thread.timers) {
    if (t.serial == serial) return &t;
  }
  return nullptr;
}

void Arm(DWORD threadId, std::uint64_t serial, std::uint64_t due);

void Fire(DWORD threadId, std::uint64_t serial) {
  std::uint64_t next = 0;
  const std::uint64_t now = vclock::NowMs();  // before the user lock: lock order
  {
    std::lock_guard guard(S().lock);
    const auto it = S().threads.find(threadId);
    if (it == S().threads.end()) return;
    Timer* timer = FindTimerLocked(*it->second, serial);
    if (!timer) return;
    if (!timer->ready) {
      timer->ready = true;
      timer->readyAt = timer->due;
    }
    // The next tick counts from this one, never piling up behind the clock.
    next = std::max(timer->due + timer->period, now + 1);
    timer->due = next;
  }
  Arm(threadId, serial, next);
  WakeThread(threadId);
}

void Arm(DWORD threadId, std::uint64_t serial, std::uint64_t due) {
  const vclock::WakeId wake = vclock::ScheduleWake(due, [threadId, serial] { Fire(threadId, serial); });
  bool stale = true;
  {
    std::lock_guard guard(S().lock);
    const auto it = S().threads.find(threadId);
    if (it != S().threads.end()) {
      if (Timer* timer = FindTimerLocked(*it->second, serial)) {
        timer->wake = wake;
        stale = false;
      }
    }
  }
  if (stale) vclock::CancelWake(wake);  // killed meanwhile
}

// Removes matching timers of a thread; their wakes are cancelled after.
void RemoveTimers(DWORD threadId, HWND hwnd, bool allIds, UINT_PTR id, std::vector<vclock::WakeId>* wakes,
                  bool* found) {
  std::lock_guard guard(S().lock);
  const auto it = S().threads.find(threadId);
  if (it == S().threads.end()) return;
  auto& timers = it->second->timers;
  for (auto t = timers.begin(); t != timers.end();) {
    if (t->hwnd == hwnd && (allIds || t->id == id)) {
      wakes->push_back(t->wake);
      *found = true;
      t = timers.erase(t);
    } else {
      ++t;
    }
  }
}

}  // namespace

namespace ce::user {

void KillTimersOf(HWND hwnd) {
  DWORD threadId = 0;
  {
    std::lock_guard guard(S().lock);
    auto w = FindLocked(hwnd);
    if (!w) return;
    threadId = w->threadId;
  }
  std::vector<vclock::WakeId> wakes;
  bool found = false;
  RemoveTimers(threadId, hwnd, true, 0, &wakes, &found);
  for (vclock::WakeId wake : wakes) vclock::CancelWake(wake);
}

bool TimerProcMatches(HWND hwnd, UINT_PTR id, TIMERPROC proc) {
  std::lock_guard guard(S().lock);
  for (const auto& [threadId, thread] : S().threads) {
    for (const Timer& t : thread->timers) {
      if (t.hwnd == hwnd && t.id == id && t.proc == proc) return true;
    }
  }
  return false;
}

}  // namespace ce::user

UINT_PTR SetTimer(HWND hwnd, UINT_PTR idEvent, UINT elapse, TIMERPROC timerFunc) {
  DWORD threadId = 0;
  if (!OwnerOf(hwnd, &threadId)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (threadId != GetCurrentThreadId()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return 0;
  }
  EnsureSources();
  // Below 10 ms the device rounds up; 0 still ticks, at that pace.
  const UINT period = std::max<UINT>(elapse, 10);
  std::vector<vclock::WakeId> wakes;
  bool found = false;
  UINT_PTR id = idEvent;
  if (!hwnd) {
    // A thread timer gets an id of its own unless it names one it has.
    bool exists = false;
    {
      std::lock_guard guard(S().lock);
      for (const Timer& t : ThreadLocked(threadId)->timers) exists |= (!t.hwnd && t.id == idEvent && idEvent);
      if (!exists) {
        auto thread = ThreadLocked(threadId);
        for (;;) {
          id = thread->nextThreadTimerId++;
          if (thread->nextThreadTimerId == 0) thread->nextThreadTimerId = 1;
          bool used = false;
          for (const Timer& t : thread->timers) used |= (!t.hwnd && t.id == id);
          if (!used && id != 0) break;
        }
      }
    }
  }
  RemoveTimers(threadId, hwnd, false, id, &wakes, &found);
  for (vclock::WakeId wake : wakes) vclock::CancelWake(wake);
  std::uint64_t serial = 0;
  const std::uint64_t due = vclock::NowMs() + period;
  {
    std::lock_guard guard(S().lock);
    Timer timer;
    timer.hwnd = hwnd;
    timer.id = id;
    timer.period = period;
    timer.proc = timerFunc;
    timer.serial = serial = S().nextTimerSerial++;
    timer.due = due;
    ThreadLocked(threadId)->timers.push_back(timer);
  }
  Arm(threadId, serial, due);
  return hwnd ? (id ? id : 1) : id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR idEvent) {
  DWORD threadId = 0;
  if (!OwnerOf(hwnd, &threadId)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  std::vector<vclock::WakeId> wakes;
  bool found = false;
  RemoveTimers(threadId, hwnd, false, idEvent, &wakes, &found);
  for (vclock::WakeId wake : wakes) vclock::CancelWake(wake);
  if (!found) SetLastError(ERROR_INVALID_PARAMETER);
  return found ? TRUE : FALSE;
}
