// ".ark" archives and their member streams.
//
// File format (little-endian u32): 0, 258, entry count N, then N directory
// entries of 40 bytes (a lower-case name of at most 31 characters,
// zero-padded to 32 bytes; the member's offset from the start of the file;
// its length), then the member data anywhere in the file. Entries are
// searched in file order; the first whose name matches wins.
//
// ssArchive opens archives lazily, keeps each one's directory in memory and
// hands out member streams that read within the member. A member missing
// from its archive (or an archive that cannot be opened) falls back to the
// loose file of that name in the folder under the base folder.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/file.h"

// Status of the last OpenFile.
inline constexpr std::uint32_t kArchiveFound = 0;
inline constexpr std::uint32_t kArchiveMemberMissing = 0x80000001u;     // archive open, member not in it
inline constexpr std::uint32_t kArchiveOpenFailed = 0x80000002u;        // archive file failed to open
inline constexpr std::uint32_t kArchiveNewMemberMissing = 0x80000003u;  // archive newly opened, member not in it
inline constexpr std::uint32_t kArchiveBadHeader = 0x80000004u;         // not an archive (no stream)

inline constexpr std::uint32_t kArchiveMagic0 = 0;
inline constexpr std::uint32_t kArchiveMagic1 = 258;
inline constexpr std::uint32_t kArchiveHeaderSize = 12;
inline constexpr std::uint32_t kArchiveEntrySize = 40;
inline constexpr std::uint32_t kArchiveNameSize = 32;

// One directory entry as read from the file.
struct ssArchiveEntry {
  char name[kArchiveNameSize];  // not necessarily terminated in the file
  std::uint32_t offset;
  std::uint32_t length;
};

// A member read through the archive's own open stream. Every read puts the
// shared stream at the member's position first, so members of one archive
// can be read alternately.
class ssArchiveMember : public ssFile {
 public:
  ssArchiveMember(std::uint32_t word, std::shared_ptr<ssFile> archive, std::uint32_t start, std::uint32_t length);
  ~ssArchiveMember() override;

  std::uint32_t Read(void* buffer, std::uint32_t count) override;
  // Forwards to the archive stream, which is open for reading only.
  std::uint32_t Write(const void* buffer, std::uint32_t count) override;
  std::uint32_t Seek(std::int32_t offset, int origin) override;
  std::uint32_t Close() override { return 0; }
  std::uint32_t GetSize() override { return m_Length; }
  std::uint32_t Tell() override { return m_MemberPosition; }

 private:
  // Shared with the ssArchive, so a member that outlives its archive still
  // reads valid memory.
  std::shared_ptr<ssFile> m_Archive;
  std::uint32_t m_Start;
  std::uint32_t m_Length;
  std::uint32_t m_MemberPosition = 0;
};

// A member of an archive preloaded into memory.
class ssArchiveMemMember : public ssFile {
 public:
  ssArchiveMemMember(std::uint32_t word, std::shared_ptr<const std::vector<std::uint8_t>> image, std::uint32_t start,
                     std::uint32_t length);

  std::uint32_t Read(void* buffer, std::uint32_t count) override;
  std::uint32_t Write(const void*, std::uint32_t) override { return 0; }
  std::uint32_t Seek(std::int32_t offset, int origin) override;
  std::uint32_t Close() override { return 0; }
  std::uint32_t GetSize() override { return m_Length; }
  std::uint32_t Tell() override { return m_MemberPosition; }

 private:
  std::shared_ptr<const std::vector<std::uint8_t>> m_Image;  // the whole archive file
  std::uint32_t m_Start;
  std::uint32_t m_Length;
  std::uint32_t m_MemberPosition = 0;
};

class ssArchive {
 public:
  explicit ssArchive(bool preload = false);
  virtual ~ssArchive();
  ssArchive(const ssArchive&) = delete;
  ssArchive& operator=(const ssArchive&) = delete;

  void SetBaseFolder(const wchar_t* folder, std::uint32_t word);

  // A new stream for member `name` of archive `archive` in `folder` under the
  // base folder, or the loose file of that name; null when neither exists or
  // the archive is not an archive. The status says which (LastStatus).
  std::unique_ptr<ssFile> OpenFile(const wchar_t* name, const wchar_t* folder, const wchar_t* archive,
                                   std::uint32_t mode, std::uint32_t share);

  // Forgets one open archive. Its member streams must be gone.
  void CloseArchive(const wchar_t* folder, const wchar_t* archive);

  std::uint32_t LastStatus() const { return m_Status; }
  bool Failed() const { return m_Failed; }
  std::size_t OpenArchiveCount() const { return m_Archives.size(); }
  const std::wstring& BaseFolder() const { return m_BaseFolder; }

  // The wide name as 8-bit text: the low byte of each unit, 'A'-'Z' lowered.
  // Writes at most outSize bytes including the terminator.
  static void NameToAscii(const wchar_t* name, char* out, std::size_t outSize);

 protected:
  // Opens a stream on a device path. Tests and fuzzers serve streams from
  // memory by overriding it.
  virtual std::unique_ptr<ssFile> OpenStream(const std::wstring& path, std::uint32_t mode, std::uint32_t share);

 private:
  struct OpenedArchive {
    std::wstring path;
    std::shared_ptr<ssFile> file;
    std::vector<ssArchiveEntry> directory;
    std::uint32_t fileSize = 0;
    std::shared_ptr<std::vector<std::uint8_t>> image;  // the whole file when preloading
  };

  // Reads the header and directory; false when it is not a sound archive.
  bool ReadDirectory(OpenedArchive& archive);
  // Index of the first entry named `name`, or -1 (also for an entry whose
  // bytes lie outside the file).
  static long FindMember(const OpenedArchive& archive, const wchar_t* name);
  std::unique_ptr<ssFile> MakeMember(OpenedArchive& archive, const ssArchiveEntry& entry);
  std::unique_ptr<ssFile> OpenLoose(const wchar_t* name, const wchar_t* folder, std::uint32_t mode,
                                    std::uint32_t share);
  std::wstring ArchivePath(const wchar_t* folder, const wchar_t* archive) const;

  std::vector<OpenedArchive> m_Archives;
  std::wstring m_BaseFolder;
  bool m_Preload;
  bool m_Failed = false;
  std::uint32_t m_Word = 0;
  std::uint32_t m_Status = 0;
};

// Each byte of `text` widened to one wide unit; writes at most outSize units
// including the terminator.
void CopyAsciiToWide(const char* text, wchar_t* out, std::size_t outSize);
