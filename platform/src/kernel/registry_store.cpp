#include "kernel/registry_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <pthread.h>

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "ce/strconv.h"
#include "ce/winerror.h"
#include "kernel/clock.h"
#include "kernel/debug_output.h"
#include "kernel/device.h"

namespace ce::kernel::registry {
namespace {

// The registry's files live in the runtime folder, which device paths never
// reach: a program cannot delete or overwrite them through the file calls.
constexpr const char* kFileName = "/registry.dat";
constexpr const char* kLockName = "/registry.lock";
constexpr const char* kTempSuffix = ".tmp";
// Far beyond anything the programs store; a bigger file is refused rather
// than read into memory.
constexpr off_t kMaxFileBytes = 64 * 1024 * 1024;

DWORD WriteErrorCode(int error) {
  return (error == ENOSPC || error == EDQUOT) ? ERROR_DISK_FULL : ERROR_REGISTRY_IO_FAILED;
}

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Merges a freshly read key into the live one: the live objects of keys that
// still exist are kept, keys that vanished are marked deleted.
void Merge(Key& live, Key& fresh) {
  live.values = std::move(fresh.values);
  std::vector<std::shared_ptr<Key>> merged;
  merged.reserve(fresh.subkeys.size());
  std::vector<bool> kept(live.subkeys.size(), false);
  for (auto& child : fresh.subkeys) {
    std::size_t match = live.subkeys.size();
    for (std::size_t i = 0; i < live.subkeys.size(); ++i) {
      if (!kept[i] && EqualsNoCase(live.subkeys[i]->name, child->name)) {
        match = i;
        break;
      }
    }
    if (match == live.subkeys.size()) {
      merged.push_back(std::move(child));
      continue;
    }
    kept[match] = true;
    auto& same = live.subkeys[match];
    same->name = child->name;
    Merge(*same, *child);
    merged.push_back(same);
  }
  for (std::size_t i = 0; i < live.subkeys.size(); ++i) {
    if (!kept[i]) Store::MarkDeleted(*live.subkeys[i]);
  }
  live.subkeys = std::move(merged);
}

// Wakes the write-back thread. The clock's wakes must not block, so the
// writing (which waits for the file lock and the disk) happens on a thread of
// its own; it is no platform thread, so the virtual clock never waits for it.
class WriteBackThread {
 public:
  static WriteBackThread& Instance() {
    static auto* thread = new WriteBackThread;  // never destroyed: it may run during exit
    return *thread;
  }

  void Kick() {
    std::lock_guard guard(lock_);
    kicked_ = true;
    if (!started_) {
      started_ = true;
      std::thread([this] { Run(); }).detach();
    }
    wake_.notify_one();
  }

 private:
  void Run() {
    for (;;) {
      {
        std::unique_lock guard(lock_);
        wake_.wait(guard, [this] { return kicked_; });
        kicked_ = false;
      }
      Store::Instance().FlushWhenDue();
    }
  }

  std::mutex lock_;
  std::condition_variable wake_;
  bool kicked_ = false;
  bool started_ = false;
};

bool IsEmptyFile(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size == 0;
}

// Earlier builds kept the registry in the device root itself. On the first
// start without a registry in the runtime folder, the old file moves there
// (a hard link first, so a file another process has just moved is never
// replaced), and the old lock and any half-written temporary file go.
void MoveFromRoot(const std::string& root, const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) == 0) return;
  const std::string old = root + kFileName;
  if (::lstat(old.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return;
  if (::link(old.c_str(), path.c_str()) == 0) {
    ::unlink(old.c_str());
  } else if (errno != EEXIST && ::rename(old.c_str(), path.c_str()) != 0) {
    ce::kernel::Diagnostic("registry: cannot move %s to %s: %s", old.c_str(), path.c_str(), std::strerror(errno));
    return;
  }
  ::unlink((old + kTempSuffix).c_str());
  if (IsEmptyFile(root + kLockName)) ::unlink((root + kLockName).c_str());
}

}  // namespace

WriteLock::~WriteLock() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

DWORD WriteLock::Acquire(const std::string& folder) {
  const std::string path = folder + kLockName;
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd_ < 0) {
    ce::kernel::Diagnostic("registry: cannot open the lock file %s: %s", path.c_str(), std::strerror(errno));
    return ERROR_REGISTRY_IO_FAILED;
  }
  while (::flock(fd_, LOCK_EX) != 0) {
    if (errno != EINTR) {
      ce::kernel::Diagnostic("registry: cannot lock %s: %s", path.c_str(), std::strerror(errno));
      return ERROR_REGISTRY_IO_FAILED;
    }
  }
  return ERROR_SUCCESS;
}

