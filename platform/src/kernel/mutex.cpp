// Mutexes. A named mutex is shared with the other programs on the device
// through two lock files in the runtime folder:
//   "mutex-<name>.lock": held exclusively (flock) while a thread of some
//     program owns the mutex, so the host releases it when that program dies;
//   "mutex-<name>.open": held shared by every program that has the mutex
//     open, so a creator can tell whether the name already exists.
// A thread of another program cannot signal us, so waits on a named mutex
// look at the lock file again every few milliseconds.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "ce/strconv.h"
#include "ce/winbase.h"
#include "kernel/device.h"
#include "kernel/registry_store.h"
#include "kernel/sync_objects.h"

namespace ce::kernel {
namespace {

// Host file names stay well below NAME_MAX; longer names end in a hash.
constexpr std::size_t kMaxEncodedName = 160;

std::string EncodeName(const std::wstring& name) {
  const std::string utf8 = Utf8FromWide(name);
  std::string encoded;
  for (unsigned char c : utf8) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-') {
      encoded += static_cast<char>(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      encoded += hex;
    }
  }
  if (encoded.size() > kMaxEncodedName) {
    std::uint64_t hash = 1469598103934665603ull;  // FNV-1a
    for (unsigned char c : utf8) hash = (hash ^ c) * 1099511628211ull;
    char tail[24];
    std::snprintf(tail, sizeof tail, "~%016llx", static_cast<unsigned long long>(hash));
    encoded = encoded.substr(0, kMaxEncodedName - 17) + tail;
  }
  return encoded;
}

class NamedMutex final : public MutexObject {
 public:
  NamedMutex(int lockFd, int openFd) : MutexObject(true), lockFd_(lockFd), openFd_(openFd) {}
  ~NamedMutex() override {
    ::close(lockFd_);
    ::close(openFd_);
  }

  bool NeedsPolling() const override { return true; }
  bool WaitsForOtherProgram() const override { return !IsOwnedLocked(); }
  void Relinquish() override {
    if (!IsOwnedLocked()) ProgramReleased();
  }

 protected:
  bool ProgramMayTake() override {
    if (!fileHeld_) fileHeld_ = ::flock(lockFd_, LOCK_EX | LOCK_NB) == 0;
    return fileHeld_;
  }
  void ProgramReleased() override {
    if (fileHeld_) ::flock(lockFd_, LOCK_UN);
    fileHeld_ = false;
  }

 private:
  int lockFd_;
  int openFd_;
  bool fileHeld_ = false;
};

int OpenLockFile(const std::string& path) { return ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666); }

}  // namespace

bool MutexObject::IsSignaledFor(ThreadRecord& thread) {
  if (owner_ != 0) return owner_ == thread.id;
  return ProgramMayTake();
}

void MutexObject::Acquire(ThreadRecord& thread) {
  if (owner_ == 0) {
    owner_ = thread.id;
    if (tracksOwner_) thread.owned.push_back(shared_from_this());
  }
  ++recursion_;
}

void MutexObject::FreeLocked() {
  owner_ = 0;
  recursion_ = 0;
  ProgramReleased();
  SignalLocked(*this);
}

bool MutexObject::ReleaseLocked(ThreadRecord& thread) {
  if (owner_ != thread.id || recursion_ <= 0) return false;
  if (--recursion_ > 0) return true;
  if (tracksOwner_) {
    auto& owned = thread.owned;
    for (auto it = owned.begin(); it != owned.end(); ++it) {
      if (it->get() == this) {
        owned.erase(it);
        break;
      }
    }
  }
  FreeLocked();
  return true;
}

void MutexObject::OwnerEnded(ThreadRecord& thread) {
  // The next waiter takes it as an ordinary release (no WAIT_ABANDONED).
  if (owner_ == thread.id) FreeLocked();
}

}  // namespace ce::kernel

namespace {

HANDLE OpenNamedMutex(const std::wstring& name, bool initialOwner) {
  using namespace ce::kernel;
  const std::string base = ce::device::RuntimeFolder() + "/mutex-" + EncodeName(name);
  // The file work happens before the scheduler lock is taken, since taking
  // the shared lock may wait a moment for another program's probe.
  const int openFd = OpenLockFile(base + ".open");
  const int lockFd = openFd < 0 ? -1 : OpenLockFile(base + ".lock");
  if (openFd < 0 || lockFd < 0) {
    if (openFd >= 0) ::close(openFd);
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  // Nobody else has it open when an exclusive lock is free; then hold it shared.
  const bool openElsewhere = ::flock(openFd, LOCK_EX | LOCK_NB) != 0;
  ::flock(openFd, LOCK_SH);
  ThreadRecord& self = CurrentThread();
  auto lock = LockScheduler();
  if (auto existing = FindNamedLocked(name)) {
    ::close(lockFd);
    ::close(openFd);
    if (existing->kind() != HandleKind::Mutex) {
      SetLastError(ERROR_INVALID_HANDLE);
      return nullptr;
    }
    HANDLE handle = InsertHandle(existing);
    if (handle) SetLastError(ERROR_ALREADY_EXISTS);
    return handle;
  }
  auto mutex = std::make_shared<NamedMutex>(lockFd, openFd);
  HANDLE handle = InsertHandle(mutex);
  if (!handle) return nullptr;
  AddNamedLocked(name, mutex);
  // As on the device, an existing mutex is opened without taking it.
  if (initialOwner && !openElsewhere && mutex->IsSignaledFor(self)) mutex->Acquire(self);
  SetLastError(openElsewhere ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

}  // namespace

HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES, BOOL initialOwner, LPCWSTR name) {
  const std::wstring key = name ? name : L"";
  if (key.size() > MAX_PATH) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return nullptr;
  }
  if (!key.empty()) return OpenNamedMutex(key, initialOwner != FALSE);
  ce::kernel::ThreadRecord& self = ce::kernel::CurrentThread();
  auto lock = ce::kernel::LockScheduler();
  auto mutex = std::make_shared<ce::kernel::MutexObject>(true);
  HANDLE handle = ce::kernel::InsertHandle(mutex);
  if (!handle) return nullptr;
  if (initialOwner) mutex->Acquire(self);
  SetLastError(ERROR_SUCCESS);
  return handle;
}

BOOL ReleaseMutex(HANDLE mutex) {
  const auto object = ce::kernel::LookupHandleAs<ce::kernel::MutexObject>(mutex, ce::kernel::HandleKind::Mutex);
  if (!object) return FALSE;
  // Another program may go on the moment it takes the mutex: what this one
  // wrote to the registry is in the file first.
  if (dynamic_cast<ce::kernel::NamedMutex*>(object.get())) (void)ce::kernel::registry::FlushPending();
  ce::kernel::ThreadRecord& self = ce::kernel::CurrentThread();
  auto lock = ce::kernel::LockScheduler();
  if (!object->ReleaseLocked(self)) {
    SetLastError(ERROR_NOT_OWNER);
    return FALSE;
  }
  return TRUE;
}
