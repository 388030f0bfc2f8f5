// SHGetFileInfoW: the icon of a file for lists of programs and documents.
// A module of the device (a program or a library, a host ELF file) carries
// its compiled resource table in a section of its own (".ce_resources").
// Only what the icon needs is read: the file's section headers and their
// names, the table's header and directory, the first icon group and the
// one picture chosen from it, each checked against the section before use;
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
#include <string_view>
#include <vector>

#include "ce/shellapi.h"
#include "ce/strconv.h"
#include "ce/winbase.h"
#include "ce/winuser.h"
#include "kernel/device_path.h"
#include "kernel/not_implemented.h"
#include "kernel/process.h"
#include "resources/dib.h"
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

// A file a launcher entry names: its device path and host file.
struct NamedFile {
  std::wstring device;
  std::string host;
};

// The file a launcher entry names: "path", "\"path\" params" or
// "path params", where the path itself may hold spaces (the shortest
// existing prefix ending before a space wins after the whole text).
std::optional<NamedFile> FileOf(std::wstring_view text) {
  while (!text.empty() && text.front() == L' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == L' ') text.remove_suffix(1);
  if (text.empty()) return std::nullopt;
  auto named = [](std::wstring device) -> std::optional<NamedFile> {
    std::optional<std::string> host = HostFile(device);
    if (!host) return std::nullopt;
    return NamedFile{std::move(device), std::move(*host)};
  };
  if (text.front() == L'"') {
    const std::size_t close = text.find(L'"', 1);
    if (close == std::wstring_view::npos || close == 1) return std::nullopt;
    return named(std::wstring(text.substr(1, close - 1)));
  }
  if (auto whole = named(std::wstring(text))) return whole;
  for (std::size_t space = text.find(L' '); space != std::wstring_view::npos; space = text.find(L' ', space + 1)) {
    if (auto prefix = named(std::wstring(text.substr(0, space)))) return prefix;
  }
  return std::nullopt;
}

// Reads `size` bytes at `offset` of a file of `fileSize` bytes; nothing
// when they are not all there.
std::optional<std::vector<std::uint8_t>> ReadAt(int fd, std::uint64_t offset, std::uint64_t size,
                                                std::uint64_t fileSize) {
  constexpr std::uint64_t kLargestRead = std::uint64_t{64} << 20;
  if (size > kLargestRead || offset > fileSize || size > fileSize - offset) return std::nullopt;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  std::size_t got = 0;
  while (got < bytes.size()) {
    const ssize_t n = ::pread(fd, bytes.data() + got, bytes.size() - got, static_cast<off_t>(offset + got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return std::nullopt;
    got += static_cast<std::size_t>(n);
  }
  return bytes;
}

std::uint64_t U64At(std::span<const std::uint8_t> b, std::size_t at) {
  return ce::resources::U32At(b, at) | (std::uint64_t{ce::resources::U32At(b, at + 4)} << 32);
}

// Where the resource section of a little-endian 64-bit ELF file lies.
struct Section {
  std::uint64_t offset = 0;
  std::uint64_t size = 0;
};

std::optional<Section> ResourceSection(int fd, std::uint64_t fileSize) {
  constexpr std::uint8_t kElf64[] = {0x7F, 'E', 'L', 'F', 2, 1};
  const auto header = ReadAt(fd, 0, 64, fileSize);
  if (!header || std::memcmp(header->data(), kElf64, sizeof kElf64) != 0) return std::nullopt;
  const std::uint64_t table = U64At(*header, 0x28);
  const std::uint32_t entrySize = ce::resources::U16At(*header, 0x3A);
  const std::uint32_t count = ce::resources::U16At(*header, 0x3C);
  const std::uint32_t names = ce::resources::U16At(*header, 0x3E);
  if (entrySize < 64 || count == 0 || names >= count) return std::nullopt;
  const auto sections = ReadAt(fd, table, std::uint64_t{entrySize} * count, fileSize);
  if (!sections) return std::nullopt;
  auto field = [&](std::uint32_t index, std::size_t at) { return U64At(*sections, index * entrySize + at); };
  const auto nameTable = ReadAt(fd, field(names, 0x18), field(names, 0x20), fileSize);
  if (!nameTable) return std::nullopt;
  constexpr std::string_view kName = ".ce_resources";
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t name = ce::resources::U32At(*sections, i * entrySize);
    if (name >= nameTable->size() || nameTable->size() - name < kName.size() + 1) continue;
    if (std::memcmp(nameTable->data() + name, kName.data(), kName.size()) != 0 ||
        (*nameTable)[name + kName.size()] != 0) {
      continue;
    }
    const Section found{field(i, 0x18), field(i, 0x20)};
    if (found.offset > fileSize || found.size > fileSize - found.offset) return std::nullopt;
    return found;
  }
  return std::nullopt;
}

// The first icon of a module file at cx by cy, read piece by piece from its
// resource section into a table of just the icon group and the picture
// chosen from it; null when the module has none or any piece is damaged.
HICON ModuleIcon(const std::string& host, int cx, int cy) {
  constexpr std::uint32_t kTextKey = 0x80000000u;
  const int fd = ce::kernel::fs::OpenRegularHostFile(host, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  HICON icon = nullptr;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    const auto fileSize = static_cast<std::uint64_t>(st.st_size);
    if (const auto section = ResourceSection(fd, fileSize)) {
      // The table's header, then its directory.
      const auto head = ReadAt(fd, section->offset, 16, fileSize);
      const std::uint32_t tableSize = head ? ce::resources::U32At(*head, 8) : 0;
      const std::uint32_t count = head ? ce::resources::U32At(*head, 12) : 0;
      std::optional<std::vector<std::uint8_t>> directory;
      if (head && std::memcmp(head->data(), "KSRT", 4) == 0 && tableSize <= section->size && tableSize >= 16 &&
          count <= (tableSize - 16) / 16) {
        directory = ReadAt(fd, section->offset + 16, std::uint64_t{count} * 16, fileSize);
      }
      // The bytes of the entry of a numeric type and name (name 0: the
      // first of the type), checked to lie in the table.
      auto entry = [&](std::uint32_t type, std::uint32_t name) -> std::optional<std::vector<std::uint8_t>> {
        for (std::uint32_t i = 0; directory && i < count; ++i) {
          const std::uint32_t key = ce::resources::U32At(*directory, i * 16);
          const std::uint32_t id = ce::resources::U32At(*directory, i * 16 + 4);
          if (key != type || (name != 0 && ((id & kTextKey) || id != name))) continue;
          const std::uint32_t offset = ce::resources::U32At(*directory, i * 16 + 8);
          const std::uint32_t size = ce::resources::U32At(*directory, i * 16 + 12);
          if (offset > tableSize || size > tableSize - offset) return std::nullopt;
          return ReadAt(fd, section->offset + offset, size, fileSize);
        }
        return std::nullopt;
      };
      const auto group = entry(reinterpret_cast<std::uintptr_t>(RT_GROUP_ICON), 0);
      const auto choice = group ? ce::resources::ChooseIconPicture(*group, cx, cy) : std::nullopt;
      const auto picture = choice ? entry(reinterpret_cast<std::uintptr_t>(RT_ICON), choice->id) : std::nullopt;
      if (picture) {
        // A table of two entries: the group (name 1) and the picture.
        auto padded = [](std::size_t n) { return (n + 7) & ~std::size_t{7}; };
        const std::size_t groupAt = 48;
        const std::size_t pictureAt = groupAt + padded(group->size());
        std::vector<std::uint8_t> bytes(pictureAt + padded(picture->size()), 0);
        auto put = [&](std::size_t at, std::uint32_t v) {
          for (int k = 0; k < 4; ++k) bytes[at + k] = static_cast<std::uint8_t>(v >> (8 * k));
        };
        std::memcpy(bytes.data(), "KSRT", 4);
        put(4, 1);
        put(8, static_cast<std::uint32_t>(bytes.size()));
        put(12, 2);
        put(16, static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(RT_GROUP_ICON)));
        put(20, 1);
        put(24, static_cast<std::uint32_t>(groupAt));
        put(28, static_cast<std::uint32_t>(group->size()));
        put(32, static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(RT_ICON)));
        put(36, choice->id);
        put(40, static_cast<std::uint32_t>(pictureAt));
        put(44, static_cast<std::uint32_t>(picture->size()));
        std::memcpy(bytes.data() + groupAt, group->data(), group->size());
        std::memcpy(bytes.data() + pictureAt, picture->data(), picture->size());
        if (const auto table = ce::resources::Table::Parse(bytes)) {
          if (const auto found = table->First(RT_GROUP_ICON))
            icon = ce::resources::IconFromGroup(*table, *found, cx, cy);
        }
      }
    }
  }
  ::close(fd);
  return icon;
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
  std::optional<NamedFile> file = FileOf(path);
  if (!file) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return 0;
  }
  if (EndsWithNoCase(file->device, L".lnk")) {
    ce::shell::Shortcut shortcut;
    if (const DWORD error = ce::shell::ReadShortcut(file->device.c_str(), shortcut)) {
      SetLastError(error);
      return 0;
    }
    // A shortcut leads to a file, never to another shortcut.
    if (EndsWithNoCase(shortcut.target, L".lnk")) {
      SetLastError(ERROR_BAD_FORMAT);
      return 0;
    }
    std::optional<std::string> target = HostFile(shortcut.target);
    if (!target) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return 0;
    }
    file = NamedFile{shortcut.target, std::move(*target)};
  }
  const bool small = (flags & SHGFI_SMALLICON) != 0;
  const int cx = small ? SystemSize(SM_CXSMICON, 16) : SystemSize(SM_CXICON, 32);
  const int cy = small ? SystemSize(SM_CYSMICON, 16) : SystemSize(SM_CYICON, 32);

  HICON icon = ModuleIcon(file->host, cx, cy);
  // A document, a module without icons or with a damaged one: the plain page.
  if (!icon) icon = ce::resources::PlainFileIcon(cx, cy);
  if (!icon) return 0;
  info->hIcon = icon;
  info->iIcon = 0;
  return 1;
}
