#include "kernel/wait.h"

#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <thread>

#include "ce/winbase.h"
#include "kernel/clock.h"
#include "kernel/debug_output.h"
#include "kernel/device.h"
#include "kernel/message_queue.h"

namespace ce::kernel {

using SteadyClock = std::chrono::steady_clock;

struct Wait {
  ThreadRecord* thread = nullptr;
  Waitable* const* objects = nullptr;
  std::size_t count = 0;
  bool all = false;
  bool parking = false;  // a suspended thread waiting to be resumed
  bool polls = false;
  bool hasDeadline = false;
  std::uint64_t deadlineMs = 0;          // on the virtual clock
  SteadyClock::time_point deadlineReal;  // on the host clock
  bool woken = false;                    // told to try again: counts as running meanwhile
  bool done = false;
  DWORD result = WAIT_TIMEOUT;
};

namespace {

// How often a wait on an object another program may release looks again.
constexpr auto kPollInterval = std::chrono::milliseconds(10);
constexpr std::uint64_t kDefaultVirtualStartSeconds = 1262304000;  // 2010-01-01 00:00:00 UTC

struct WakeEntry {
  clock::WakeId id = 0;
  std::uint64_t due = 0;
  std::function<void()> callback;
};

struct Scheduler {
  std::mutex lock;
  // Notified when a thread starts waiting or ends, or a wake callback ends.
  std::condition_variable settled;

  std::map<DWORD, std::shared_ptr<ThreadRecord>> threads;
  DWORD nextThreadId = 0x100;
  int counted = 1;  // platform threads; the main thread counts from the start
  int blocked = 0;  // platform threads blocked in a wait
  std::vector<Wait*> waits;

  bool configured = false;
  bool virtualMode = false;
  std::uint64_t virtualNow = 0;
  std::uint64_t virtualStartTick = 0;
  std::uint64_t virtualStartTime = 0;
  bool manualAdvance = false;
  // Advance takes one caller at a time; the platform threads inside it (the
  // one advancing and those waiting their turn) count as waiting for it.
  bool advancing = false;
  int advancers = 0;
  bool warnedStuck = false;
  // While a wait for another program is pending and every thread waits, the
  // virtual clock runs with the host's clock, from this host time on.
  bool pacing = false;
  std::uint64_t paceFromMs = 0;

  std::vector<WakeEntry> pending;
  std::deque<WakeEntry> ready;
  clock::WakeId nextWakeId = 1;
  clock::WakeId runningWake = 0;
  int firing = 0;  // wakes ready or running
  bool clockThreadStarted = false;
  std::thread::id clockThreadId;
  std::condition_variable clockCv;
  std::condition_variable runningDone;
};

Scheduler* g_scheduler = nullptr;

Scheduler& S() {
  // Never destroyed: threads may outlive static destruction. The lock is
  // held across fork(), so a child (a program's fatal path in a forked
  // test, say) never starts with it taken by a thread it does not have.
  static Scheduler* scheduler = [] {
    g_scheduler = new Scheduler;
    ::pthread_atfork([] { g_scheduler->lock.lock(); }, [] { g_scheduler->lock.unlock(); },
                     [] { g_scheduler->lock.unlock(); });
    return g_scheduler;
  }();
  return *scheduler;
}

std::uint64_t RealNowMs() {
  return static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now().time_since_epoch()).count());
}

std::uint64_t RealSystemTime100ns() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return kFileTimeUnixEpoch + static_cast<std::uint64_t>(now.tv_sec) * 10000000ull +
         static_cast<std::uint64_t>(now.tv_nsec) / 100;
}

