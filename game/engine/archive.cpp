#include "engine/archive.h"

#include <algorithm>
#include <cstring>

#include "ce/strconv.h"
#include "runtime/le_bytes.h"

namespace {

using ks::runtime::LoadLe32;

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// True when a name holds a ".." component: names come from the program, but
// a member or folder name must still never lead out of the base folder.
bool HasParentStep(const wchar_t* text) {
  if (text == nullptr) return false;
  std::wstring_view s(text);
  std::size_t start = 0;
  while (start <= s.size()) {
    std::size_t end = s.find_first_of(L"\\/", start);
    if (end == std::wstring_view::npos) end = s.size();
    if (s.substr(start, end - start) == L"..") return true;
    start = end + 1;
  }
  return false;
}

// "a\b\c" from the parts, skipping empty ones; an empty base gives a path
// from the device root.
std::wstring JoinPath(const std::wstring& base, std::initializer_list<const wchar_t*> parts) {
  std::wstring path = base;
  while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  for (const wchar_t* part : parts) {
    if (part == nullptr || *part == 0) continue;
    path += L'\\';
    path += part;
  }
  return path;
}

}  // namespace

// ---- ssArchiveMember

ssArchiveMember::ssArchiveMember(std::uint32_t word, std::shared_ptr<ssFile> archive, std::uint32_t start,
                                 std::uint32_t length)
    : ssFile(word), m_Archive(std::move(archive)), m_Start(start), m_Length(length) {
  m_Position = m_Archive->Position();
}

ssArchiveMember::~ssArchiveMember() = default;

std::uint32_t ssArchiveMember::Read(void* buffer, std::uint32_t count) {
  if (m_MemberPosition >= m_Length) return 0;
  std::uint32_t wanted = std::min(count, m_Length - m_MemberPosition);
  std::uint64_t target = static_cast<std::uint64_t>(m_Start) + m_MemberPosition;
  m_Position = m_Archive->Tell();
  if (m_Position != target) {
    // Another member may have moved the shared stream. Offsets past 2 GB
    // take a second, relative move (members lie below 4 GB).
    std::uint32_t at = 0;
    if (target <= 0x7FFFFFFF) {
      at = m_Archive->Seek(static_cast<std::int32_t>(target), kSeekBegin);
    } else {
      m_Archive->Seek(0x7FFFFFFF, kSeekBegin);
      at = m_Archive->Seek(static_cast<std::int32_t>(target - 0x7FFFFFFF), kSeekCurrent);
    }
    if (at != target) return 0;
  }
  std::uint32_t got = m_Archive->Read(buffer, wanted);
  m_MemberPosition += got;
  return got;
}

std::uint32_t ssArchiveMember::Write(const void* buffer, std::uint32_t count) {
  return m_Archive->Write(buffer, count);
}

std::uint32_t ssArchiveMember::Seek(std::int32_t offset, int origin) {
  std::int64_t base = 0;
  if (origin == kSeekCurrent) {
    base = m_MemberPosition;
  } else if (origin == kSeekEnd) {
    base = m_Length;
  }
  // The position within the member never goes below 0; beyond the end is
  // allowed (reads there give 0 bytes).
  std::int64_t target = std::clamp<std::int64_t>(base + offset, 0, 0xFFFFFFFFll - m_Start);
  m_MemberPosition = static_cast<std::uint32_t>(target);
  return m_MemberPosition;
}

// ---- ssArchiveMemMember

ssArchiveMemMember::ssArchiveMemMember(std::uint32_t word, std::shared_ptr<const std::vector<std::uint8_t>> image,
                                       std::uint32_t start, std::uint32_t length)
    : ssFile(word), m_Image(std::move(image)), m_Start(start), m_Length(length) {}

std::uint32_t ssArchiveMemMember::Read(void* buffer, std::uint32_t count) {
  if (m_MemberPosition >= m_Length) return 0;
  std::uint32_t n = std::min(count, m_Length - m_MemberPosition);
  if (n > 0) std::memcpy(buffer, m_Image->data() + m_Start + m_MemberPosition, n);
  m_MemberPosition += n;
  return n;
}

