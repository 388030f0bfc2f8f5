// The registry of this process, kept in step with "registry.dat" in the
// device's runtime folder (".runtime" below the root, out of reach of device
// paths), which every process of the device shares. A registry file an
// earlier build left in the root moves there on the first start, and a
// temporary file a killed writer left is removed.
//
// Reading: before each call the file's identity (device, inode, size, times)
// is compared with the one last read; when another process replaced it, the
// file is read again and merged into the tree, so keys that still exist keep
// their objects (and open handles) and keys that vanished are marked deleted.
//
// Writing: a change is made in the tree at once and noted in a list of
// pending changes, by the path of its key. The file is written back later,
// in one go: kWriteBackDelayMs after the first pending change (on the
// platform clock, virtual or not), on RegFlushKey, when the process's last
// key handle closes, before anything that lets another program act on what
// this one wrote (a message to another program's window, starting a
// program, releasing a named mutex) and at exit. Writing back takes an
// exclusive lock on "registry.lock", reads the file again if another
// process replaced it (the pending changes are made again on what it
// wrote, so the last one written wins), and writes the whole tree to a
// temporary file that is flushed and renamed over the old one, then the
// folder is flushed. A crash leaves either the old or the new file and loses
// at most the changes of the last kWriteBackDelayMs. A failed write leaves
// the old file and keeps the changes pending for the next attempt. A
// corrupt file is reported on standard error once and refused
// (ERROR_REGISTRY_CORRUPT) until it changes; it is never overwritten.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <mutex>
#include <string>
#include <vector>

#include "kernel/registry_format.h"

namespace ce::kernel::registry {

// Long enough to gather the writes of a dialog's Done into one file write,
// short enough that little is lost when the process is killed.
inline constexpr std::uint64_t kWriteBackDelayMs = 100;

// A change made in the tree and not yet written back, by the path of its key
// below its root, so it can be made again on a tree another process wrote.
struct Change {
  enum class Kind { kSetValue, kDeleteValue, kCreateKey, kDeleteKey };
  Kind kind = Kind::kSetValue;
  std::size_t root = 0;
  std::vector<std::wstring> path;  // the key changed; for kCreateKey and kDeleteKey the key made or removed
  Value value;                     // kSetValue: the value; kDeleteValue: its name
};

// Makes a change again on a tree: a value of a key that no longer exists is
// dropped, a key to make is made with its missing parents.
void Apply(Roots& roots, const Change& change);

// Holds the cross-process write lock of a runtime folder while it lives.
class WriteLock {
 public:
  WriteLock() = default;
  ~WriteLock();
  WriteLock(const WriteLock&) = delete;
  WriteLock& operator=(const WriteLock&) = delete;

  // ERROR_SUCCESS once the lock is held.
  DWORD Acquire(const std::string& folder);
  // Takes the lock only if no one holds it.
  bool TryAcquire(const std::string& folder);

 private:
  int fd_ = -1;
};

class Store {
 public:
  static Store& Instance();

  // Every use of the tree happens under this mutex.
  std::mutex& mutex() { return mutex_; }

  // Brings the tree up to date with the file of the current device:
  // ERROR_SUCCESS, ERROR_REGISTRY_CORRUPT or ERROR_REGISTRY_IO_FAILED. The
  // pending changes of a device left behind are written back first.
  DWORD Refresh();

  const std::shared_ptr<Key>& Root(std::size_t index) const { return roots_[index]; }

  // Notes a change the caller has just made in the tree (after a refresh);
  // it is written back within kWriteBackDelayMs.
  void Record(Change change);

  // Writes the pending changes back: ERROR_SUCCESS when there are none or
  // once they are in the file; otherwise the file is unchanged and they stay
  // pending. The caller holds the mutex.
  DWORD FlushLocked();

  // Marks a key and everything below it as deleted.
  static void MarkDeleted(Key& key);

  // Runs FlushLocked when the write-back delay has passed (the write-back
  // thread).
  void FlushWhenDue();

 private:
  struct Stamp {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};
    bool operator==(const Stamp& other) const;
  };

  // Takes a tree read from the file, with the pending changes made again.
  void Adopt(Roots fresh);
  // First use of a device: moves an old file in, removes a stale temporary.
  void Prepare();
  DWORD RefreshFile();
  DWORD LoadFile();
  // Writes the whole tree; the caller holds a WriteLock and refreshed under it.
  DWORD Commit();

  static Store* g_store;
  std::mutex mutex_;
  std::string folder_;  // runtime folder of the device the tree belongs to
  std::string path_;
  Roots roots_ = MakeEmptyRoots();
  bool loaded_ = false;
  bool corrupt_ = false;
  Stamp stamp_;
  std::vector<Change> pending_;  // in the order they were made
  bool writeBackScheduled_ = false;
};

// Writes this process's pending registry changes back now (see Store).
DWORD FlushPending();

}  // namespace ce::kernel::registry
