// The message queue every platform thread has from its creation (a host
// thread, the main thread among them, gets its queue on its first platform
// call). It is a waitable object of the scheduler: GetMessageW blocks in the
// scheduler's one wait until the queue has a message for its filter.
//
// What a retrieval looks at, in order:
//   1. the retrieval hook (outside the scheduler lock): the window layer
//      delivers the messages sent to the thread's windows from it;
//   2. posted messages, oldest first (PostThreadMessageW, and the window
//      layer's posted and input messages through PostLocked);
//   3. the quit request of PostQuitMessage, once the posted ones are gone;
//   4. the sources, in the order added: messages made when asked for (paint,
//      timers), which the window layer adds with AddSourceLocked.
// A source or a sender that becomes ready calls WakeLocked so that a waiting
// owner looks again. The queue is closed when its thread ends: posts fail.
#pragma once

#include <deque>
#include <memory>
#include <vector>

#include "ce/winuser.h"
#include "kernel/wait.h"

namespace ce::kernel {

// The hwnd and range filter of GetMessageW and PeekMessageW.
struct MessageFilter {
  HWND hwnd = nullptr;  // null: every message; (HWND)-1: thread messages only
  UINT min = 0;         // min and max both 0: every message number
  UINT max = 0;

  bool MatchesRange(UINT message) const;
  bool Matches(const MSG& msg) const;
};

class MessageQueue final : public Waitable {
 public:
  // Messages made on demand. Every member runs under the scheduler lock.
  class Source {
   public:
    virtual ~Source() = default;
    // Whether a message for the filter is ready; copies it to *out, and
    // consumes it when remove is set.
    virtual bool TakeLocked(const MessageFilter& filter, bool remove, MSG* out) = 0;
  };

  MessageQueue() : Waitable(HandleKind::Other) {}

  // Scheduler lock held for every call below.
  bool IsSignaledFor(ThreadRecord& thread) override;
  void Acquire(ThreadRecord& thread) override;

  // Appends a message and wakes a waiting owner; false when closed.
  bool PostLocked(const MSG& msg);
  void PostQuitLocked(int exitCode);
  // Takes back a quit request not yet retrieved; false when there is none.
  bool WithdrawQuitLocked();
  // The first message for the filter in retrieval order (sources included).
  bool TakeLocked(const MessageFilter& filter, bool remove, MSG* out);
  // The filter of the owner's coming wait (GetMessageW).
  void SetWaitFilterLocked(const MessageFilter& filter) { waitFilter_ = filter; }
  void AddSourceLocked(std::shared_ptr<Source> source);
  void RemoveSourceLocked(const Source* source);
  // Makes a waiting owner look at the queue again.
  void WakeLocked();
  void CloseLocked();
  bool closedLocked() const { return closed_; }

 private:
  std::deque<MSG> posted_;
  bool quitPending_ = false;
  int quitCode_ = 0;
  std::vector<std::shared_ptr<Source>> sources_;
  MessageFilter waitFilter_;
  bool wakeRequested_ = false;
  bool closed_ = false;
};

// Called before every look at the calling thread's queue, outside the
// scheduler lock; null for none. Installed once by the window layer.
using RetrievalHook = void (*)();
void SetRetrievalHook(RetrievalHook hook);

}  // namespace ce::kernel
