// What the device reports about a file or folder: attributes, times and size,
// from the host entry and the side table.
#pragma once

#include <cstdint>
#include <string>

#include "ce/minwindef.h"

namespace ce::kernel::fs {

struct EntryInfo {
  DWORD attributes = 0;
  std::uint64_t creation = 0;
  std::uint64_t lastAccess = 0;
  std::uint64_t lastWrite = 0;
  std::uint64_t size = 0;
  bool directory = false;
};

// False with errno set when the host entry cannot be read. `isCard` marks a
// storage card's top folder.
bool InfoOfHost(const std::string& host, bool isCard, EntryInfo& info);

inline FILETIME ToFileTime(std::uint64_t value) {
  return FILETIME{static_cast<DWORD>(value & 0xFFFFFFFFu), static_cast<DWORD>(value >> 32)};
}
inline std::uint64_t FromFileTime(const FILETIME& value) {
  return (static_cast<std::uint64_t>(value.dwHighDateTime) << 32) | value.dwLowDateTime;
}

}  // namespace ce::kernel::fs
