// Window and thread timers on the platform clock. Each thread has one wake
// on the clock, at its earliest due timer; when it runs, every timer due by
// then is marked ready at once (WM_TIMER is made when the owner's queue is
// asked, never queued twice) and its next tick set one period later. Timers
// due at the same moment are therefore ready together and come in id order.
// On the virtual clock they fire in due order with no real waiting.
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

void Fire(DWORD threadId, std::uint64_t generation);

// Puts the thread's one wake at its earliest due timer (or none).
void Rearm(DWORD threadId) {
  vclock::WakeId old = 0;
  std::uint64_t generation = 0;
  std::uint64_t due = 0;
  {
    std::lock_guard guard(S().lock);
    const auto it = S().threads.find(threadId);
    if (it == S().threads.end()) return;
    ThreadState& t = *it->second;
    bool any = false;
    for (const Timer& timer : t.timers) {
      if (!any || timer.due < due) due = timer.due;
      any = true;
    }
    if (any && t.wake != 0 && t.wakeDue == due) return;  // already right
    old = t.wake;
    generation = ++t.wakeGeneration;
    t.wake = 0;
    t.wakeDue = 0;
    if (!any) due = 0;
  }
  if (old) vclock::CancelWake(old);
  if (due == 0) return;
  const vclock::WakeId wake = vclock::ScheduleWake(due, [threadId, generation] { Fire(threadId, generation); });
  bool stale = true;
  {
    std::lock_guard guard(S().lock);
    const auto it = S().threads.find(threadId);
    if (it != S().threads.end() && it->second->wakeGeneration == generation) {
      it->second->wake = wake;
      it->second->wakeDue = due;
      stale = false;
    }
  }
  if (stale) vclock::CancelWake(wake);  // a newer arrangement took over
}

void Fire(DWORD threadId, std::uint64_t generation) {
  const std::uint64_t now = vclock::NowMs();  // before the user lock: lock order
  {
    std::lock_guard guard(S().lock);
    const auto it = S().threads.find(threadId);
    if (it == S().threads.end() || it->second->wakeGeneration != generation) return;
    ThreadState& t = *it->second;
    t.wake = 0;
    for (Timer& timer : t.timers) {
      if (timer.due > now) continue;
      if (!timer.ready) {
        timer.ready = true;
        timer.readyAt = timer.due;
      }
      // The next tick counts from this one, never piling up behind the clock.
      timer.due = std::max(timer.due + timer.period, now + 1);
    }
  }
  Rearm(threadId);
  WakeThread(threadId);
}

// Removes matching timers of a thread; true when there were any.
bool RemoveTimers(DWORD threadId, HWND hwnd, bool allIds, UINT_PTR id) {
  bool found = false;
  {
    std::lock_guard guard(S().lock);
    const auto it = S().threads.find(threadId);
    if (it == S().threads.end()) return false;
    auto& timers = it->second->timers;
    const auto end = std::remove_if(timers.begin(), timers.end(),
                                    [&](const Timer& t) { return t.hwnd == hwnd && (allIds || t.id == id); });
    found = end != timers.end();
    timers.erase(end, timers.end());
  }
  if (found) Rearm(threadId);
  return found;
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
  RemoveTimers(threadId, hwnd, true, 0);
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
  const std::uint64_t due = vclock::NowMs() + period;
  UINT_PTR id = idEvent;
  {
    std::lock_guard guard(S().lock);
    auto thread = ThreadLocked(threadId);
    auto& timers = thread->timers;
    if (!hwnd) {
      // A thread timer keeps a live id it names, else gets a new one.
      const bool named = idEvent != 0 && std::any_of(timers.begin(), timers.end(),
                                                     [&](const Timer& t) { return !t.hwnd && t.id == idEvent; });
      if (!named) {
        do {
          id = thread->nextThreadTimerId++;
          if (thread->nextThreadTimerId == 0) thread->nextThreadTimerId = 1;
        } while (id == 0 ||
                 std::any_of(timers.begin(), timers.end(), [&](const Timer& t) { return !t.hwnd && t.id == id; }));
      }
    }
    // Setting a live timer again restarts it with the new period.
    timers.erase(
        std::remove_if(timers.begin(), timers.end(), [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; }),
        timers.end());
    Timer timer;
    timer.hwnd = hwnd;
    timer.id = id;
    timer.period = period;
    timer.proc = timerFunc;
    timer.due = due;
    timers.push_back(timer);
  }
  Rearm(threadId);
  return hwnd ? (id ? id : 1) : id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR idEvent) {
  DWORD threadId = 0;
  if (!OwnerOf(hwnd, &threadId)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (!RemoveTimers(threadId, hwnd, false, idEvent)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}
