// The scheduler: the one blocking primitive every platform wait goes through
// (Sleep, WaitFor..., GetMessageW, critical sections, suspension), the
// records of the platform's threads, and the bookkeeping the virtual clock
// needs to know when every thread waits.
//
// One lock guards the state of every waitable object, every thread record
// and the clock. A waitable object is granted to its waiters at the moment it
// is signalled (first come, first served), so a pulse releases exactly the
// threads that wait at that moment and an auto-reset event wakes one.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "ce/kernel/sync.h"
#include "kernel/handles.h"

namespace ce::kernel {

class ThreadRecord;
class MessageQueue;
struct Wait;

// Takes the scheduler lock.
std::unique_lock<std::mutex> LockScheduler();

// The clock's milliseconds (clock::NowMs) with the scheduler lock held.
std::uint64_t ClockNowMsLocked();

// Something a thread can wait for. Every member runs under the scheduler lock.
class Waitable : public KernelObject {
 public:
  explicit Waitable(HandleKind kind) : KernelObject(kind) {}

  // Whether a wait by this thread would be satisfied now.
  virtual bool IsSignaledFor(ThreadRecord& thread) = 0;
  // Takes the object for the thread once its wait is granted: an auto-reset
  // event resets, a mutex becomes owned.
  virtual void Acquire(ThreadRecord& thread) { (void)thread; }
  // A wait-all probe answered true but the wait was not granted.
  virtual void Relinquish() {}
  // State that changes without a signal from this program (a named mutex
  // held by another program): its waiters look again every few milliseconds.
  virtual bool NeedsPolling() const { return false; }
  // Whether, as things stand, only another program can end a wait on this
  // object (another program's process, a named mutex no thread of this
  // program owns). Such a wait keeps the program from being idle: the
  // virtual clock does not jump past it but runs with the host's time.
  virtual bool WaitsForOtherProgram() const { return false; }
  // False for a lock that a running thread may take before a woken waiter
  // does (critical sections): a signal then only wakes the first waiter to
  // try again, which avoids handing the lock round in a convoy.
  virtual bool GrantsOnSignal() const { return true; }
  // The thread ended while owning this object.
  virtual void OwnerEnded(ThreadRecord& thread) { (void)thread; }

  // The waits blocked on this object, oldest first (scheduler only).
  std::vector<Wait*> waiters;
};

// Where a thread sleeps when it blocks, instead of its condition variable:
// the window thread of the desktop back end sleeps in the host's event
// wait, so the host's input wakes it as well as the platform does, and an
// idle program needs no polling. Sleep is called and returns with the
// scheduler lock held and may return early; Wake is called with the lock
// held whenever the thread is told to look again.
class Sleeper {
 public:
  virtual ~Sleeper() = default;
  virtual void Sleep(std::unique_lock<std::mutex>& lock, ThreadRecord& self,
                     std::chrono::steady_clock::time_point until) = 0;
  virtual void Wake() = 0;
};

// A thread the platform knows: made by CreateThread, or a host thread (the
// main thread among them) that called the platform. It is the waitable
// object of the thread's handle, signalled when the thread ends.
class ThreadRecord final : public Waitable {
 public:
  explicit ThreadRecord(DWORD threadId);
  bool IsSignaledFor(ThreadRecord& thread) override;

  const DWORD id;
  std::condition_variable wake;
  Sleeper* sleeper = nullptr;  // where it sleeps instead of `wake`, if anywhere
  Wait* wait = nullptr;        // the wait it is blocked in
  bool counted = false;        // counts as a platform thread for the virtual clock
  bool ended = false;
  DWORD exitCode = STILL_ACTIVE;
  LONG suspendCount = 0;
  int cePriority = CE_THREAD_PRIO_256_NORMAL;
  bool terminateRequested = false;
  DWORD terminateCode = 0;
  bool exiting = false;                          // on its way out: waits no longer end it
  std::vector<std::shared_ptr<Waitable>> owned;  // mutexes it owns
  std::shared_ptr<MessageQueue> queue;
};

// The calling thread's record; a host thread gets one on first use. Must not
// be called with the scheduler lock held.
ThreadRecord& CurrentThread();
std::shared_ptr<ThreadRecord> CurrentThreadShared();
// A live thread by id, or null (lock held).
std::shared_ptr<ThreadRecord> FindThreadLocked(DWORD threadId);

// A thread handle (or the current thread's pseudo handle), and any handle a
// thread can wait for; null with ERROR_INVALID_HANDLE otherwise.
std::shared_ptr<ThreadRecord> ResolveThread(HANDLE handle);
std::shared_ptr<Waitable> ResolveWaitable(HANDLE handle);

// Creates the record of a thread about to be started by CreateThread; it
// counts as a running platform thread from now on.
std::shared_ptr<ThreadRecord> RegisterNewThread();
// Binds the calling host thread to a record made by RegisterNewThread.
void BindCurrentThread(std::shared_ptr<ThreadRecord> record);
// Ends a thread: records its exit code (the one given to ExitThread or
// TerminateThread if any, else exitCode), gives up what it owns, closes its
// queue, signals its handle.
void EndThread(ThreadRecord& record, DWORD exitCode);

// Waits until the objects allow it (one of them, or all), or the time-out
// passes. Called with the scheduler lock held, by the thread `self` (from
// CurrentThread()); the lock is held again on return. Returns
// WAIT_OBJECT_0 + index or WAIT_TIMEOUT. With no objects it only sleeps.
// A termination or suspension requested for the thread takes effect here.
DWORD WaitLocked(std::unique_lock<std::mutex>& lock, ThreadRecord& self, Waitable* const* objects, std::size_t count,
                 bool waitAll, DWORD timeoutMs);

// Sets (or, with null, clears) where a thread sleeps; the sleeper lives as
// long as the process.
void SetThreadSleeper(DWORD threadId, Sleeper* sleeper);

// Grants the object to the waits it can now satisfy, after its state changed.
void SignalLocked(Waitable& object);

// Suspension and termination of another thread (lock held).
void ResumeLocked(ThreadRecord& thread);
void RequestTerminateLocked(ThreadRecord& thread, DWORD exitCode);

// Acts on a pending termination or suspension of the calling thread.
void CheckpointLocked(std::unique_lock<std::mutex>& lock, ThreadRecord& self);

}  // namespace ce::kernel
