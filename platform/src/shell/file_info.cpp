// SHGetFileInfoW: the icon of a file for lists of programs and documents.
// A module of the device (a program or a library, a host ELF file) carries
// its compiled resource table as data; the file is read and the table
// found by its header and checked as a whole before any of it is used, so
// the module is never loaded or run to learn its icon.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ce/shellapi.h"
#include "ce/strconv.h"
#include "ce/winbase.h"
#include "ce/winuser.h"
#include "kernel/device_path.h"
#include "kernel/not_implemented.h"
#include "kernel/process.h"
#include "resources/resource_table.h"
#include "shell/shortcut.h"

namespace {

namespace fs = ce::kernel::fs;

bool EndsWithNoCase(std::wstring_view text, std::wstring_view tail) {
  return text.size() >= tail.size() && ce::EqualsNoCase(text.substr(text.size() - tail.size()), tail);
}

// The host file behind a device path: the file itself, or for "<name>.exe"
// the built executable without the suffix. Nothing for a folder or a
// missing file.
std::optional<std::string> HostFile(const std::wstring& device) {
  fs::Resolved entry;
  if (fs::Resolve(device.c_str(), entry) == 0 && entry.exists && !entry.isDirectory) return entry.host;
  if (EndsWithNoCase(device, L".exe") && ce::kernel::process::IsProgram(device)) {
    const std::wstring bare = device.substr(0, device.size() - 4);
    if (fs::Resolve(bare.c_str(), entry) == 0 && entry.exists && !entry.isDirectory) return entry.host;
  }
  return std::nullopt;
}

// The file a launcher entry names: "path", "\"path\" params" or
// "path params", where the path itself may hold spaces (the shortest
// existing prefix ending before a space wins after the whole text).
std::optional<std::wstring> FileOf(std::wstring_view text) {
  while (!text.empty() && text.front() == L' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == L' ') text.remove_suffix(1);
  if (text.empty()) return std::nullopt;
  if (text.front() == L'"') {
    const std::size_t close = text.find(L'"', 1);
    if (close == std::wstring_view::npos || close == 1) return std::nullopt;
    std::wstring quoted(text.substr(1, close - 1));
    return HostFile(quoted) ? std::optional(quoted) : std::nullopt;
  }
  std::wstring whole(text);
  if (HostFile(whole)) return whole;
  for (std::size_t space = text.find(L' '); space != std::wstring_view::npos; space = text.find(L' ', space + 1)) {
    std::wstring prefix(text.substr(0, space));
    if (HostFile(prefix)) return prefix;
  }
  return std::nullopt;
}

// The largest module file searched for icons; anything larger is treated as
// a file without icons of its own.
constexpr std::size_t kLargestModule = std::size_t{256} << 20;

// The bytes of a host module file (an ELF file up to kLargestModule), or
// nothing for any other file. The file is read rather than mapped, so that
// another program shortening it meanwhile cannot fault the caller.
std::vector<std::uint8_t> ModuleBytes(const std::string& host) {
  std::vector<std::uint8_t> bytes;
  const int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return bytes;
  struct stat st {};
  constexpr std::uint8_t kElf[] = {0x7F, 'E', 'L', 'F'};
  std::uint8_t head[4] = {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 4 &&
      static_cast<std::uint64_t>(st.st_size) <= kLargestModule && ::pread(fd, head, 4, 0) == 4 &&
      std::memcmp(head, kElf, 4) == 0) {
    bytes.resize(static_cast<std::size_t>(st.st_size));
    std::size_t got = 0;
    while (got < bytes.size()) {
      const ssize_t n = ::pread(fd, bytes.data() + got, bytes.size() - got, static_cast<off_t>(got));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
  }
  ::close(fd);
  return bytes;
}

// The first table in a module file that passes every check, or nullopt.
std::optional<ce::resources::Table> TableIn(std::span<const std::uint8_t> file) {
  constexpr std::uint8_t kMagic[] = {'K', 'S', 'R', 'T', 1, 0, 0, 0};
  const std::uint8_t* at = file.data();
  const std::uint8_t* const end = file.data() + file.size();
  while (static_cast<std::size_t>(end - at) >= 16) {
    const void* hit = ::memmem(at, static_cast<std::size_t>(end - at), kMagic, sizeof kMagic);
    if (!hit) break;
    const auto* start = static_cast<const std::uint8_t*>(hit);
    const std::span<const std::uint8_t> rest(start, static_cast<std::size_t>(end - start));
    if (rest.size() >= 16) {
      const std::uint32_t size = ce::resources::U32At(rest, 8);
      if (size <= rest.size()) {
        if (auto table = ce::resources::Table::Parse(rest.first(size))) return table;
      }
    }
    at = start + 1;
  }
  return std::nullopt;
}

int SystemSize(int index, int fallback) {
  const int size = GetSystemMetrics(index);
  return size > 0 ? size : fallback;
}

}  // namespace

DWORD_PTR SHGetFileInfoW(LPCWSTR path, DWORD fileAttributes, SHFILEINFOW* info, UINT infoSize, UINT flags) {
  (void)fileAttributes;  // read only with flags this platform does not implement
  constexpr UINT kKnown = SHGFI_ICON | SHGFI_SMALLICON;
  if ((flags & ~kKnown) != 0 || (flags & SHGFI_ICON) == 0) {
    char what[64];
    std::snprintf(what, sizeof what, "SHGetFileInfoW(flags %#x)", flags);
    ce::kernel::NotImplemented(what);
    return 0;
  }
  if (path == nullptr || info == nullptr || infoSize < sizeof(SHFILEINFOW)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::optional<std::wstring> file = FileOf(path);
  if (!file) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return 0;
  }
  if (EndsWithNoCase(*file, L".lnk")) {
    ce::shell::Shortcut shortcut;
    if (const DWORD error = ce::shell::ReadShortcut(file->c_str(), shortcut)) {
      SetLastError(error);
      return 0;
    }
    // A shortcut leads to a file, never to another shortcut.
    if (EndsWithNoCase(shortcut.target, L".lnk")) {
      SetLastError(ERROR_BAD_FORMAT);
      return 0;
    }
    if (!HostFile(shortcut.target)) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return 0;
    }
    file = shortcut.target;
  }
  const std::optional<std::string> host = HostFile(*file);
  if (!host) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return 0;
  }
  const bool small = (flags & SHGFI_SMALLICON) != 0;
  const int cx = small ? SystemSize(SM_CXSMICON, 16) : SystemSize(SM_CXICON, 32);
  const int cy = small ? SystemSize(SM_CYSMICON, 16) : SystemSize(SM_CYICON, 32);

  HICON icon = nullptr;
  {
    const std::vector<std::uint8_t> bytes = ModuleBytes(*host);
    if (const auto table = TableIn(bytes)) {
      if (const auto group = table->First(RT_GROUP_ICON)) icon = ce::resources::IconFromGroup(*table, *group, cx, cy);
    }
  }
  // A document, a module without icons or with a damaged one: the plain page.
  if (!icon) icon = ce::resources::PlainFileIcon(cx, cy);
  if (!icon) return 0;
  info->hIcon = icon;
  info->iIcon = 0;
  return 1;
}
