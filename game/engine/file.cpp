#include "engine/file.h"

#include "ce/winbase.h"

ssFile::ssFile(std::uint32_t word) : m_Handle(INVALID_HANDLE_VALUE), m_Word(word) {}

ssFile::~ssFile() { ssFile::Close(); }

bool ssFile::Open(const wchar_t* name, std::uint32_t mode, std::uint32_t share) {
  if (IsOpen()) Close();
  if (name == nullptr) return false;
  std::wstring path(name);
  if (path.empty() || path.size() > kMaxFileName) return false;
  m_Name = std::move(path);
  m_Position = 0;

  DWORD access = 0;
  if (mode & 0x80000000u) access |= GENERIC_READ;
  if (mode & 0x40000000u) access |= GENERIC_WRITE;
  DWORD creation = OPEN_EXISTING;
  if (mode & kFileModeCreateBits) {
    creation = CREATE_ALWAYS;
  } else if (mode & kFileModeOpenAlways) {
    creation = OPEN_ALWAYS;
  }
  m_Handle = CreateFileW(m_Name.c_str(), access, share, nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr);
  return m_Handle != INVALID_HANDLE_VALUE;
}

std::uint32_t ssFile::Read(void* buffer, std::uint32_t count) {
  if (!IsOpen()) return 0;
  DWORD done = 0;
  if (!ReadFile(m_Handle, buffer, count, &done, nullptr)) done = 0;
  m_Position += done;
  return done;
}

std::uint32_t ssFile::Write(const void* buffer, std::uint32_t count) {
  if (!IsOpen()) return 0;
  DWORD done = 0;
  if (!WriteFile(m_Handle, buffer, count, &done, nullptr)) done = 0;
  m_Position += done;
  return done;
}

std::uint32_t ssFile::Seek(std::int32_t offset, int origin) {
  if (!IsOpen()) return 0;
  m_Position = SetFilePointer(m_Handle, offset, nullptr, static_cast<DWORD>(origin));
  return m_Position;
}

std::uint32_t ssFile::Close() {
  if (!IsOpen()) return kCloseNotOpen;
  BOOL result = CloseHandle(m_Handle);
  m_Handle = INVALID_HANDLE_VALUE;
  return static_cast<std::uint32_t>(result);
}

std::uint32_t ssFile::GetSize() {
  if (!IsOpen()) return 0;
  DWORD here = SetFilePointer(m_Handle, 0, nullptr, FILE_CURRENT);
  DWORD size = SetFilePointer(m_Handle, 0, nullptr, FILE_END);
  LONG high = 0;
  SetFilePointer(m_Handle, static_cast<LONG>(here), &high, FILE_BEGIN);
  return size;
}

std::uint32_t ssFile::Tell() {
  // Like SetFilePointer on a closed handle: the failure value.
  if (!IsOpen()) return INVALID_SET_FILE_POINTER;
  return SetFilePointer(m_Handle, 0, nullptr, FILE_CURRENT);
}
