#include "os/file.h"

#include "ce/winbase.h"
#include "os/path.h"

namespace os {

namespace {

// Moves the file pointer by an unsigned distance (high half 0, so values
// above 2 GB still go forward). False when the platform reports failure.
bool MoveTo(HANDLE h, std::uint32_t distance, DWORD method, std::uint32_t* result) {
  LONG high = 0;
  SetLastError(NO_ERROR);
  const DWORD low = SetFilePointer(h, static_cast<LONG>(distance), &high, method);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return false;
  if (result) *result = low;
  return true;
}

bool Position(HANDLE h, std::uint32_t* result) {
  LONG high = 0;
  SetLastError(NO_ERROR);
  const DWORD low = SetFilePointer(h, 0, &high, FILE_CURRENT);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return false;
  *result = low;
  return true;
}

}  // namespace

File::File(const std::wstring& path, int mode) {
  const std::wstring expanded = expand_path(path);
  DWORD access = GENERIC_READ | GENERIC_WRITE;
  DWORD creation = OPEN_ALWAYS;
  switch (mode) {
    case 0:
      access = GENERIC_READ;
      creation = OPEN_EXISTING;
      break;
    case 1:
      access = GENERIC_WRITE;
      creation = CREATE_ALWAYS;
      break;
    case 2:
      access = GENERIC_WRITE;
      creation = OPEN_ALWAYS;
      break;
    default:
      break;
  }
  impl_.handle = CreateFileW(expanded.c_str(), access, FILE_SHARE_READ, nullptr, creation,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_RANDOM_ACCESS, nullptr);
  if (impl_.handle != INVALID_HANDLE_VALUE) {
    if (mode == 2) {
      SetLastError(NO_ERROR);
      SetFilePointer(impl_.handle, 0, nullptr, FILE_END);
      if (GetLastError() != NO_ERROR) close();
    } else if (mode != 0 && mode != 1) {
      SetFilePointer(impl_.handle, 0, nullptr, FILE_BEGIN);
    }
  }
  if (impl_.handle == INVALID_HANDLE_VALUE) add_error(L"can't open file");
}

File::~File() { close(); }

void File::close() {
  if (impl_.handle != INVALID_HANDLE_VALUE) CloseHandle(impl_.handle);
  impl_.handle = INVALID_HANDLE_VALUE;
}

std::uint32_t File::read(void* buffer, std::uint32_t count) {
  if (!is_ok() || count == 0 || impl_.handle == INVALID_HANDLE_VALUE) return 0;
  DWORD done = 0;
  if (!ReadFile(impl_.handle, buffer, count, &done, nullptr)) return 0;
  return done;
}

std::uint32_t File::skip(std::uint32_t count) {
  if (!is_ok() || count == 0 || impl_.handle == INVALID_HANDLE_VALUE) return 0;
  std::uint32_t before = 0;
  std::uint32_t after = 0;
  if (!Position(impl_.handle, &before)) return 0;
  if (!MoveTo(impl_.handle, count, FILE_CURRENT, nullptr)) return 0;
  if (!Position(impl_.handle, &after)) return 0;
  return after - before;
}

std::uint32_t File::write(const void* buffer, std::uint32_t count) {
  if (!is_ok() || count == 0 || impl_.handle == INVALID_HANDLE_VALUE) return 0;
  DWORD done = 0;
  if (!WriteFile(impl_.handle, buffer, count, &done, nullptr)) return 0;
  return done;
}

std::uint32_t File::get_size() {
  if (!is_ok() || impl_.handle == INVALID_HANDLE_VALUE) return 0;
  const DWORD size = GetFileSize(impl_.handle, nullptr);
  return size == 0xFFFFFFFFu ? 0 : size;
}

std::uint32_t File::seek(std::uint32_t position) {
  if (!is_ok() || impl_.handle == INVALID_HANDLE_VALUE) return 0;
  return MoveTo(impl_.handle, position, FILE_BEGIN, nullptr) ? 1 : 0;
}

std::uint32_t File::tell() {
  if (!is_ok() || impl_.handle == INVALID_HANDLE_VALUE) return 0;
  std::uint32_t at = 0;
  return Position(impl_.handle, &at) ? at : 0;
}

bool File::set_size(std::uint32_t size) {
  if (!is_ok() || impl_.handle == INVALID_HANDLE_VALUE) return false;
  return MoveTo(impl_.handle, size, FILE_BEGIN, nullptr) && SetEndOfFile(impl_.handle);
}

bool File::flush() {
  if (!is_ok() || impl_.handle == INVALID_HANDLE_VALUE) return false;
  return FlushFileBuffers(impl_.handle) != 0;
}

FileInfo::FileInfo(const std::wstring& p) : path(p) {
  WIN32_FIND_DATAW data{};
  const HANDLE find = FindFirstFileW(expand_path(path).c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    attributes = data.dwFileAttributes;
    size = data.nFileSizeLow;
    FILETIME local{};
    if (FileTimeToLocalFileTime(&data.ftCreationTime, &local)) time.init(local);
    // Keep the search's own error code, not FindClose's.
    const DWORD error = GetLastError();
    FindClose(find);
    SetLastError(error);
  }
  last_error = GetLastError();
}

bool FileInfo::rename(const std::wstring& new_path) {
  const BOOL moved = MoveFileW(expand_path(path).c_str(), expand_path(new_path).c_str());
  last_error = GetLastError();
  return moved != 0;
}

double get_disk_free_space(const std::wstring& path) {
  ULARGE_INTEGER available{};
  if (!GetDiskFreeSpaceExW(expand_path(path).c_str(), &available, nullptr, nullptr)) return 0;
  return static_cast<double>(available.QuadPart);
}

void create_directory(const std::wstring& path) { create_directory_tree(expand_path(path)); }

void create_directory_tree(const std::wstring& path) {
  if (path.empty()) return;
  const std::wstring parent = path_parent_directory(path);
  // A parent no shorter than the path itself (a lone separator) ends the walk.
  if (parent.size() < path.size()) create_directory_tree(parent);
  const std::wstring folder = path_strip_separator(path);
  if (!folder.empty()) CreateDirectoryW(folder.c_str(), nullptr);
}

bool delete_file(const std::wstring& path) { return DeleteFileW(expand_path(path).c_str()) != 0; }

}  // namespace os