void StartVirtualLocked(Scheduler& s, std::uint64_t startTick, std::uint64_t startTime) {
  const bool wasVirtual = s.configured && s.virtualMode;
  const std::uint64_t oldNow = wasVirtual ? s.virtualNow : RealNowMs();
  s.configured = true;
  s.virtualMode = true;
  s.virtualNow = startTick;
  s.virtualStartTick = startTick;
  s.virtualStartTime = startTime;
  s.pacing = false;
  // Waits and wakes already under way keep the time they had left.
  const auto rebase = [&](std::uint64_t due) { return startTick + (due > oldNow ? due - oldNow : 0); };
  for (Wait* w : s.waits) {
    if (!w->hasDeadline) continue;
    if (wasVirtual) {
      w->deadlineMs = rebase(w->deadlineMs);
    } else {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(w->deadlineReal - SteadyClock::now());
      w->deadlineMs = startTick + static_cast<std::uint64_t>(std::max<std::int64_t>(0, left.count()));
    }
  }
  for (WakeEntry& e : s.pending) e.due = rebase(e.due);
  s.clockCv.notify_all();
}

void EnsureConfiguredLocked(Scheduler& s) {
  if (s.configured) return;
  s.configured = true;
  std::string mode = device::SettingOr("clock", "real");
  for (char& c : mode) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (mode != "virtual") return;
  const long long tick = std::max(0ll, device::SettingNumber("clock_start_tick", 0));
  // Seconds up to the year 30000 keep the product below 2^63.
  const long long seconds =
      std::clamp(device::SettingNumber("clock_start_time", kDefaultVirtualStartSeconds), 0ll, 900000000000ll);
  StartVirtualLocked(s, static_cast<std::uint64_t>(tick),
                     kFileTimeUnixEpoch + static_cast<std::uint64_t>(seconds) * 10000000ull);
}

std::uint64_t NowMsLocked(Scheduler& s) {
  EnsureConfiguredLocked(s);
  return s.virtualMode ? s.virtualNow : RealNowMs();
}

// ---- granting waits ----

bool TryComplete(Wait& w) {
  ThreadRecord& thread = *w.thread;
  if (w.count == 0) return false;
  if (w.all) {
    std::size_t ready = 0;
    while (ready < w.count && w.objects[ready]->IsSignaledFor(thread)) ++ready;
    if (ready < w.count) {
      for (std::size_t i = 0; i < ready; ++i) w.objects[i]->Relinquish();
      return false;
    }
    for (std::size_t i = 0; i < w.count; ++i) w.objects[i]->Acquire(thread);
    w.result = WAIT_OBJECT_0;
    return true;
  }
  for (std::size_t i = 0; i < w.count; ++i) {
    if (w.objects[i]->IsSignaledFor(thread)) {
      w.objects[i]->Acquire(thread);
      w.result = WAIT_OBJECT_0 + static_cast<DWORD>(i);
      return true;
    }
  }
  return false;
}

// Tells a blocked thread to look again, wherever it sleeps.
void NotifyLocked(ThreadRecord& thread) {
  thread.wake.notify_one();
  if (thread.sleeper) thread.sleeper->Wake();
}

void Complete(Scheduler& s, Wait& w, DWORD result) {
  w.done = true;
  w.result = result;
  for (std::size_t i = 0; i < w.count; ++i) {
    auto& list = w.objects[i]->waiters;
    list.erase(std::remove(list.begin(), list.end(), &w), list.end());
  }
  s.waits.erase(std::remove(s.waits.begin(), s.waits.end(), &w), s.waits.end());
  w.thread->wait = nullptr;
  if (!w.woken) {
    --s.blocked;
    s.pacing = false;  // the thread runs: time holds still until every thread waits again
  }
  w.woken = false;
  NotifyLocked(*w.thread);
}

bool AllWaitingLocked(const Scheduler& s, int runningAllowed) {
  return s.blocked + runningAllowed >= s.counted && s.firing == 0;
}

std::optional<std::uint64_t> EarliestDueLocked(const Scheduler& s) {
  std::optional<std::uint64_t> earliest;
  for (const Wait* w : s.waits) {
    if (w->hasDeadline && (!earliest || w->deadlineMs < *earliest)) earliest = w->deadlineMs;
  }
  for (const WakeEntry& e : s.pending) {
    if (!earliest || e.due < *earliest) earliest = e.due;
  }
  return earliest;
}

