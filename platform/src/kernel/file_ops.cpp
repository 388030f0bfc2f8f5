// Calls on files and folders by name: delete, move, copy, folders and
// attributes.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "ce/strconv.h"
#include "ce/winbase.h"
#include "kernel/clock.h"
#include "kernel/device_path.h"
#include "kernel/file_info.h"
#include "kernel/file_meta.h"
#include "kernel/open_files.h"
#include "kernel/volume.h"

namespace ce::kernel::fs {
namespace {

constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

// Resolves a name that must exist; 0 or the error to report.
DWORD ResolveExisting(LPCWSTR name, Resolved& out) {
  if (const DWORD error = Resolve(name, out)) return error;
  return out.exists ? 0 : ERROR_FILE_NOT_FOUND;
}

std::string ParentOf(const std::string& host) { return host.substr(0, host.rfind('/')); }

// A sibling name for work in progress, in the folder the result will live in.
std::string TempSibling(const std::string& folder) {
  static std::atomic<unsigned> counter{0};
  return folder + "/.ce-partial-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

std::uint64_t TreeSize(const std::string& host) {
  struct stat st {};
  if (::lstat(host.c_str(), &st) != 0) return 0;
  if (!S_ISDIR(st.st_mode)) return static_cast<std::uint64_t>(st.st_size);
  std::uint64_t total = 0;
  if (DIR* dir = ::opendir(host.c_str())) {
    while (const dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") total += TreeSize(host + "/" + name);
    }
    ::closedir(dir);
  }
  return total;
}

void RemoveTree(const std::string& host) {
  struct stat st {};
  if (::lstat(host.c_str(), &st) != 0) return;
  FileKey key;
  if (KeyOfPath(host, key)) StoreMeta(key, std::nullopt);
  if (S_ISDIR(st.st_mode)) {
    if (DIR* dir = ::opendir(host.c_str())) {
      std::vector<std::string> names;
      while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
      }
      ::closedir(dir);
      for (const std::string& name : names) RemoveTree(host + "/" + name);
    }
    ::rmdir(host.c_str());
  } else {
    ::unlink(host.c_str());
  }
}

// Copies one file's bytes, permission and times to a new host file `to`.
// With keepCreation the record of the source (creation time and attributes)
// goes with it; otherwise the copy is created now with the same attributes.
// Returns 0 or an errno value; a failed copy leaves nothing behind.
int CopyHostFile(const std::string& from, const std::string& to, bool keepCreation) {
  const int in = OpenRegularHostFile(from, O_RDONLY | O_CLOEXEC);
  if (in < 0) return errno;
  struct stat st {};
  if (::fstat(in, &st) != 0) {
    const int error = errno;
    ::close(in);
    return error;
  }
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (out < 0) {
    const int error = errno;
    ::close(in);
    return error;
  }
  int error = 0;
  if (st.st_size > 0 && ::fallocate(out, 0, 0, st.st_size) != 0 && (errno == ENOSPC || errno == EDQUOT)) error = errno;
  std::vector<char> buffer(1 << 16);
  while (error == 0) {
    const ssize_t n = ::read(in, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) error = errno;
    if (n <= 0) break;
    for (ssize_t done = 0; done < n && error == 0;) {
      const ssize_t w = ::write(out, buffer.data() + done, static_cast<std::size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) error = w < 0 ? errno : ENOSPC;
      if (w > 0) done += w;
    }
  }
  if (error == 0 && ::ftruncate(out, st.st_size) != 0) error = errno;
  if (error == 0 && ::fsync(out) != 0) error = errno;
  if (error == 0) {
    const timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(out, times);
    ::fchmod(out, st.st_mode & 07777);
    FileKey fromKey;
    FileKey toKey;
    if (KeyOfPath(from, fromKey) && KeyOfFd(out, toKey)) {
      FileMeta meta = LoadMeta(fromKey).value_or(FileMeta{});
      if (keepCreation) {
        meta.creation = CreationTime(fromKey, st);
      } else {
        meta.creation = toKey.birth == 0 ? SystemTimeNow100ns() : 0;
      }
      if (meta.creation != 0 || meta.attributes != 0) StoreMeta(toKey, meta);
    }
  }
  ::close(in);
  ::close(out);
  if (error != 0) RemoveTree(to);
  return error;
}

int CopyTree(const std::string& from, const std::string& to) {
  struct stat st {};
  if (::stat(from.c_str(), &st) != 0) return errno;
  if (!S_ISDIR(st.st_mode)) return CopyHostFile(from, to, true);
  if (::mkdir(to.c_str(), st.st_mode & 07777) != 0) return errno;
  FileKey fromKey;
  FileKey toKey;
  if (KeyOfPath(from, fromKey) && KeyOfPath(to, toKey)) {
    if (const auto meta = LoadMeta(fromKey)) StoreMeta(toKey, meta);
  }
  DIR* dir = ::opendir(from.c_str());
  if (!dir) return errno;
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(dir);
  for (const std::string& name : names) {
    if (const int error = CopyTree(from + "/" + name, to + "/" + name)) return error;
  }
  return 0;
}

// Renames without ever replacing an existing entry. Returns 0 or an errno
// value (EEXIST when the target exists).
int RenameNoReplace(const std::string& from, const std::string& to, bool directory) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  const int error = errno;
  if (error != EINVAL && error != ENOSYS && error != ENOTSUP) return error;
  // A host file system without the no-replace rename.
  if (!directory) {
    if (::link(from.c_str(), to.c_str()) != 0) return errno;
    ::unlink(from.c_str());
    return 0;
  }
  struct stat st {};
  if (::lstat(to.c_str(), &st) == 0) return EEXIST;
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

bool SameEntry(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

std::wstring LeafOf(LPCWSTR name) {
  std::wstring text(name);
  while (!text.empty() && (text.back() == L'\\' || text.back() == L'/')) text.pop_back();
  const auto cut = text.find_last_of(L"\\/");
  return cut == std::wstring::npos ? text : text.substr(cut + 1);
}

bool IsReadOnlyFile(const Resolved& entry) { return !entry.isDirectory && !(entry.st.st_mode & S_IWUSR); }

bool FileIsHeld(const std::string& host, bool deleting, DWORD access) {
  FileKey key;
  return KeyOfPath(host, key) && OpenForbids(key, access, deleting);
}

}  // namespace
}  // namespace ce::kernel::fs

using namespace ce::kernel::fs;

BOOL DeleteFileW(LPCWSTR fileName) {
  Resolved file;
  if (const DWORD error = ResolveExisting(fileName, file)) return Fail(error);
  if (file.isDirectory || file.isFixed || file.readOnly || IsReadOnlyFile(file)) return Fail(ERROR_ACCESS_DENIED);
  if (FileIsHeld(file.host, true, 0)) return Fail(ERROR_SHARING_VIOLATION);
  FileKey key;
  const bool keyed = KeyOfPath(file.host, key);
  if (::unlink(file.host.c_str()) != 0) return Fail(ErrorFromErrno(errno));
  if (keyed) StoreMeta(key, std::nullopt);
  if (file.st.st_nlink <= 1) ReleaseSpace(file.volume, static_cast<std::uint64_t>(file.st.st_size));
  return TRUE;
}

BOOL MoveFileW(LPCWSTR existingName, LPCWSTR newName) {
  Resolved from;
  Resolved to;
  if (const DWORD error = ResolveExisting(existingName, from)) return Fail(error);
  if (const DWORD error = Resolve(newName, to)) return Fail(error);
  if (from.isFixed || to.isFixed || from.readOnly) return Fail(ERROR_ACCESS_DENIED);
  if (!to.exists) {
    if (const DWORD error = PrepareWrite(to)) return Fail(error);
  }
  const std::string folder = ParentOf(to.host);
  std::string target = to.host;
  if (to.exists) {
    if (!SameEntry(from.st, to.st)) return Fail(ERROR_ALREADY_EXISTS);
    // The same entry under another spelling: a change of letter case only.
    target = HostChild(folder, LeafOf(newName));
    if (target == from.host) return TRUE;
  }
  if (from.isDirectory && (target + "/").compare(0, from.host.size() + 1, from.host + "/") == 0) {
    return Fail(ERROR_ACCESS_DENIED);  // a folder cannot move into itself
  }
  if (!from.isDirectory && FileIsHeld(from.host, true, 0)) return Fail(ERROR_SHARING_VIOLATION);

  // Moving to another device volume needs room there, even when both lie on
  // one host file system.
  const std::uint64_t size = from.volume != to.volume ? TreeSize(from.host) : 0;
  if (!ReserveSpace(to.volume, size)) return Fail(ERROR_DISK_FULL);
  int error = RenameNoReplace(from.host, target, from.isDirectory);
  if (error == EXDEV) {
    // Another host file system: copy beside the target, put the copy in
    // place, and only then remove the original, so a failure at any step
    // leaves the original whole.
    const std::uint64_t copied = from.volume != to.volume ? 0 : TreeSize(from.host);
    if (!ReserveSpace(to.volume, copied)) {
      ReleaseSpace(to.volume, size);
      return Fail(ERROR_DISK_FULL);
    }
    const std::string partial = TempSibling(folder);
    error = CopyTree(from.host, partial);
    if (error == 0) error = RenameNoReplace(partial, target, from.isDirectory);
    if (error != 0) {
      RemoveTree(partial);
      ReleaseSpace(to.volume, size + copied);
      return Fail(error == EEXIST ? ERROR_ALREADY_EXISTS : ErrorFromErrno(error));
    }
    RemoveTree(from.host);
    ReleaseSpace(from.volume, size + copied);
    return TRUE;
  }
  if (error != 0) {
    ReleaseSpace(to.volume, size);
    return Fail(error == EEXIST ? ERROR_ALREADY_EXISTS : ErrorFromErrno(error));
  }
  ReleaseSpace(from.volume, size);
  return TRUE;
}

BOOL MoveFileExW(LPCWSTR existingName, LPCWSTR newName, DWORD flags) {
  if ((flags & ~MOVEFILE_REPLACE_EXISTING) != 0) return Fail(ERROR_INVALID_PARAMETER);
  if ((flags & MOVEFILE_REPLACE_EXISTING) == 0) return MoveFileW(existingName, newName);
  Resolved from;
  Resolved to;
  if (const DWORD error = ResolveExisting(existingName, from)) return Fail(error);
  if (const DWORD error = Resolve(newName, to)) return Fail(error);
  if (!to.exists || SameEntry(from.st, to.st)) return MoveFileW(existingName, newName);
  if (from.isDirectory || to.isDirectory || from.isFixed || to.isFixed || from.readOnly || to.readOnly ||
      IsReadOnlyFile(to)) {
    return Fail(ERROR_ACCESS_DENIED);
  }
  if (from.volume != to.volume) return Fail(ERROR_NOT_SAME_DEVICE);
  if (FileIsHeld(from.host, true, 0) || FileIsHeld(to.host, true, 0)) return Fail(ERROR_SHARING_VIOLATION);
  FileKey replaced;
  const bool keyed = KeyOfPath(to.host, replaced);
  if (::rename(from.host.c_str(), to.host.c_str()) != 0) return Fail(ErrorFromErrno(errno));
  if (keyed) StoreMeta(replaced, std::nullopt);
  if (to.st.st_nlink <= 1) ReleaseSpace(to.volume, static_cast<std::uint64_t>(to.st.st_size));
  return TRUE;
}

BOOL CopyFileW(LPCWSTR existingName, LPCWSTR newName, BOOL failIfExists) {
  Resolved from;
  Resolved to;
  if (const DWORD error = ResolveExisting(existingName, from)) return Fail(error);
  if (const DWORD error = Resolve(newName, to)) return Fail(error);
  if (from.isDirectory) return Fail(ERROR_ACCESS_DENIED);
  if (to.exists && to.readOnly && !failIfExists) {
    // Over an installed file: the copy becomes the device's own file.
    if (to.isDirectory || to.writeHost.empty() || IsReadOnlyFile(to)) return Fail(ERROR_ACCESS_DENIED);
    to.host = to.writeHost;
    to.exists = false;
    to.readOnly = false;
  }
  if (!to.exists) {
    if (const DWORD error = PrepareWrite(to)) return Fail(error);
  }
  if (to.exists) {
    if (failIfExists) return Fail(ERROR_FILE_EXISTS);
    if (to.isDirectory || to.isFixed || IsReadOnlyFile(to)) return Fail(ERROR_ACCESS_DENIED);
    if (SameEntry(from.st, to.st) || FileIsHeld(to.host, true, GENERIC_WRITE)) return Fail(ERROR_SHARING_VIOLATION);
  } else if (to.isFixed) {
    return Fail(ERROR_ACCESS_DENIED);
  }
  if (FileIsHeld(from.host, false, GENERIC_READ)) return Fail(ERROR_SHARING_VIOLATION);
  const auto size = static_cast<std::uint64_t>(from.st.st_size);
  if (!ReserveSpace(to.volume, size)) return Fail(ERROR_DISK_FULL);
  // The copy is made under a temporary name and then put in place, so an
  // existing target is either replaced whole or left as it was.
  const std::string partial = TempSibling(ParentOf(to.host));
  int error = CopyHostFile(from.host, partial, false);
  if (error == 0) {
    if (to.exists) {
      error = ::rename(partial.c_str(), to.host.c_str()) == 0 ? 0 : errno;
    } else {
      error = RenameNoReplace(partial, to.host, false);
    }
  }
  if (error != 0) {
    RemoveTree(partial);
    ReleaseSpace(to.volume, size);
    return Fail(error == EEXIST ? ERROR_FILE_EXISTS : ErrorFromErrno(error));
  }
  if (to.exists) ReleaseSpace(to.volume, static_cast<std::uint64_t>(to.st.st_size));
  return TRUE;
}

BOOL CreateDirectoryW(LPCWSTR pathName, LPSECURITY_ATTRIBUTES /*security*/) {
  Resolved folder;
  if (const DWORD error = Resolve(pathName, folder)) return Fail(error);
  if (folder.exists) return Fail(ERROR_ALREADY_EXISTS);
  if (const DWORD error = PrepareWrite(folder)) return Fail(error);
  if (::mkdir(folder.host.c_str(), 0777) != 0) {
    const int error = errno;
    return Fail(error == ENOENT ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(error));
  }
  return TRUE;
}

BOOL RemoveDirectoryW(LPCWSTR pathName) {
  Resolved folder;
  if (const DWORD error = ResolveExisting(pathName, folder)) return Fail(error);
  if (!folder.isDirectory) return Fail(ERROR_DIRECTORY);
  if (folder.isFixed || folder.readOnly) return Fail(ERROR_ACCESS_DENIED);
  FileKey key;
  const bool keyed = KeyOfPath(folder.host, key);
  if (::rmdir(folder.host.c_str()) != 0) {
    const int error = errno;
    return Fail(error == ENOTEMPTY || error == EEXIST ? ERROR_DIR_NOT_EMPTY : ErrorFromErrno(error));
  }
  if (keyed) StoreMeta(key, std::nullopt);
  return TRUE;
}

DWORD GetFileAttributesW(LPCWSTR fileName) {
  Resolved entry;
  if (const DWORD error = ResolveExisting(fileName, entry)) {
    SetLastError(error);
    return INVALID_FILE_ATTRIBUTES;
  }
  EntryInfo info;
  if (!InfoOfHost(entry.host, entry.isCard, info)) {
    SetLastError(ErrorFromErrno(errno));
    return INVALID_FILE_ATTRIBUTES;
  }
  return info.attributes;
}

BOOL SetFileAttributesW(LPCWSTR fileName, DWORD attributes) {
  Resolved entry;
  if (const DWORD error = ResolveExisting(fileName, entry)) return Fail(error);
  if (entry.isFixed || entry.readOnly) return Fail(ERROR_ACCESS_DENIED);
  FileKey key;
  if (!KeyOfPath(entry.host, key)) return Fail(ErrorFromErrno(errno));
  FileMeta meta = LoadMeta(key).value_or(FileMeta{});
  const DWORD kept = entry.isDirectory ? (kKeptAttributes | FILE_ATTRIBUTE_READONLY) : kKeptAttributes;
  meta.attributes = attributes & kept;
  if (!entry.isDirectory) {
    // Read-only is the host's write permission, so the host sees it too.
    const mode_t mode = entry.st.st_mode & 07777;
    const mode_t wanted = (attributes & FILE_ATTRIBUTE_READONLY) ? (mode & ~mode_t{0222}) : (mode | S_IWUSR);
    if (wanted != mode && ::chmod(entry.host.c_str(), wanted) != 0) return Fail(ErrorFromErrno(errno));
  }
  if (!StoreMeta(key, meta)) return Fail(ERROR_WRITE_FAULT);
  return TRUE;
}

BOOL GetFileAttributesExW(LPCWSTR fileName, GET_FILEEX_INFO_LEVELS level, LPVOID info) {
  if (level != GetFileExInfoStandard || !info) return Fail(ERROR_INVALID_PARAMETER);
  Resolved entry;
  if (const DWORD error = ResolveExisting(fileName, entry)) return Fail(error);
  EntryInfo data;
  if (!InfoOfHost(entry.host, entry.isCard, data)) return Fail(ErrorFromErrno(errno));
  auto* out = static_cast<WIN32_FILE_ATTRIBUTE_DATA*>(info);
  out->dwFileAttributes = data.attributes;
  out->ftCreationTime = ToFileTime(data.creation);
  out->ftLastAccessTime = ToFileTime(data.lastAccess);
  out->ftLastWriteTime = ToFileTime(data.lastWrite);
  out->nFileSizeHigh = static_cast<DWORD>(data.size >> 32);
  out->nFileSizeLow = static_cast<DWORD>(data.size & 0xFFFFFFFFu);
  return TRUE;
}

DWORD GetCanonicalPathNameW(LPCWSTR path, LPWSTR buffer, DWORD bufferLength) {
  std::wstring canonical;
  if (const DWORD error = CanonicalPath(path, canonical)) {
    SetLastError(error);
    return 0;
  }
  if (!buffer || bufferLength <= canonical.size()) return static_cast<DWORD>(canonical.size() + 1);
  std::wmemcpy(buffer, canonical.c_str(), canonical.size() + 1);
  return static_cast<DWORD>(canonical.size());
}