bool WriteLock::TryAcquire(const std::string& folder) {
  fd_ = ::open((folder + kLockName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd_ < 0) return false;
  if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) return true;
  ::close(fd_);
  fd_ = -1;
  return false;
}

Store* Store::g_store = nullptr;

Store& Store::Instance() {
  // Never destroyed: keys may be used during exit. The mutex is held across
  // fork(), so a child never starts with it taken by a thread it lacks. The
  // clock is set up first so that fork takes this mutex before the clock's
  // lock, the order a change that schedules its write-back takes them in.
  static Store* store = [] {
    (void)ce::kernel::clock::NowMs();
    g_store = new Store;
    ::pthread_atfork([] { g_store->mutex_.lock(); }, [] { g_store->mutex_.unlock(); },
                     [] { g_store->mutex_.unlock(); });
    return g_store;
  }();
  return *store;
}

bool Store::Stamp::operator==(const Stamp& other) const {
  return exists == other.exists && device == other.device && inode == other.inode && size == other.size &&
         modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec &&
         changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
}

void Store::MarkDeleted(Key& key) {
  key.deleted = true;
  for (auto& child : key.subkeys) MarkDeleted(*child);
}

void Store::Adopt(Roots fresh) {
  for (const Change& change : pending_) Apply(fresh, change);
  for (std::size_t i = 0; i < kRootCount; ++i) Merge(*roots_[i], *fresh[i]);
}

void Store::Prepare() {
  MoveFromRoot(ce::device::Root(), path_);
  // A writer killed between writing its temporary file and renaming it
  // leaves the file behind; it is removed while no writer can be at work.
  WriteLock lock;
  if (lock.TryAcquire(folder_)) ::unlink((path_ + kTempSuffix).c_str());
}

DWORD Store::Refresh() {
  const std::string folder = ce::device::RuntimeFolder();
  if (folder != folder_) {
    (void)FlushLocked();  // what was written to the old device goes to its own file
    pending_.clear();
    // Another device: the keys of the old one are gone for its handles.
    for (auto& root : roots_) MarkDeleted(*root);
    roots_ = MakeEmptyRoots();
    folder_ = folder;
    path_ = folder + kFileName;
    loaded_ = false;
    corrupt_ = false;
    stamp_ = Stamp{};
    Prepare();
  }
  return RefreshFile();
}