void MoveDueWakesLocked(Scheduler& s, std::uint64_t now) {
  std::vector<WakeEntry> due;
  for (auto it = s.pending.begin(); it != s.pending.end();) {
    if (it->due <= now) {
      due.push_back(std::move(*it));
      it = s.pending.erase(it);
    } else {
      ++it;
    }
  }
  if (due.empty()) return;
  std::sort(due.begin(), due.end(),
            [](const WakeEntry& a, const WakeEntry& b) { return a.due != b.due ? a.due < b.due : a.id < b.id; });
  for (WakeEntry& e : due) s.ready.push_back(std::move(e));
  s.firing += static_cast<int>(due.size());
  s.pacing = false;
  s.clockCv.notify_all();
}

void FireDueLocked(Scheduler& s) {
  const std::vector<Wait*> waits = s.waits;
  for (Wait* w : waits) {
    if (!w->done && w->hasDeadline && w->deadlineMs <= s.virtualNow) Complete(s, *w, WAIT_TIMEOUT);
  }
  MoveDueWakesLocked(s, s.virtualNow);
}

// Whether a pending wait waits for another program (Waitable::WaitsForOtherProgram).
bool WaitingForOtherProgramLocked(const Scheduler& s) {
  for (const Wait* w : s.waits) {
    for (std::size_t i = 0; i < w->count; ++i) {
      if (w->objects[i]->WaitsForOtherProgram()) return true;
    }
  }
  return false;
}

// Virtual clock with a wait for another program pending: that program lives
// on the host's time, so the clock does not jump ahead. While every platform
// thread waits, it moves as far as the host's clock moved since the last
// look (the waiting threads look every few milliseconds), stopping at each
// due moment on the way; while a thread runs, it holds still as ever.
void PaceLocked(Scheduler& s) {
  if (s.counted <= 0 || !AllWaitingLocked(s, 0)) {
    s.pacing = false;
    return;
  }
  const std::uint64_t now = RealNowMs();
  if (!s.pacing) {
    s.pacing = true;
    s.paceFromMs = now;
    return;
  }
  const std::uint64_t target = s.virtualNow + (now - s.paceFromMs);
  s.paceFromMs = now;
  while (AllWaitingLocked(s, 0)) {
    const auto next = EarliestDueLocked(s);
    if (!next || *next > target) {
      s.virtualNow = target;
      return;
    }
    if (*next > s.virtualNow) s.virtualNow = *next;
    FireDueLocked(s);
  }
}

// Virtual clock: when every platform thread waits, jump to the earliest due
// moment and wake what is due there; with a wait for another program
// pending, move with the host's time instead.
void MaybeAdvanceLocked(Scheduler& s) {
  if (!s.virtualMode || s.manualAdvance) return;
  if (WaitingForOtherProgramLocked(s)) {
    PaceLocked(s);
    return;
  }
  s.pacing = false;
  while (s.counted > 0 && AllWaitingLocked(s, 0)) {
    const auto next = EarliestDueLocked(s);
    if (!next) {
      const bool polling = std::any_of(s.waits.begin(), s.waits.end(), [](const Wait* w) { return w->polls; });
      if (!polling && !s.warnedStuck) {
        s.warnedStuck = true;
        ce::kernel::Diagnostic("platform: virtual clock: every thread waits and nothing is due");
      }
      return;
    }
    if (*next > s.virtualNow) s.virtualNow = *next;
    FireDueLocked(s);
  }
}

DWORD BlockLocked(std::unique_lock<std::mutex>& lock, Scheduler& s, Wait& w) {
  ThreadRecord& self = *w.thread;
  if (!self.counted) {
    self.counted = true;
    ++s.counted;
  }
  for (std::size_t i = 0; i < w.count; ++i) {
    w.objects[i]->waiters.push_back(&w);
    if (w.objects[i]->NeedsPolling()) w.polls = true;
  }
  s.waits.push_back(&w);
  self.wait = &w;
  ++s.blocked;
  s.settled.notify_all();
  MaybeAdvanceLocked(s);
  while (!w.done) {
    if (w.woken) {
      if (TryComplete(w)) {
        Complete(s, w, w.result);
        break;
      }
      w.woken = false;
      ++s.blocked;
      s.settled.notify_all();
      MaybeAdvanceLocked(s);
      continue;
    }
    const bool realDeadline = w.hasDeadline && !s.virtualMode;
    if (!w.polls && !realDeadline) {
      if (self.sleeper) {
        self.sleeper->Sleep(lock, self, SteadyClock::time_point::max());
      } else {
        self.wake.wait(lock);
      }
      continue;
    }
    auto until = SteadyClock::time_point::max();
    if (w.polls) until = SteadyClock::now() + kPollInterval;
    if (realDeadline) until = std::min(until, w.deadlineReal);
    if (self.sleeper) {
      self.sleeper->Sleep(lock, self, until);
    } else {
      self.wake.wait_until(lock, until);
    }
    if (w.done) break;
    if (w.polls && TryComplete(w)) {
      Complete(s, w, w.result);
    } else if (w.hasDeadline && !s.virtualMode && SteadyClock::now() >= w.deadlineReal) {
      Complete(s, w, WAIT_TIMEOUT);
    } else if (w.polls) {
      MaybeAdvanceLocked(s);  // the virtual clock's pace while waiting for another program
    }
  }
  return w.result;
}

