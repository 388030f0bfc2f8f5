#include "memory_file.h"

#include <algorithm>
#include <cstring>

#include "ce/strconv.h"

ssMemoryFile::ssMemoryFile(std::vector<std::uint8_t> bytes, std::uint32_t word, bool writable)
    : ssFile(word), bytes_(std::move(bytes)), writable_(writable) {}

std::uint32_t ssMemoryFile::Read(void* buffer, std::uint32_t count) {
  ++readCalls_;
  if (!open_ || at_ >= bytes_.size()) return 0;
  std::uint32_t n = static_cast<std::uint32_t>(std::min<std::uint64_t>(count, bytes_.size() - at_));
  if (n > 0) std::memcpy(buffer, bytes_.data() + at_, n);
  at_ += n;
  position_ += n;
  return n;
}

std::uint32_t ssMemoryFile::Write(const void* buffer, std::uint32_t count) {
  if (!open_ || !writable_) return 0;
  if (at_ + count > bytes_.size()) bytes_.resize(static_cast<std::size_t>(at_ + count));
  if (count > 0) std::memcpy(bytes_.data() + at_, buffer, count);
  at_ += count;
  position_ += count;
  return count;
}

std::uint32_t ssMemoryFile::Seek(std::int32_t offset, int origin) {
  if (!open_) return 0;
  std::int64_t base = origin == kSeekCurrent ? static_cast<std::int64_t>(at_)
                      : origin == kSeekEnd   ? static_cast<std::int64_t>(bytes_.size())
                                             : 0;
  std::int64_t target = base + offset;
  if (target < 0 || target > 0xFFFFFFFEll) {
    position_ = 0xFFFFFFFFu;
    return position_;
  }
  at_ = static_cast<std::uint64_t>(target);
  position_ = static_cast<std::uint32_t>(at_);
  return position_;
}

std::uint32_t ssMemoryFile::Close() {
  if (!open_) return kCloseNotOpen;
  open_ = false;
  return 1;
}

std::uint32_t ssMemoryFile::GetSize() { return open_ ? static_cast<std::uint32_t>(bytes_.size()) : 0; }

std::uint32_t ssMemoryFile::Tell() { return open_ ? static_cast<std::uint32_t>(at_) : 0xFFFFFFFFu; }

namespace {
std::wstring Key(const std::wstring& path) {
  std::wstring key = path;
  for (wchar_t& c : key) c = ce::ToLowerInvariant(c);
  return key;
}
}  // namespace

void ssMemoryArchive::AddFile(const std::wstring& path, std::vector<std::uint8_t> bytes) {
  files_[Key(path)] = std::move(bytes);
}

int ssMemoryArchive::OpenCount(const std::wstring& path) const {
  auto it = opens_.find(Key(path));
  return it == opens_.end() ? 0 : it->second;
}

std::unique_ptr<ssFile> ssMemoryArchive::OpenStream(const std::wstring& path, std::uint32_t mode, std::uint32_t) {
  ++opens_[Key(path)];
  auto it = files_.find(Key(path));
  if (it == files_.end()) return nullptr;
  return std::make_unique<ssMemoryFile>(it->second, 0, (mode & kFileModeWrite) != 0);
}
