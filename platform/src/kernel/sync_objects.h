// The waitable objects behind event and mutex handles and critical sections,
// and the names that events and mutexes share within the program.
#pragma once

#include <memory>
#include <string>

#include "kernel/wait.h"

namespace ce::kernel {

class EventObject final : public Waitable {
 public:
  EventObject(bool manualReset, bool signaled)
      : Waitable(HandleKind::Event), manualReset_(manualReset), signaled_(signaled) {}

  bool IsSignaledFor(ThreadRecord&) override { return signaled_; }
  void Acquire(ThreadRecord&) override {
    if (!manualReset_) signaled_ = false;
  }

  // EVENT_SET, EVENT_RESET or EVENT_PULSE; false for another value.
  bool ModifyLocked(DWORD function);

 private:
  bool manualReset_;
  bool signaled_;
};

// A recursive lock owned by a thread. Mutex handles track their owner so
// that the lock passes on when the owner ends; critical sections do not.
class MutexObject : public Waitable, public std::enable_shared_from_this<MutexObject> {
 public:
  explicit MutexObject(bool tracksOwner) : Waitable(HandleKind::Mutex), tracksOwner_(tracksOwner) {}

  bool IsSignaledFor(ThreadRecord& thread) override;
  void Acquire(ThreadRecord& thread) override;
  bool GrantsOnSignal() const override { return tracksOwner_; }
  void OwnerEnded(ThreadRecord& thread) override;
  // False when the thread does not own it.
  bool ReleaseLocked(ThreadRecord& thread);

 protected:
  bool IsOwnedLocked() const { return owner_ != 0; }
  // Whether this program may take the lock when no thread of it owns it.
  virtual bool ProgramMayTake() { return true; }
  // Called when no thread of the program owns it any more.
  virtual void ProgramReleased() {}

 private:
  void FreeLocked();

  bool tracksOwner_;
  DWORD owner_ = 0;
  LONG recursion_ = 0;
};

// The named objects of the program, by exact name (lock held). Expired
// entries are forgotten as they are met.
std::shared_ptr<Waitable> FindNamedLocked(const std::wstring& name);
void AddNamedLocked(const std::wstring& name, const std::shared_ptr<Waitable>& object);

}  // namespace ce::kernel