// ---- the calling thread ----

struct CurrentHolder {
  std::shared_ptr<ThreadRecord> record;
  bool host = false;  // made here for a host thread: ended when the thread ends
  ~CurrentHolder() {
    if (record && host) EndThread(*record, 0);
  }
};
thread_local CurrentHolder t_current;

std::shared_ptr<ThreadRecord> MakeRecordLocked(Scheduler& s) {
  auto record = std::make_shared<ThreadRecord>(s.nextThreadId++);
  record->queue = std::make_shared<MessageQueue>();
  s.threads[record->id] = record;
  return record;
}

}  // namespace

ThreadRecord::ThreadRecord(DWORD threadId) : Waitable(HandleKind::Thread), id(threadId) {}

bool ThreadRecord::IsSignaledFor(ThreadRecord&) { return ended; }

std::unique_lock<std::mutex> LockScheduler() { return std::unique_lock<std::mutex>(S().lock); }

std::uint64_t ClockNowMsLocked() { return NowMsLocked(S()); }

ThreadRecord& CurrentThread() { return *CurrentThreadShared(); }

std::shared_ptr<ThreadRecord> CurrentThreadShared() {
  if (!t_current.record) {
    Scheduler& s = S();
    std::lock_guard guard(s.lock);
    auto record = MakeRecordLocked(s);
    if (::gettid() == ::getpid()) record->counted = true;  // the main thread counts from the start
    t_current.record = std::move(record);
    t_current.host = true;
  }
  return t_current.record;
}

void SetThreadSleeper(DWORD threadId, Sleeper* sleeper) {
  Scheduler& s = S();
  std::lock_guard guard(s.lock);
  const auto it = s.threads.find(threadId);
  if (it != s.threads.end()) it->second->sleeper = sleeper;
}

std::shared_ptr<ThreadRecord> FindThreadLocked(DWORD threadId) {
  Scheduler& s = S();
  const auto it = s.threads.find(threadId);
  return it == s.threads.end() ? nullptr : it->second;
}

std::shared_ptr<ThreadRecord> RegisterNewThread() {
  Scheduler& s = S();
  std::lock_guard guard(s.lock);
  auto record = MakeRecordLocked(s);
  record->counted = true;
  ++s.counted;
  s.pacing = false;
  return record;
}

void BindCurrentThread(std::shared_ptr<ThreadRecord> record) {
  t_current.record = std::move(record);
  t_current.host = false;
}

void EndThread(ThreadRecord& record, DWORD exitCode) {
  Scheduler& s = S();
  std::lock_guard guard(s.lock);
  if (record.ended) return;
  record.ended = true;
  // ExitThread and TerminateThread decide the code, even when a terminated
  // thread ran on to its end.
  record.exitCode = record.exiting || record.terminateRequested ? record.terminateCode : exitCode;
  const auto owned = std::move(record.owned);
  record.owned.clear();
  for (const auto& object : owned) object->OwnerEnded(record);
  if (record.queue) record.queue->CloseLocked();
  s.threads.erase(record.id);
  if (record.counted) {
    record.counted = false;
    --s.counted;
    s.settled.notify_all();
  }
  SignalLocked(record);
  MaybeAdvanceLocked(s);
}

