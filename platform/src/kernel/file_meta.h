// What the host's file systems do not keep for a device file: its creation
// time and the attributes beyond read-only (hidden, system, archive). They are
// kept in a side table in the device's runtime folder, keyed by the host
// file's device, inode and birth time, so a record follows renames and moves
// within one host file system, survives reopening and other processes see
// it; a file that is copied or moved across file systems gets a new record.
// Read-only is the host's own write permission, so it shows on the host too.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <optional>
#include <string>

#include "ce/minwindef.h"

namespace ce::kernel::fs {

struct FileMeta {
  std::uint64_t creation = 0;  // FILETIME units; 0: none kept
  DWORD attributes = 0;        // FILE_ATTRIBUTE_HIDDEN | SYSTEM | ARCHIVE (| READONLY for folders)
};

// The host identity of an open or named file.
struct FileKey {
  std::uint64_t dev = 0;
  std::uint64_t ino = 0;
  std::int64_t birth = 0;  // host birth time in ns, 0 when the host has none
  bool operator<(const FileKey& other) const;
};

bool KeyOfPath(const std::string& host, FileKey& key);
bool KeyOfFd(int fd, FileKey& key);

std::optional<FileMeta> LoadMeta(const FileKey& key);
// Stores (or with nullopt forgets) the record; false when the table cannot be written.
bool StoreMeta(const FileKey& key, const std::optional<FileMeta>& meta);

// The creation time to report: the kept one, else the host's birth time,
// else its modification time.
std::uint64_t CreationTime(const FileKey& key, const struct stat& st);

std::uint64_t FileTimeFromTimespec(const struct timespec& ts);
struct timespec TimespecFromFileTime(std::uint64_t value);

}  // namespace ce::kernel::fs
