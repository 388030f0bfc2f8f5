#include "memory_file.h"

#include <algorithm>
#include <cstring>

#include "ce/strconv.h"

ssMemoryFile::ssMemoryFile(std::vector<std::uint8_t> bytes, std::uint32_t word, bool writable)
    : ssFile(word), m_Bytes(std::move(bytes)), m_Writable(writable) {}

std::uint32_t ssMemoryFile::Read(void* buffer, std::uint32_t count) {
  ++m_ReadCalls;
  if (!m_Open || m_At >= m_Bytes.size()) return 0;
  std::uint32_t n = static_cast<std::uint32_t>(std::min<std::uint64_t>(count, m_Bytes.size() - m_At));
  if (n > 0) std::memcpy(buffer, m_Bytes.data() + m_At, n);
  m_At += n;
  m_Position += n;
  return n;
}

std::uint32_t ssMemoryFile::Write(const void* buffer, std::uint32_t count) {
  if (!m_Open || !m_Writable) return 0;
  if (m_At + count > m_Bytes.size()) m_Bytes.resize(static_cast<std::size_t>(m_At + count));
  if (count > 0) std::memcpy(m_Bytes.data() + m_At, buffer, count);
  m_At += count;
  m_Position += count;
  return count;
}

std::uint32_t ssMemoryFile::Seek(std::int32_t offset, int origin) {
  if (!m_Open) return 0;
  std::int64_t base = origin == kSeekCurrent ? static_cast<std::int64_t>(m_At)
                      : origin == kSeekEnd   ? static_cast<std::int64_t>(m_Bytes.size())
                                             : 0;
  std::int64_t target = base + offset;
  if (target < 0 || target > 0xFFFFFFFEll) {
    m_Position = 0xFFFFFFFFu;
    return m_Position;
  }
  m_At = static_cast<std::uint64_t>(target);
  m_Position = static_cast<std::uint32_t>(m_At);
  return m_Position;
}

std::uint32_t ssMemoryFile::Close() {
  if (!m_Open) return kCloseNotOpen;
  m_Open = false;
  return 1;
}

std::uint32_t ssMemoryFile::GetSize() { return m_Open ? static_cast<std::uint32_t>(m_Bytes.size()) : 0; }

std::uint32_t ssMemoryFile::Tell() { return m_Open ? static_cast<std::uint32_t>(m_At) : 0xFFFFFFFFu; }

namespace {
std::wstring Key(const std::wstring& path) {
  std::wstring key = path;
  for (wchar_t& c : key) c = ce::ToLowerInvariant(c);
  return key;
}
}  // namespace

void ssMemoryArchive::AddFile(const std::wstring& path, std::vector<std::uint8_t> bytes) {
  m_Files[Key(path)] = std::move(bytes);
}

int ssMemoryArchive::OpenCount(const std::wstring& path) const {
  auto it = m_Opens.find(Key(path));
  return it == m_Opens.end() ? 0 : it->second;
}

std::unique_ptr<ssFile> ssMemoryArchive::OpenStream(const std::wstring& path, std::uint32_t mode, std::uint32_t) {
  ++m_Opens[Key(path)];
  auto it = m_Files.find(Key(path));
  if (it == m_Files.end()) return nullptr;
  return std::make_unique<ssMemoryFile>(it->second, 0, (mode & kFileModeWrite) != 0);
}