DWORD WaitLocked(std::unique_lock<std::mutex>& lock, ThreadRecord& self, Waitable* const* objects, std::size_t count,
                 bool waitAll, DWORD timeoutMs) {
  Scheduler& s = S();
  CheckpointLocked(lock, self);
  Wait w;
  w.thread = &self;
  w.objects = objects;
  w.count = count;
  w.all = waitAll;
  if (TryComplete(w)) return w.result;
  if (timeoutMs == 0) return WAIT_TIMEOUT;
  if (timeoutMs != INFINITE) {
    w.hasDeadline = true;
    w.deadlineMs = NowMsLocked(s) + timeoutMs;
    w.deadlineReal = SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
  }
  const DWORD result = BlockLocked(lock, s, w);
  CheckpointLocked(lock, self);
  return result;
}

void SignalLocked(Waitable& object) {
  Scheduler& s = S();
  if (!object.GrantsOnSignal()) {
    for (Wait* w : object.waiters) {
      if (w->done) continue;
      if (!w->woken) {
        w->woken = true;
        --s.blocked;
        s.pacing = false;
        NotifyLocked(*w->thread);
      }
      return;
    }
    return;
  }
  const std::vector<Wait*> waiters = object.waiters;  // granting edits the list
  for (Wait* w : waiters) {
    if (!w->done && TryComplete(*w)) Complete(s, *w, w->result);
  }
}

void ResumeLocked(ThreadRecord& thread) {
  if (thread.suspendCount == 0 && thread.wait && thread.wait->parking) Complete(S(), *thread.wait, WAIT_OBJECT_0);
}

void RequestTerminateLocked(ThreadRecord& thread, DWORD exitCode) {
  if (thread.ended || thread.terminateRequested || thread.exiting) return;
  thread.terminateRequested = true;
  thread.terminateCode = exitCode;
  if (thread.wait) Complete(S(), *thread.wait, WAIT_FAILED);
}

void CheckpointLocked(std::unique_lock<std::mutex>& lock, ThreadRecord& self) {
  Scheduler& s = S();
  for (;;) {
    if (self.exiting) return;
    if (self.terminateRequested) {
      self.exiting = true;
      lock.unlock();
      // Unwinds the thread's stack; its start frame ends the record.
      ::pthread_exit(nullptr);
    }
    if (self.suspendCount <= 0) return;
    Wait park;
    park.thread = &self;
    park.parking = true;
    BlockLocked(lock, s, park);
  }
}

// ---- the clock's own state ----

std::uint64_t SystemTimeNow100ns() {
  Scheduler& s = S();
  std::lock_guard guard(s.lock);
  EnsureConfiguredLocked(s);
  if (!s.virtualMode) return RealSystemTime100ns();
  return s.virtualStartTime + (s.virtualNow - s.virtualStartTick) * 10000ull;
}

