#include "kernel/open_files.h"

#include <map>
#include <mutex>

#include "ce/kernel/file.h"

namespace ce::kernel::fs {
namespace {

struct Entry {
  FileKey key;
  DWORD access;
  DWORD share;
};

struct Registry {
  std::mutex lock;
  std::uint64_t next = 1;
  std::map<std::uint64_t, Entry> entries;
};

Registry& TheRegistry() {
  static Registry* registry = new Registry;
  return *registry;
}

bool SameFile(const FileKey& a, const FileKey& b) { return a.dev == b.dev && a.ino == b.ino; }

bool Conflicts(const Entry& held, DWORD access, DWORD share) {
  if ((access & GENERIC_READ) && !(held.share & FILE_SHARE_READ)) return true;
  if ((access & GENERIC_WRITE) && !(held.share & FILE_SHARE_WRITE)) return true;
  if ((held.access & GENERIC_READ) && !(share & FILE_SHARE_READ)) return true;
  if ((held.access & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE)) return true;
  return false;
}

}  // namespace

std::uint64_t AdmitOpen(const FileKey& key, DWORD access, DWORD share) {
  Registry& registry = TheRegistry();
  std::lock_guard guard(registry.lock);
  for (const auto& [token, held] : registry.entries) {
    if (SameFile(held.key, key) && Conflicts(held, access, share)) return 0;
  }
  const std::uint64_t token = registry.next++;
  registry.entries[token] = Entry{key, access, share};
  return token;
}

void ForgetOpen(std::uint64_t token) {
  Registry& registry = TheRegistry();
  std::lock_guard guard(registry.lock);
  registry.entries.erase(token);
}

bool OpenForbids(const FileKey& key, DWORD access, bool deleting) {
  Registry& registry = TheRegistry();
  std::lock_guard guard(registry.lock);
  for (const auto& [token, held] : registry.entries) {
    if (!SameFile(held.key, key)) continue;
    if (deleting && !(held.share & FILE_SHARE_DELETE)) return true;
    if ((access & GENERIC_READ) && !(held.share & FILE_SHARE_READ)) return true;
    if ((access & GENERIC_WRITE) && !(held.share & FILE_SHARE_WRITE)) return true;
  }
  return false;
}

}  // namespace ce::kernel::fs
