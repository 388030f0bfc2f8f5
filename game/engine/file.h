// ssFile: the one stream interface every reader and writer of the game uses.
// A plain ssFile is a file of the device's file system; archive members
// (archive.h) and test streams derive from it and present their bytes through
// the same operations, so image, model and font readers never know where
// their data come from.
#pragma once

#include <cstdint>
#include <string>

#include "ce/minwindef.h"

// Open modes in use: bit 31 read, bit 30 write; any of 0x4064 creates (an
// existing file is emptied), else 0x8000 opens or creates, else the file
// must exist.
inline constexpr std::uint32_t kFileModeRead = 0x80000000u;
inline constexpr std::uint32_t kFileModeWrite = 0x40000000u;
inline constexpr std::uint32_t kFileModeCreateBits = 0x4064u;
inline constexpr std::uint32_t kFileModeOpenAlways = 0x8000u;
inline constexpr std::uint32_t kFileModeCreateWrite = 0x40004064u;
inline constexpr std::uint32_t kFileModeReadWrite = 0xC0000000u;

// Seek origins.
inline constexpr int kSeekBegin = 0;
inline constexpr int kSeekCurrent = 1;
inline constexpr int kSeekEnd = 2;

// The longest file name a stream keeps (characters, without the terminator).
inline constexpr std::size_t kMaxFileName = 255;

// Close() of a stream that is not open answers this (the invalid-handle value).
inline constexpr std::uint32_t kCloseNotOpen = 0xFFFFFFFFu;

class ssFile {
 public:
  // `word` is handed on to streams made from this one; nothing reads it.
  explicit ssFile(std::uint32_t word = 0);
  virtual ~ssFile();
  ssFile(const ssFile&) = delete;
  ssFile& operator=(const ssFile&) = delete;

  // Opens `name` (a device path). False when the name is missing or longer
  // than kMaxFileName characters, or the file cannot be opened.
  bool Open(const wchar_t* name, std::uint32_t mode, std::uint32_t share = 0);

  // Bytes transferred; 0 when closed.
  virtual std::uint32_t Read(void* buffer, std::uint32_t count);
  virtual std::uint32_t Write(const void* buffer, std::uint32_t count);
  // New position (0xFFFFFFFF when the move failed); 0 when closed.
  virtual std::uint32_t Seek(std::int32_t offset, int origin);
  // CloseHandle's result, or kCloseNotOpen when already closed.
  virtual std::uint32_t Close();
  // Size in bytes; 0 when closed. The position is kept.
  virtual std::uint32_t GetSize();
  virtual std::uint32_t Tell();

  bool IsOpen() const { return m_Handle != INVALID_HANDLE_VALUE; }
  const std::wstring& Name() const { return m_Name; }
  std::uint32_t Position() const { return m_Position; }
  std::uint32_t Word() const { return m_Word; }

 protected:
  HANDLE m_Handle;
  std::uint32_t m_Position = 0;
  std::wstring m_Name;
  std::uint32_t m_Word;
};
