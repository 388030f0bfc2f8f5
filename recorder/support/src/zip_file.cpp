#include "liba/zip_file.h"

#include <vector>

#include "liba/text.h"
#include "os/path.h"

namespace liba {

namespace {

constexpr std::uint32_t kLocalHeaderSignature = 0x04034b50u;

// A short read leaves the missing bytes 0, so the field reads as 0.
std::uint32_t ReadU32(os::File& file) {
  std::uint8_t b[4] = {};
  file.read(b, 4);
  return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

std::uint16_t ReadU16(os::File& file) {
  std::uint8_t b[2] = {};
  file.read(b, 2);
  return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}

}  // namespace

ZipFile::ZipFile(const std::wstring& path) : file_(path, 0) {}

bool ZipFile::find_entry(const std::wstring& name) {
  next_header_ = 0;
  for (;;) {
    const std::wstring entry = next_entry();
    if (entry.empty()) return false;
    if (os::paths_equal(entry, name)) return true;
  }
}

std::wstring ZipFile::next_entry() {
  file_.seek(next_header_);
  if (ReadU32(file_) != kLocalHeaderSignature) return std::wstring();
  // Version, flags, method, time, date and CRC-32 are not needed.
  if (file_.skip(14) != 14) return std::wstring();
  const std::uint32_t compressed_size = ReadU32(file_);
  const std::uint32_t size = ReadU32(file_);
  const std::uint16_t name_length = ReadU16(file_);
  const std::uint16_t extra_length = ReadU16(file_);
  std::vector<char> name(static_cast<std::size_t>(name_length) + 1, 0);
  if (file_.read(name.data(), name_length) != name_length) return std::wstring();
  const std::wstring decoded = decode_name(name.data(), name.data() + name_length);
  if (file_.skip(extra_length) != extra_length) return std::wstring();
  // Skipping moves past the end of a file without complaint: a header cut
  // short inside its extra field must not select a member.
  const std::uint32_t data_start = file_.tell();
  if (data_start > file_.get_size()) return std::wstring();
  // No decompressor: a compressed member ends the walk.
  if (compressed_size != size) return std::wstring();
  // A member that would put the next header past 4 GB would wrap the offset
  // back into the archive and walk in a circle.
  if (compressed_size > 0xFFFFFFFFu - data_start) return std::wstring();
  data_start_ = data_start;
  next_header_ = data_start + compressed_size;
  position_ = 0;
  member_size_ = size;
  return decoded;
}

std::wstring ZipFile::decode_name(const char* begin, const char* end) {
  std::wstring out;
  narrow_range_to_wide(out, begin, end);
  return out;
}

std::uint32_t ZipFile::read(void* buffer, std::uint32_t count) {
  // A seek may have put the position past the member: nothing is left then.
  if (position_ >= member_size_) return 0;
  const std::uint32_t left = member_size_ - position_;
  const std::uint32_t done = file_.read(buffer, count < left ? count : left);
  position_ += done;
  return done;
}

std::uint32_t ZipFile::skip(std::uint32_t count) {
  if (position_ >= member_size_) return 0;
  const std::uint32_t left = member_size_ - position_;
  const std::uint32_t moved = file_.skip(count < left ? count : left);
  position_ += moved;
  return moved;
}

std::uint32_t ZipFile::write(const void*, std::uint32_t) { return 0; }

std::uint32_t ZipFile::seek(std::uint32_t p) {
  // Kept within the member, so that reads never reach the bytes after it.
  position_ = p < member_size_ ? p : member_size_;
  return file_.seek(data_start_ + position_);
}

}  // namespace liba