namespace clock {
namespace {

void ClockThreadMain() {
  Scheduler& s = S();
  std::unique_lock lock(s.lock);
  for (;;) {
    if (!s.ready.empty()) {
      WakeEntry entry = std::move(s.ready.front());
      s.ready.pop_front();
      s.runningWake = entry.id;
      lock.unlock();
      entry.callback();
      entry.callback = nullptr;  // whatever it holds goes outside the lock
      lock.lock();
      s.runningWake = 0;
      --s.firing;
      s.runningDone.notify_all();
      s.settled.notify_all();
      MaybeAdvanceLocked(s);
      continue;
    }
    if (!s.virtualMode && !s.pending.empty()) {
      std::uint64_t earliest = s.pending.front().due;
      for (const WakeEntry& e : s.pending) earliest = std::min(earliest, e.due);
      const std::uint64_t now = RealNowMs();
      if (earliest <= now) {
        MoveDueWakesLocked(s, now);
        continue;
      }
      s.clockCv.wait_for(lock, std::chrono::milliseconds(earliest - now));
      continue;
    }
    s.clockCv.wait(lock);
  }
}

void EnsureClockThreadLocked(Scheduler& s) {
  if (s.clockThreadStarted) return;
  s.clockThreadStarted = true;
  std::thread worker(ClockThreadMain);
  s.clockThreadId = worker.get_id();
  worker.detach();
}

}  // namespace

std::uint64_t NowMs() {
  Scheduler& s = S();
  std::lock_guard guard(s.lock);
  return NowMsLocked(s);
}

bool IsVirtual() {
  Scheduler& s = S();
  std::lock_guard guard(s.lock);
  EnsureConfiguredLocked(s);
  return s.virtualMode;
}

void UseVirtualClock(std::uint64_t startTickMs, std::uint64_t startSystemTime100ns) {
  Scheduler& s = S();
  std::lock_guard guard(s.lock);
  StartVirtualLocked(s, startTickMs, startSystemTime100ns);
}

void UseRealClock() {
  Scheduler& s = S();
  std::lock_guard guard(s.lock);
  s.configured = true;
  s.virtualMode = false;
  s.clockCv.notify_all();
  // Waits under way go by the host deadline they were given when they began.
  for (Wait* w : s.waits) {
    if (w->hasDeadline) NotifyLocked(*w->thread);
  }
}

void ReloadSettings() {
  Scheduler& s = S();
  std::lock_guard guard(s.lock);
  s.configured = false;
  s.virtualMode = false;
  EnsureConfiguredLocked(s);
  s.clockCv.notify_all();
}

void Advance(std::uint64_t ms) {
  ThreadRecord& self = CurrentThread();
  Scheduler& s = S();
  std::unique_lock lock(s.lock);
  EnsureConfiguredLocked(s);
  if (!s.virtualMode) {
    ce::kernel::Diagnostic("platform: clock::Advance needs the virtual clock");
    return;
  }
  const int running = self.counted ? 1 : 0;
  s.advancers += running;
  s.settled.notify_all();  // an advance under way may be waiting for this thread
  s.settled.wait(lock, [&] { return !s.advancing; });
  s.advancing = true;
  s.manualAdvance = true;
  const std::uint64_t target = s.virtualNow + ms;
  for (;;) {
    s.settled.wait(lock, [&] { return AllWaitingLocked(s, s.advancers); });
    const auto next = EarliestDueLocked(s);
    if (!next || *next > target) break;
    if (*next > s.virtualNow) s.virtualNow = *next;
    FireDueLocked(s);
  }
  s.virtualNow = std::max(s.virtualNow, target);
  s.settled.wait(lock, [&] { return AllWaitingLocked(s, s.advancers); });
  s.advancers -= running;
  s.advancing = false;
  s.manualAdvance = false;
  s.pacing = false;
  s.settled.notify_all();
}

WakeId ScheduleWake(std::uint64_t dueMs, std::function<void()> callback) {
  Scheduler& s = S();
  std::lock_guard guard(s.lock);
  EnsureConfiguredLocked(s);
  EnsureClockThreadLocked(s);
  const WakeId id = s.nextWakeId++;
  s.pending.push_back(WakeEntry{id, dueMs, std::move(callback)});
  MoveDueWakesLocked(s, NowMsLocked(s));
  s.clockCv.notify_all();
  MaybeAdvanceLocked(s);
  return id;
}

bool CancelWake(WakeId id) {
  Scheduler& s = S();
  std::unique_lock lock(s.lock);
  const auto pending =
      std::find_if(s.pending.begin(), s.pending.end(), [id](const WakeEntry& e) { return e.id == id; });
  if (pending != s.pending.end()) {
    std::function<void()> doomed = std::move(pending->callback);
    s.pending.erase(pending);
    lock.unlock();
    return true;
  }
  const auto ready = std::find_if(s.ready.begin(), s.ready.end(), [id](const WakeEntry& e) { return e.id == id; });
  if (ready != s.ready.end()) {
    std::function<void()> doomed = std::move(ready->callback);
    s.ready.erase(ready);
    --s.firing;
    s.settled.notify_all();
    MaybeAdvanceLocked(s);
    lock.unlock();
    return true;
  }
  if (s.runningWake == id && std::this_thread::get_id() != s.clockThreadId) {
    s.runningDone.wait(lock, [&] { return s.runningWake != id; });
  }
  return false;
}

}  // namespace clock
}  // namespace ce::kernel
