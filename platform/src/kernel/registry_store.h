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
// Writing: under an exclusive lock on "registry.lock" the tree is refreshed,
// changed, and written whole to a temporary file that is flushed and renamed
// over the old one, then the folder is flushed. A crash leaves either the old
// or the new file; a failed write leaves the old file and the caller undoes
// its change. A corrupt file is reported on standard error once and refused
// (ERROR_REGISTRY_CORRUPT) until it changes; it is never overwritten.
#pragma once

#include <sys/types.h>

#include <ctime>
#include <mutex>
#include <string>

#include "kernel/registry_format.h"

namespace ce::kernel::registry {

// Holds the cross-process write lock while it lives.
class WriteLock {
 public:
  WriteLock() = default;
  ~WriteLock();
  WriteLock(const WriteLock&) = delete;
  WriteLock& operator=(const WriteLock&) = delete;

  // ERROR_SUCCESS once the lock is held.
  DWORD Acquire();
  // Takes the lock only if no one holds it.
  bool TryAcquire();

 private:
  int fd_ = -1;
};

class Store {
 public:
  static Store& Instance();

  // Every use of the tree happens under this mutex.
  std::mutex& mutex() { return mutex_; }

  // Brings the tree up to date with the file: ERROR_SUCCESS,
  // ERROR_REGISTRY_CORRUPT or ERROR_REGISTRY_IO_FAILED. `lockHeld`: the
  // caller holds a WriteLock.
  DWORD Refresh(bool lockHeld = false);

  const std::shared_ptr<Key>& Root(std::size_t index) const { return roots_[index]; }

  // Writes the whole tree; the caller holds a WriteLock and refreshed under
  // it. On failure the file is unchanged and the caller must undo its change.
  DWORD Commit();

  // Marks a key and everything below it as deleted.
  static void MarkDeleted(Key& key);

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

  void Adopt(Roots fresh);
  // First use of a device: moves an old file in, removes a stale temporary.
  void Prepare(bool lockHeld);
  DWORD LoadFile();

  std::mutex mutex_;
  std::string folder_;  // runtime folder of the device the tree belongs to
  std::string path_;
  Roots roots_ = MakeEmptyRoots();
  bool loaded_ = false;
  bool corrupt_ = false;
  Stamp stamp_;
};

}  // namespace ce::kernel::registry
