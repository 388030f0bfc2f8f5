// Worker threads, the recursive lock and the small synchronisation wrappers.
#pragma once

#include <cstdint>

#include "liba/nocopy.h"

namespace liba {

// A recursive lock whose platform record lives on the heap.
class CriticalSection : private Nocopy {
 public:
  CriticalSection();
  ~CriticalSection();
  void enter();
  // Enters only when no other thread holds the section; true when entered.
  bool try_enter();
  void leave();

 private:
  void* section_;
};

struct ThreadImpl {
  void* handle = nullptr;  // the platform thread handle; null while no thread exists
  std::uint32_t id = 0;
  bool waiting = false;  // wait() is blocked on the handle and will close it
};

// Base of the recorder's worker threads: derived classes supply run() and
// must request a stop and wait() before their own destructor finishes.
class Thread : private Nocopy {
 public:
  Thread();
  virtual ~Thread();

  // Starts run() on a new thread. False when a thread is still held or the
  // platform refuses.
  bool start();
  // Blocks until the thread has ended; returns at once when none was started.
  void wait();
  // Level -2..2 (clamped) from lowest to highest.
  bool set_priority(int level);
  std::uint32_t resume();
  std::uint32_t suspend();
  void request_stop() { stop_requested_ = 1; }
  bool is_stop_requested() const { return stop_requested_ != 0; }

  // Whether a thread handle is held (running, or ended but not yet cleared).
  bool has_thread() const;

 protected:
  virtual void run() = 0;

 private:
  friend struct ThreadProcedure;

  ThreadImpl impl_;
  // Guards the hand-over of the handle between the thread procedure, wait()
  // and start(), so that it is closed exactly once.
  CriticalSection* guard_;
  volatile std::uint8_t stop_requested_ = 0;
};

// Holds a critical section for one scope.
class Lock : private Nocopy {
 public:
  explicit Lock(CriticalSection& section) : section_(section) { section_.enter(); }
  ~Lock() { section_.leave(); }

 private:
  CriticalSection& section_;
};

void sleep(std::uint32_t ms);
std::int32_t atomic_increment(volatile std::int32_t* p);
std::int32_t atomic_decrement(volatile std::int32_t* p);

}  // namespace liba
