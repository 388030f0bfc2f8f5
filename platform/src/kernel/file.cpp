// Open files: CreateFileW and the calls on a file handle.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <mutex>

#include "ce/winbase.h"
#include "kernel/clock.h"
#include "kernel/device_path.h"
#include "kernel/file_info.h"
#include "kernel/file_meta.h"
#include "kernel/handles.h"
#include "kernel/not_implemented.h"
#include "kernel/open_files.h"
#include "kernel/volume.h"

namespace ce::kernel::fs {
namespace {

// Flags that only hint at caching or access patterns; the host decides those.
constexpr DWORD kHintFlags = FILE_FLAG_WRITE_THROUGH | FILE_FLAG_RANDOM_ACCESS | 0x08000000u /* sequential scan */ |
                             0x20000000u /* no buffering */;
// Attributes a new file may be created with.
constexpr DWORD kCreateAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                    FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_TEMPORARY;

class FileObject : public KernelObject {
 public:
  FileObject(int fd, DWORD access, int volume, std::uint64_t token)
      : KernelObject(HandleKind::File), fd_(fd), access_(access), volume_(volume), token_(token) {}
  ~FileObject() override {
    ::close(fd_);
    ForgetOpen(token_);
  }

  int fd() const { return fd_; }
  bool canRead() const { return access_ & GENERIC_READ; }
  bool canWrite() const { return access_ & GENERIC_WRITE; }
  int volume() const { return volume_; }
  std::mutex& lock() { return lock_; }
  std::uint64_t position = 0;  // guarded by lock()