DWORD Store::RefreshFile() {
  struct stat info {};
  if (::stat(path_.c_str(), &info) != 0) {
    if (errno != ENOENT) {
      ce::kernel::Diagnostic("registry: cannot read %s: %s", path_.c_str(), std::strerror(errno));
      return ERROR_REGISTRY_IO_FAILED;
    }
    if (!loaded_ || stamp_.exists) {
      Adopt(MakeEmptyRoots());  // no file yet, or it was removed: an empty registry
      stamp_ = Stamp{};
      loaded_ = true;
      corrupt_ = false;
    }
    return ERROR_SUCCESS;
  }
  Stamp seen{true, info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
  if (loaded_ && seen == stamp_) return corrupt_ ? ERROR_REGISTRY_CORRUPT : ERROR_SUCCESS;
  return LoadFile();
}

DWORD Store::LoadFile() {
  const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return RefreshFile();  // replaced and removed in between: look again
    ce::kernel::Diagnostic("registry: cannot read %s: %s", path_.c_str(), std::strerror(errno));
    return ERROR_REGISTRY_IO_FAILED;
  }
  struct stat info {};
  std::string text;
  bool readOk = ::fstat(fd, &info) == 0;
  const Stamp seen{true, info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
  std::string fault;
  if (readOk && !S_ISREG(info.st_mode)) {
    fault = "not a regular file";
  } else if (readOk && info.st_size > kMaxFileBytes) {
    fault = "file larger than 64 MiB";
  } else if (readOk) {
    text.resize(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (readOk && done < text.size()) {
      const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        readOk = n == 0;  // a file that shrank while read is re-read on the next call
        break;
      }
      done += static_cast<std::size_t>(n);
    }
    text.resize(done);
  }
  const int readError = errno;
  ::close(fd);
  if (!readOk) {
    ce::kernel::Diagnostic("registry: cannot read %s: %s", path_.c_str(), std::strerror(readError));
    return ERROR_REGISTRY_IO_FAILED;
  }
  std::size_t line = 0;
  if (fault.empty()) {
    ParseResult parsed = ParseRegistryText(text);
    if (parsed.ok) {
      Adopt(std::move(parsed.roots));
      stamp_ = seen;
      loaded_ = true;
      corrupt_ = false;
      return ERROR_SUCCESS;
    }
    fault = parsed.reason;
    line = parsed.line;
  }
  // The tree keeps what it had, so handles survive a repair of the file.
  if (!(corrupt_ && stamp_ == seen)) {
    if (line != 0) {
      ce::kernel::Diagnostic("registry: %s:%zu: %s; every registry call fails until the file is repaired or removed",
                             path_.c_str(), line, fault.c_str());
    } else {
      ce::kernel::Diagnostic("registry: %s: %s; every registry call fails until the file is repaired or removed",
                             path_.c_str(), fault.c_str());
    }
  }
  stamp_ = seen;
  loaded_ = true;
  corrupt_ = true;
  return ERROR_REGISTRY_CORRUPT;
}

DWORD Store::Commit() {
  if (corrupt_) return ERROR_REGISTRY_CORRUPT;
  const std::string text = FormatRegistryText(roots_);
  const std::string temp = path_ + kTempSuffix;
  int error = 0;
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = errno;
  } else {
    if (!WriteAll(fd, text) || ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && ::rename(temp.c_str(), path_.c_str()) != 0) error = errno;
  }
  if (error != 0) {
    ::unlink(temp.c_str());
    ce::kernel::Diagnostic("registry: cannot write %s (the old file stays): %s", path_.c_str(), std::strerror(error));
    return WriteErrorCode(error);
  }
  // The rename is done; flushing the folder makes it survive a power cut.
  if (const int dir = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  struct stat info {};
  if (::stat(path_.c_str(), &info) == 0) {
    stamp_ = Stamp{true, info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
  } else {
    loaded_ = false;  // read it again next time
  }
  return ERROR_SUCCESS;
}

void Store::Record(Change change) {
  pending_.push_back(std::move(change));
  if (writeBackScheduled_) return;
  writeBackScheduled_ = true;
  static const bool atExit = std::atexit([] { (void)FlushPending(); }) == 0;
  (void)atExit;
  ce::kernel::clock::ScheduleWake(ce::kernel::clock::NowMs() + kWriteBackDelayMs,
                                  [] { WriteBackThread::Instance().Kick(); });
}

void Store::FlushWhenDue() {
  std::lock_guard guard(mutex_);
  writeBackScheduled_ = false;
  (void)FlushLocked();  // a failure stays pending for the next change, flush or exit
}

DWORD Store::FlushLocked() {
  if (pending_.empty()) return ERROR_SUCCESS;
  struct stat info {};
  if (::stat(folder_.c_str(), &info) != 0 && errno == ENOENT) {
    pending_.clear();  // the device was removed from under the process: nowhere to write
    return ERROR_SUCCESS;
  }
  WriteLock lock;
  if (const DWORD error = lock.Acquire(folder_)) return error;
  if (const DWORD error = RefreshFile()) return error;
  if (const DWORD error = Commit()) return error;
  pending_.clear();
  return ERROR_SUCCESS;
}

void Apply(Roots& roots, const Change& change) {
  Key* key = roots[change.root].get();
  const bool toParent = change.kind == Change::Kind::kDeleteKey;
  const std::size_t walk = change.path.size() - (toParent && !change.path.empty() ? 1 : 0);
  for (std::size_t i = 0; i < walk; ++i) {
    Key* child = FindSubkey(*key, change.path[i]);
    if (!child && change.kind == Change::Kind::kCreateKey) {
      auto made = std::make_shared<Key>();
      made->name = change.path[i];
      made->depth = key->depth + 1;
      child = made.get();
      key->subkeys.push_back(std::move(made));
    }
    if (!child) return;  // another process removed the key meanwhile
    key = child;
  }
  auto& values = key->values;
  switch (change.kind) {
    case Change::Kind::kSetValue:
      if (Value* existing = FindValue(*key, change.value.name)) {
        existing->type = change.value.type;
        existing->data = change.value.data;
      } else {
        values.push_back(change.value);
      }
      break;
    case Change::Kind::kDeleteValue:
      std::erase_if(values, [&](const Value& v) { return EqualsNoCase(v.name, change.value.name); });
      break;
    case Change::Kind::kCreateKey:
      break;
    case Change::Kind::kDeleteKey:
      if (change.path.empty()) break;
      std::erase_if(key->subkeys, [&](const auto& k) { return EqualsNoCase(k->name, change.path.back()); });
      break;
  }
}

DWORD FlushPending() {
  Store& store = Store::Instance();
  std::lock_guard guard(store.mutex());
  return store.FlushLocked();
}

}  // namespace ce::kernel::registry
