// Device files for the suite's tests, through the platform's file calls.
#pragma once

#include <string>

#include "ce/windows.h"

namespace suite_test {

inline bool WriteDeviceFile(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
  CloseHandle(file);
  return ok;
}

inline std::string ReadDeviceFile(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  std::string bytes(1 << 20, '\0');
  DWORD read = 0;
  ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  CloseHandle(file);
  bytes.resize(read);
  return bytes;
}

// Makes every folder along a device path.
inline void MakeFolders(const std::wstring& path) {
  for (std::size_t cut = path.find(L'\\', 1); cut != std::wstring::npos; cut = path.find(L'\\', cut + 1)) {
    CreateDirectoryW(path.substr(0, cut).c_str(), nullptr);
  }
  CreateDirectoryW(path.c_str(), nullptr);
}

}  // namespace suite_test
