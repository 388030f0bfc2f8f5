// Helpers of the save tests: device files as bytes, and the message log.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ce/strconv.h"
#include "ce/winbase.h"
#include "engine/file.h"
#include "engine/log.h"

namespace apptest {

inline std::vector<std::uint8_t> ReadDeviceFile(const std::wstring& path) {
  ssFile f;
  if (!f.Open(path.c_str(), kFileModeRead, 0)) return {};
  std::vector<std::uint8_t> bytes(f.GetSize());
  if (!bytes.empty()) f.Read(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  return bytes;
}

inline bool DeviceFileExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline void WriteDeviceFile(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
  ssFile f;
  if (!f.Open(path.c_str(), kFileModeCreateWrite, 0)) return;
  if (!bytes.empty()) f.Write(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

// The log in "\Logs", traced, for tests that check what is reported.
class LogCapture {
 public:
  LogCapture() {
    ResetLogState();
    CreateDirectoryW(L"\\Logs", nullptr);
    OpenLog(L"\\Logs", L"test", 0);
    EnableTrace();
  }
  ~LogCapture() { ResetLogState(); }
  std::wstring Text() const {
    const std::vector<std::uint8_t> bytes = ReadDeviceFile(L"\\Logs\\message.log");
    return ce::WideFromUtf16LE(bytes.data(), bytes.size());
  }
};

}  // namespace apptest
