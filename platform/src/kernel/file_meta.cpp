#include "kernel/file_meta.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

#include "kernel/device.h"

namespace ce::kernel::fs {
namespace {

constexpr std::uint64_t kEpochDifference = 116444736000000000ull;  // 1601 to 1970 in 100 ns

// The table file: one line per file, "dev ino birth creation attributes".
struct Table {
  std::mutex lock;
  std::string path;
  timespec stamp{};
  off_t size = -1;
  ino_t ino = 0;
  std::map<FileKey, FileMeta> entries;
};

Table& TheTable() {
  static Table* table = new Table;
  return *table;
}

std::string TablePath() { return ce::device::RuntimeFolder() + "/file-meta"; }

void ReadTable(Table& table, const std::string& path) {
  struct stat st {};
  const bool present = ::stat(path.c_str(), &st) == 0;
  if (table.path == path && present && st.st_size == table.size && st.st_ino == table.ino &&
      st.st_mtim.tv_sec == table.stamp.tv_sec && st.st_mtim.tv_nsec == table.stamp.tv_nsec) {
    return;  // unchanged since last read
  }
  table.entries.clear();
  table.path = path;
  table.size = present ? st.st_size : -1;
  table.ino = present ? st.st_ino : 0;
  table.stamp = present ? st.st_mtim : timespec{};
  if (!present) return;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    FileKey key;
    FileMeta meta;
    if (fields >> key.dev >> key.ino >> key.birth >> meta.creation >> meta.attributes) table.entries[key] = meta;
  }
}

bool KeyOfStatx(const struct statx& sx, FileKey& key) {
  key.dev = (static_cast<std::uint64_t>(sx.stx_dev_major) << 32) | sx.stx_dev_minor;
  key.ino = sx.stx_ino;
  key.birth = (sx.stx_mask & STATX_BTIME)
                  ? static_cast<std::int64_t>(sx.stx_btime.tv_sec) * 1000000000 + sx.stx_btime.tv_nsec
                  : 0;
  return true;
}

}  // namespace

bool FileKey::operator<(const FileKey& other) const {
  if (dev != other.dev) return dev < other.dev;
  if (ino != other.ino) return ino < other.ino;
  return birth < other.birth;
}

bool KeyOfPath(const std::string& host, FileKey& key) {
  struct statx sx {};
  if (::statx(AT_FDCWD, host.c_str(), 0, STATX_INO | STATX_BTIME, &sx) != 0) return false;
  return KeyOfStatx(sx, key);
}

bool KeyOfFd(int fd, FileKey& key) {
  struct statx sx {};
  if (::statx(fd, "", AT_EMPTY_PATH, STATX_INO | STATX_BTIME, &sx) != 0) return false;
  return KeyOfStatx(sx, key);
}

std::optional<FileMeta> LoadMeta(const FileKey& key) {
  Table& table = TheTable();
  std::lock_guard guard(table.lock);
  ReadTable(table, TablePath());
  const auto it = table.entries.find(key);
  if (it == table.entries.end()) return std::nullopt;
  return it->second;
}

bool StoreMeta(const FileKey& key, const std::optional<FileMeta>& meta) {
  Table& table = TheTable();
  std::lock_guard guard(table.lock);
  const std::string path = TablePath();
  // Other processes of the device share the table: change it under a file
  // lock, from a fresh read, and replace it whole so a reader never sees
  // half a table.
  const int lockFd = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (lockFd < 0) return false;
  ::flock(lockFd, LOCK_EX);
  table.path.clear();
  ReadTable(table, path);
  if (!meta && table.entries.count(key) == 0) {
    ::flock(lockFd, LOCK_UN);
    ::close(lockFd);
    return true;  // nothing kept for this file
  }
  if (meta) {
    table.entries[key] = *meta;
  } else {
    table.entries.erase(key);
  }
  const std::string temp = path + ".new";
  bool ok = false;
  {
    std::ofstream out(temp, std::ios::trunc);
    for (const auto& [k, m] : table.entries) {
      out << k.dev << ' ' << k.ino << ' ' << k.birth << ' ' << m.creation << ' ' << m.attributes << '\n';
    }
    out.flush();
    ok = static_cast<bool>(out);
  }
  if (ok) ok = ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  table.path.clear();  // read again next time
  ::flock(lockFd, LOCK_UN);
  ::close(lockFd);
  return ok;
}

std::uint64_t FileTimeFromTimespec(const struct timespec& ts) {
  if (ts.tv_sec < 0) return kEpochDifference;
  return kEpochDifference + static_cast<std::uint64_t>(ts.tv_sec) * 10000000ull +
         static_cast<std::uint64_t>(ts.tv_nsec) / 100;
}

struct timespec TimespecFromFileTime(std::uint64_t value) {
  timespec ts{};
  if (value <= kEpochDifference) return ts;  // before 1970: the host's epoch
  const std::uint64_t since = value - kEpochDifference;
  ts.tv_sec = static_cast<time_t>(since / 10000000ull);
  ts.tv_nsec = static_cast<long>((since % 10000000ull) * 100);
  return ts;
}

std::uint64_t CreationTime(const FileKey& key, const struct stat& st) {
  if (const auto meta = LoadMeta(key); meta && meta->creation != 0) return meta->creation;
  if (key.birth > 0) {
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(key.birth / 1000000000);
    ts.tv_nsec = static_cast<long>(key.birth % 1000000000);
    return FileTimeFromTimespec(ts);
  }
  return FileTimeFromTimespec(st.st_mtim);
}

}  // namespace ce::kernel::fs