 private:
  int fd_;
  DWORD access_;
  int volume_;
  std::uint64_t token_;
  std::mutex lock_;
};

std::shared_ptr<FileObject> Lookup(HANDLE file) { return LookupHandleAs<FileObject>(file, HandleKind::File); }

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

std::uint64_t SizeOf(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

}  // namespace
}  // namespace ce::kernel::fs

using namespace ce::kernel;
using namespace ce::kernel::fs;

HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES /*security*/,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE /*templateFile*/) {
  if (flagsAndAttributes & ~(kHintFlags | kCreateAttributes)) {
    NotImplemented("CreateFileW(flagsAndAttributes)");
    return INVALID_HANDLE_VALUE;
  }
  if (creationDisposition < CREATE_NEW || creationDisposition > TRUNCATE_EXISTING ||
      (desiredAccess & ~(GENERIC_READ | GENERIC_WRITE)) ||
      (shareMode & ~(FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE)) ||
      (creationDisposition == TRUNCATE_EXISTING && !(desiredAccess & GENERIC_WRITE))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  Resolved path;
  if (const DWORD error = Resolve(fileName, path)) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  if (path.isDirectory || (path.isFixed && !path.exists)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  // Only a regular file is opened: a FIFO or device node would block the
  // caller waiting for a peer, or hand it endless bytes.
  if (path.exists && !S_ISREG(path.st.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  const bool existed = path.exists;
  const bool truncate = existed && (creationDisposition == CREATE_ALWAYS || creationDisposition == TRUNCATE_EXISTING);
  if (existed && creationDisposition == CREATE_NEW) {
    SetLastError(ERROR_FILE_EXISTS);
    return INVALID_HANDLE_VALUE;
  }
  if (!existed && (creationDisposition == OPEN_EXISTING || creationDisposition == TRUNCATE_EXISTING)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  // An installed program file is written as the device's own copy of it.
  if (existed && path.readOnly && ((desiredAccess & GENERIC_WRITE) || truncate)) {
    if (const DWORD error = CopyUp(path)) {
      SetLastError(error);
      return INVALID_HANDLE_VALUE;
    }
  }
  if (!existed) {
    if (const DWORD error = PrepareWrite(path)) {
      SetLastError(error);
      return INVALID_HANDLE_VALUE;
    }
  }
  // Read-only is kept as the host's write permission; refuse writers
  // explicitly, since a privileged host process would be let through.
  if (existed && !(path.st.st_mode & S_IWUSR) && ((desiredAccess & GENERIC_WRITE) || truncate)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }

  int flags = O_CLOEXEC | O_NOCTTY;
  if ((desiredAccess & GENERIC_READ) && (desiredAccess & GENERIC_WRITE)) {
    flags |= O_RDWR;
  } else if (desiredAccess & GENERIC_WRITE) {
    flags |= O_WRONLY;
  } else {
    flags |= O_RDONLY;
  }
  if (!existed) flags |= O_CREAT | O_EXCL;
  // The entry may have been replaced since it was looked at: the open itself
  // refuses what is not a regular file, without waiting.
  const int fd = OpenRegularHostFile(path.host, flags, 0666);
  if (fd < 0) {
    const int error = errno;
    SetLastError(error == ENOENT ? ERROR_PATH_NOT_FOUND : error == EEXIST ? ERROR_FILE_EXISTS : ErrorFromErrno(error));
    return INVALID_HANDLE_VALUE;
  }
  FileKey key;
  KeyOfFd(fd, key);
  const std::uint64_t token = AdmitOpen(key, desiredAccess, shareMode);
  if (token == 0) {
    ::close(fd);
    if (!existed) ::unlink(path.host.c_str());
    SetLastError(ERROR_SHARING_VIOLATION);
    return INVALID_HANDLE_VALUE;
  }
  auto file = std::make_shared<FileObject>(fd, desiredAccess, path.volume, token);
  if (truncate) {
    const std::uint64_t old = SizeOf(fd);
    if (::ftruncate(fd, 0) != 0) {
      SetLastError(ErrorFromErrno(errno));
      return INVALID_HANDLE_VALUE;
    }
    ReleaseSpace(path.volume, old);
  }
  if (!existed) {
    // The side table is written only for what the host cannot tell: its
    // birth time serves as the creation time where it has one.
    FileMeta meta;
    meta.attributes = flagsAndAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
    if (key.birth == 0) meta.creation = SystemTimeNow100ns();
    if (meta.attributes != 0 || meta.creation != 0) StoreMeta(key, meta);
    // A file created read-only is still written through the handle that made it.
    if (flagsAndAttributes & FILE_ATTRIBUTE_READONLY) ::fchmod(fd, 0444);
  }
  HANDLE handle = InsertHandle(file);
  if (!handle) {
    if (!existed) ::unlink(path.host.c_str());
    return INVALID_HANDLE_VALUE;
  }
  SetLastError(existed && (creationDisposition == CREATE_ALWAYS || creationDisposition == OPEN_ALWAYS)
                   ? ERROR_ALREADY_EXISTS
                   : ERROR_SUCCESS);
  return handle;
}

BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPOVERLAPPED overlapped) {
  if (bytesRead) *bytesRead = 0;
  const auto file = Lookup(handle);
  if (!file) return FALSE;
  if (overlapped) {
    NotImplemented("ReadFile(overlapped)");
    return FALSE;
  }
  if (!buffer && bytesToRead > 0) return Fail(ERROR_INVALID_PARAMETER);
  if (!file->canRead()) return Fail(ERROR_ACCESS_DENIED);
  std::lock_guard guard(file->lock());
  DWORD done = 0;
  while (done < bytesToRead) {
    const ssize_t n = ::pread(file->fd(), static_cast<char*>(buffer) + done, bytesToRead - done,
                              static_cast<off_t>(file->position + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      file->position += done;
      if (bytesRead) *bytesRead = done;
      return Fail(ErrorFromErrno(errno));
    }
    if (n == 0) break;
    done += static_cast<DWORD>(n);
  }
  file->position += done;
  if (bytesRead) *bytesRead = done;
  return TRUE;
}

BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten, LPOVERLAPPED overlapped) {
  if (bytesWritten) *bytesWritten = 0;
  const auto file = Lookup(handle);
  if (!file) return FALSE;
  if (overlapped) {
    NotImplemented("WriteFile(overlapped)");
    return FALSE;
  }
  if (!buffer && bytesToWrite > 0) return Fail(ERROR_INVALID_PARAMETER);
  if (!file->canWrite()) return Fail(ERROR_ACCESS_DENIED);
  std::lock_guard guard(file->lock());
  if (bytesToWrite == 0) return TRUE;
  const std::uint64_t size = SizeOf(file->fd());
  const std::uint64_t end = file->position + bytesToWrite;
  if (end > static_cast<std::uint64_t>(INT64_MAX)) return Fail(ERROR_DISK_FULL);
  const std::uint64_t growth = end > size ? end - size : 0;
  // A write that does not fit fails whole and leaves the file as it was:
  // the growth is claimed first, from a fixed figure and from the host.
  if (!ReserveSpace(file->volume(), growth)) return Fail(ERROR_DISK_FULL);
  if (growth > 0) {
    const int r = ::fallocate(file->fd(), FALLOC_FL_KEEP_SIZE, static_cast<off_t>(size), static_cast<off_t>(growth));
    if (r != 0 && (errno == ENOSPC || errno == EDQUOT || errno == EFBIG)) {
      ReleaseSpace(file->volume(), growth);
      return Fail(ERROR_DISK_FULL);
    }
  }
  DWORD done = 0;
  while (done < bytesToWrite) {
    const ssize_t n = ::pwrite(file->fd(), static_cast<const char*>(buffer) + done, bytesToWrite - done,
                               static_cast<off_t>(file->position + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int error = n < 0 ? errno : ENOSPC;
      if (growth > 0 && ::ftruncate(file->fd(), static_cast<off_t>(size)) != 0) {
        // The file keeps the part written; nothing that was there is lost.
      }
      ReleaseSpace(file->volume(), growth);
      return Fail(ErrorFromErrno(error));
    }
    done += static_cast<DWORD>(n);
  }
  file->position = end;
  if (bytesWritten) *bytesWritten = done;
  return TRUE;
}

DWORD SetFilePointer(HANDLE handle, LONG distance, PLONG distanceHigh, DWORD moveMethod) {
  const auto file = Lookup(handle);
  if (!file) return INVALID_SET_FILE_POINTER;
  std::lock_guard guard(file->lock());
  std::int64_t base = 0;
  switch (moveMethod) {
    case FILE_BEGIN:
      base = 0;
      break;
    case FILE_CURRENT:
      base = static_cast<std::int64_t>(file->position);
      break;
    case FILE_END:
      base = static_cast<std::int64_t>(SizeOf(file->fd()));
      break;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return INVALID_SET_FILE_POINTER;
  }
  // Without a high part the distance is a signed 32-bit value; with one, the
  // two halves form a signed 64-bit distance.
  const std::int64_t move =
      distanceHigh
          ? static_cast<std::int64_t>((static_cast<std::uint64_t>(static_cast<std::uint32_t>(*distanceHigh)) << 32) |
                                      static_cast<std::uint32_t>(distance))
          : static_cast<std::int64_t>(distance);
  if ((move > 0 && base > INT64_MAX - move)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  const std::int64_t target = base + move;
  if (target < 0) {
    SetLastError(ERROR_NEGATIVE_SEEK);
    return INVALID_SET_FILE_POINTER;
  }
  if (!distanceHigh && target > 0xFFFFFFFFll) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  file->position = static_cast<std::uint64_t>(target);
  if (distanceHigh) *distanceHigh = static_cast<LONG>(static_cast<std::uint32_t>(file->position >> 32));
  // A position whose low half is all ones is told from a failure by the
  // cleared error.
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(file->position & 0xFFFFFFFFu);
}

DWORD GetFileSize(HANDLE handle, LPDWORD fileSizeHigh) {
  const auto file = Lookup(handle);
  if (!file) return INVALID_FILE_SIZE;
  struct stat st {};
  if (::fstat(file->fd(), &st) != 0) {
    SetLastError(ErrorFromErrno(errno));
    return INVALID_FILE_SIZE;
  }
  const auto size = static_cast<std::uint64_t>(st.st_size);
  if (fileSizeHigh) *fileSizeHigh = static_cast<DWORD>(size >> 32);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(size & 0xFFFFFFFFu);
}

BOOL SetEndOfFile(HANDLE handle) {
  const auto file = Lookup(handle);
  if (!file) return FALSE;
  if (!file->canWrite()) return Fail(ERROR_ACCESS_DENIED);
  std::lock_guard guard(file->lock());
  const std::uint64_t size = SizeOf(file->fd());
  if (file->position > size && !ReserveSpace(file->volume(), file->position - size)) return Fail(ERROR_DISK_FULL);
  if (::ftruncate(file->fd(), static_cast<off_t>(file->position)) != 0) {
    const int error = errno;
    if (file->position > size) ReleaseSpace(file->volume(), file->position - size);
    return Fail(ErrorFromErrno(error));
  }
  if (file->position < size) ReleaseSpace(file->volume(), size - file->position);
  return TRUE;
}

BOOL FlushFileBuffers(HANDLE handle) {
  const auto file = Lookup(handle);
  if (!file) return FALSE;
  if (!file->canWrite()) return Fail(ERROR_ACCESS_DENIED);
  if (::fsync(file->fd()) != 0) return Fail(ErrorFromErrno(errno));
  return TRUE;
}

BOOL GetFileTime(HANDLE handle, LPFILETIME creation, LPFILETIME lastAccess, LPFILETIME lastWrite) {
  const auto file = Lookup(handle);
  if (!file) return FALSE;
  struct stat st {};
  FileKey key;
  if (::fstat(file->fd(), &st) != 0 || !KeyOfFd(file->fd(), key)) return Fail(ErrorFromErrno(errno));
  if (creation) *creation = ToFileTime(CreationTime(key, st));
  if (lastAccess) *lastAccess = ToFileTime(FileTimeFromTimespec(st.st_atim));
  if (lastWrite) *lastWrite = ToFileTime(FileTimeFromTimespec(st.st_mtim));
  return TRUE;
}

BOOL SetFileTime(HANDLE handle, const FILETIME* creation, const FILETIME* lastAccess, const FILETIME* lastWrite) {
  const auto file = Lookup(handle);
  if (!file) return FALSE;
  if (!file->canWrite()) return Fail(ERROR_ACCESS_DENIED);
  if (lastAccess || lastWrite) {
    timespec times[2];
    times[0] = lastAccess ? TimespecFromFileTime(FromFileTime(*lastAccess)) : timespec{0, UTIME_OMIT};
    times[1] = lastWrite ? TimespecFromFileTime(FromFileTime(*lastWrite)) : timespec{0, UTIME_OMIT};
    if (::futimens(file->fd(), times) != 0) return Fail(ErrorFromErrno(errno));
  }
  if (creation) {
    FileKey key;
    if (!KeyOfFd(file->fd(), key)) return Fail(ErrorFromErrno(errno));
    FileMeta meta = LoadMeta(key).value_or(FileMeta{});
    meta.creation = FromFileTime(*creation);
    if (!StoreMeta(key, meta)) return Fail(ERROR_WRITE_FAULT);
  }
  return TRUE;
}
