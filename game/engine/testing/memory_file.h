// Streams over bytes in memory, for tests, fuzzers and benchmarks: an ssFile
// that reads and writes a byte vector, and an ssArchive whose files come from
// a map of device paths to bytes instead of the device.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/archive.h"
#include "engine/file.h"

class ssMemoryFile : public ssFile {
 public:
  // A stream that is not writable answers every Write with 0, like a file
  // opened for reading.
  explicit ssMemoryFile(std::vector<std::uint8_t> bytes, std::uint32_t word = 0, bool writable = true);

  std::uint32_t Read(void* buffer, std::uint32_t count) override;
  std::uint32_t Write(const void* buffer, std::uint32_t count) override;
  // Like SetFilePointer: a move before the start fails with 0xFFFFFFFF and
  // leaves the position; beyond the end is allowed.
  std::uint32_t Seek(std::int32_t offset, int origin) override;
  std::uint32_t Close() override;
  std::uint32_t GetSize() override;
  std::uint32_t Tell() override;

  const std::vector<std::uint8_t>& Bytes() const { return m_Bytes; }
  // Counts the reads, so tests can see how a reader walks a stream.
  int ReadCalls() const { return m_ReadCalls; }

 private:
  std::vector<std::uint8_t> m_Bytes;
  std::uint64_t m_At = 0;
  bool m_Open = true;
  bool m_Writable;
  int m_ReadCalls = 0;
};

// Device paths are compared without regard to case, like the device's.
class ssMemoryArchive : public ssArchive {
 public:
  explicit ssMemoryArchive(bool preload = false) : ssArchive(preload) {}

  void AddFile(const std::wstring& path, std::vector<std::uint8_t> bytes);
  int OpenCount(const std::wstring& path) const;

 protected:
  std::unique_ptr<ssFile> OpenStream(const std::wstring& path, std::uint32_t mode, std::uint32_t share) override;

 private:
  std::map<std::wstring, std::vector<std::uint8_t>> m_Files;  // keys lower-cased
  std::map<std::wstring, int> m_Opens;
};