std::uint32_t ssArchiveMemMember::Seek(std::int32_t offset, int origin) {
  std::int64_t base = 0;
  if (origin == kSeekCurrent) {
    base = m_MemberPosition;
  } else if (origin == kSeekEnd) {
    base = m_Length;
  }
  m_MemberPosition = static_cast<std::uint32_t>(std::clamp<std::int64_t>(base + offset, 0, 0xFFFFFFFFll));
  return m_MemberPosition;
}

// ---- ssArchive

ssArchive::ssArchive(bool preload) : m_Preload(preload) {}

ssArchive::~ssArchive() = default;

void ssArchive::SetBaseFolder(const wchar_t* folder, std::uint32_t word) {
  m_BaseFolder = folder ? folder : L"";
  m_Word = word;
}

void ssArchive::NameToAscii(const wchar_t* name, char* out, std::size_t outSize) {
  if (out == nullptr || outSize == 0) return;
  std::size_t i = 0;
  if (name != nullptr) {
    for (; name[i] != 0 && i + 1 < outSize; ++i) {
      out[i] = LowerAscii(static_cast<char>(static_cast<std::uint32_t>(name[i]) & 0xFF));
    }
  }
  out[i] = 0;
}

void CopyAsciiToWide(const char* text, wchar_t* out, std::size_t outSize) {
  if (out == nullptr || outSize == 0) return;
  std::size_t i = 0;
  if (text != nullptr) {
    for (; text[i] != 0 && i + 1 < outSize; ++i) out[i] = static_cast<wchar_t>(static_cast<unsigned char>(text[i]));
  }
  out[i] = 0;
}

std::unique_ptr<ssFile> ssArchive::OpenStream(const std::wstring& path, std::uint32_t mode, std::uint32_t share) {
  auto file = std::make_unique<ssFile>(m_Word);
  if (!file->Open(path.c_str(), mode, share)) return nullptr;
  return file;
}

std::wstring ssArchive::ArchivePath(const wchar_t* folder, const wchar_t* archive) const {
  return JoinPath(m_BaseFolder, {folder, archive});
}

bool ssArchive::ReadDirectory(OpenedArchive& archive) {
  ssFile& file = *archive.file;
  archive.fileSize = file.GetSize();
  std::uint8_t header[kArchiveHeaderSize];
  if (file.Read(header, 8) != 8) return false;
  if (LoadLe32(header) != kArchiveMagic0 || LoadLe32(header + 4) != kArchiveMagic1) return false;
  if (file.Read(header + 8, 4) != 4) return false;
  std::uint64_t count = LoadLe32(header + 8);
  // The directory must lie within the file; this also bounds the allocation.
  if (kArchiveHeaderSize + count * kArchiveEntrySize > archive.fileSize) return false;

  std::vector<std::uint8_t> raw(static_cast<std::size_t>(count * kArchiveEntrySize));
  if (!raw.empty() && file.Read(raw.data(), static_cast<std::uint32_t>(raw.size())) != raw.size()) return false;
  archive.directory.resize(static_cast<std::size_t>(count));
  for (std::size_t i = 0; i < archive.directory.size(); ++i) {
    const std::uint8_t* e = raw.data() + i * kArchiveEntrySize;
    ssArchiveEntry& entry = archive.directory[i];
    std::memcpy(entry.name, e, kArchiveNameSize);
    entry.offset = LoadLe32(e + 32);
    entry.length = LoadLe32(e + 36);
  }

  if (m_Preload) {
    // Each byte of the file lies in the image at its own offset.
    archive.image = std::make_shared<std::vector<std::uint8_t>>(archive.fileSize, 0);
    std::uint32_t rest = archive.fileSize - static_cast<std::uint32_t>(kArchiveHeaderSize + raw.size());
    std::uint32_t at = archive.fileSize - rest;
    std::uint8_t* image = archive.image->data();
    std::memcpy(image, header, kArchiveHeaderSize);
    if (!raw.empty()) std::memcpy(image + kArchiveHeaderSize, raw.data(), raw.size());
    if (rest > 0 && file.Read(image + at, rest) != rest) return false;
  }
  return true;
}

long ssArchive::FindMember(const OpenedArchive& archive, const wchar_t* name) {
  char wanted[kArchiveNameSize + 1];
  // One byte more than an entry holds, so a longer name cannot match a
  // truncated prefix.
  NameToAscii(name, wanted, sizeof wanted);
  std::size_t wantedLength = std::strlen(wanted);
  if (wantedLength == 0 || wantedLength > kArchiveNameSize - 1) return -1;
  for (std::size_t i = 0; i < archive.directory.size(); ++i) {
    const ssArchiveEntry& entry = archive.directory[i];
    std::size_t j = 0;
    for (; j < kArchiveNameSize; ++j) {
      if (LowerAscii(entry.name[j]) != wanted[j]) break;
      if (wanted[j] == 0) break;
    }
    if (j < kArchiveNameSize && wanted[j] == 0 && entry.name[j] == 0) {
      // A member whose bytes lie outside the file is treated as absent.
      if (static_cast<std::uint64_t>(entry.offset) + entry.length > archive.fileSize) return -1;
      return static_cast<long>(i);
    }
  }
  return -1;
}

std::unique_ptr<ssFile> ssArchive::MakeMember(OpenedArchive& archive, const ssArchiveEntry& entry) {
  if (m_Preload) return std::make_unique<ssArchiveMemMember>(m_Word, archive.image, entry.offset, entry.length);
  return std::make_unique<ssArchiveMember>(m_Word, archive.file, entry.offset, entry.length);
}

std::unique_ptr<ssFile> ssArchive::OpenLoose(const wchar_t* name, const wchar_t* folder, std::uint32_t mode,
                                             std::uint32_t share) {
  if (name == nullptr || *name == 0 || HasParentStep(name) || HasParentStep(folder)) return nullptr;
  return OpenStream(JoinPath(m_BaseFolder, {folder, name}), mode, share);
}

std::unique_ptr<ssFile> ssArchive::OpenFile(const wchar_t* name, const wchar_t* folder, const wchar_t* archive,
                                            std::uint32_t mode, std::uint32_t share) {
  std::wstring path = ArchivePath(folder, archive);
  for (OpenedArchive& open : m_Archives) {
    if (!ce::EqualsNoCase(open.path, path)) continue;
    long index = FindMember(open, name);
    if (index >= 0) {
      m_Status = kArchiveFound;
      return MakeMember(open, open.directory[static_cast<std::size_t>(index)]);
    }
    m_Status = kArchiveMemberMissing;
    return OpenLoose(name, folder, mode, share);
  }

  OpenedArchive opened;
  opened.path = path;
  if (archive != nullptr && *archive != 0 && !HasParentStep(folder) && !HasParentStep(archive)) {
    opened.file = OpenStream(path, kFileModeRead, 3);
  }
  if (!opened.file) {
    // Not remembered as missing: the next OpenFile naming it tries again.
    m_Failed = true;
    m_Status = kArchiveOpenFailed;
    return OpenLoose(name, folder, mode, share);
  }
  if (!ReadDirectory(opened)) {
    // Not an archive: dropped again (and retried like a missing one).
    m_Status = kArchiveBadHeader;
    return nullptr;
  }
  m_Archives.push_back(std::move(opened));
  OpenedArchive& added = m_Archives.back();
  long index = FindMember(added, name);
  if (index < 0) {
    m_Status = kArchiveNewMemberMissing;
    m_Failed = true;
    return OpenLoose(name, folder, mode, share);
  }
  m_Failed = false;
  m_Status = kArchiveFound;
  return MakeMember(added, added.directory[static_cast<std::size_t>(index)]);
}

void ssArchive::CloseArchive(const wchar_t* folder, const wchar_t* archive) {
  std::wstring path = ArchivePath(folder, archive);
  auto it = std::find_if(m_Archives.begin(), m_Archives.end(),
                         [&](const OpenedArchive& a) { return ce::EqualsNoCase(a.path, path); });
  if (it != m_Archives.end()) m_Archives.erase(it);
}
